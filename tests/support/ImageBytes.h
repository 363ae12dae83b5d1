#pragma once
// Image files built byte by byte, independently of the program's own writer and
// loader, and whole-file reading and writing.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace imagebytes {

using Bytes = std::vector<uint8_t>;

struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

struct BmpLayout {
    int32_t Width = 0;
    int32_t Height = 0;  // negative: rows top-down
    uint16_t BitCount = 24;
    uint32_t Compression = 0;          // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS
    std::vector<Rgb> Palette = {};     // written as Blue, Green, Red, 0
    std::vector<uint32_t> Masks = {};  // red, green, blue[, alpha]: after a 40-byte header,
                                       // inside a V4 or V5 one (missing ones 0)
    Bytes Pixels = {};                 // exactly as stored in the file
    uint32_t InfoSize = 40;            // 40, 108 (V4) or 124 (V5)
    uint32_t Gap = 0;                  // zero bytes between the colour table and the pixels
};

// File header, info header (image size, 2835 pixels per metre, colours used = palette
// size; a V4 or V5 header with its masks and sRGB), masks, colour table, pixels.
inline Bytes BuildBmp(const BmpLayout& bmp) {
    const bool masksInHeader = bmp.InfoSize > 40;
    const auto offset = uint32_t(14 + bmp.InfoSize + (masksInHeader ? 0 : 4 * bmp.Masks.size()) +
                                 4 * bmp.Palette.size() + bmp.Gap);
    Bytes out{'B', 'M'};
    for (uint32_t v : {offset + uint32_t(bmp.Pixels.size()), 0u, offset, bmp.InfoSize,
                       uint32_t(bmp.Width), uint32_t(bmp.Height)})
        Put32(out, v);
    Put16(out, 1);
    Put16(out, bmp.BitCount);
    for (uint32_t v : {bmp.Compression, uint32_t(bmp.Pixels.size()), 2835u, 2835u,
                       uint32_t(bmp.Palette.size()), 0u})
        Put32(out, v);
    if (masksInHeader) {
        for (std::size_t i = 0; i < 4; ++i) Put32(out, i < bmp.Masks.size() ? bmp.Masks[i] : 0);
        Put32(out, 0x73524742);  // 'sRGB'; then endpoints, gammas (and V5 intent, profile)
        out.resize(14 + bmp.InfoSize, 0);
    } else {
        for (uint32_t mask : bmp.Masks) Put32(out, mask);
    }
    for (const Rgb& c : bmp.Palette) out.insert(out.end(), {c.B, c.G, c.R, 0});
    out.resize(out.size() + bmp.Gap, 0);
    out.insert(out.end(), bmp.Pixels.begin(), bmp.Pixels.end());
    return out;
}

// Overwrites the little-endian 32-bit word at byte at of a file.
inline void Patch32(Bytes& file, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file.at(at + i) = uint8_t(v >> (8 * i));
}

// A 24-bpp BI_RGB BMP from rows given top to bottom.
inline Bytes Bmp24(const std::vector<std::vector<Rgb>>& rowsTopDown) {
    BmpLayout bmp{int32_t(rowsTopDown.front().size()), int32_t(rowsTopDown.size())};
    for (auto row = rowsTopDown.rbegin(); row != rowsTopDown.rend(); ++row) {
        for (const Rgb& c : *row) bmp.Pixels.insert(bmp.Pixels.end(), {c.B, c.G, c.R});
        bmp.Pixels.resize((bmp.Pixels.size() + 3) / 4 * 4);  // rows end on 4-byte boundaries
    }
    return BuildBmp(bmp);
}

// CRC-32 of PNG chunks (and zlib's polynomial).
inline uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// An 8-bit RGB PNG of rows given top to bottom, its pixels in stored (uncompressed)
// deflate blocks. The size written in the header may be overridden.
inline Bytes BuildPng(const std::vector<std::vector<Rgb>>& rows, uint32_t width = 0,
                      uint32_t height = 0) {
    const auto be32 = [](Bytes& out, uint32_t v) {
        out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const Bytes& data) {
        be32(out, uint32_t(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        be32(out, Crc32(&out[start], out.size() - start));
    };
    Bytes header;
    be32(header, width ? width : uint32_t(rows.front().size()));
    be32(header, height ? height : uint32_t(rows.size()));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    chunk("IHDR", header);

    Bytes raw;
    for (const auto& row : rows) {
        raw.push_back(0);  // no filter
        for (const Rgb& c : row) raw.insert(raw.end(), {c.R, c.G, c.B});
    }
    Bytes z{0x78, 0x01};
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const auto n = uint16_t(std::min<std::size_t>(65535, raw.size() - at));
        z.push_back(at + n >= raw.size() ? 1 : 0);
        Put16(z, n);
        Put16(z, uint16_t(~n));
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    }
    uint32_t a = 1, b = 0;  // Adler-32
    for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
    be32(z, b << 16 | a);
    chunk("IDAT", z);
    chunk("IEND", {});
    return out;
}

// A GIF89a with a 128-entry global colour table (unused entries black) and an optional
// transparent index. Its LZW data is all 8-bit literal codes, with a clear code every 100
// so that the code table never grows enough to widen them.
inline Bytes BuildGif(int width, int height, const std::vector<Rgb>& palette, const Bytes& indices,
                      int transparent = -1) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    out.reserve(800 + 2 * indices.size());
    Put16(out, uint16_t(width));
    Put16(out, uint16_t(height));
    out.insert(out.end(), {0xF6, 0, 0});  // global table of 2^(6+1) entries, background 0
    for (int i = 0; i < 128; ++i) {
        const Rgb c = i < int(palette.size()) ? palette[i] : Rgb{};
        out.insert(out.end(), {c.R, c.G, c.B});
    }
    if (transparent >= 0)
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, uint8_t(transparent), 0x00});
    out.push_back(0x2C);  // image descriptor at (0, 0), no local table, not interlaced
    for (int v : {0, 0, width, height}) Put16(out, uint16_t(v));
    out.push_back(0);
    Bytes codes;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % 100 == 0) codes.push_back(128);  // clear code
        codes.push_back(indices[i]);
    }
    codes.push_back(129);  // end code
    out.push_back(7);      // minimum code size 7: 8-bit codes
    for (std::size_t at = 0; at < codes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + at, codes.begin() + at + n);
    }
    out.insert(out.end(), {0, 0x3B});  // block terminator, trailer
    return out;
}

}  // namespace imagebytes
