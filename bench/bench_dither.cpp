// bench_dither: the 8-bpp conversion of real photographs against the memory
// pass that bounds it, on one thread and on every core, plus the palette step,
// the fine mapping's plan and the JPEG export alone.
//
// DitherTo8bpp builds the palette and dithers in one call; the pixel loop is
// not reachable on its own, so the palette step (sample, octree, inverse map)
// is timed separately and the loop is the difference (bench/ratios.py).
//
//   bench_dither --corpus=DIR [--sizes=2,12,50] [Google Benchmark flags]
//
// A name's last part is the threads its pixel passes run on (threads:1, and
// threads:N for the N cores of the machine). Bytes processed count 5 bytes a
// pixel for every pixel pass (4 read, 1 written), so the passes compare
// directly in bytes/s.

#include "BandPool.h"
#include "CorpusImages.h"
#include "PaletteSample.h"
#include "SaveAsJPG.h"
#include "cDIB.h"
#include "cPal8bpp.h"
#include "mDither8bpp.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int64_t kBytesPerPixelPass = 5;

int64_t Pixels(const cDIB& image) { return int64_t{image.Width()} * image.Height(); }

void CountPixels(benchmark::State& state, const cDIB& image, int64_t bytesPerPixel) {
    state.SetItemsProcessed(state.iterations() * Pixels(image));
    if (bytesPerPixel > 0)
        state.SetBytesProcessed(state.iterations() * Pixels(image) * bytesPerPixel);
    state.counters["pixels"] = static_cast<double>(Pixels(image));
}

// The pixel passes' threads: the benchmark's argument.
unsigned Threads(const benchmark::State& state) { return static_cast<unsigned>(state.range(0)); }

// The whole conversion the run makes for every file, optimal palette included.
void DitherTo8bppBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    mDither8bpp::InitDitherTables();
    mDither8bpp::SetPaletteMode(1);
    for (auto _ : state) {
        cDIB target;
        mDither8bpp::DitherTo8bpp(source, target);
        benchmark::DoNotOptimize(target.lpBits());
        benchmark::ClobberMemory();
    }
    CountPixels(state, source, kBytesPerPixelPass);
}

// The conversion with a mapping, its error measured or not: what the fine
// mapping and the PSNR of --verbose and --json cost against the plain run.
template <mDither8bpp::Mapping PixelMapping, bool Measure>
void DitherChoiceBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    const mDither8bpp::DitherChoice choice{1, PixelMapping, Measure};
    for (auto _ : state) {
        cDIB target;
        benchmark::DoNotOptimize(mDither8bpp::DitherTo8bpp(source, target, choice));
        benchmark::ClobberMemory();
    }
    CountPixels(state, source, kBytesPerPixelPass);
}

// What the fine mapping does before its pixel loop: the grid, the cut, the
// steps, the far entries and the maps.
void FinePlanBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    for (auto _ : state) {
        const mDither8bpp::cDitherPlan plan(source, {1, mDither8bpp::Mapping::Fine, false});
        benchmark::DoNotOptimize(plan.ColourTable());
    }
    CountPixels(state, source, 0);
}

// What DitherTo8bpp does before its pixel loop in mode 1.
void PaletteStepBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    mDither8bpp::InitDitherTables();
    for (auto _ : state) {
        cDIB scratch;
        cPal8bpp palette;
        palette.CreateOptimal(mDither8bpp::PaletteSample(source, scratch), 256, 8, 1.0f, 1.0f,
                              1.0f);
        mDither8bpp::BuildInverseColorMap(palette);
        benchmark::DoNotOptimize(mDither8bpp::InverseColorMap());
        benchmark::ClobberMemory();
    }
    CountPixels(state, source, 0);
}

// Any 4096-entry byte table will do; this one cannot be folded away.
std::array<uint8_t, 4096> BandwidthTable() {
    std::array<uint8_t, 4096> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>((i * 37) ^ (i >> 4));
    return table;
}

