#pragma once
// --skip-larger and --min-saving: how much smaller than its source an output
// must be to be written.

#include <cstdint>
#include <string>

class SizeRule {
public:
    SizeRule() = default;  // every output is written

    // No output larger than its source.
    static SizeRule NotLarger();
    // Outputs at least milliPercent / 1000 per cent smaller than their source;
    // shown: the share as the user wrote it, for the reasons.
    static SizeRule MinSaving(uint32_t milliPercent, std::string shown);

    bool Active() const { return active_; }
    // Whether an output of bytesOut from a source of bytesIn is not written.
    bool Skips(uint64_t bytesIn, uint64_t bytesOut) const;
    // Why such an output is not written, naming the option.
    std::string Reason(uint64_t bytesIn, uint64_t bytesOut) const;
    // The rule of the two that skips more; this one where they are equal.
    SizeRule Stricter(const SizeRule& other) const;

private:
    bool active_ = false;
    uint32_t milliPercent_ = 0;  // 0..99999
    std::string option_;         // "--skip-larger" or "--min-saving 20%"
};
