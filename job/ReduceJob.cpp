// One file's road: load, convert with an optimal palette, write. Shared by
// pixolune-cli (ReduceFile) and the window (Form1Run.cpp).

#include "ReduceJob.h"

#include "ErrorMessage.h"
#include "MainPaths.h"
#include "Messages.h"
#include "PictureLoader.h"
#include "SaveAsJPG.h"
#include "cDIB.h"
#include "mDither8bpp.h"

#include <utility>

#include <sys/stat.h>

namespace {

uint64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace

std::string ReducedBaseName(const std::string& sourcePath) {
    const std::string name = FileNameFromPath(sourcePath);
    // All pieces but the last, each followed by "." and the final "." dropped:
    // that is the text before the last dot.
    const std::string::size_type lastDot = name.rfind('.');
    const std::string stem = lastDot == std::string::npos ? name : name.substr(0, lastDot);
    return stem + "-reduced.";
}

std::string ReducedOutputPath(const std::string& folder, const std::string& baseName,
                              OutputType type) {
    return folder + "/" + baseName + (type == OutputType::JPG ? "jpg" : "bmp");
}

std::string LoadSource(const std::string& path, cDIB& image, int64_t maxPixels) {
    // Moved in, the decoded picture becomes the image itself (no second 4
    // bytes a pixel); a picture that cannot be taken over is copied, and what
    // was not taken is freed on return.
    if (image.CreateFromStdPicture(LoadPicture(path, maxPixels), true) == 0) return kLoadFailed;
    return {};
}

RgbError Convert(const cDIB& source, cDIB& target, const ReduceChoice& choice) {
    constexpr int32_t kOptimalPalette = 1;
    return mDither8bpp::DitherTo8bpp(source, target,
                                     {kOptimalPalette, choice.Mapping, choice.MeasureError});
}

std::string WriteReduced(const cDIB& reduced, const std::string& path, OutputType type,
                         uint8_t quality) {
    if (reduced.hDIB() == 0) return kNothingToSave;
    WriteReducedIf(reduced, path, type, quality, {});
    return {};
}

bool WriteReducedIf(const cDIB& reduced, const std::string& path, OutputType type, uint8_t quality,
                    const std::function<bool(uint64_t fileBytes)>& mayWrite) {
    // The size is known before the file is touched: the BMP's from the image,
    // the JPEG's once it is encoded in memory (no intermediate BMP). Both
    // writers replace an earlier file only once the new one is complete.
    if (type == OutputType::JPG) {
        const cJPGBytes jpeg = EncodeJPG(reduced, quality);
        if (mayWrite && !mayWrite(jpeg.Size)) return false;
        WriteJPG(jpeg, path);
    } else {
        if (mayWrite && !mayWrite(static_cast<uint64_t>(reduced.SavedFileSize()))) return false;
        reduced.Save(path);
    }
    return true;
}

bool RunFileRoad(FileRoad& road, const StageRunner& run) {
    const bool loaded = run(RoadStage::Load, [&]() -> std::string {
        if (!road.Picture) return kLoadFailed + road.Source;
        const std::string message =
            LoadSource(GetShortFilename(road.Source), *road.Picture, road.Choice.MaxPixels);
        return message.empty() ? message : message + road.Source;
    });
    if (!loaded) return false;
    const bool converted = run(RoadStage::Convert, [&]() -> std::string {
        if (!road.Picture || road.Picture->hDIB() == 0 || !road.Reduced) return kNothingToDither;
        road.Error = Convert(*road.Picture, *road.Reduced, road.Choice);
        return {};
    });
    if (!converted) return false;
    return run(RoadStage::Write, [&]() -> std::string {
        if (!road.Reduced || road.Reduced->hDIB() == 0) return kNothingToSave;
        road.Skipped =
            !WriteReducedIf(*road.Reduced, road.Output, road.Type, road.Quality, road.MayWrite);
        return {};
    });
}

ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check,
                        const ReduceChoice& choice) {
    ReduceResult result;
    result.OutputPath = outputPath;
    result.Mapping = choice.Mapping;
    result.BytesIn = FileSize(sourcePath);

    cDIB picture, reduced;
    FileRoad road;
    road.Source = sourcePath;
    road.Output = outputPath;
    road.Type = type;
    road.Quality = quality;
    road.Choice = choice;
    road.Picture = &picture;
    road.Reduced = &reduced;
    road.MayWrite = [&](uint64_t fileBytes) {
        result.BytesOut = fileBytes;
        return !check || check(result);
    };
    const bool wrote = RunFileRoad(road, [&](RoadStage stage, const StageWork& work) {
        try {
            result.Message = work();
        } catch (...) {  // nothing was written
            result.Message = ErrorMessage();
        }
        if (!result.Message.empty()) return false;
        if (stage == RoadStage::Load) {
            result.Width = picture.Width();
            result.Height = picture.Height();
        } else if (stage == RoadStage::Convert) {
            result.Error = road.Error;
            picture.Destroy();  // not needed for the writing
        }
        return true;
    });
    if (!wrote) {
        result.BytesOut = 0;
        result.Error = {};
    } else if (road.Skipped) {
        result.Status = ReduceStatus::Skipped;
    } else {
        result.Status = ReduceStatus::Written;
        result.BytesOut = FileSize(outputPath);  // as it is on disk
    }
    return result;
}
