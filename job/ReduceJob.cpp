// One file's road: load, convert with an optimal palette, write. Shared by
// pixolune-cli (ReduceFile) and the window (each piece on its own).

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

// Writes the reduced image, or leaves it unwritten (false).
using ReducedWriter = std::function<bool(const cDIB& reduced, ReduceResult& result)>;

// The road of pixolune-cli, for files and contents in memory alike: its own
// images, every failure recorded in the result with its stage.
// Writes a picture read band by band, or leaves it unwritten (false).
using BandedWriter = std::function<bool(cBandedReduction& banded, ReduceResult& result)>;

// road comes with its source, its way of loading and its choice; a banded
// road with its way of opening the bands.
ReduceResult Reduce(FileRoad& road, const ReducedWriter& write, const BandedWriter& writeBands,
                    ReduceResult result) {
    result.Mapping = road.Choice.Mapping;
    cDIB picture, reduced;
    if (writeBands)
        road.WriteBands = [&](cBandedReduction& banded) { return writeBands(banded, result); };
    road.Picture = &picture;
    road.Reduced = &reduced;
    road.Write = [&](const cDIB& image) { return write(image, result); };
    const bool ended = RunFileRoad(road, [&](ReduceStep stage, const StageWork& work) {
        std::string message;
        try {
            message = work();
        } catch (...) {
            RecordFailure(result, road.SourceFailed ? ReduceStep::Load : stage);
            return false;
        }
        if (!message.empty()) {
            result.Status = ReduceStatus::Failed;
            result.FailedStep = stage;
            result.Message = message;
            result.Reason = stage == ReduceStep::Load ? "no picture in it" : message;
            return false;
        }
        if (stage == ReduceStep::Load) {
            result.Width = road.Width;
            result.Height = road.Height;
        } else if (stage == ReduceStep::Convert) {
            result.Error = road.Error;
            picture.Destroy();  // not needed for the writing
        }
        return true;
    });
    if (ended) result.Status = road.Skipped ? ReduceStatus::Skipped : ReduceStatus::Written;
    return result;
}

}  // namespace

// Records the error being handled as the file's failure at step.
void RecordFailure(ReduceResult& result, ReduceStep step) {
    result.Status = ReduceStatus::Failed;
    result.FailedStep = step;
    result.Message = ErrorMessage();
    result.Reason = result.Message;
    try {
        throw;
    } catch (const cError& error) {
        result.FailedNumber = error.Number();
        if (!error.Reason().empty()) result.Reason = error.Reason();
    } catch (...) {
    }
    result.BytesOut = 0;  // nothing was written
    result.Error = {};
}

uint64_t SourceFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

std::string OutputBaseName(const std::string& sourcePath, const std::string& suffix) {
    const std::string name = FileNameFromPath(sourcePath);
    // All pieces but the last, each followed by "." and the final "." dropped:
    // that is the text before the last dot.
    const std::string::size_type lastDot = name.rfind('.');
    const std::string stem = lastDot == std::string::npos ? name : name.substr(0, lastDot);
    return stem + suffix + ".";
}

std::string ReducedBaseName(const std::string& sourcePath) {
    return OutputBaseName(sourcePath, kReducedSuffix);
}

std::string ReducedOutputPath(const std::string& folder, const std::string& baseName,
                              OutputType type) {
    return folder + "/" + baseName + (type == OutputType::JPG ? "jpg" : "bmp");
}

