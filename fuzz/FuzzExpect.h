#pragma once
// A property of the program that a fuzz input broke: printed, then the run
// aborts, so that libFuzzer keeps the input as a finding.

#include <cstdio>
#include <cstdlib>

inline void Expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}
