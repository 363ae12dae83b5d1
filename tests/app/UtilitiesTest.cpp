// The window's shared helpers: the error report, the application title, the
// folder chooser's answer, the skin, the list lookup, the progress text, and
// the settings store with its stored text.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "MainUtilities.h"
#include "QtDialogs.h"
#include "VendorControls.h"
#include "cError.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>

#include <clocale>
#include <cstdlib>

using SettingsStore = SettingsFixture;

namespace {

// The user's locale for a while: C's (what the program's QApplication takes
// from the environment) and Qt's default. Built from the system's locale
// sources into a scratch folder, so no generated locales are needed.
class cUserLocale {
public:
    cUserLocale(const char* qtName, const char* cSource) : qtBefore_(QLocale()) {
        QLocale::setDefault(QLocale(qtName));
        if (cSource == nullptr) return;
        const std::string name = std::string(cSource) + ".UTF-8";
        const std::string command = "localedef -i " + std::string(cSource) + " -f UTF-8 '" +
                                    folder_.Path(name) + "' >/dev/null 2>&1";
        cBefore_ = std::setlocale(LC_ALL, nullptr);
        ::setenv("LOCPATH", folder_.Root().c_str(), 1);
        // localedef warns about some sources but still writes the locale.
        [[maybe_unused]] const int status = std::system(command.c_str());
        cSet_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }
    ~cUserLocale() {
        QLocale::setDefault(qtBefore_);
        if (!cBefore_.empty()) std::setlocale(LC_ALL, cBefore_.c_str());
        ::unsetenv("LOCPATH");
    }
    bool CSet() const { return cSet_; }

private:
    TempTree folder_;
    QLocale qtBefore_;
    std::string cBefore_;
    bool cSet_ = false;
};

}  // namespace

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

