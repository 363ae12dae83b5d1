#pragma once
// One file's road through the program: load, sample, palette, dither, write.
// pixolune-cli runs ReduceFile as it is; the window runs the same steps one by
// one on its canvases (loadBMPImage, reduceImageSize, saveBMPImage) and uses
// the naming and writing pieces below.

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
std::string ReducedOutputPath(const std::string& folder, const std::string& baseName, OutputType type);

// Writes the reduced image to path: an 8-bit BMP, or a JPEG encoded in memory
// from that same image (no intermediate file). Raises a cError on failure; an
// earlier file at path is replaced only once the new one is complete. With
// mayWrite, asks it with the file's size before anything is written; false
// writes nothing and returns false.
bool WriteReduced(const cDIB& reduced, const std::string& path, OutputType type, uint8_t quality,
                  const std::function<bool(uint64_t fileBytes)>& mayWrite = {});

enum class ReduceStatus { Written, Skipped, Failed };

struct ReduceResult {
    ReduceStatus Status = ReduceStatus::Failed;
    std::string Message;     // the program's message text when failed
    std::string OutputPath;  // where the output goes (also when skipped or failed)
    int32_t Width = 0;       // of the loaded image; 0 when it did not load
    int32_t Height = 0;
    uint64_t BytesIn = 0;    // size of the source file
    uint64_t BytesOut = 0;   // size of the written file, or of the one a skip left unwritten
};

// Asked on the converting thread once the output's size is known (in
// planned.BytesOut), before anything is written: false leaves the output path
// as it is and the file is skipped. It may raise to fail the file with the
// error's text.
using WriteCheck = std::function<bool(const ReduceResult& planned)>;

// Loads sourcePath as 32 bpp, converts it with an optimal palette and writes
// it to outputPath (asking check first, when given). Never throws: failures
// come back as Message ("Unexpected error loading image.." + path, or the
// error's description).
ReduceResult ReduceFile(const std::string& sourcePath, const std::string& outputPath,
                        OutputType type, uint8_t quality, const WriteCheck& check = {});
