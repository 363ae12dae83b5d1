#pragma once
// Bands of rows on every core: a small pool of threads kept for the whole
// process runs a function over bands of an image's rows, the calling thread
// working on bands too and returning only when all of them are done.
//
// How many threads a thread's band runs may use is its share, set per thread:
// pixolune-cli gives each of its N file workers about cores / N, so that N
// files at once never ask for more threads than there are cores. A thread
// that never set a share may use every core.
//
// A band must only touch its own rows (and what no other band writes): the
// bands of one run go to different threads in no fixed order. The state a
// band needs is handed to it (captured by the band function), never read from
// thread_local variables, which the pool's threads do not share.

#include <cstdint>
#include <type_traits>

namespace parallel {

// The least work, in pixels, worth a band of its own (about a quarter of a
// millisecond of dithering): below it a hand-over to another thread costs
// more than it saves, and a helper that the machine holds up in the middle of
// a band keeps the caller waiting.
inline constexpr int64_t kMinBandPixels = 256 * 1024;

// Cores of the machine (at least 1).
unsigned Cores();

// The calling thread's share: the threads its band runs may use, its own
// included (at least 1).
unsigned ThreadShare();
void SetThreadShare(unsigned threads);

// Sets the calling thread's share (and the least work of a band, which tests
// lower to split even tiny images) for a scope, then restores both.
class ScopedThreadShare {
public:
    explicit ScopedThreadShare(unsigned threads, int64_t minBandPixels = kMinBandPixels);
    ~ScopedThreadShare();
    ScopedThreadShare(const ScopedThreadShare&) = delete;
    ScopedThreadShare& operator=(const ScopedThreadShare&) = delete;

private:
    unsigned threads_;
    int64_t minBandPixels_;
};

// Starts the pool threads the calling thread's share may use, which the
// first run that wants them would otherwise start: a new thread took up to
// 2 ms to begin its work on the machines measured, while the run that
// started it waited for its bands. Never throws.
void StartBandThreads();

// Calls band(first, count) for bands of consecutive rows covering
// [0, rows) exactly once, on up to ThreadShare() threads; rows of
// pixelsPerRow pixels decide how many bands are worth it (one band, on the
// calling thread, for a small image or a share of 1). Returns when every band
// is done, and never throws (without a pool thread to be had, the calling
// thread does all the bands). A band must not throw either: every band of the
// program reports a failure through what it captured (a status it records),
// and one that throws ends the program.
using BandFunction = void (*)(void* context, int32_t first, int32_t count);
void RunBands(int32_t rows, int64_t pixelsPerRow, BandFunction band, void* context);

template <typename Band>
void ForEachBand(int32_t rows, int64_t pixelsPerRow, Band&& band) {
    RunBands(
        rows, pixelsPerRow,
        [](void* context, int32_t first, int32_t count) {
            (*static_cast<std::remove_reference_t<Band>*>(context))(first, count);
        },
        const_cast<void*>(static_cast<const void*>(&band)));
}

}  // namespace parallel
