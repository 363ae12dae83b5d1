// Form1 start-up, the output options and folder with their settings, the
// mouse pointer, and closing.

#include "Form1.h"

#include "AppSettings.h"
#include "Arithmetic.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainPaths.h"
#include "MainUtilities.h"
#include "Messages.h"
#include "PictureLoader.h"
#include "cError.h"
#include "mDither8bpp.h"
#include "ucCanvas.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

namespace {

constexpr const char* kHomePage = "https://pixolune.example/";
constexpr double kListColumnTwips = 7000;

// A .cur file holds its hot spot in the first directory entry (bytes 10..13);
// Qt's icon reader reads the image but not the hot spot. A file that cannot be
// read or decoded raises the picture loader's error, which names the file and
// the reason.
QCursor LoadCursorFile(const std::string& path) {
    LoadPicture(path);  // only to raise that error: the pointer keeps its transparency
    const QString file = QString::fromStdString(path);
    QPixmap image(file, "cur");
    if (image.isNull()) image.load(file);
    if (image.isNull()) throw cError(ErrorNumber::InvalidPicture, std::string(kInvalidPicture) + ": " + path);

    int hotX = -1, hotY = -1;
    QFile cursorFile(file);
    if (cursorFile.open(QIODevice::ReadOnly)) {
        const QByteArray head = cursorFile.read(14);
        if (head.size() == 14 && static_cast<uint8_t>(head[2]) == 2) {  // type 2: cursor
            hotX = static_cast<uint8_t>(head[10]) | static_cast<uint8_t>(head[11]) << 8;
            hotY = static_cast<uint8_t>(head[12]) | static_cast<uint8_t>(head[13]) << 8;
        }
    }
    return QCursor(image, hotX, hotY);
}

// An option button of the pair refuses to be cleared while it is the one
// selected; a settings file may still ask for neither.
void SetOptionButton(QRadioButton& option, bool selected) {
    if (selected || !option.isChecked()) {
        option.setChecked(selected);
        return;
    }
    option.setAutoExclusive(false);
    option.setChecked(false);
    option.setAutoExclusive(true);
}

}  // namespace

QString QualityCaption(int32_t value) { return QString("JPG quality: %1%").arg(value); }

void Form1::Form_Load() {
    cStepGuard guard(dialogs_, LocationString("Form1", "Form_Load"));
    guard.Step(100, [&] { ApplySkin(*this, SkinFramework1, ProgramPath); });
    guard.Step(102, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(QIcon(":/icons/pixolune.png"));
        SetApplicationTitle();
    });
    // Without the file there is no error: the custom pointer has no image.
    const std::string cursorFile = DataFilePath(ProgramPath, "HAND-M.CUR");
    bool hasCursorFile = false;
    guard.Step(104, [&] { hasCursorFile = FileExists(cursorFile); });
    if (hasCursorFile) guard.Step(106, [&] { mouseIcon_ = LoadCursorFile(cursorFile); });
    guard.Step(108, [&] {
        if (RandomPercent() == 7) dialogs_.OpenUrl(kHomePage);
    });
    guard.Step(126, [&] { ListView1->setHeaderLabels({"BMP File(s)"}); });
    guard.Step(128, [&] { ListView1->setColumnWidth(0, RoundHalfEven(kListColumnTwips / 15)); });
    guard.Step(130, [] { mDither8bpp::InitDitherTables(); });
    guard.Step(132, [&] { ucCanvasSrc->SetWorkMode(1); });
    // Assigning the stored values runs the controls' change handlers where a
    // value changes; they write the same value back.
    guard.Step(134, [&] {
        Text1->setText(QString::fromStdString(cSettings::Text(Setting::OutputFolder)));
    });
    guard.Step(136, [&] { Slider2->setValue(cSettings::Number(Setting::Slider2)); });
    guard.Step(138, [&] { Frame4->setTitle(QualityCaption(Slider2->value())); });
    guard.Step(140, [&] { SetOptionButton(*Option1, cSettings::Flag(Setting::Option1)); });
    guard.Step(142, [&] { SetOptionButton(*Option2, cSettings::Flag(Setting::Option2)); });
    guard.Step(144, [&] { UpdateQualityFrame(); });
}

// The quality only matters for JPG output. With neither option selected the
// frame stays as it is.
void Form1::UpdateQualityFrame() {
    if (Option1->isChecked())
        Frame4->setEnabled(false);
    else if (Option2->isChecked())
        Frame4->setEnabled(true);
}

void Form1::Option1_Click() {
    cSettings::SetFlag(Setting::Option1, Option1->isChecked());
    cSettings::SetFlag(Setting::Option2, Option2->isChecked());
    UpdateQualityFrame();
}

void Form1::Option2_Click() { Option1_Click(); }

void Form1::Slider2_Change() {
    Frame4->setTitle(QualityCaption(Slider2->value()));
    cSettings::SetNumber(Setting::Slider2, Slider2->value());
}

// Stored at every keystroke, whether or not the folder exists.
void Form1::Text1_Change() {
    cSettings::SetText(Setting::OutputFolder, Text1->text().toStdString());
}

std::string Form1::OutputFolder() const { return Text1->text().toStdString(); }

void Form1::PushButton4_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton4_Click"));
    std::string chosen;
    guard.Step(100, [&] {
        chosen = dialogs_.BrowseForFolder(kSelectFolder, cSettings::Text(Setting::LastFolderDot));
    });
    if (chosen.empty()) return;  // step 102: cancelled, nothing changes
    guard.Step(104, [&] { cSettings::SetText(Setting::LastFolderDot, chosen); });
    // The output folder text always ends in "/" after a choice.
    if (chosen.back() != '/')
        guard.Step(106, [&] { Text1->setText(QString::fromStdString(chosen + "/")); });
    else
        guard.Step(108, [&] { Text1->setText(QString::fromStdString(chosen)); });
}

void Form1::SetMousePointer(PointerKind pointer) {
    pointer_ = pointer;
    switch (pointer) {
    case PointerKind::Default:
        unsetCursor();
        break;
    case PointerKind::Hourglass:
        setCursor(Qt::WaitCursor);
        break;
    case PointerKind::Custom:
        setCursor(mouseIcon_.value_or(QCursor(Qt::ArrowCursor)));
        break;
    }
}

// Neither pointer change happens while the hourglass is up, so it stays for a whole run.
void Form1::ShowDefaultPointer() {
    if (!IsBusy()) SetMousePointer(PointerKind::Default);
}

void Form1::ShowCustomPointer() {
    if (!IsBusy()) SetMousePointer(PointerKind::Custom);
}

void Form1::Form_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame1_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame2_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame4_MouseMove() { ShowDefaultPointer(); }
void Form1::Text1_MouseMove() { ShowDefaultPointer(); }
void Form1::PushButton1_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton2_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton3_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton4_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton7_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton8_MouseMove() { ShowCustomPointer(); }

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    Form_Unload();
    event->accept();  // closing is never refused
}

void Form1::Form_QueryUnload() {
    cStepGuard guard(dialogs_, LocationString("Form1", "Form_QueryUnload"));
    guard.Step(100, [&] { ucCanvasSrc->DIB = nullptr; });
    guard.Step(102, [&] { ucCanvasTrg->DIB = nullptr; });
}

// Ends the program, also in the middle of a run: the run sees bUnloaded_ at
// its next step and stops without another message.
void Form1::Form_Unload() {
    bUnloaded_ = true;
    QCoreApplication::quit();
}
