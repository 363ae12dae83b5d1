#pragma once
// How large a picture the fuzz targets decode. The loader takes pictures of
// up to half a billion pixels, and run-length codes or a header describe
// millions of pixels in a few bytes; such inputs would only measure this
// machine's memory and, instrumented, its speed (a 1600-byte BMP of
// 655380 x 14 pixels takes seconds there). Speed is for the benchmarks: the
// targets refuse larger pictures through the loader's own limit, 2 M pixels
// in instrumented builds and 64 M in plain ones, which replay the kept
// inputs under an address-space limit.

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
inline constexpr int64_t kFuzzMaxPixels = int64_t(2) << 20;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int64_t kFuzzMaxPixels = int64_t(2) << 20;
#else
inline constexpr int64_t kFuzzMaxPixels = int64_t(64) << 20;
#endif
#else
inline constexpr int64_t kFuzzMaxPixels = int64_t(64) << 20;
#endif
