#include "BandPool.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace parallel;

// How often each row was handed to a band, and how many bands there were.
struct Coverage {
    std::vector<int> TimesSeen;
    int Bands = 0;
};

Coverage Cover(int32_t rows, int64_t pixelsPerRow) {
    Coverage coverage;
    coverage.TimesSeen.assign(static_cast<size_t>(std::max(rows, 0)), 0);
    std::mutex mutex;
    ForEachBand(rows, pixelsPerRow, [&](int32_t first, int32_t count) {
        std::lock_guard lock(mutex);
        ++coverage.Bands;
        EXPECT_GT(count, 0);
        for (int32_t y = first; y < first + count; ++y) ++coverage.TimesSeen.at(y);
    });
    return coverage;
}

TEST(BandPool, EveryRowExactlyOnceInAsManyBandsAsAreWorthIt) {
    struct Case {
        unsigned Threads;
        int64_t MinBandPixels;
        int32_t Rows;
        int64_t PixelsPerRow;
        int Bands;  // 4 a thread at most, never more than rows, none below the least work
    };
    for (const Case& c : std::vector<Case>{
             {1, 1, 1000, 1000, 1},
             {2, 1, 1, 1, 1},  // more threads than rows
             {2, 1, 3, 1, 3},  // more bands wanted than rows
             {4, 1, 1000, 1, 16},
             {4, 1, 1001, 7, 16},  // rows not a multiple of the bands
             {2, 100, 10, 50, 5},  // 500 pixels: 5 bands of the least work
             {2, kMinBandPixels, 64, kMinBandPixels / 32, 2},
             {2, kMinBandPixels, 480, 640, 1},  // 0.3 MP: too small to hand over
             {3, 1, 0, 100, 0},                 // nothing to do
         }) {
        SCOPED_TRACE(testing::Message()
                     << c.Threads << " threads, " << c.Rows << " rows of " << c.PixelsPerRow);
        const ScopedThreadShare share(c.Threads, c.MinBandPixels);
        const Coverage coverage = Cover(c.Rows, c.PixelsPerRow);
        EXPECT_EQ(coverage.Bands, c.Bands);
        EXPECT_EQ(coverage.TimesSeen, std::vector<int>(static_cast<size_t>(c.Rows), 1));
    }
}

TEST(BandPool, SeveralCallersAtOnceEachGetTheirOwnBands) {
    std::vector<Coverage> results(4);
    {
        std::vector<std::jthread> callers;
        for (size_t i = 0; i < results.size(); ++i)
            callers.emplace_back([&, i] {
                const ScopedThreadShare share(2, 1);
                for (int round = 0; round < 50; ++round) results[i] = Cover(257 + int32_t(i), 1);
            });
    }
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(results[i].TimesSeen, std::vector<int>(257 + i, 1)) << i;
}

// Every thread of the pool held in a band of another caller's run until released: a
// run started meanwhile gets no helper, and its caller does its bands alone, in order.
class HeldPool {
public:
    // More threads than any other test here asks for: the pool has no idle one left.
    static constexpr unsigned kThreads = 8;

    HeldPool()
        : runner_([this] {
              const ScopedThreadShare share(kThreads, 1);
              ForEachBand(4 * kThreads, 1, [this](int32_t, int32_t) {
                  std::unique_lock lock(mutex_);
                  ++entered_;
                  changed_.notify_all();
                  changed_.wait(lock, [this] { return released_; });
              });
          }) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return entered_ == kThreads; });
    }
    ~HeldPool() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned entered_ = 0;
    bool released_ = false;
    std::jthread runner_;  // last: joined before the rest goes
};

// A busy pool never keeps a caller waiting: with no pool thread to be had, the
// caller does every band itself, each row once.
TEST(BandPool, WithEveryPoolThreadHeldTheCallerDoesAllTheBands) {
    const HeldPool held;
    const ScopedThreadShare share(4, 1);  // 16 bands
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> timesSeen(64, 0);
    int bands = 0;
    ForEachBand(64, 1, [&](int32_t first, int32_t count) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        ++bands;
        for (int32_t y = first; y < first + count; ++y) ++timesSeen.at(y);
    });
    EXPECT_EQ(bands, 16);
    EXPECT_EQ(timesSeen, std::vector<int>(64, 1));
}

TEST(BandPool, SharesArePerThreadAndScoped) {
    EXPECT_GE(Cores(), 1u);
    unsigned elsewhere = 0;
    std::thread([&] { elsewhere = ThreadShare(); }).join();
    EXPECT_EQ(elsewhere, Cores());  // never set: every core
    {
        const ScopedThreadShare outer(3);
        EXPECT_EQ(ThreadShare(), 3u);
        {
            const ScopedThreadShare inner(0);  // at least the caller itself
            EXPECT_EQ(ThreadShare(), 1u);
        }
        EXPECT_EQ(ThreadShare(), 3u);
        std::thread([&] { elsewhere = ThreadShare(); }).join();
        EXPECT_EQ(elsewhere, Cores());
    }
    EXPECT_EQ(ThreadShare(), Cores());
}

}  // namespace