// The least a 32-to-8-bpp pass can cost: read each 4-byte pixel, write one
// byte found by one lookup (the top 4 bits of blue, green and red), rows
// laid out as the conversion lays them out, in the same bands.
void BandwidthPass(const cDIB& source, cDIB& target, const std::array<uint8_t, 4096>& table) {
    const int32_t width = source.Width();
    const size_t targetStride = static_cast<size_t>(target.BytesPerScanline());
    parallel::ForEachBand(source.Height(), width, [&](int32_t first, int32_t count) {
        for (int32_t y = first; y < first + count; ++y) {
            const uint8_t* src = source.lpBits() + static_cast<size_t>(y) * 4 * width;
            uint8_t* dst = target.lpBits() + static_cast<size_t>(y) * targetStride;
            for (int32_t x = 0; x < width; ++x) {
                uint32_t p;
                std::memcpy(&p, src + 4 * static_cast<size_t>(x), 4);
                dst[x] = table[((p >> 4) & 0x00F) | ((p >> 8) & 0x0F0) | ((p >> 12) & 0xF00)];
            }
        }
    });
}

// Into a target whose pages are already mapped: the pure memory limit.
void BandwidthWarmBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    const std::array<uint8_t, 4096> table = BandwidthTable();
    cDIB target;
    target.Create(source.Width(), source.Height(), 8);
    BandwidthPass(source, target, table);
    for (auto _ : state) {
        BandwidthPass(source, target, table);
        benchmark::DoNotOptimize(target.lpBits());
        benchmark::ClobberMemory();
    }
    CountPixels(state, source, kBytesPerPixelPass);
}

// Into a target made for each pass, as DitherTo8bpp makes its own: the
// same pass plus the cost of fresh pages.
void BandwidthFreshBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    const cDIB& source = CorpusPhoto(label);
    const std::array<uint8_t, 4096> table = BandwidthTable();
    for (auto _ : state) {
        cDIB target;
        target.Create(source.Width(), source.Height(), 8);
        BandwidthPass(source, target, table);
        benchmark::DoNotOptimize(target.lpBits());
        benchmark::ClobberMemory();
    }
    CountPixels(state, source, kBytesPerPixelPass);
}

std::string TemporaryJpegPath() {
    const std::filesystem::path folder =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (folder / ("bench_dither-" + std::to_string(::getpid()) + ".jpg")).string();
}

// The JPEG export (EncodeJPG, then WriteJPG) alone on the reduced photograph, at the
// program's default quality; reported as SaveJPG, the name of the export.
void SaveJpgBench(benchmark::State& state, const std::string& label) {
    const parallel::ScopedThreadShare share(Threads(state));
    mDither8bpp::InitDitherTables();
    mDither8bpp::SetPaletteMode(1);
    cDIB reduced;
    mDither8bpp::DitherTo8bpp(CorpusPhoto(label), reduced);
    const std::string path = TemporaryJpegPath();
    for (auto _ : state) WriteJPG(EncodeJPG(reduced, 85), path);
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * Pixels(reduced));
    state.SetBytesProcessed(state.iterations() * Pixels(reduced));  // the 8-bit pixels read
    state.counters["pixels"] = static_cast<double>(Pixels(reduced));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> sizes = TakeCorpusSizes(argc, argv, "bench_dither");
    if (sizes.empty()) return 2;

    // Each size's passes run next to each other, so that they see the same
    // state of a shared machine as nearly as possible.
    std::vector<int64_t> threads{1};
    if (parallel::Cores() > 1) threads.push_back(parallel::Cores());
    const auto add = [&](const std::string& name, auto function, const std::string& size,
                         const std::vector<int64_t>& counts) {
        benchmark::RegisterBenchmark((name + "/" + size + "MP").c_str(), function, size)
            ->ArgName("threads")
            ->ArgsProduct({counts})
            ->Unit(benchmark::kMillisecond);
    };
    for (const std::string& size : sizes) {
        add("DitherTo8bpp", DitherTo8bppBench, size, threads);
        add("PaletteStep", PaletteStepBench, size, {1});
        add("FinePlan", FinePlanBench, size, threads);
        add("BandwidthWarm", BandwidthWarmBench, size, threads);
        add("BandwidthFresh", BandwidthFreshBench, size, threads);
        using mDither8bpp::Mapping;
        const std::vector<int64_t> all{int64_t(parallel::Cores())};
        add("ChoiceExact", DitherChoiceBench<Mapping::Exact, false>, size, all);
        add("ChoiceExactMeasured", DitherChoiceBench<Mapping::Exact, true>, size, all);
        add("ChoiceFine", DitherChoiceBench<Mapping::Fine, false>, size, all);
        add("ChoiceFineMeasured", DitherChoiceBench<Mapping::Fine, true>, size, all);
    }
    for (const std::string& size : sizes)
        if (size == "12") add("SaveJPG", SaveJpgBench, size, {int64_t(parallel::Cores())});

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
