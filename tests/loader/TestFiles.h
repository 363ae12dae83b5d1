#pragma once
// Test files: BMP and GIF files built byte by byte (independently of the
// program's own writer) and a temporary folder that cleans up after itself.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testfiles {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pixolune-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

struct BmpSpec {
    int32_t Width = 0;
    int32_t Height = 0;  // negative: rows top-down
    uint16_t BitCount = 24;
    uint32_t Compression = 0;          // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS
    std::vector<Rgb> Palette = {};     // written as Blue, Green, Red, 0
    std::vector<uint32_t> Masks = {};  // red, green, blue (BI_BITFIELDS), after the header
    std::vector<uint8_t> Pixels = {};  // exactly as stored in the file
};

// File header + 40-byte info header + masks + colour table + pixels.
inline std::vector<uint8_t> BuildBmp(const BmpSpec& spec) {
    const uint32_t offset =
        14 + 40 + 4 * uint32_t(spec.Masks.size()) + 4 * uint32_t(spec.Palette.size());
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + uint32_t(spec.Pixels.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, uint32_t(spec.Width));
    Put32(out, uint32_t(spec.Height));
    Put16(out, 1);
    Put16(out, spec.BitCount);
    Put32(out, spec.Compression);
    Put32(out, uint32_t(spec.Pixels.size()));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, uint32_t(spec.Palette.size()));
    Put32(out, 0);
    for (uint32_t mask : spec.Masks) Put32(out, mask);
    for (const Rgb& c : spec.Palette) {
        out.push_back(c.B);
        out.push_back(c.G);
        out.push_back(c.R);
        out.push_back(0);
    }
    out.insert(out.end(), spec.Pixels.begin(), spec.Pixels.end());
    return out;
}

// A 24-bpp BI_RGB BMP from rows given top to bottom.
inline std::vector<uint8_t> Bmp24(const std::vector<std::vector<Rgb>>& rowsTopDown) {
    BmpSpec spec;
    spec.Height = int32_t(rowsTopDown.size());
    spec.Width = int32_t(rowsTopDown.front().size());
    spec.BitCount = 24;
    const std::size_t stride = (std::size_t(spec.Width) * 24 + 31) / 32 * 4;
    for (auto row = rowsTopDown.rbegin(); row != rowsTopDown.rend(); ++row) {
        std::size_t written = 0;
        for (const Rgb& c : *row) {
            spec.Pixels.insert(spec.Pixels.end(), {c.B, c.G, c.R});
            written += 3;
        }
        spec.Pixels.insert(spec.Pixels.end(), stride - written, 0);
    }
    return BuildBmp(spec);
}

// A GIF89a with a global colour table of 128 entries (unused ones black) and
// an optional transparent index. The image data is LZW with 8-bit codes that
// are all literals, a clear code before the code table would widen them.
inline std::vector<uint8_t> BuildGif(int width, int height, const std::vector<Rgb>& palette,
                                     const std::vector<uint8_t>& indices, int transparent = -1) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, uint16_t(width));
    Put16(out, uint16_t(height));
    out.push_back(0x80 | 0x70 | 0x06);  // global table, 8-bit colour resolution, 2^(6+1) entries
    out.push_back(0);                   // background index
    out.push_back(0);                   // aspect ratio
    for (int i = 0; i < 128; ++i) {
        const Rgb c = i < int(palette.size()) ? palette[i] : Rgb{};
        out.insert(out.end(), {c.R, c.G, c.B});
    }
    if (transparent >= 0) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, uint8_t(transparent), 0x00});
    }
    out.push_back(0x2C);  // image descriptor
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint16_t(width));
    Put16(out, uint16_t(height));
    out.push_back(0);  // no local table, not interlaced

    constexpr uint8_t kClear = 128, kEnd = 129;
    std::vector<uint8_t> codes = {kClear};
    int sinceClear = 0;
    for (uint8_t index : indices) {
        if (sinceClear == 120) {  // well before the table reaches 256 codes
            codes.push_back(kClear);
            sinceClear = 0;
        }
        codes.push_back(index);
        ++sinceClear;
    }
    codes.push_back(kEnd);
    out.push_back(7);  // LZW minimum code size: 8-bit codes
    for (std::size_t i = 0; i < codes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + i, codes.begin() + i + n);
    }
    out.push_back(0);     // block terminator
    out.push_back(0x3B);  // trailer
    return out;
}

}  // namespace testfiles
