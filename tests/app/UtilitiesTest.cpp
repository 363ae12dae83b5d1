// The window's shared helpers: the error report, the application title, the
// folder chooser's answer, the skin, the list lookup, the progress text, and
// the settings store with its stored text.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "MainUtilities.h"
#include "VendorControls.h"
#include "cError.h"

using SettingsStore = SettingsFixture;

TEST(ErrorReport, ExactTextAndAGuardThatCarriesOn) {
    const std::string location = LocationString("Form1", "Form_Load");
    EXPECT_EQ(ErrorReportText("Overflow", location, 136),
              "Overflow\r\nin Dotwane2021/08/31.Form1.Form_Load at line 136\r\r"
              "Please email screenshot of this message to support@pixolune.example");

    FakeDialogs dialogs;
    cStepGuard guard(dialogs, location);
    std::vector<int> ran;
    EXPECT_TRUE(guard.Step(100, [&] { ran.push_back(100); }));
    EXPECT_FALSE(guard.Step(102, [] { throw cError::DivisionByZero(); }));
    EXPECT_FALSE(guard.Step(104, [] { throw std::runtime_error("plain failure"); }));
    EXPECT_TRUE(guard.Step(106, [&] { ran.push_back(106); }));
    EXPECT_EQ(ran, (std::vector<int>{100, 106}));
    EXPECT_EQ(dialogs.Boxes, (std::vector{ErrorBox("Division by zero", "Form_Load", 102),
                                          ErrorBox("plain failure", "Form_Load", 104)}));
}

TEST(Helpers, TitleFolderChoiceListLookupAndProgressText) {
    for (const auto& [name, title] : {
             std::pair{"Pixolune", "Pixolune"},
             {"Pixolune Image Reducer", "Pixolune Image"},
             // Over 40 characters once a word is gone: more words go.
             {"Pixolune the Small and Quick Bitmap Reducer of Images",
              "Pixolune the Small and Quick Bitmap"},
             {"Averyveryveryveryveryveryveryveryverylongname x",
              "Averyveryveryveryveryveryveryveryverylongname"}})
        EXPECT_EQ(ApplicationTitleFrom(name), title) << name;
    // The folder chooser's answer: the root keeps its separator, other folders lose it.
    for (const auto& [chosen, result] :
         {std::pair{"/", "/"}, {"/tmp/x", "/tmp/x"}, {"/tmp/x/", "/tmp/x"}, {"", ""}})
        EXPECT_EQ(FolderChoiceResult(chosen), result) << chosen;

    QTreeWidget list;
    for (const char* text : {"/a/one.bmp", "/a/Two.bmp"}) AppendListPath(list, text);
    EXPECT_TRUE(ListContains(list, "/a/Two.bmp"));
    for (const char* absent : {"/a/two.bmp", "/a/one"})
        EXPECT_FALSE(ListContains(list, absent)) << absent;
    EXPECT_FALSE(ListContains(QTreeWidget(), "/a/one.bmp"));

    ProgressBar bar;
    bar.setValue(33);
    bar.SetText("Processing: 100%p-%v.bmp");  // no placeholders filled in
    EXPECT_EQ(bar.text(), "Processing: 100%p-%v.bmp");
}

TEST(Skin, WithoutTheFileNothingChangesWithItTheStyleSheetApplies) {
    TempTree program;
    QWidget window;
    const QPalette designed = window.palette();
    cSkinFramework skin;
    ApplySkin(window, skin, program.Root());
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(window.palette(), designed);
    EXPECT_TRUE(skin.StyleSheet().isEmpty());  // the skin was never called
    EXPECT_EQ(skin.ApplyOptions(), 0);
    EXPECT_FALSE(skin.Option(5));

    program.File("x/o.cjs", 0644, "QPushButton { color: navy; }");
    ApplySkin(window, skin, program.Root());
    EXPECT_EQ(window.styleSheet(), "QPushButton { color: navy; }");
    EXPECT_EQ(skin.ApplyOptions() & 1, 1);
    EXPECT_TRUE(skin.Option(5) && skin.Option(10));
    EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
}

TEST(SettingText, BooleansAcceptWordsAndNumbersNumbersAreDecimalHalvesToEven) {
    for (const auto& [text, value] : {std::pair{"True", true}, {"False", false}, {"true", true},
                                      {"FALSE", false}, {"1", true}, {"0", false}, {"-1", true},
                                      {" 0 ", false}, {"2.5", true}})
        EXPECT_EQ(SettingTextToFlag(text), value) << text;
    for (const char* bad : {"", "yes", "Tru", "1x"}) {
        try {
            SettingTextToFlag(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const cError& e) {
            EXPECT_EQ(static_cast<int>(e.Number()), 13) << bad;
            EXPECT_EQ(e.Description(), "Type mismatch");
        }
    }
    for (const auto& [text, value] : {std::pair{"85", 85}, {" 7 ", 7}, {"2.5", 2}, {"3.5", 4}})
        EXPECT_EQ(SettingTextToNumber(text), value) << text;
    for (const char* bad : {"eighty", "", "1e12" /* out of range */})
        EXPECT_THROW(SettingTextToNumber(bad), cError) << bad;
}

// The defaults the window shows are checked with the window's first start.
TEST_F(SettingsStore, ReadingWritesNothingValuesAreStoredAsText) {
    EXPECT_EQ(cSettings::Text(Setting::LastFolderDot), "");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "");
    EXPECT_EQ(StoreFileText(), "");

    cSettings::SetFlag(Setting::Option1, false);
    cSettings::SetFlag(Setting::Option2, true);
    cSettings::SetNumber(Setting::Slider2, 42);
    cSettings::SetText(Setting::Extension, "txt");
    for (const char* line :
         {"[Pixolune]", "Option1=False", "Option2=True", "Slider2=42", "Extension=txt"})
        EXPECT_TRUE(Stored(line)) << line << " in\n" << StoreFileText();
}

// Commas make the INI reader split a value into a list.
TEST_F(SettingsStore, TextWithCommasSurvivesHandWrittenOrStored) {
    WriteStoreFile("[Pixolune]\nLastFolder=/x/a,b\n");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "/x/a,b");
    cSettings::SetText(Setting::OutputFolder, "/tmp/a, b/c d/");
    EXPECT_EQ(cSettings::Text(Setting::OutputFolder), "/tmp/a, b/c d/");
}
