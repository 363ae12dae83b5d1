// The picture loader alone, on bytes in memory: no file, no output, the
// decoder module loaded once for the whole run. A picture that loads must be
// one the image can take: a known depth, a whole colour table, rows that lie
// inside the pixel memory (every byte of them is read, so the sanitizers see
// a row that does not).
//
// With PIXOLUNE_FUZZ_DIGESTS set, each loaded picture's size and a digest of
// its pixels are printed: replays with the heap filled first with 0x00, then
// with 0xFF, must print the same, or some pixel came from earlier memory.

#include "FuzzExpect.h"
#include "FuzzLimits.h"
#include "PictureLoader.h"
#include "cError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string kName = "fuzz-input";
    cPicture picture;
    try {
        picture = LoadPictureFromMemory({data, size}, kName, kFuzzMaxPixels);
    } catch (const cError& error) {
        Expect(error.Description().find(kName) != std::string::npos, "an error that names no file");
        return 0;
    }
    Expect(picture.IsBitmap() && picture.Width > 0 && picture.Height > 0, "an empty picture");
    Expect(picture.BPP == 1 || picture.BPP == 8 || picture.BPP == 32, "an unknown depth");
    if (picture.BPP <= 8)
        Expect(picture.ColorTable.size() == std::size_t(4) << picture.BPP, "a short colour table");
    const std::size_t rowBytes = (std::size_t(picture.Width) * picture.BPP + 7) / 8;
    Expect(std::size_t(picture.Stride) >= rowBytes, "rows that overlap");
    // FNV-1a over every pixel's value (a 32-bit pixel's fourth byte is no
    // part of it, nor the bits that pad a 1-bit row).
    uint64_t digest = 14695981039346656037u;
    const auto add = [&](uint8_t byte) { digest = (digest ^ byte) * 1099511628211u; };
    for (int32_t y = 0; y < picture.Height; ++y) {
        const uint8_t* row = picture.Row(y);
        for (int32_t x = 0; x < picture.Width; ++x) {
            if (picture.BPP == 32) {
                add(row[4 * x]), add(row[4 * x + 1]), add(row[4 * x + 2]);
            } else if (picture.BPP == 8) {
                add(row[x]);
            } else {
                add((row[x / 8] >> (7 - x % 8)) & 1);
            }
        }
    }
    for (const uint8_t byte : picture.ColorTable) add(byte);
    static const bool print = std::getenv("PIXOLUNE_FUZZ_DIGESTS") != nullptr;
    if (print)
        std::printf("%d x %d, %d bpp, pixels %016llx\n", picture.Width, picture.Height, picture.BPP,
                    static_cast<unsigned long long>(digest));
    return 0;
}
