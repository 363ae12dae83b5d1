#pragma once
// The user's last choices, kept in the per-user settings store (one INI file
// for "Vantrope", section "Pixolune"). Every key and its default live in the
// one table in AppSettings.cpp; callers name a Setting, never a key string.
//
// Values are stored as text: booleans "True"/"False", numbers in decimal.
// Each write reaches the file at once, so nothing needs saving at exit.

#include <cstdint>
#include <string>

enum class Setting {
    OutputFolder,   // output folder as shown in Text1; default: the desktop folder + "/"
    Slider2,        // JPG quality; default 85
    Option1,        // BMP output selected; default True
    Option2,        // JPG output selected; default False
    LastFolderDot,  // last folder chosen with "..."; default empty
    LastFolder,     // last folder of a folder import; default empty
    Extension,      // last extension typed for a folder import; default "bmp"
};

class cSettings {
public:
    static std::string Text(Setting key);
    // Decimal text as a whole number (halves to even); other text raises
    // "Type mismatch" (13).
    static int32_t Number(Setting key);
    // "True"/"False" in any case, or numeric text (nonzero is true); other
    // text raises "Type mismatch" (13).
    static bool Flag(Setting key);

    static void SetText(Setting key, const std::string& value);
    static void SetNumber(Setting key, int32_t value);
    static void SetFlag(Setting key, bool value);
};

// The conversions of stored text, exposed for tests.
bool SettingTextToFlag(const std::string& text);
int32_t SettingTextToNumber(const std::string& text);
