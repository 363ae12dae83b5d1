// "Start Reducing": every listed file, in list order, is loaded into the
// source canvas, reduced to 8 bits per pixel into the target canvas, and
// written to the output folder as BMP or JPEG.
//
// The run stays on the user-interface thread and lets pending events run
// before each file and after its progress text, so the window stays usable;
// a second click is refused, the list cannot lose items meanwhile (see
// ListLocked), and closing the window stops the run.

#include "Form1.h"

#include "Arithmetic.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainPaths.h"
#include "MainUtilities.h"
#include "Messages.h"
#include "ReduceJob.h"
#include "mDither8bpp.h"
#include "ucCanvas.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

namespace {

// Shows the hourglass for a while and puts back the pointer found.
class cHourglass {
public:
    explicit cHourglass(Form1& form) : form_(form), previous_(form.MousePointer()) {
        form_.SetMousePointer(Form1::PointerKind::Hourglass);
    }
    ~cHourglass() { form_.SetMousePointer(previous_); }
    cHourglass(const cHourglass&) = delete;
    cHourglass& operator=(const cHourglass&) = delete;

private:
    Form1& form_;
    Form1::PointerKind previous_;
};

}  // namespace

void Form1::PushButton2_Click() {
    if (bReducing_) return;  // step 100: a run is in progress
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton2_Click"));
    bReducing_ = true;  // step 102

    if (ListItemCount() == 0) {  // step 104
        guard.Step(186, [&] { ShowMessage(dialogs_, kNoFilesAdded); });
    } else if (!FolderExists(OutputFolder())) {  // step 106: used as typed, never created
        guard.Step(184, [&] { ShowMessage(dialogs_, kFolderMissing); });
    } else {
        const int32_t n = ListItemCount();  // step 108: the bound is read once
        for (int32_t i = 1; i <= n && !bUnloaded_; ++i) ReduceListItem(guard, i);
        if (!bUnloaded_) {
            guard.Step(176, [&] { SetMousePointer(PointerKind::Default); });
            guard.Step(178, [&] { ProgressBar1->setValue(0); });
            guard.Step(180, [&] { ProgressBar1->SetText(kProgressBarIdle); });
            guard.Step(182, [&] { ShowMessage(dialogs_, kDone); });
        }
    }
    bReducing_ = false;  // step 188
}

// Steps 110 to 174 for item i. A file that cannot be loaded or reduced is
// reported and skipped: nothing is written for it.
void Form1::ReduceListItem(cStepGuard& guard, int32_t i) {
    guard.Step(110, [] { QCoreApplication::processEvents(); });
    if (bUnloaded_) return;
    guard.Step(112, [&] { SetMousePointer(PointerKind::Hourglass); });
    // Shown before the file is worked on: the last file shows 100.
    guard.Step(114, [&] {
        ProgressBar1->setValue(RoundHalfEven(static_cast<double>(i) / ListItemCount() * 100));
    });
    std::string source;
    if (!guard.Step(116, [&] { source = ListItemText(i); })) return;
    guard.Step(118, [&] {
        ProgressBar1->SetText(QString::fromStdString(kProcessing + FileNameFromPath(source)));
    });
    guard.Step(120, [] { QCoreApplication::processEvents(); });
    if (bUnloaded_) return;

    std::string baseName;
    guard.Step(124, [&] { baseName = ReducedBaseName(source); });
    guard.Step(140, [] { mDither8bpp::SetPaletteMode(1); });

    std::string message;
    if (!guard.Step(142, [&] { message = loadBMPImage(GetShortFilename(source)); })) return;
    if (!message.empty()) {  // step 144
        guard.Step(146, [&] { ShowMessage(dialogs_, message + source); });
        return;
    }
    if (!guard.Step(148, [&] { message = reduceImageSize(); })) return;
    if (!message.empty()) {  // step 150
        guard.Step(152, [&] {
            ShowMessage(dialogs_, kReduceFailed + source + "\r\n" + message + source);
        });
        return;
    }

    if (Option1->isChecked()) {  // step 154
        std::string bmpPath;
        guard.Step(156,
                   [&] { bmpPath = ReducedOutputPath(OutputFolder(), baseName, OutputType::BMP); });
        // "Nothing to save." is not shown.
        guard.Step(158, [&] { saveBMPImage(bmpPath); });
    } else if (Option2->isChecked()) {  // step 160
        // The JPEG is encoded in memory from the reduced image: no BMP of the
        // same name is written or deleted on the way.
        std::string jpgPath;
        guard.Step(164, [&] {
            jpgPath =
                CollapseBackslashes(ReducedOutputPath(OutputFolder(), baseName, OutputType::JPG));
        });
        guard.Step(170, [&] { saveReducedImage(jpgPath, OutputType::JPG); });
    }
}

std::string Form1::loadBMPImage(const std::string& pImageFilename) {
    // An unreadable file raises; an empty name gives no picture.
    if (!ucCanvasSrc->DIB) return kLoadFailed;
    const std::string message = LoadSource(pImageFilename, *ucCanvasSrc->DIB);
    if (!message.empty()) return message;
    ucCanvasSrc->Resize();
    ucCanvasSrc->Repaint();
    if (ucCanvasTrg->DIB) ucCanvasTrg->DIB->Destroy();  // the previous result goes
    ucCanvasTrg->Resize();
    ucCanvasTrg->Repaint();
    return {};
}

std::string Form1::reduceImageSize() {
    if (!ucCanvasSrc->HasImage() || !ucCanvasTrg->DIB) return kNothingToDither;
    {
        const cHourglass hourglass(*this);
        Convert(*ucCanvasSrc->DIB, *ucCanvasTrg->DIB);
        ucCanvasTrg->Resize();
    }
    // Both canvases show the same part of the picture.
    int32_t x = 0, y = 0;
    ucCanvasSrc->GetScrollPos(x, y);
    ucCanvasTrg->SetScrollPos(x, y);
    ucCanvasTrg->Repaint();
    return {};
}

std::string Form1::saveBMPImage(const std::string& pImageNewFilename) {
    return saveReducedImage(pImageNewFilename, OutputType::BMP);
}

std::string Form1::saveReducedImage(const std::string& path, OutputType type) {
    if (!ucCanvasTrg->DIB) return kNothingToSave;
    return WriteReduced(*ucCanvasTrg->DIB, path, type, RoundToByte(Slider2->value()));
}
