// The settings store: defaults, stored forms, and reading back what other
// versions or hands may have written.

#include "AppTestSupport.h"
#include "MainUtilities.h"
#include "cError.h"

using SettingsStore = SettingsFixture;

TEST(SettingText, BooleansAcceptWordsAndNumbers) {
    struct Case { const char* text; bool value; };
    for (const Case c : {Case{"True", true}, Case{"False", false}, Case{"true", true}, Case{"FALSE", false},
                         Case{"1", true}, Case{"0", false}, Case{"-1", true}, Case{" 0 ", false}, Case{"2.5", true}})
        EXPECT_EQ(SettingTextToFlag(c.text), c.value) << c.text;
    for (const char* bad : {"", "yes", "Tru", "1x"}) {
        try {
            SettingTextToFlag(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const cError& e) {
            EXPECT_EQ(static_cast<int>(e.Number()), 13) << bad;
            EXPECT_EQ(e.Description(), "Type mismatch");
        }
    }
}

TEST(SettingText, NumbersAreDecimalRoundedHalfToEven) {
    EXPECT_EQ(SettingTextToNumber("85"), 85);
    EXPECT_EQ(SettingTextToNumber(" 7 "), 7);
    EXPECT_EQ(SettingTextToNumber("2.5"), 2);
    EXPECT_EQ(SettingTextToNumber("3.5"), 4);
    EXPECT_THROW(SettingTextToNumber("eighty"), cError);
    EXPECT_THROW(SettingTextToNumber(""), cError);
    EXPECT_THROW(SettingTextToNumber("1e12"), cError);  // leaves the range: overflow
}

TEST_F(SettingsStore, DefaultsWhenAbsent) {
    EXPECT_EQ(cSettings::Text(Setting::OutputFolder), GetDesktopFolder());
    EXPECT_EQ(cSettings::Number(Setting::Slider2), 85);
    EXPECT_TRUE(cSettings::Flag(Setting::Option1));
    EXPECT_FALSE(cSettings::Flag(Setting::Option2));
    EXPECT_EQ(cSettings::Text(Setting::LastFolderDot), "");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "");
    EXPECT_EQ(cSettings::Text(Setting::Extension), "bmp");
    EXPECT_EQ(StoreFileText(), "");  // reading writes nothing
}

TEST_F(SettingsStore, StoredFormsAreTextInTheSection) {
    cSettings::SetFlag(Setting::Option1, false);
    cSettings::SetFlag(Setting::Option2, true);
    cSettings::SetNumber(Setting::Slider2, 42);
    cSettings::SetText(Setting::Extension, "txt");
    const std::string file = StoreFileText();
    EXPECT_NE(file.find("[Pixolune]"), std::string::npos) << file;
    EXPECT_NE(file.find("Option1=False"), std::string::npos) << file;
    EXPECT_NE(file.find("Option2=True"), std::string::npos) << file;
    EXPECT_NE(file.find("Slider2=42"), std::string::npos) << file;
    EXPECT_NE(file.find("Extension=txt"), std::string::npos) << file;
}

TEST_F(SettingsStore, TextRoundTripsPathsWithCommasAndSpaces) {
    cSettings::SetText(Setting::OutputFolder, "/tmp/a, b/c d/");
    EXPECT_EQ(cSettings::Text(Setting::OutputFolder), "/tmp/a, b/c d/");
    cSettings::SetText(Setting::LastFolder, "");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "");
}

TEST_F(SettingsStore, ReadsNumericBooleansAndHandWrittenLists) {
    WriteStoreFile("[Pixolune]\nOption1=0\nOption2=1\nLastFolder=/x/a,b\n");
    EXPECT_FALSE(cSettings::Flag(Setting::Option1));
    EXPECT_TRUE(cSettings::Flag(Setting::Option2));
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "/x/a,b");
}

