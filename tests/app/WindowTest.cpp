// The main window: its designed layout, start-up from the settings store, the
// options and the folder with their persistence, the pointer, closing.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "MainUtilities.h"
#include "ucCanvas.h"

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

using Window = WindowFixture;

TEST_F(Window, DesignedLayoutInPixels) {
    EXPECT_EQ(form->size(), QSize(536, 502));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // not resizable
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->windowTitle(), "Pixolune");
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form->font().bold());
    EXPECT_DOUBLE_EQ(form->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(form->PushButton2->font().pointSizeF(), 11.25);

    EXPECT_EQ(form->ListView1->geometry(), QRect(8, 8, 520, 169));
    EXPECT_EQ(form->PushButton1->geometry(), QRect(8, 183, 256, 27));
    EXPECT_EQ(form->PushButton3->geometry(), QRect(272, 183, 256, 27));
    EXPECT_EQ(form->PushButton7->geometry(), QRect(8, 217, 256, 27));
    EXPECT_EQ(form->PushButton8->geometry(), QRect(272, 217, 256, 27));
    EXPECT_EQ(form->Frame2->geometry(), QRect(8, 250, 520, 117));
    EXPECT_EQ(form->Frame4->geometry(), QRect(24, 58, 472, 49));
    EXPECT_EQ(form->Slider2->geometry(), QRect(8, 18, 456, 18));
    EXPECT_EQ(form->Frame1->geometry(), QRect(8, 374, 520, 53));
    EXPECT_EQ(form->Text1->geometry(), QRect(16, 20, 444, 23));
    EXPECT_EQ(form->PushButton4->geometry(), QRect(464, 20, 40, 23));
    EXPECT_EQ(form->PushButton2->geometry(), QRect(8, 435, 520, 27));
    EXPECT_EQ(form->ProgressBar1->geometry(), QRect(8, 469, 520, 27));
    // The image holders lie below the client area.
    EXPECT_GE(form->ucCanvasSrc->y(), form->height());
    EXPECT_GE(form->ucCanvasTrg->y(), form->height());
    EXPECT_GE(form->Creator->y(), form->height());

    EXPECT_EQ(form->PushButton1->text(), "Add BMP File(s)");
    EXPECT_EQ(form->PushButton3->text(), "Add All BMP File(s) In Folder");
    EXPECT_EQ(form->PushButton7->text(), "Clear List");
    EXPECT_EQ(form->PushButton8->text(), "Load Sample/Example Files");
    EXPECT_EQ(form->PushButton4->text(), "...");
    EXPECT_EQ(form->PushButton2->text(), "Start Reducing");
    EXPECT_EQ(form->Frame2->title(), "Save Output Files As");
    EXPECT_EQ(form->Frame1->title(), "Save Image(s) To This Folder");
    EXPECT_EQ(form->ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(form->Slider2->minimum(), 1);
    EXPECT_EQ(form->Slider2->maximum(), 100);
    EXPECT_EQ(form->Slider2->tickInterval(), 10);
}

TEST_F(Window, FirstStartWithAnEmptyStore) {
    EXPECT_TRUE(dialogs.Boxes.empty());
    EXPECT_EQ(form->Text1->text().toStdString(), GetDesktopFolder());
    EXPECT_EQ(form->Text1->text().back(), '/');
    EXPECT_EQ(form->Slider2->value(), 85);
    EXPECT_EQ(form->Frame4->title(), "JPG quality: 85%");
    EXPECT_TRUE(form->Option1->isChecked());
    EXPECT_FALSE(form->Option2->isChecked());
    EXPECT_FALSE(form->Frame4->isEnabled());
    EXPECT_FALSE(form->Slider2->isEnabled());

    EXPECT_EQ(form->ListView1->headerItem()->text(0), "BMP File(s)");
    EXPECT_EQ(form->ListView1->columnWidth(0), 467);
    EXPECT_FALSE(form->ListView1->isHeaderHidden());
    EXPECT_FALSE(form->ListView1->rootIsDecorated());
    EXPECT_EQ(form->ucCanvasSrc->WorkMode(), 1);
    EXPECT_EQ(form->ucCanvasTrg->WorkMode(), 0);
    EXPECT_EQ(ApplicationTitle(), "Pixolune");
    EXPECT_TRUE(dialogs.OpenedUrls.empty());
}

TEST_F(Window, ChoosingJpgEnablesTheQualityAndIsStored) {
    form->Option2->click();
    EXPECT_TRUE(form->Frame4->isEnabled());
    std::string file = StoreFileText();
    EXPECT_NE(file.find("Option1=False"), std::string::npos) << file;
    EXPECT_NE(file.find("Option2=True"), std::string::npos) << file;

    form->Option1->click();
    EXPECT_FALSE(form->Frame4->isEnabled());
    file = StoreFileText();
    EXPECT_NE(file.find("Option1=True"), std::string::npos) << file;
    EXPECT_NE(file.find("Option2=False"), std::string::npos) << file;
}

TEST_F(Window, SliderCaptionAndStoredValue) {
    form->Slider2->setValue(60);
    EXPECT_EQ(form->Frame4->title(), "JPG quality: 60%");
    EXPECT_NE(StoreFileText().find("Slider2=60"), std::string::npos);
    form->Slider2->setValue(85);
    EXPECT_NE(StoreFileText().find("Slider2=85"), std::string::npos);
}

TEST_F(Window, EveryKeystrokeOfTheFolderIsStored) {
    form->Text1->clear();
    std::vector<std::string> stored;
    for (const char* key : {"/", "t", "m", "p"}) {
        form->Text1->insert(key);
        stored.push_back(cSettings::Text(Setting::OutputFolder));
    }
    EXPECT_EQ(stored, (std::vector<std::string>{"/", "/t", "/tm", "/tmp"}));
}

TEST_F(Window, NextStartShowsTheStoredChoices) {
    form->Option2->click();
    form->Slider2->setValue(33);
    form->Text1->setText("/tmp/typed");
    form.reset();

    form = MakeForm();
    EXPECT_TRUE(form->Option2->isChecked());
    EXPECT_TRUE(form->Frame4->isEnabled());
    EXPECT_EQ(form->Slider2->value(), 33);
    EXPECT_EQ(form->Frame4->title(), "JPG quality: 33%");
    EXPECT_EQ(form->Text1->text(), "/tmp/typed");
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(Window, NumericBooleansInTheStoreAreRead) {
    WriteStoreFile("[Pixolune]\nOption1=0\nOption2=1\nSlider2=20\n");
    form = MakeForm();
    EXPECT_FALSE(form->Option1->isChecked());
    EXPECT_TRUE(form->Option2->isChecked());
    EXPECT_TRUE(form->Frame4->isEnabled());
    EXPECT_EQ(form->Slider2->value(), 20);
}

TEST_F(Window, ABadStoredValueIsReportedAndStartUpGoesOn) {
    WriteStoreFile("[Pixolune]\nSlider2=lots\nOption1=False\nOption2=True\n");
    form = MakeForm();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, ErrorReportText("Type mismatch", LocationString("Form1", "Form_Load"), 136));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Application Error");
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::Exclamation);
    EXPECT_EQ(form->Slider2->value(), 85);  // the designed value
    EXPECT_EQ(form->Frame4->title(), "JPG quality: 85%");
    EXPECT_TRUE(form->Option2->isChecked());  // the later steps ran
}

