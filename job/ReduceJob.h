#pragma once
// One file's road through the program: load, sample, palette, dither, write.
// pixolune-cli runs ReduceFile as it is; the window runs the same pieces one
// by one on its canvases (loadBMPImage, reduceImageSize, saveBMPImage) with
// its own steps, messages and progress in between.

#include "BandedReduction.h"
#include "LoaderErrors.h"
#include "RgbError.h"
#include "cError.h"
#include "cPicture.h"
#include "mDither8bpp.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

class cDIB;

enum class OutputType { BMP, JPG };

// What the output names of the program add to their source's name.
inline constexpr const char* kReducedSuffix = "-reduced";

// The output base name of a source path: its file name with the text after the
// last dot replaced by suffix and "." ("photo.bmp" -> "photo-reduced.",
// "a.b.c.bmp" -> "a.b.c-reduced.", ".bmp" -> "-reduced."). A name without any
// dot keeps its whole name: "README" -> "README-reduced.".
std::string OutputBaseName(const std::string& sourcePath, const std::string& suffix);
// The same with the program's own suffix.
std::string ReducedBaseName(const std::string& sourcePath);

// folder + "/" + baseName + "bmp" or "jpg".
std::string ReducedOutputPath(const std::string& folder, const std::string& baseName,
                              OutputType type);

// The size of the 8-bit BMP file a reduced picture of width x height pixels is
// written as: headers and the 256-entry colour table (1078 bytes), then each
// row padded to 4 bytes.
uint64_t ReducedBmpBytes(int64_t width, int64_t height);

// The size of the regular file at path; 0 when there is none.
uint64_t SourceFileSize(const std::string& path);

// How a file is reduced, beyond its output type and quality.
struct ReduceChoice {
    mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;  // the window's
    bool MeasureError = false;  // fill ReduceResult::Error (a few per cent of a conversion)
    int64_t MaxPixels = kMaxPicturePixels;  // larger pictures are refused before decoding
};

// Rebuilds target as the 8-bit reduction of the 32-bpp source: the optimal
// palette of a shrunk sample and ordered dithering, each pixel mapped as the
// choice says. Returns how far the result lies from source when asked to
// measure it. Raises when source holds no image.
RgbError Convert(const cDIB& source, cDIB& target, const ReduceChoice& choice = {});

// Writes the reduced image to path: an 8-bit BMP, or a JPEG encoded in memory
// from that same image (no intermediate file). Returns "" when written,
// kNothingToSave when reduced holds no image; raises a cError when writing
// fails. An earlier file at path is replaced only once the new one is complete.
std::string WriteReduced(const cDIB& reduced, const std::string& path, OutputType type,
                         uint8_t quality);

// The same for an image that is there, asking mayWrite with the file's size
// before anything is written: false writes nothing and returns false.
bool WriteReducedIf(const cDIB& reduced, const std::string& path, OutputType type, uint8_t quality,
                    const std::function<bool(uint64_t fileBytes)>& mayWrite);

enum class ReduceStatus { Written, Skipped, Failed };

// The stages of one file's road, in their order; where it ended when it failed.
enum class ReduceStep { Load, Convert, Write };

// A stage's work: "" when done, else the program's message text for a
// failure it reports itself; other failures raise.
using StageWork = std::function<std::string()>;

// A front end's way through a stage: runs work (or not) and says whether the
// road goes on.
using StageRunner = std::function<bool(ReduceStep stage, const StageWork& work)>;

// One file on its road: where its picture comes from, the two images it
// works on (the window's canvases, or images of the road's caller) and where
// the reduction goes.
struct FileRoad {
    std::string Source;              // the path as given, or the name contents in memory stand for
    std::function<cPicture()> Load;  // the picture of Source, decoded
    ReduceChoice Choice;
    cDIB* Picture = nullptr;  // the loaded picture, 32 bpp
    cDIB* Reduced = nullptr;  // its 8-bit reduction
    // Writes the reduction, or leaves it unwritten (false: the file is skipped).
    std::function<bool(const cDIB& reduced)> Write;

    // Where the picture can be read band by band (a plain BMP file, a PNG
    // or a JPEG its own decoder reads): opens it, or gives nullptr for a file
    // to load whole. Such a picture is never held whole: Picture and Reduced
    // stay empty, and WriteBands writes it (or leaves it unwritten: false)
    // instead of Write.
    std::function<std::unique_ptr<cBandedReduction>()> OpenBands;
    std::function<bool(cBandedReduction& banded)> WriteBands;

    int32_t Width = 0;  // of the picture, once loaded
    int32_t Height = 0;
    RgbError Error;  // of the reduction, once converted (when the choice measures it)
    bool Skipped = false;
    // Whether the source failed to be read at a later stage (rows read for
    // the palette or by WriteBands): a failure of its load, whatever the stage.
    bool SourceFailed = false;
};

// The road: the picture loaded (kLoadFailed + Source when there is none),
// converted with the optimal palette of a shrunk sample (kNothingToDither
// without a picture), written (kNothingToSave without a reduction). Each
// stage goes through run; once run says stop, no later stage runs. Returns
// whether the last one ran.
bool RunFileRoad(FileRoad& road, const StageRunner& run);

struct ReduceResult {
    ReduceStatus Status = ReduceStatus::Failed;
    std::string Message;  // the program's message text when failed
    // When failed: the step, the error's number (none for an error that is
    // not the program's own) and its reason, as cError::Reason gives it.
    ReduceStep FailedStep = ReduceStep::Load;
    std::optional<ErrorNumber> FailedNumber;
    std::string Reason;
    std::string OutputPath;  // where the output goes (also when skipped or failed)
    int32_t Width = 0;       // of the loaded image; 0 when it did not load
    int32_t Height = 0;
    uint64_t BytesIn = 0;   // size of the source file
    uint64_t BytesOut = 0;  // size of the written file, or of the one a skip left unwritten
    mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;
    // Of the 8-bit reduction (for JPEG output: before its encoding) against the
    // loaded image; compares nothing when not measured or not converted.
    RgbError Error;
};

// Records the error being handled (inside a catch block) as the file's
// failure at step: its message, number and reason; nothing written.
void RecordFailure(ReduceResult& result, ReduceStep step);

// Asked on the converting thread once the output's size is known (in
// planned.BytesOut), before anything is written: false leaves the output path
// as it is and the file is skipped. It may raise to fail the file with the
// error's text.
using WriteCheck = std::function<bool(const ReduceResult& planned)>;

// Loads sourcePath as 32 bpp (refused before decoding when larger than the
// choice's MaxPixels), converts it with an optimal palette as choice says and
// writes it to outputPath (asking check first, when given): RunFileRoad on
// images of its own, the picture freed once converted. Never throws:
// failures come back as Message (kLoadFailed + path, or the error's message),
// with their step, number and reason.
ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check = {},
                        const ReduceChoice& choice = {});

// The same for a file's contents in memory (name stands for it in messages),
// written to the open descriptor fd (outputName stands for that) with no
// check: standard input to standard output.
ReduceResult ReduceInMemory(std::span<const uint8_t> source, const std::string& name, int fd,
                            const std::string& outputName, OutputType type, uint8_t quality,
                            const ReduceChoice& choice = {});
