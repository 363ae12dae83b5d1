#include "PixelMemory.h"

#include "BandPool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// From this size on, pixel memory is mapped on its own and asks for huge
// pages: faulting in a fresh 50-MB target 4 KB at a time took a third of the
// time of the dithering pass that fills it.
constexpr size_t kMappedPixelBytes = size_t(4) << 20;
constexpr size_t kHugePageBytes = size_t(2) << 20;

size_t RoundUp(size_t value, size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// Mappings of images that are gone, kept for the next image of the same size:
// a batch of photographs from one camera needs the same blocks for every
// file, and a kept one is already faulted in and needs no unmapping (mapping,
// faulting and unmapping them anew took a tenth of a batch of 2-MP files).
// At most kKeptBytes are kept; they stay with the process until it ends.
class cKeptMappings {
public:
    // A kept mapping of exactly length bytes, or nullptr.
    void* Take(size_t length) {
        std::lock_guard lock(mutex_);
        for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
            if (it->Length != length) continue;
            void* pixels = it->Pixels;
            kept_.erase(std::next(it).base());
            bytes_ -= length;
            return pixels;
        }
        return nullptr;
    }

    // Keeps the mapping, or unmaps it when the keep is full.
    void Give(void* pixels, size_t length) noexcept {
        {
            std::lock_guard lock(mutex_);
            if (bytes_ + length <= kKeptBytes && kept_.size() < kept_.capacity()) {
                kept_.push_back({pixels, length});
                bytes_ += length;
                return;
            }
        }
        ::munmap(pixels, length);
    }

    cKeptMappings() { kept_.reserve(8); }  // Give never allocates

private:
    static constexpr size_t kKeptBytes = size_t(64) << 20;
    struct Mapping {
        void* Pixels;
        size_t Length;
    };
    std::mutex mutex_;
    std::vector<Mapping> kept_;
    size_t bytes_ = 0;
};

// Never destroyed: images that outlive main() are freed into it.
cKeptMappings& KeptMappings() {
    static cKeptMappings* kept = new cKeptMappings;
    return *kept;
}

// Should the control block fail to allocate, the deleter runs at once and the
// mapping is kept or unmapped with the exception.
std::shared_ptr<void> Owned(void* pixels, size_t length) {
    return std::shared_ptr<void>(pixels, [length](void* p) { KeptMappings().Give(p, length); });
}

// memset on the calling thread's share of the band pool: clearing a kept
// 50-MB mapping on one thread would hold up the passes that run on all.
void ClearInBands(uint8_t* bytes, size_t size) {
    constexpr size_t kChunk = size_t(256) << 10;
    const auto chunks = static_cast<int32_t>((size + kChunk - 1) / kChunk);
    // A byte cleared costs about a sixteenth of a pixel dithered.
    parallel::ForEachBand(chunks, kChunk / 16, [&](int32_t first, int32_t count) {
        const size_t begin = static_cast<size_t>(first) * kChunk;
        const size_t end = std::min(size, static_cast<size_t>(first + count) * kChunk);
        std::memset(bytes + begin, 0, end - begin);
    });
}

// Zero-filled anonymous memory starting on a huge-page boundary, or nullptr.
// The kernel backs only whole aligned 2-MB ranges with huge pages, so the
// length is rounded up to one too: a tail left over would be faulted in 4 KB
// at a time (400 faults for the last 1.6 MB of a 2-MP picture). The kernel
// hands the pages out on first touch, zero-filled, like calloc's.
std::shared_ptr<void> MapZeroed(size_t size) {
    const size_t length = RoundUp(size, kHugePageBytes);
    const size_t reserved = length + kHugePageBytes;  // room to slide to the boundary
    void* raw =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto* start = static_cast<uint8_t*>(raw);
    const size_t head = RoundUp(reinterpret_cast<uintptr_t>(start), kHugePageBytes) -
                        reinterpret_cast<uintptr_t>(start);
    if (head != 0) ::munmap(start, head);
    if (reserved - head - length != 0) ::munmap(start + head + length, reserved - head - length);
    uint8_t* pixels = start + head;
    // Only advice: where the kernel declines, the memory works with small pages.
    ::madvise(pixels, length, MADV_HUGEPAGE);
    return Owned(pixels, length);
}

}  // namespace

std::shared_ptr<void> AllocateZeroed(size_t size) {
    if (size >= kMappedPixelBytes) {
        const size_t length = RoundUp(size, kHugePageBytes);
        if (void* kept = KeptMappings().Take(length)) {
            ClearInBands(static_cast<uint8_t*>(kept), size);
            return Owned(kept, length);
        }
        return MapZeroed(size);
    }
    // Smaller ones come zero-filled from the heap, where freed blocks are
    // found again for the next image.
    void* pixels = std::calloc(size, 1);
    if (pixels == nullptr) return nullptr;
    return std::shared_ptr<void>(pixels, FreeDeleter{});
}
