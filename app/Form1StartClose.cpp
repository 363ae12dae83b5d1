// Form1 start-up (the stored options and folder put back, the optional
// files beside the program looked for) and closing.

#include "Form1.h"

#include "AppSettings.h"
#include "Arithmetic.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainPaths.h"
#include "MainUtilities.h"
#include "Messages.h"
#include "mDither8bpp.h"
#include "ucCanvas.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

namespace {

constexpr const char* kHomePage = "https://pixolune.example/";
constexpr double kListColumnTwips = 7000;

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
    if (hasCursorFile) guard.Step(106, [&] { LoadCustomPointer(cursorFile); });
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
