#pragma once
// Pixel memory for images: zero-filled, from the heap for small images and
// mapped on its own, on huge pages where the kernel allows, for large ones.
// The mappings of freed images (up to 64 MB) are kept for the next images of
// the same size.

#include <cstddef>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Zero-filled pixel memory of size bytes, or nullptr when none can be had
// (bad_alloc only from the bookkeeping, the memory then freed).
std::shared_ptr<void> AllocateZeroed(std::size_t size);
