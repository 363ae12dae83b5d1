#pragma once
// One file's road through the program: load, sample, palette, dither, write.
// RunFileRoad is the one order of it; each front end runs it with its own way
// through a stage: pixolune-cli's ReduceFile catches failures into the file's
// result, the window numbers each stage as a step of its run and shows its
// canvases and messages in between (loadBMPImage, reduceImageSize,
// saveBMPImage).

#include "LoaderErrors.h"
#include "RgbError.h"
#include "mDither8bpp.h"

#include <cstdint>
#include <functional>
#include <string>

class cDIB;

enum class OutputType { BMP, JPG };

// The output base name of a source path: its file name with the text after the
// last dot replaced by "-reduced." ("photo.bmp" -> "photo-reduced.",
// "a.b.c.bmp" -> "a.b.c-reduced.", ".bmp" -> "-reduced."). A name without any
// dot keeps its whole name: "README" -> "README-reduced.".
std::string ReducedBaseName(const std::string& sourcePath);

// folder + "/" + baseName + "bmp" or "jpg".
std::string ReducedOutputPath(const std::string& folder, const std::string& baseName,
                              OutputType type);

// Loads the picture at path (as given) into image as 32 bpp, taking the
// decoded pixels over where it can. Returns "" on success, kLoadFailed when
// there is no picture to take (an empty path). An unreadable file, or one of
// more than maxPixels pixels, raises the loader's cError.
std::string LoadSource(const std::string& path, cDIB& image, int64_t maxPixels = kMaxPicturePixels);

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

struct ReduceResult {
    ReduceStatus Status = ReduceStatus::Failed;
    std::string Message;     // the program's message text when failed
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

// Asked on the converting thread once the output's size is known (in
// planned.BytesOut), before anything is written: false leaves the output path
// as it is and the file is skipped. It may raise to fail the file with the
// error's text.
using WriteCheck = std::function<bool(const ReduceResult& planned)>;

// The stages of one file's road, in their order.
enum class RoadStage { Load, Convert, Write };

// A stage's work: "" when done, else the program's message text for a
// failure it reports itself; other failures raise.
using StageWork = std::function<std::string()>;

// A front end's way through a stage: runs work (or not) and says whether the
// road goes on.
using StageRunner = std::function<bool(RoadStage stage, const StageWork& work)>;

// One file on its road: what goes in, where it goes, and the two images it
// works on (the window's canvases, or pixolune-cli's own).
struct FileRoad {
    std::string Source;  // as given
    std::string Output;
    OutputType Type = OutputType::BMP;
    uint8_t Quality = 85;
    ReduceChoice Choice;
    cDIB* Picture = nullptr;  // the loaded picture, 32 bpp
    cDIB* Reduced = nullptr;  // its 8-bit reduction
    // Asked with the output's size before anything is written: false writes
    // nothing and the road ends with Skipped set.
    std::function<bool(uint64_t fileBytes)> MayWrite;

    RgbError Error;  // of the reduction, once converted (when the choice measures it)
    bool Skipped = false;
};

// The road: the picture loaded from Source through its short path
// (kLoadFailed + Source when there is none), converted with the optimal
// palette of a shrunk sample (kNothingToDither without a picture), written to
// Output (kNothingToSave without a reduction). Each stage goes through run;
// once run says stop, no later stage runs. Returns whether the last one ran.
bool RunFileRoad(FileRoad& road, const StageRunner& run);

// Loads sourcePath as 32 bpp (refused before decoding when larger than the
// choice's MaxPixels), converts it with an optimal palette as choice says and
// writes it to outputPath (asking check first, when given): RunFileRoad on
// images of its own, the picture freed once converted. Never throws: failures
// come back as Message (kLoadFailed + path, or the error's message).
ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check = {},
                        const ReduceChoice& choice = {});
