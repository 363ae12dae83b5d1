// The main window: its designed layout, start-up from the settings store, the
// options and the folder with their persistence, the pointer.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "MainUtilities.h"
#include "PictureLoader.h"
#include "cError.h"
#include "ucCanvas.h"

#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>

using Widgets = std::initializer_list<QWidget*>;

class Window : public WindowFixture {
protected:
    // The output options as shown: the type chosen, the quality frame, the slider, the folder.
    std::string Options() const {
        const std::string type = form->Option1->isChecked() ? "BMP" : "";
        const std::string frame = form->Frame4->isEnabled() ? " (on), " : " (off), ";
        return type + (form->Option2->isChecked() ? "JPG" : "") + ", " +
               form->Frame4->title().toStdString() + frame +
               std::to_string(form->Slider2->value()) + ", " + form->Text1->text().toStdString();
    }
};

TEST_F(Window, DesignedLayoutInPixels) {
    EXPECT_EQ(form->size(), QSize(536, 502));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // not resizable
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->windowTitle(), "Pixolune");
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form->font().bold());
    EXPECT_DOUBLE_EQ(form->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(form->PushButton2->font().pointSizeF(), 11.25);
    const std::pair<QWidget*, QRect> places[] = {
        {form->ListView1, {8, 8, 520, 169}},      {form->PushButton1, {8, 183, 256, 27}},
        {form->PushButton3, {272, 183, 256, 27}}, {form->PushButton7, {8, 217, 256, 27}},
        {form->PushButton8, {272, 217, 256, 27}}, {form->Frame2, {8, 250, 520, 117}},
        {form->Frame4, {24, 58, 472, 49}},        {form->Slider2, {8, 18, 456, 18}},
        {form->Frame1, {8, 374, 520, 53}},        {form->Text1, {16, 20, 444, 23}},
        {form->PushButton4, {464, 20, 40, 23}},   {form->PushButton2, {8, 435, 520, 27}},
        {form->ProgressBar1, {8, 469, 520, 27}},
    };
    for (const auto& [widget, place] : places) EXPECT_EQ(widget->geometry(), place);
    for (QWidget* holder : Widgets{form->ucCanvasSrc, form->ucCanvasTrg})
        EXPECT_GE(holder->y(), form->height());  // below the client area

    const std::pair<QAbstractButton*, const char*> captions[] = {
        {form->PushButton1, "Add BMP File(s)"},
        {form->PushButton3, "Add All BMP File(s) In Folder"},
        {form->PushButton7, "Clear List"},
        {form->PushButton8, "Load Sample/Example Files"},
        {form->PushButton4, "..."},
        {form->PushButton2, "Start Reducing"},
    };
    for (const auto& [button, caption] : captions) EXPECT_EQ(button->text(), caption);
    EXPECT_EQ(form->Frame2->title(), "Save Output Files As");
    EXPECT_EQ(form->Frame1->title(), "Save Image(s) To This Folder");
    EXPECT_EQ(form->ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(form->Slider2->minimum(), 1);
    EXPECT_EQ(form->Slider2->maximum(), 100);
    EXPECT_EQ(form->Slider2->tickInterval(), 10);
    EXPECT_EQ(List().headerItem()->text(0), "BMP File(s)");
    EXPECT_EQ(List().columnWidth(0), 467);
    EXPECT_FALSE(List().isHeaderHidden() || List().rootIsDecorated());
    EXPECT_EQ(List().toolTip(),
              "Drag and drop files here. Double-click item to remove it. Move | "
              "line to right and out of window to reveal full names.");
}

TEST_F(Window, FirstStartWithAnEmptyStoreAndTheHomePageOnceInAHundred) {
    EXPECT_TRUE(dialogs.Boxes.empty());
    EXPECT_EQ(Options(), "BMP, JPG quality: 85% (off), 85, " + GetDesktopFolder());
    EXPECT_TRUE(form->Text1->text().endsWith('/'));
    EXPECT_TRUE(QDir(form->Text1->text()).exists());
    EXPECT_EQ(form->ucCanvasSrc->WorkMode(), 1);
    EXPECT_EQ(form->ucCanvasTrg->WorkMode(), 0);
    EXPECT_EQ(ApplicationTitle(), "Pixolune");

    EXPECT_TRUE(dialogs.OpenedUrls.empty());
    MakeForm(7);
    MakeForm(8);
    EXPECT_EQ(dialogs.OpenedUrls, Texts{"https://pixolune.example/"});
}

TEST_F(Window, OptionsSliderAndEveryKeystrokeAreStored) {
    form->Option2->click();
    EXPECT_TRUE(Stored("Option1=False") && Stored("Option2=True")) << StoreFileText();
    form->Slider2->setValue(60);
    EXPECT_TRUE(Stored("Slider2=60"));
    EXPECT_EQ(Options(), "JPG, JPG quality: 60% (on), 60, " + GetDesktopFolder());
    form->Option1->click();
    EXPECT_TRUE(Stored("Option1=True") && Stored("Option2=False")) << StoreFileText();
    EXPECT_EQ(Options(), "BMP, JPG quality: 60% (off), 60, " + GetDesktopFolder());

    form->Text1->clear();
    Texts stored;
    for (const char* key : {"/", "t", "m", "p"}) {
        form->Text1->insert(key);
        stored.push_back(cSettings::Text(Setting::OutputFolder));
    }
    EXPECT_EQ(stored, (Texts{"/", "/t", "/tm", "/tmp"}));
}

TEST_F(Window, NextStartShowsTheStoredChoicesAndReportsABadOne) {
    form->Option2->click();
    form->Slider2->setValue(33);
    form->Text1->setText("/tmp/typed");
    form = MakeForm();
    EXPECT_EQ(Options(), "JPG, JPG quality: 33% (on), 33, /tmp/typed");
    EXPECT_TRUE(dialogs.Boxes.empty());

    WriteStoreFile("[Pixolune]\nOption1=1\nOption2=0\nSlider2=20\n");  // numeric booleans
    form = MakeForm();
    EXPECT_EQ(Options(), "BMP, JPG quality: 20% (off), 20, " + GetDesktopFolder());

    WriteStoreFile("[Pixolune]\nSlider2=lots\nOption1=False\nOption2=True\n");
    form = MakeForm();
    EXPECT_EQ(dialogs.Boxes, std::vector{ErrorBox("Type mismatch", "Form_Load", 136)});
    // The designed quality stays, and the later steps ran.
    EXPECT_EQ(Options(), "JPG, JPG quality: 85% (on), 85, " + GetDesktopFolder());
}

TEST_F(Window, FolderChooserAppendsTheSeparatorExceptToTheRootAndCancelChangesNothing) {
    cSettings::SetText(Setting::LastFolderDot, "/var");
    dialogs.FolderAnswer = "/tmp/x";
    form->PushButton4_Click();
    EXPECT_EQ(form->Text1->text(), "/tmp/x/");
    EXPECT_EQ(cSettings::Text(Setting::OutputFolder), "/tmp/x/");
    dialogs.FolderAnswer = "/";
    form->PushButton4->click();
    EXPECT_EQ(dialogs.Folders, (std::vector<Texts>{{"Please select folder:", "/var"},
                                                   {"Please select folder:", "/tmp/x"}}));
    EXPECT_EQ(form->Text1->text(), "/");
    EXPECT_EQ(cSettings::Text(Setting::LastFolderDot), "/");

    const std::string storeBefore = StoreFileText();
    dialogs.FolderAnswer = "";
    form->PushButton4_Click();
    EXPECT_EQ(form->Text1->text(), "/");
    EXPECT_EQ(StoreFileText(), storeBefore);
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(Window, ButtonsShowTheCustomPointerTheRestTheDefaultTheHourglassStays) {
    const auto hover = [](QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    };
    EXPECT_FALSE(form->MouseIcon().has_value());  // no HAND-M.CUR beside the tests
    using enum Form1::PointerKind;
    const std::pair<QWidget*, Form1::PointerKind> steps[] = {
        {form->PushButton3, Custom}, {form->Frame1, Default},
        {form->PushButton4, Custom},  // inside Frame1
        {form->Option1, Default},     // no handler of its own: its frame's applies
        {form->PushButton2, Custom}, {form.get(), Default},
    };
    for (const auto& step : steps) {
        hover(step.first);
        EXPECT_EQ(form->MousePointer(), step.second) << "step " << &step - steps;
        if (step.second == Custom) {  // a custom pointer without an image
            EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
        }
    }

    form->SetMousePointer(Hourglass);
    EXPECT_TRUE(form->IsBusy() && form->ListLocked());
    for (QWidget* widget : Widgets{form->PushButton2, form.get(), form->Frame4}) hover(widget);
    EXPECT_EQ(form->MousePointer(), Hourglass);
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
}

// Hand-edited option settings and the optional pointer files beside the program. A missing
// file is no error; a HAND-M.CUR that is there but cannot be read is reported by start-up
// step 106 and the buttons' pointer gets no image; a drag.ico that cannot be read leaves
// the list its own pointer. Neither option selected: the run writes nothing.
TEST_F(Window, OptionSettingsAndOptionalPointerFiles) {
    enum class Kind { Missing, Garbage, Folder, Good };
    struct Case {
        const char* Store;
        Kind Hand, Drag;
        const char* Options;                  // as shown at start
        std::optional<Qt::CursorShape> List;  // the list's pointer on a press; none: its own
        QStringList Written;
    };
    const Case cases[] = {
        {"Option1=False\nOption2=False",
         Kind::Missing,
         Kind::Missing,
         ", JPG quality: 85% (on)",
         Qt::SizeVerCursor,
         {}},
        {"",
         Kind::Garbage,
         Kind::Garbage,
         "BMP, JPG quality: 85% (off)",
         std::nullopt,
         {"p-reduced.bmp"}},
        {"Option1=True\nOption2=True",
         Kind::Folder,
         Kind::Good,
         "JPG, JPG quality: 85% (on)",
         Qt::BitmapCursor,
         {"p-reduced.jpg"}},
        {"Option1=0\nOption2=1",
         Kind::Good,
         Kind::Folder,
         "JPG, JPG quality: 85% (on)",
         std::nullopt,
         {"p-reduced.jpg"}},
    };
    const std::string picture = tree.File("p.bmp");
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(picture.c_str(), "BMP"));
    for (const Case& c : cases) {
        const std::string trace = std::string(c.Store) + " / case " + std::to_string(&c - cases);
        TempTree program, out;
        const auto place = [&](const std::string& name, Kind kind) {
            if (kind == Kind::Garbage) program.File(name, 0644, "no picture");
            if (kind == Kind::Folder) program.Folder(name);
            if (kind != Kind::Good) return;
            // An icon file becomes a cursor file by its type (2) and a hot spot (3, 5).
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(Qt::red);
            ASSERT_TRUE(image.save(program.Path(name).c_str(), "ICO"));
            QFile file(program.Path(name).c_str());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            bytes[2] = 2;
            bytes[10] = 3, bytes[11] = 0, bytes[12] = 5, bytes[13] = 0;
            file.seek(0);
            file.write(bytes);
        };
        place("HAND-M.CUR", c.Hand);
        place("drag.ico", c.Drag);
        WriteStoreFile(std::string("[Pixolune]\n") + c.Store + "\n");
        const std::string storeBefore = StoreFileText();
        dialogs.Boxes.clear();
        form = MakeForm(1, program.Root());

        std::vector<RecordedBox> expected;
        if (c.Hand == Kind::Garbage || c.Hand == Kind::Folder) {
            std::string loaderSays;
            try {
                LoadPicture(program.Path("HAND-M.CUR"));
            } catch (const cError& e) {
                loaderSays = e.Description();
            }
            EXPECT_NE(loaderSays, "") << trace;
            expected.push_back(ErrorBox(loaderSays, "Form_Load", 106));
        }
        EXPECT_EQ(dialogs.Boxes, expected) << trace;
        EXPECT_EQ(Options(), c.Options + std::string(", 85, ") + GetDesktopFolder()) << trace;
        if (!c.Options[0]) {
            EXPECT_EQ(StoreFileText(), storeBefore) << trace;  // nothing rewritten
        }
        EXPECT_EQ(form->MouseIcon().has_value(), c.Hand == Kind::Good) << trace;
        if (form->MouseIcon()) {
            EXPECT_EQ(form->MouseIcon()->hotSpot(), QPoint(3, 5)) << trace;
        }

        form->AppendListItem(picture);
        form->ListView1_ItemClick(List().topLevelItem(0));
        QWidget* viewport = List().viewport();
        EXPECT_EQ(viewport->testAttribute(Qt::WA_SetCursor), c.List.has_value()) << trace;
        if (c.List) {
            EXPECT_EQ(viewport->cursor().shape(), *c.List) << trace;
        }
        form->ListView1_MouseUp();

        dialogs.Boxes.clear();
        form->Text1->setText(out.Root().c_str());
        form->PushButton2_Click();
        EXPECT_EQ(dialogs.BoxTexts(), Texts{"Done."}) << trace;
        EXPECT_EQ(QDir(out.Root().c_str()).entryList(QDir::Files), c.Written) << trace;
    }
}
