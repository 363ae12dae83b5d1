// The picture loader alone, on bytes in memory: no file, no output, the
// decoder module loaded once for the whole run. A picture that loads must be
// one the image can take: a known depth, a whole colour table, rows that lie
// inside the pixel memory (every byte of them is read, so the sanitizers see
// a row that does not).

#include "FuzzLimits.h"
#include "PictureLoader.h"
#include "cError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

}  // namespace

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
    unsigned sum = 0;
    for (int32_t y = 0; y < picture.Height; ++y) {
        const uint8_t* row = picture.Row(y);
        for (std::size_t x = 0; x < rowBytes; ++x) sum += row[x];
    }
    volatile unsigned seen = sum;  // the reads stay
    (void)seen;
    return 0;
}
