#include "AppSettings.h"

#include "Arithmetic.h"
#include "MainUtilities.h"
#include "cError.h"

#include <QSettings>
#include <QStringList>

#include <cmath>

namespace {

struct SettingEntry {
    Setting Key;
    const char* Name;
    std::string (*Default)();
};

const SettingEntry kSettingTable[] = {
    {Setting::OutputFolder, "Output Folder", [] { return GetDesktopFolder(); }},
    {Setting::Slider2, "Slider2", [] { return std::string("85"); }},
    {Setting::Option1, "Option1", [] { return std::string("1"); }},
    {Setting::Option2, "Option2", [] { return std::string("0"); }},
    {Setting::LastFolderDot, "LastFolderDot", [] { return std::string(); }},
    {Setting::LastFolder, "LastFolder", [] { return std::string(); }},
    {Setting::Extension, "Extension", [] { return std::string("bmp"); }},
};

const SettingEntry& Entry(Setting key) {
    for (const SettingEntry& entry : kSettingTable)
        if (entry.Key == key) return entry;
    throw cError::Subscript();
}

constexpr const char* kApplication = "Vantrope";
constexpr const char* kSection = "Pixolune";

cError TypeMismatch() { return {ErrorNumber::TypeMismatch, "Type mismatch"}; }

// Numeric text as a double; false when the text is not a number. Qt reads
// numbers the same way in every locale ("2.5", never "2,5"), so the user's
// language settings never change what a stored value means.
bool ParseNumber(const QString& text, double& value) {
    bool ok = false;
    value = text.toDouble(&ok);  // surrounding white space is allowed
    return ok && std::isfinite(value);
}

}  // namespace

bool SettingTextToFlag(const std::string& text) {
    const QString t = QString::fromStdString(text).trimmed();
    if (t.compare("True", Qt::CaseInsensitive) == 0) return true;
    if (t.compare("False", Qt::CaseInsensitive) == 0) return false;
    double value = 0;
    if (!ParseNumber(t, value)) throw TypeMismatch();
    return value != 0;
}

int32_t SettingTextToNumber(const std::string& text) {
    double value = 0;
    if (!ParseNumber(QString::fromStdString(text), value)) throw TypeMismatch();
    return RoundHalfEven(value);
}

std::string cSettings::Text(Setting key) {
    const SettingEntry& entry = Entry(key);
    QSettings store(QSettings::IniFormat, QSettings::UserScope, kApplication);
    store.beginGroup(kSection);
    if (!store.contains(entry.Name)) return entry.Default();
    const QVariant value = store.value(entry.Name);
    // An unquoted comma in a hand-edited file makes the INI reader split the text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(',').toStdString();
    return value.toString().toStdString();
}

int32_t cSettings::Number(Setting key) { return SettingTextToNumber(Text(key)); }

bool cSettings::Flag(Setting key) { return SettingTextToFlag(Text(key)); }

void cSettings::SetText(Setting key, const std::string& value) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, kApplication);
    store.beginGroup(kSection);
    store.setValue(Entry(key).Name, QString::fromStdString(value));
    store.sync();
}

void cSettings::SetNumber(Setting key, int32_t value) { SetText(key, std::to_string(value)); }

void cSettings::SetFlag(Setting key, bool value) { SetText(key, value ? "True" : "False"); }
