// The shared helpers of the window: the error report, the application title,
// the folder chooser's answer, the desktop folder, the skin, the list lookup.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "MainUtilities.h"
#include "VendorControls.h"
#include "cError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>

TEST(ErrorReport, TextHasTheExactLayout) {
    EXPECT_EQ(LocationString("Form1", "PushButton2_Click"), "in Dotwane2021/08/31.Form1.PushButton2_Click ");
    EXPECT_EQ(ErrorReportText("Overflow", LocationString("Form1", "Form_Load"), 136),
              "Overflow\r\nin Dotwane2021/08/31.Form1.Form_Load at line 136\r\r"
              "Please email screenshot of this message to support@pixolune.example");
}

TEST(ErrorReport, GuardReportsAFailedStepAndCarriesOn) {
    FakeDialogs dialogs;
    cStepGuard guard(dialogs, LocationString("Form1", "Form_Load"));
    std::vector<int> ran;
    EXPECT_TRUE(guard.Step(100, [&] { ran.push_back(100); }));
    EXPECT_FALSE(guard.Step(102, [&] { throw cError::DivisionByZero(); }));
    EXPECT_FALSE(guard.Step(104, [&] { throw std::runtime_error("plain failure"); }));
    EXPECT_TRUE(guard.Step(106, [&] { ran.push_back(106); }));

    EXPECT_EQ(ran, (std::vector<int>{100, 106}));
    ASSERT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[0].Text, ErrorReportText("Division by zero", LocationString("Form1", "Form_Load"), 102));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Application Error");
    EXPECT_EQ(dialogs.Boxes[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::Exclamation);
    EXPECT_EQ(dialogs.Boxes[1].Text.substr(0, 15), "plain failure\r\n");
}

TEST(ApplicationTitle, CutsWordsFromTheEnd) {
    EXPECT_EQ(ApplicationTitleFrom("Pixolune"), "Pixolune");
    EXPECT_EQ(ApplicationTitleFrom("Pixolune Image Reducer"), "Pixolune Image");
    EXPECT_EQ(ApplicationTitleFrom("Pixolune the Small and Quick Bitmap Reducer of Images"),
              "Pixolune the Small and Quick Bitmap");  // at most 40 once a word is gone
    EXPECT_EQ(ApplicationTitleFrom("Averyveryveryveryveryveryveryveryverylongname x"),
              "Averyveryveryveryveryveryveryveryverylongname");
    SetApplicationTitle();
    EXPECT_EQ(ApplicationTitle(), "Pixolune");
}

TEST(ApplicationTitle, PlainMessagesCarryItWithOkAndNoIcon) {
    FakeDialogs dialogs;
    SetApplicationTitle();
    ShowMessage(dialogs, "Done.");
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Pixolune");
    EXPECT_EQ(dialogs.Boxes[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::None);
}

TEST(FolderChooser, RootKeepsItsSeparatorOthersLoseIt) {
    EXPECT_EQ(FolderChoiceResult("/"), "/");
    EXPECT_EQ(FolderChoiceResult("/tmp/x"), "/tmp/x");
    EXPECT_EQ(FolderChoiceResult("/tmp/x/"), "/tmp/x");
    EXPECT_EQ(FolderChoiceResult(""), "");
}

TEST(DesktopFolder, EndsInASeparatorAndExists) {
    const std::string desktop = GetDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    EXPECT_EQ(desktop.back(), '/');
    EXPECT_TRUE(QDir(QString::fromStdString(desktop)).exists());
}

TEST(Skin, WithoutTheFileNothingChanges) {
    QTemporaryDir programFolder;
    QWidget window;
    const QPalette before = window.palette();
    cSkinFramework skin;
    ApplySkin(window, skin, programFolder.path().toStdString());
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(window.palette(), before);
    EXPECT_TRUE(skin.StyleSheet().isEmpty());
    EXPECT_EQ(skin.ApplyOptions(), 0);
    EXPECT_FALSE(skin.Option(5));
}

TEST(Skin, TheFileIsAStyleSheetForTheWindow) {
    QTemporaryDir programFolder;
    ASSERT_TRUE(QDir(programFolder.path()).mkpath("x"));
    QFile file(programFolder.filePath("x/o.cjs"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("QPushButton { color: navy; }");
    file.close();

    QWidget window;
    cSkinFramework skin;
    ApplySkin(window, skin, programFolder.path().toStdString());
    EXPECT_EQ(window.styleSheet(), "QPushButton { color: navy; }");
    EXPECT_EQ(skin.ApplyOptions() & 1, 1);
    EXPECT_TRUE(skin.Option(5));
    EXPECT_TRUE(skin.Option(10));
    EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
}

TEST(ListLookup, ExactCaseSensitiveMatch) {
    QTreeWidget list;
    for (const char* text : {"/a/one.bmp", "/a/Two.bmp"}) (new QTreeWidgetItem(&list))->setText(0, text);
    EXPECT_TRUE(ListContains(list, "/a/Two.bmp"));
    EXPECT_FALSE(ListContains(list, "/a/two.bmp"));
    EXPECT_FALSE(ListContains(list, "/a/one"));
    EXPECT_FALSE(ListContains(QTreeWidget(), "/a/one.bmp"));
}

TEST(ProgressBarText, ShowsFileNamesUnchanged) {
    ProgressBar bar;
    bar.setValue(33);
    bar.SetText("Processing: 100%p-%v.bmp");
    EXPECT_EQ(bar.text(), "Processing: 100%p-%v.bmp");
    bar.setValue(0);
    bar.SetText("Progress Bar");
    EXPECT_EQ(bar.text(), "Progress Bar");
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 100);
}
