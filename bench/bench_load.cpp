// bench_load: the load stage of a run, a photograph's BMP file to the 32-bpp
// image the conversion starts from, through the native reader (on one thread
// and on every core) and through Qt's image reader (the general decoder).
//
//   bench_load --corpus=DIR [--sizes=2,12,50] [Google Benchmark flags]
//
// Repeated in one process, the pixel memory of the previous load is reused
// (as in a batch of equal photographs); the file is in the page cache.

#include "BandPool.h"
#include "CorpusImages.h"
#include "PictureLoader.h"
#include "PixelMemory.h"
#include "QtDecoder.h"
#include "cDIB.h"
#include "cError.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// The loaded picture taken over by the image, as a run does.
void TakeOver(cDIB& image, cPicture picture, const std::string& path) {
    if (image.CreateFromStdPicture(std::move(picture), true) == 0)
        throw cError(ErrorNumber::InvalidPicture, "cannot load " + path);
    benchmark::DoNotOptimize(image.lpBits());
}

// The whole file, read as the loader reads every file it gives Qt's reader.
std::vector<uint8_t> FileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Count(benchmark::State& state, const cDIB& image) {
    const int64_t pixels = int64_t{image.Width()} * image.Height();
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["pixels"] = static_cast<double>(pixels);
}

// As a run loads: LoadPicture, the picture taken over by the image.
void NativeBench(benchmark::State& state, const std::string& size) {
    const parallel::ScopedThreadShare share(static_cast<unsigned>(state.range(0)));
    const std::string path = CorpusPhotoPath(size);
    cDIB image;
    for (auto _ : state) {
        image.Destroy();
        TakeOver(image, LoadPicture(path), path);
    }
    Count(state, image);
}

// The same file through Qt's image reader, as every file the native reader
// does not read goes.
void QtBench(benchmark::State& state, const std::string& size) {
    const parallel::ScopedThreadShare share(static_cast<unsigned>(state.range(0)));
    const std::string path = CorpusPhotoPath(size);
    cDIB image;
    for (auto _ : state) {
        image.Destroy();
        const std::vector<uint8_t> file = FileContents(path);
        QtDecodeRequest request;
        request.File = file;
        request.Path = &path;
        request.MaxPixels = kMaxPicturePixels;
        request.AllocateZeroed = &AllocateZeroed;
        cPicture picture = DecodeWithQt(request);
        TakeOver(image, std::move(picture), path);
    }
    Count(state, image);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> sizes = TakeCorpusSizes(argc, argv, "bench_load");
    if (sizes.empty()) return 2;
    std::vector<int64_t> threads{1};
    if (parallel::Cores() > 1) threads.push_back(parallel::Cores());
    for (const std::string& size : sizes) {
        benchmark::RegisterBenchmark(("LoadNative/" + size + "MP").c_str(), NativeBench, size)
            ->ArgName("threads")
            ->ArgsProduct({threads})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("LoadQt/" + size + "MP").c_str(), QtBench, size)
            ->ArgName("threads")
            ->Arg(threads.back())
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
