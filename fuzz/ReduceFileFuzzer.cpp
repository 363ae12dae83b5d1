// One file's whole road from bytes in memory: the picture loader, the sample,
// the optimal palette, the dithering and both writers, as pixolune-cli runs
// them. Besides crashes it checks what the road leaves behind: a written file
// when it says so, nothing at all when it fails.

#include "ReduceJob.h"
#include "mDither8bpp.h"

#include <QImageReader>

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

// The loader allows images of several GB, as photographs may need, and
// run-length codes describe millions of pixels in a few bytes. Such inputs
// would only measure this machine's memory and, instrumented, its speed (a
// 1600-byte BMP of 655380 x 14 pixels takes seconds here): speed is for the
// benchmarks, so instrumented builds skip inputs whose header claims more
// than 2 M pixels. Plain builds replay them whole.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kInstrumented = true;
#elif defined(__has_feature)
constexpr bool kInstrumented = __has_feature(address_sanitizer);
#else
constexpr bool kInstrumented = false;
#endif

bool ClaimsTooManyPixels(const uint8_t* data, size_t size, const std::string& path) {
    if (!kInstrumented) return false;
    constexpr int64_t kMaxPixels = int64_t(2) << 20;
    int64_t width = 0, height = 0;
    const auto le32 = [&](size_t at) {
        return int32_t(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                       uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24);
    };
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        if (le32(14) == 12) {  // the old core header: 16-bit sizes
            width = data[18] | data[19] << 8;
            height = data[20] | data[21] << 8;
        } else {
            width = le32(18);
            height = le32(22);
        }
    } else {
        const QSize claimed = QImageReader(QString::fromStdString(path)).size();
        width = claimed.width();
        height = claimed.height();
    }
    return std::abs(width) * std::abs(height) > kMaxPixels;
}

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
    if (ClaimsTooManyPixels(data, size, work.InputPath)) return 0;

    using mDither8bpp::Mapping;
    for (const auto& [type, mapping] : {std::pair{OutputType::BMP, Mapping::Exact},
                                        {OutputType::JPG, Mapping::Exact},
                                        {OutputType::BMP, Mapping::Fine}}) {
        const std::string output =
            ReducedOutputPath(work.OutputFolder, ReducedBaseName(work.InputPath), type);
        const ReduceResult result =
            ReduceFile(work.InputPath, output, type, 85, {}, {mapping, true});
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