// The real boxes: the caption as given and room for it in a title bar, however short the
// text; only the buttons asked for, and nothing to minimise or maximise.
TEST(MessageBox, EveryBoxShowsItsCaptionAndTheButtonsAskedFor) {
    const std::tuple<const char*, const char*, MsgButtons, MsgIcon> boxes[] = {
        {"Done.", "Pixolune", MsgButtons::OK, MsgIcon::None},
        {"Would you like this software to open the folder?", "Pixolune", MsgButtons::YesNo,
         MsgIcon::None},
        {"Overflow\r\nin Dotwane2021/08/31.Form1.Form_Load at line 136", "Application Error",
         MsgButtons::OK, MsgIcon::Exclamation},
    };
    for (const auto& [text, caption, buttons, icon] : boxes) {
        QMessageBox box;
        ConfigureMessageBox(box, text, caption, buttons, icon);
        box.show();  // sized as exec() would, without waiting for an answer
        QFont titleFont = box.font();
        titleFont.setBold(true);
        EXPECT_EQ(box.windowTitle(), caption);
        EXPECT_GE(box.width(), QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarRoom)
            << text;
        EXPECT_FALSE(box.windowFlags() &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(box.standardButtons(), buttons == MsgButtons::OK
                                             ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                             : QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.icon(), icon == MsgIcon::None ? QMessageBox::NoIcon : QMessageBox::Warning);
        EXPECT_EQ(box.text().contains('\r'), false) << text;
    }
}

TEST(Helpers, TitleFolderChoiceListLookupAndProgressText) {
    for (const auto& [name, title] : {std::pair{"Pixolune", "Pixolune"},
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

// The bar keeps its groove and chunk as drawn while only the text changes: at every
// step of a run it looks as the plain bar with that text does.
TEST(ProgressBar, LooksAsThePlainBarAtEveryStep) {
    struct Step {
        int value;
        const char* text;
        bool enabled = true;
        const char* styleSheet = "";
        int width = 520;
    };
    const char* skin =
        "QProgressBar { border: 2px solid grey; } QProgressBar::chunk { background: "
        "#05B8CC; width: 12px; }";
    const std::vector<Step> steps = {
        {0, "Progress Bar"},         {1, "Processing: a.bmp"},     {1, "Processing: b.bmp"},
        {50, "Processing: b.bmp"},   {50, "Processing: cc.bmp"},   {50, "Disabled", false},
        {50, "Skinned", true, skin}, {100, "Skinned", true, skin}, {100, "Narrow", true, "", 200},
        {0, "Progress Bar"}};
    ProgressBar bar;
    QProgressBar plain;
    for (QProgressBar* b : {static_cast<QProgressBar*>(&bar), &plain}) {
        b->setRange(0, 100);
        b->setAlignment(Qt::AlignCenter);
    }
    for (const Step& step : steps) {
        for (QProgressBar* b : {static_cast<QProgressBar*>(&bar), &plain}) {
            b->resize(step.width, 27);
            b->setEnabled(step.enabled);
            b->setStyleSheet(step.styleSheet);
        }
        bar.SetValue(step.value);
        plain.setValue(step.value);
        bar.SetText(step.text);
        plain.setFormat(step.text);
        const QImage ours = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage theirs = plain.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(ours.size(), theirs.size()) << step.text;
        int differing = 0;  // pixels off by more than the rounding of one more blend
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x) {
                const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
                differing +=
                    std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
                    std::abs(qBlue(a) - qBlue(b)) > 2 || std::abs(qAlpha(a) - qAlpha(b)) > 2;
            }
        EXPECT_EQ(differing, 0) << step.text << " at " << step.value;
    }
}

// A run sets a text per file, faster than a screen shows them: the texts of a
// frame are drawn once, the last one set, and the last text of all is drawn.
TEST(ProgressBar, TextsSetWithinAFrameAreDrawnOnceTheLastOneSet) {
    struct PaintLog : QObject {
        std::vector<QString> Texts;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                Texts.push_back(static_cast<QProgressBar*>(watched)->text());
            return false;
        }
    } log;
    ProgressBar bar;
    bar.installEventFilter(&log);
    bar.show();
    const auto pumpFor = [](int ms) {
        QElapsedTimer clock;
        clock.start();
        do QCoreApplication::processEvents();
        while (clock.elapsed() < ms);
    };
    pumpFor(2 * ProgressBar::kFrameMs);
    log.Texts.clear();

    constexpr int texts = 200;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= texts; ++i) {
        bar.SetText("Processing: " + QString::number(i) + ".bmp");
        QCoreApplication::processEvents();
    }
    const qint64 setting = clock.elapsed();
    pumpFor(3 * ProgressBar::kFrameMs);
    ASSERT_FALSE(log.Texts.empty());
    EXPECT_EQ(log.Texts.back(), "Processing: 200.bmp");
    EXPECT_EQ(bar.text(), "Processing: 200.bmp");
    // A frame drawn on its first text, at most one more at its end.
    EXPECT_LE(log.Texts.size(), static_cast<size_t>(2 + 2 * setting / ProgressBar::kFrameMs))
        << "in " << setting << " ms";
}

// The build tree keeps the optional files beside the program, an installed
// tree in share/pixolune beside bin.
TEST(DataFiles, BesideTheProgramFirstThenTheInstalledShareFolder) {
    TempTree tree;
    const std::string bin = tree.Folder("bin");
    tree.File("bin/drag.ico");
    tree.File("share/pixolune/drag.ico");
    tree.File("share/pixolune/HAND-M.CUR");
    tree.Folder("share/pixolune/Samples");
    tree.File("share/pixolune/x/o.cjs");
    for (const auto& [name, found] : {std::pair{"drag.ico", "bin/drag.ico"},
                                      {"HAND-M.CUR", "share/pixolune/HAND-M.CUR"},
                                      {"Samples", "share/pixolune/Samples"},
                                      {"x/o.cjs", "share/pixolune/x/o.cjs"},
                                      {"missing", "bin/missing"}})
        EXPECT_EQ(DataFilePath(bin, name), tree.Path(found)) << name;
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
    for (const auto& [text, value] : {std::pair{"True", true},
                                      {"False", false},
                                      {"true", true},
                                      {"FALSE", false},
                                      {"1", true},
                                      {"0", false},
                                      {"-1", true},
                                      {" 0 ", false},
                                      {"2.5", true}})
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

// A decimal comma or other digits in the user's locale change nothing: "84.5"
// is always 84, and what only that locale reads as a number is none.
TEST_F(SettingsStore, NumbersReadTheSameInEveryLocale) {
    WriteStoreFile("[Pixolune]\nSlider2=84.5\nOption1=0.5\nOption2=\"0,0\"\n");
    const struct {
        const char* Qt;
        const char* C;      // locale source for C's number functions, or none
        const char* Local;  // a number as only this locale writes it
    } locales[] = {{"de_DE", "de_DE", "84,5"},
                   {"ar_EG", nullptr, "\u0668\u0665"},
                   {"fa_IR", nullptr, "\u06f8\u06f5"}};
    for (const auto& locale : locales) {
        SCOPED_TRACE(locale.Qt);
        const cUserLocale user(locale.Qt, locale.C);
        if (locale.C) {
            ASSERT_TRUE(user.CSet()) << "localedef could not build " << locale.C;
        }
        bool localeReadsIt = false;
        QLocale().toDouble(QString::fromUtf8(locale.Local), &localeReadsIt);
        ASSERT_TRUE(localeReadsIt) << locale.Local;
        EXPECT_EQ(cSettings::Number(Setting::Slider2), 84);
        EXPECT_TRUE(cSettings::Flag(Setting::Option1));
        EXPECT_THROW(cSettings::Flag(Setting::Option2), cError);
        EXPECT_THROW(SettingTextToNumber(locale.Local), cError);
        EXPECT_THROW(SettingTextToFlag(locale.Local), cError);
    }
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
