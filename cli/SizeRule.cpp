#include "SizeRule.h"

#include "ByteText.h"

#include <cmath>
#include <cstdio>

SizeRule SizeRule::NotLarger() {
    SizeRule rule;
    rule.active_ = true;
    rule.option_ = "--skip-larger";
    return rule;
}

SizeRule SizeRule::MinSaving(uint32_t milliPercent, std::string shown) {
    SizeRule rule;
    rule.active_ = true;
    rule.milliPercent_ = milliPercent;
    rule.option_ = "--min-saving " + shown + "%";
    return rule;
}

bool SizeRule::Skips(uint64_t bytesIn, uint64_t bytesOut) const {
    if (!active_) return false;
    // bytesOut / bytesIn > 1 - share, in whole numbers (no rounding at the edge).
    using Wide = unsigned __int128;
    constexpr uint32_t kWhole = 100000;
    return Wide(bytesOut) * kWhole > Wide(bytesIn) * (kWhole - milliPercent_);
}

std::string SizeRule::Reason(uint64_t bytesIn, uint64_t bytesOut) const {
    if (bytesOut > bytesIn)
        return "it would grow from " + ByteCount(bytesIn) + " to " + ByteCount(bytesOut) + " (" +
               option_ + ")";
    // Cut, not rounded, to a tenth: a saving just short of the share never
    // shows as the share itself.
    const double tenths = std::floor(1000.0 * double(bytesIn - bytesOut) / double(bytesIn));
    char saved[32];
    std::snprintf(saved, sizeof saved, "%.1f%%", tenths / 10);
    return std::string("it would save only ") + saved + " (" + ByteCount(bytesIn) + " -> " +
           ByteCount(bytesOut) + "; " + option_ + ")";
}

SizeRule SizeRule::Stricter(const SizeRule& other) const {
    if (!other.active_ || (active_ && milliPercent_ >= other.milliPercent_)) return *this;
    return other;
}
