// The band pool. A run is a job on the caller's stack: the caller queues
// requests for helpers, works on bands itself, then withdraws the requests no
// pool thread has taken yet and waits only for the helpers that did take one.
// So a busy pool never makes a caller wait for work that has not started, and
// a job never outlives its run.

#include "BandPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace parallel {
namespace {

thread_local unsigned tShare = 0;  // 0: never set, every core
thread_local int64_t tMinBandPixels = kMinBandPixels;

struct Job {
    Job(BandFunction band, void* context, int32_t rows, int32_t bands)
        : Band(band), Context(context), Rows(rows), Bands(bands) {}

    BandFunction Band;
    void* Context;
    int32_t Rows;
    int32_t Bands;
    std::atomic<int32_t> Next{0};
    int Helpers = 0;  // pool threads working on it; under Pool::mutex_
    std::condition_variable HelpersDone;

    // Band b covers rows [b * Rows / Bands, (b + 1) * Rows / Bands).
    int32_t Row(int32_t band) const { return static_cast<int32_t>(int64_t{band} * Rows / Bands); }
};

class Pool {
public:
    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }

    void Start(unsigned helpers) {
        const std::lock_guard lock(mutex_);
        Grow(helpers);
    }

    void Run(Job& job, unsigned helpers) {
        {
            std::lock_guard lock(mutex_);
            // Without a thread or memory to be had, the caller does the bands
            // of the helpers it did not get: nothing leaves a run early.
            helpers = Grow(helpers);
            try {
                for (unsigned i = 0; i < helpers; ++i) requests_.push_back(&job);
            } catch (...) {
            }
        }
        if (helpers == 1)
            wake_.notify_one();
        else
            wake_.notify_all();

        WorkOn(job);

        std::unique_lock lock(mutex_);
        requests_.erase(std::remove(requests_.begin(), requests_.end(), &job), requests_.end());
        job.HelpersDone.wait(lock, [&] { return job.Helpers == 0; });
    }

private:
    // Under the lock: starts threads until there are helpers of them, or as
    // many as can be had; returns how many there are, at most helpers.
    // Threads are only ever added: a share asks for at most cores - 1.
    unsigned Grow(unsigned helpers) {
        try {
            while (threads_.size() < helpers) threads_.emplace_back([this] { Serve(); });
        } catch (...) {
        }
        return std::min(helpers, static_cast<unsigned>(threads_.size()));
    }

    void Serve() {
        SetThreadShare(1);  // a band that runs bands itself runs them here
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || !requests_.empty(); });
            if (stopping_) return;
            Job& job = *requests_.front();
            requests_.pop_front();
            ++job.Helpers;
            lock.unlock();
            WorkOn(job);
            lock.lock();
            // Notified under the lock: the caller cannot return (and free the
            // job) before this thread lets go of it.
            if (--job.Helpers == 0) job.HelpersDone.notify_one();
        }
    }

    // noexcept: a band that threw on the caller's thread would leave the
    // job, on the caller's stack, to helpers still working on it.
    static void WorkOn(Job& job) noexcept {
        for (;;) {
            const int32_t band = job.Next.fetch_add(1, std::memory_order_relaxed);
            if (band >= job.Bands) return;
            const int32_t first = job.Row(band);
            job.Band(job.Context, first, job.Row(band + 1) - first);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job*> requests_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

}  // namespace

unsigned Cores() {
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

unsigned ThreadShare() { return tShare == 0 ? Cores() : tShare; }

void SetThreadShare(unsigned threads) { tShare = std::max(1u, threads); }

ScopedThreadShare::ScopedThreadShare(unsigned threads, int64_t minBandPixels)
    : threads_(tShare), minBandPixels_(tMinBandPixels) {
    SetThreadShare(threads);
    tMinBandPixels = std::max<int64_t>(1, minBandPixels);
}

ScopedThreadShare::~ScopedThreadShare() {
    tShare = threads_;
    tMinBandPixels = minBandPixels_;
}

void StartBandThreads() { ThePool().Start(ThreadShare() - 1); }

void RunBands(int32_t rows, int64_t pixelsPerRow, BandFunction band, void* context) {
    if (rows <= 0) return;
    const unsigned threads = ThreadShare();
    // A few bands a thread, so that a thread the machine holds up for a while
    // leaves its share of the work to the others instead of being waited for.
    const int64_t worthwhile =
        std::max<int64_t>(1, rows * std::max<int64_t>(pixelsPerRow, 1) / tMinBandPixels);
    const auto bands =
        static_cast<int32_t>(std::min<int64_t>({rows, int64_t{threads} * 4, worthwhile}));
    if (threads == 1 || bands <= 1) {
        band(context, 0, rows);
        return;
    }
    Job job(band, context, rows, bands);
    ThePool().Run(job, std::min<unsigned>(threads, static_cast<unsigned>(bands)) - 1);
}

}  // namespace parallel
