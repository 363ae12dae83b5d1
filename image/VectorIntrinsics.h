#pragma once
// The processor's vector intrinsics, for the pixel loops that have vector
// forms (each chosen where the processor has it, with the same bytes as the
// plain loop).
//
// GCC 12's AVX-512 intrinsics start from an uninitialised "undefined" vector
// and warn about it wherever they are inlined (fixed in GCC 13). Clang has
// neither the fault nor the second warning's name.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