TEST_F(Window, FolderChooserAppendsTheSeparatorExceptToTheRoot) {
    cSettings::SetText(Setting::LastFolderDot, "/var");
    dialogs.FolderAnswer = "/tmp/x";
    form->PushButton4_Click();
    ASSERT_EQ(dialogs.FolderStarts.size(), 1u);
    EXPECT_EQ(dialogs.FolderStarts[0], "/var");
    EXPECT_EQ(dialogs.FolderTitles[0], "Please select folder:");
    EXPECT_EQ(form->Text1->text(), "/tmp/x/");
    EXPECT_EQ(cSettings::Text(Setting::LastFolderDot), "/tmp/x");
    EXPECT_EQ(cSettings::Text(Setting::OutputFolder), "/tmp/x/");

    dialogs.FolderAnswer = "/";
    form->PushButton4->click();
    EXPECT_EQ(dialogs.FolderStarts.back(), "/tmp/x");
    EXPECT_EQ(form->Text1->text(), "/");
    EXPECT_EQ(cSettings::Text(Setting::LastFolderDot), "/");
}

TEST_F(Window, CancellingTheFolderChooserChangesNothing) {
    form->Text1->setText("/tmp/before/");
    cSettings::SetText(Setting::LastFolderDot, "/tmp");
    const std::string storeBefore = StoreFileText();
    dialogs.FolderAnswer = "";
    form->PushButton4_Click();
    EXPECT_EQ(form->Text1->text(), "/tmp/before/");
    EXPECT_EQ(StoreFileText(), storeBefore);
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(Window, HomePageOnOneStartInAHundred) {
    auto lucky = std::make_unique<Form1>(dialogs);
    lucky->RandomPercent = [] { return 7; };
    lucky->Form_Load();
    EXPECT_EQ(dialogs.OpenedUrls, (std::vector<std::string>{"https://pixolune.example/"}));

    auto other = std::make_unique<Form1>(dialogs);
    other->RandomPercent = [] { return 8; };
    other->Form_Load();
    EXPECT_EQ(dialogs.OpenedUrls.size(), 1u);
}

TEST_F(Window, ButtonsShowTheCustomPointerTheRestTheDefault) {
    EXPECT_FALSE(form->MouseIcon().has_value());  // no HAND-M.CUR beside the tests
    form->PushButton1_MouseMove();
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);  // a custom pointer without an image
    form->Frame2_MouseMove();
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    form->PushButton8_MouseMove();
    form->Text1_MouseMove();
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
}

TEST_F(Window, HoverEventsReachTheirHandlersAndStopThere) {
    form->show();
    const auto hover = [](QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    };
    hover(form->PushButton3);
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Custom);
    hover(form->Frame1);
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    hover(form->PushButton4);  // inside Frame1
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Custom);
    hover(form->Option1);  // no handler of its own: its frame's applies
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    hover(form->PushButton2);
    hover(form.get());
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
}

TEST_F(Window, TheHourglassStaysWhilePointerHandlersRun) {
    form->SetMousePointer(Form1::PointerKind::Hourglass);
    EXPECT_TRUE(form->IsBusy());
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    form->PushButton2_MouseMove();
    form->Form_MouseMove();
    form->Frame4_MouseMove();
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(form->ListLocked());
}

TEST_F(Window, ClosingReleasesBothImages) {
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->ucCanvasSrc->DIB, nullptr);
    EXPECT_EQ(form->ucCanvasTrg->DIB, nullptr);
    EXPECT_TRUE(form->IsUnloaded());
    EXPECT_TRUE(dialogs.Boxes.empty());
}
