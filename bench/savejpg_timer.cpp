// savejpg_timer: times the JPEG export (EncodeJPG, then WriteJPG) alone on an 8-bit BMP that
// pixolune-cli wrote, so that compare_cli.sh can set it against cjpeg encoding the same file in the
// same interleaved run. Loading the BMP is not timed.
//
//   savejpg_timer IN.bmp OUT.jpg [QUALITY]     prints: seconds bpp width height

#include "PictureLoader.h"
#include "SaveAsJPG.h"
#include "cDIB.h"
#include "cError.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fputs("usage: savejpg_timer IN.bmp OUT.jpg [QUALITY]\n", stderr);
        return 2;
    }
    const int quality = argc == 4 ? std::atoi(argv[3]) : 85;
    if (quality < 1 || quality > 100) {
        std::fputs("savejpg_timer: QUALITY must be 1..100\n", stderr);
        return 2;
    }
    try {
        cDIB image;
        {
            const cPicture picture = LoadPicture(argv[1]);
            if (image.CreateFromStdPicture(&picture, false) == 0) {
                std::fprintf(stderr, "savejpg_timer: %s is not a bitmap\n", argv[1]);
                return 1;
            }
        }
        const auto start = std::chrono::steady_clock::now();
        WriteJPG(EncodeJPG(image, static_cast<uint8_t>(quality)), argv[2]);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("%.6f %d %d %d\n", elapsed.count(), image.BPP(), image.Width(), image.Height());
    } catch (const cError& error) {
        std::fprintf(stderr, "savejpg_timer: %s\n", error.what());
        return 1;
    }
    return 0;
}
