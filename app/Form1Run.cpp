// "Start Reducing": every listed file, in list order, is loaded into the
// source canvas, reduced to 8 bits per pixel into the target canvas, and
// written to the output folder as BMP or JPEG.
//
// The run stays on the user-interface thread and lets pending events run
// before each file and after its progress text, so the window stays usable;
// a second click is refused, the list cannot lose items meanwhile (see
// ListLocked), and closing the window stops the run. No file replaces the
// output of an earlier file of the same run (RunOutputs.h).

#include "Form1.h"

#include "Arithmetic.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainPaths.h"
#include "MainUtilities.h"
#include "Messages.h"
#include "PictureLoader.h"
#include "ReduceJob.h"
#include "RunOutputs.h"
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
        cRunOutputs outputs;                // what this run has written
        const int32_t n = ListItemCount();  // step 108: the bound is read once
        for (int32_t i = 1; i <= n && !bUnloaded_; ++i) ReduceListItem(guard, outputs, i);
        if (!bUnloaded_) {
            guard.Step(176, [&] { SetMousePointer(PointerKind::Default); });
            guard.Step(178, [&] { ProgressBar1->SetValue(0); });
            guard.Step(180, [&] { ProgressBar1->SetText(kProgressBarIdle); });
            guard.Step(182, [&] { ShowMessage(dialogs_, kDone); });
        }
    }
    bReducing_ = false;  // step 188
}

// Steps 110 to 174 for item i. A file that cannot be loaded or reduced is
// reported and skipped: nothing is written for it. So is a file whose output
// an earlier file of this run has written.
void Form1::ReduceListItem(cStepGuard& guard, cRunOutputs& outputs, int32_t i) {
    guard.Step(110, [] { QCoreApplication::processEvents(); });
    if (bUnloaded_) return;
    guard.Step(112, [&] { SetMousePointer(PointerKind::Hourglass); });
    // Shown before the file is worked on: the last file shows 100.
    guard.Step(114, [&] {
        ProgressBar1->SetValue(RoundHalfEven(static_cast<double>(i) / ListItemCount() * 100));
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

    // The output is named before the file is worked on, so a taken name costs
    // no conversion; the options and the folder are read once for the file, here.
    const std::optional<OutputType> type = ChosenOutputType();  // steps 154 and 160
    std::string outputPath;
    bool taken = false;
    if (type) {
        guard.Step(*type == OutputType::BMP ? 156 : 164, [&] {
            outputPath = OutputPathFor(*type, baseName);
            const std::string earlier = outputs.EarlierSource(outputPath, source);
            taken = !earlier.empty();
            if (taken) ShowMessage(dialogs_, OutputTakenText(source, outputPath, earlier));
        });
    }
    if (taken) return;

    guard.Step(140, [] { mDither8bpp::SetPaletteMode(1); });
    FileRoad road;
    road.Source = source;
    road.Load = [&] { return LoadPicture(GetShortFilename(source)); };
    road.Picture = ucCanvasSrc->DIB.get();
    road.Reduced = ucCanvasTrg->DIB.get();
    const uint8_t quality = RoundToByte(Slider2->value());
    road.Write = [&](const cDIB& reduced) {
        WriteReducedIf(reduced, outputPath, *type, quality, {});
        return true;
    };
    RunFileRoad(road, [&](ReduceStep stage, const StageWork& work) {
        std::string message;
        switch (stage) {
        case ReduceStep::Load:
            if (!guard.Step(142, [&] { message = loadBMPImage(work); })) return false;
            if (!message.empty()) guard.Step(146, [&] { ShowMessage(dialogs_, message); });
            break;
        case ReduceStep::Convert:
            if (!guard.Step(148, [&] { message = reduceImageSize(work); })) return false;
            if (!message.empty()) {  // step 150
                guard.Step(152, [&] {
                    ShowMessage(dialogs_, kReduceFailed + source + "\r\n" + message + source);
                });
            }
            break;
        case ReduceStep::Write:
            if (!type) return false;  // neither BMP nor JPG chosen: nothing is written
            // "Nothing to save." is not shown.
            guard.Step(*type == OutputType::BMP ? 158 : 170, [&] {
                if (saveBMPImage(work).empty()) outputs.Written(outputPath, source);
            });
            break;
        }
        return message.empty();
    });
}

std::optional<OutputType> Form1::ChosenOutputType() const {
    if (Option1->isChecked()) return OutputType::BMP;
    if (Option2->isChecked()) return OutputType::JPG;
    return std::nullopt;
}

// A BMP path is used as it stands: a folder text ending in "/" gives "//",
// which the file system takes. The JPEG is encoded in memory from the reduced
// image: no BMP of the same name is written or deleted on the way.
std::string Form1::OutputPathFor(OutputType type, const std::string& baseName) const {
    const std::string path = ReducedOutputPath(OutputFolder(), baseName, type);
    return type == OutputType::JPG ? CollapseBackslashes(path) : path;
}

// The road's load, with the canvases laid out for the new picture; the
// previous result goes.
std::string Form1::loadBMPImage(const StageWork& load) {
    const std::string message = load();
    if (!message.empty()) return message;
    ucCanvasSrc->Resize();
    ucCanvasSrc->Repaint();
    if (ucCanvasTrg->DIB) ucCanvasTrg->DIB->Destroy();
    ucCanvasTrg->Resize();
    ucCanvasTrg->Repaint();
    return {};
}

// The road's conversion under the hourglass; both canvases then show the
// same part of the picture.
std::string Form1::reduceImageSize(const StageWork& convert) {
    if (!ucCanvasSrc->HasImage()) return kNothingToDither;
    {
        const cHourglass hourglass(*this);
        const std::string message = convert();
        if (!message.empty()) return message;
        ucCanvasTrg->Resize();
    }
    int32_t x = 0, y = 0;
    ucCanvasSrc->GetScrollPos(x, y);
    ucCanvasTrg->SetScrollPos(x, y);
    ucCanvasTrg->Repaint();
    return {};
}

// The road's writing: the reduced image as a BMP, or as a JPEG of the
// quality the slider shows.
std::string Form1::saveBMPImage(const StageWork& write) { return write(); }
