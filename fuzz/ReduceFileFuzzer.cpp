// One file's whole road from bytes in memory: the picture loader, the sample,
// the optimal palette, the dithering and both writers, as pixolune-cli runs
// them. Besides crashes it checks what the road leaves behind: a written file
// when it says so, nothing at all when it fails.

#include "PictureLoader.h"
#include "ReduceJob.h"
#include "mDither8bpp.h"

#include <QImageReader>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Workplace {
    int Input = -1;           // the bytes as a file that lives in memory
    std::string InputPath;    // /proc/self/fd/N: a path the loader opens like any other
    std::string OutputFolder; // in /dev/shm, so written files stay in memory too

    Workplace() {
        Input = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (Input < 0) std::abort();
        InputPath = "/proc/self/fd/" + std::to_string(Input);
        char folder[] = "/dev/shm/pixolune-fuzz-XXXXXX";
        if (!::mkdtemp(folder)) std::abort();
        OutputFolder = folder;
        mDither8bpp::InitDitherTables();
        // The loader allows images of several GB, as photographs may need; a
        // few bytes that claim such a size would only measure this machine's
        // memory and, instrumented, its speed (a 169-byte BMP of 20 x 524302
        // pixels takes seconds here). Speed is for the benchmarks: images
        // beyond 2 M pixels meet the loader's refusal instead.
        try {
            LoadPicture("/nonexistent");  // lets the loader set up the reader first
        } catch (...) {
        }
        QImageReader::setAllocationLimit(8);
    }
    ~Workplace() {
        std::error_code ignored;
        fs::remove_all(OutputFolder, ignored);
    }
};

void Expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Workplace work;
    if (::ftruncate(work.Input, 0) != 0 ||
        ::pwrite(work.Input, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    for (const OutputType type : {OutputType::BMP, OutputType::JPG}) {
        const ReduceResult result = ReduceFile(work.InputPath, work.OutputFolder, type, 85);
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(work.OutputFolder)) {
            ++files;
            Expect(result.Ok && entry.path() == result.OutputPath, "a file other than the output");
        }
        Expect(files == (result.Ok ? 1u : 0u), "an output that is missing, or left after a failure");
        Expect(result.Ok ? result.BytesOut > 0 : !result.Message.empty(), "an empty result");
        if (result.Ok) fs::remove(result.OutputPath);
    }
    return 0;
}
