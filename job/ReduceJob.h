#pragma once
// One file's road through the program: load, sample, palette, dither, write.
// pixolune-cli runs ReduceFile as it is; the window runs the same pieces one
// by one on its canvases (loadBMPImage, reduceImageSize, saveBMPImage) with
// its own steps, messages and progress in between.

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

// Loads sourcePath as 32 bpp (refused before decoding when larger than the
// choice's MaxPixels), converts it with an optimal palette as choice says and
// writes it to outputPath (asking check first, when given). Never
// throws: failures come back as Message (kLoadFailed + path, or the error's
// message).
ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check = {},
                        const ReduceChoice& choice = {});