uint64_t ReducedBmpBytes(int64_t width, int64_t height) {
    constexpr uint64_t kHeadersAndColourTable = 14 + 40 + 256 * 4;
    const uint64_t stride = (static_cast<uint64_t>(width) + 3) / 4 * 4;
    return kHeadersAndColourTable + stride * static_cast<uint64_t>(height);
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
    std::unique_ptr<cBandedReduction> banded;
    // A step of the bands past their load, which may read the source.
    const auto fromBands = [&](const auto& step) {
        try {
            step();
        } catch (...) {
            road.SourceFailed = banded->SourceFailed();
            throw;
        }
    };
    const bool loaded = run(ReduceStep::Load, [&]() -> std::string {
        if (road.OpenBands && (banded = road.OpenBands())) {
            // The fine palette reads the picture's own rows when it is made.
            if (road.Choice.Mapping == mDither8bpp::Mapping::Exact) banded->ReadSample();
            road.Width = banded->Width();
            road.Height = banded->Height();
            return {};
        }
        // Moved in, the decoded picture becomes the image itself (no second 4
        // bytes a pixel); a picture that cannot be taken over is copied.
        if (!road.Picture || road.Picture->CreateFromStdPicture(road.Load(), true) == 0)
            return kLoadFailed + road.Source;
        road.Width = road.Picture->Width();
        road.Height = road.Picture->Height();
        return {};
    });
    if (!loaded) return false;
    const bool converted = run(ReduceStep::Convert, [&]() -> std::string {
        if (banded) {
            fromBands([&] { banded->Plan(road.Choice.Mapping); });
            return {};
        }
        if (!road.Picture || road.Picture->hDIB() == 0 || !road.Reduced) return kNothingToDither;
        road.Error = Convert(*road.Picture, *road.Reduced, road.Choice);
        return {};
    });
    if (!converted) return false;
    return run(ReduceStep::Write, [&]() -> std::string {
        if (banded) {
            fromBands([&] { road.Skipped = !road.WriteBands(*banded); });
            return {};
        }
        if (!road.Reduced || road.Reduced->hDIB() == 0) return kNothingToSave;
        road.Skipped = !road.Write(*road.Reduced);
        return {};
    });
}

ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check,
                        const ReduceChoice& choice) {
    ReduceResult result;
    result.OutputPath = outputPath;
    result.BytesIn = SourceFileSize(sourcePath);
    const auto write = [&](const cDIB& reduced, ReduceResult& written) {
        const auto mayWrite = [&](uint64_t fileBytes) {
            written.BytesOut = fileBytes;
            return !check || check(written);
        };
        if (!WriteReducedIf(reduced, outputPath, type, quality, mayWrite)) return false;
        written.BytesOut = SourceFileSize(outputPath);  // as it is on disk
        return true;
    };
    FileRoad road;
    road.Source = sourcePath;
    road.Load = [&] { return LoadPicture(sourcePath, choice.MaxPixels); };
    road.Choice = choice;
    road.OpenBands = [&] { return cBandedReduction::Open(sourcePath, choice.MaxPixels); };
    const auto writeBands = [&](cBandedReduction& banded, ReduceResult& written) {
        if (type == OutputType::JPG) {
            // Encoded in memory first: its size is known before anything is written.
            cBandedReduction::cJPG jpeg = banded.EncodeJPG(quality, choice.MeasureError);
            written.BytesOut = jpeg.Bytes.Size;
            if (check && !check(written)) return false;
            WriteJPG(jpeg.Bytes, outputPath);
            written.Error = jpeg.Error;
        } else {
            written.BytesOut = banded.FileBytes();
            if (check && !check(written)) return false;
            written.Error = banded.Write(outputPath, choice.MeasureError);
        }
        written.BytesOut = SourceFileSize(outputPath);  // as it is on disk
        return true;
    };
    return Reduce(road, write, BandedWriter(writeBands), std::move(result));
}

ReduceResult ReduceInMemory(std::span<const uint8_t> source, const std::string& name, int fd,
                            const std::string& outputName, OutputType type, uint8_t quality,
                            const ReduceChoice& choice) {
    ReduceResult result;
    result.OutputPath = outputName;
    result.BytesIn = source.size();
    const auto write = [&](const cDIB& reduced, ReduceResult& written) {
        if (type == OutputType::JPG) {
            const cJPGBytes jpeg = EncodeJPG(reduced, quality);
            written.BytesOut = jpeg.Size;
            WriteJPGTo(jpeg, fd);
        } else {
            written.BytesOut = static_cast<uint64_t>(reduced.SavedFileSize());
            reduced.SaveTo(fd, outputName);
        }
        return true;
    };
    FileRoad road;
    road.Source = name;
    road.Load = [&] { return LoadPictureFromMemory(source, name, choice.MaxPixels); };
    road.Choice = choice;
    return Reduce(road, write, {}, std::move(result));
}
