// One file's whole road from bytes in memory: the picture loader, the sample,
// the optimal palette, the dithering and both writers, as pixolune-cli runs
// them. Besides crashes it checks what the road leaves behind: a written file
// when it says so, nothing at all when it fails.

#include "FuzzExpect.h"
#include "FuzzLimits.h"
#include "ReduceJob.h"
#include "mDither8bpp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Workplace {
    int Input = -1;         // the bytes as a file that lives in memory
    std::string InputPath;  // /proc/self/fd/N: a path the loader opens like any other
    // In /dev/shm (or $PIXOLUNE_FUZZ_SCRATCH), so written files stay in memory
    // too. A process that libFuzzer ends leaves it behind: the scratch folder
    // is for its caller to clear.
    std::string OutputFolder;

    Workplace() {
        Input = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (Input < 0) std::abort();
        InputPath = "/proc/self/fd/" + std::to_string(Input);
        const char* scratch = std::getenv("PIXOLUNE_FUZZ_SCRATCH");
        std::string folder = std::string(scratch ? scratch : "/dev/shm") + "/pixolune-fuzz-XXXXXX";
        if (!::mkdtemp(folder.data())) std::abort();
        OutputFolder = folder;
        mDither8bpp::InitDitherTables();
    }
    ~Workplace() {
        std::error_code ignored;
        fs::remove_all(OutputFolder, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Workplace work;
    if (::ftruncate(work.Input, 0) != 0 ||
        ::pwrite(work.Input, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    using mDither8bpp::Mapping;
    for (const auto& [type, mapping] : {std::pair{OutputType::BMP, Mapping::Exact},
                                        {OutputType::JPG, Mapping::Exact},
                                        {OutputType::BMP, Mapping::Fine}}) {
        const std::string output =
            ReducedOutputPath(work.OutputFolder, ReducedBaseName(work.InputPath), type);
        const ReduceResult result =
            ReduceFile(work.InputPath, output, type, 85, {}, {mapping, true, kFuzzMaxPixels});
        const bool written = result.Status == ReduceStatus::Written;
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(work.OutputFolder)) {
            ++files;
            Expect(written && entry.path() == result.OutputPath, "a file other than the output");
        }
        Expect(files == (written ? 1u : 0u), "an output that is missing, or left after a failure");
        Expect(written ? result.BytesOut > 0 : !result.Message.empty(), "an empty result");
        Expect(!written ||
                   result.Error.Values == 3u * uint64_t(result.Width) * uint64_t(result.Height),
               "an error measured over other pixels than the picture's");
        if (written) fs::remove(result.OutputPath);
    }
    return 0;
}
