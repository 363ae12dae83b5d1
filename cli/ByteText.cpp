#include "ByteText.h"

#include <cstdio>

std::string ByteCount(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string ShareSaved(uint64_t bytesIn, uint64_t bytesOut) {
    if (bytesIn == 0) return bytesOut == 0 ? "0.0% saved" : "larger";
    const double change = 100.0 * (double(bytesIn) - double(bytesOut)) / double(bytesIn);
    char text[48];
    if (change >= 0)
        std::snprintf(text, sizeof text, "%.1f%% saved", change);
    else
        std::snprintf(text, sizeof text, "%.1f%% larger", -change);
    return text;
}
