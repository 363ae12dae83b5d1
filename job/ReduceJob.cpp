// One file's road: load, convert with an optimal palette, write. Shared by
// pixolune-cli (ReduceFile) and the window (the naming and writing pieces).

#include "ReduceJob.h"

#include "MainPaths.h"
#include "PictureLoader.h"
#include "SaveAsJPG.h"
#include "cDIB.h"
#include "cError.h"
#include "mDither8bpp.h"

#include <new>
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

bool WriteReduced(const cDIB& reduced, const std::string& path, OutputType type, uint8_t quality,
                  const std::function<bool(uint64_t fileBytes)>& mayWrite) {
    // The size is known before the file is touched: the BMP's from the image,
    // the JPEG's once it is encoded in memory (no intermediate BMP).
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

ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check) {
    ReduceResult result;
    result.OutputPath = outputPath;
    try {
        result.BytesIn = FileSize(sourcePath);
        mDither8bpp::SetPaletteMode(1);

        cDIB source;
        {
            // Moved in, the decoded picture becomes the source image itself
            // (no second 4 bytes a pixel); a picture that cannot is copied.
            cPicture picture = LoadPicture(GetShortFilename(sourcePath));
            if (source.CreateFromStdPicture(std::move(picture), true) == 0) {
                result.Message = "Unexpected error loading image.." + sourcePath;
                return result;
            }
        }  // whatever was not taken over is freed here
        result.Width = source.Width();
        result.Height = source.Height();

        cDIB target;
        mDither8bpp::DitherTo8bpp(source, target);
        source.Destroy();
        if (target.hDIB() == 0) {
            result.Message = "Nothing to save.";
            return result;
        }

        const auto mayWrite = [&](uint64_t fileBytes) {
            result.BytesOut = fileBytes;
            return !check || check(result);
        };
        if (!WriteReduced(target, outputPath, type, quality, mayWrite)) {
            result.Status = ReduceStatus::Skipped;
            return result;
        }
        result.Status = ReduceStatus::Written;
        result.BytesOut = FileSize(outputPath);  // as it is on disk
    } catch (const cError& error) {
        result.Message = error.Description();
    } catch (const std::bad_alloc&) {
        result.Message = "Out of memory";
    } catch (const std::exception& error) {
        result.Message = error.what();
    } catch (...) {
        result.Message = "Unexpected error reducing " + sourcePath;
    }
    return result;
}
