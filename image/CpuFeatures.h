#pragma once
// Which vector instructions the processor has, asked once: the pixel loops
// that have vector forms pick the one that runs, and give the same bytes as
// their plain form.

inline bool HasAvx2() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
}

inline bool HasAvx512() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f") &&
                                                       __builtin_cpu_supports("avx512bw"));
    return has;
}

// Byte permutes across two registers (vpermi2b): a 256-entry byte table in four.
inline bool HasAvx512Vbmi() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx512bw") &&
                                                       __builtin_cpu_supports("avx512vbmi"));
    return has;
}
