#include "StoredForms.h"

#include <stdexcept>

#include <turbojpeg.h>

namespace imagebytes {

namespace {

using Rows = std::vector<std::vector<Rgb>>;

Rows ColourRows(int w, int h, int seed) {
    Rows rows(h, std::vector<Rgb>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows[y][x] = {uint8_t(x * 255 / std::max(1, w - 1)), uint8_t(y * 5 + seed * 40),
                          uint8_t(x * y + seed * 17)};
    return rows;
}

std::vector<Rgb> Palette(int entries, int seed) {
    std::vector<Rgb> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back(
            {uint8_t(i * 37 + seed * 50), uint8_t(255 - i * 13), uint8_t(i * 91 + seed)});
    return palette;
}

// Index of pixel (x, y), y = 0 the bottom row, for a table of n entries.
int IndexAt(int x, int y, int n, int seed) { return (x / 3 + y / 2 + seed) % n; }

// Uncompressed indexed rows, bottom row first, padded to 4 bytes.
Bytes IndexedPixels(int w, int h, int bits, int seed) {
    Bytes pixels;
    const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
    for (int y = 0; y < h; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < w; ++x) {
            const int index = IndexAt(x, y, 1 << bits, seed);
            const int bit = x * bits;
            row[bit / 8] |= uint8_t(index << (8 - bits - bit % 8));
        }
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    return pixels;
}

// Runs of one index each (a run never crosses a row), an end of line after
// every row and an end of bitmap at the end.
Bytes RlePixels(int w, int h, bool fourBit, int seed) {
    Bytes codes;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w;) {
            const int index = IndexAt(x, y, fourBit ? 16 : 256, seed);
            int run = 1;
            while (x + run < w && run < 255 &&
                   IndexAt(x + run, y, fourBit ? 16 : 256, seed) == index)
                ++run;
            codes.insert(codes.end(), {uint8_t(run), uint8_t(fourBit ? index * 0x11 : index)});
            x += run;
        }
        codes.insert(codes.end(), {0, 0});
    }
    codes.insert(codes.end(), {0, 1});
    return codes;
}

StoredForm Bmp(std::string name, BmpLayout layout) {
    const Bytes file = BuildBmp(layout);
    const std::size_t pixelsAt = file.size() - layout.Pixels.size();
    return {std::move(name), "bmp", file, pixelsAt + layout.Pixels.size() * 3 / 5};
}

}  // namespace

std::vector<StoredForm> StoredForms(int w, int h, int seed) {
    const Rows rows = ColourRows(w, h, seed);
    Bytes px16, px32;
    for (int y = h - 1; y >= 0; --y) {
        for (const Rgb& c : rows[y]) {
            Put16(px16, uint32_t(c.R >> 3) << 10 | uint32_t(c.G >> 3) << 5 | uint32_t(c.B >> 3));
            px32.insert(px32.end(), {c.B, c.G, c.R, 0});
        }
        px16.resize((px16.size() + 3) / 4 * 4);
    }
    std::vector<StoredForm> forms;
    for (int bits : {1, 4, 8})
        forms.push_back(Bmp(std::to_string(bits) + "-bit BMP", {w,
                                                                h,
                                                                uint16_t(bits),
                                                                0,
                                                                Palette(1 << bits, seed),
                                                                {},
                                                                IndexedPixels(w, h, bits, seed)}));
    forms.push_back(Bmp("16-bit BMP", {w, h, 16, 0, {}, {}, px16}));
    const Bytes bmp24 = Bmp24(rows);
    forms.push_back({"24-bit BMP", "bmp", bmp24, 54 + (bmp24.size() - 54) * 3 / 5});
    forms.push_back(Bmp("32-bit BMP", {w, h, 32, 0, {}, {}, px32}));
    forms.push_back(
        Bmp("RLE8 BMP", {w, h, 8, 1, Palette(256, seed), {}, RlePixels(w, h, false, seed)}));
    forms.push_back(
        Bmp("RLE4 BMP", {w, h, 4, 2, Palette(16, seed), {}, RlePixels(w, h, true, seed)}));
    const Bytes png = BuildPng(rows), jpeg = EncodeJpeg(rows);
    forms.push_back({"PNG", "png", png, png.size() * 3 / 5});
    forms.push_back({"JPEG", "jpg", jpeg, jpeg.size() * 3 / 5});
    Bytes indices;
    for (int y = h - 1; y >= 0; --y)  // GIF rows run top-down
        for (int x = 0; x < w; ++x) indices.push_back(uint8_t(IndexAt(x, y, 128, seed)));
    const Bytes gif = BuildGif(w, h, Palette(128, seed), indices);
    forms.push_back({"GIF", "gif", gif, gif.size() * 3 / 5});
    std::string xbm = "#define cut_width " + std::to_string(w) + "\n#define cut_height " +
                      std::to_string(h) + "\nstatic char cut_bits[] = {\n";
    const char* hex = "0123456789abcdef";
    for (int y = 0; y < h; ++y)  // rows top-down, bit 0 the leftmost pixel
        for (int x = 0; x < w; x += 8) {
            int byte = 0;
            for (int bit = 0; bit < 8 && x + bit < w; ++bit)
                byte |= IndexAt(x + bit, y, 2, seed) << bit;
            xbm += std::string("0x") + hex[byte >> 4] + hex[byte & 15] + ",\n";
        }
    xbm += "};\n";
    forms.push_back({"XBM", "xbm", Bytes(xbm.begin(), xbm.end()), xbm.size() * 3 / 5});
    return forms;
}

Bytes EncodeJpeg(const std::vector<std::vector<Rgb>>& rows, int quality) {
    const int w = int(rows.front().size()), h = int(rows.size());
    Bytes rgb;
    for (const auto& row : rows)
        for (const Rgb& c : row) rgb.insert(rgb.end(), {c.R, c.G, c.B});
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(encoder, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_444,
                                   quality, TJFLAG_ACCURATEDCT);
    Bytes jpeg(out, out + (status == 0 ? size : 0));
    tjFree(out);
    tjDestroy(encoder);
    if (status != 0) throw std::runtime_error("tjCompress2 failed");
    return jpeg;
}

Bytes WithExifOrientation(const Bytes& jpeg, uint16_t orientation) {
    // "Exif\0\0", a little-endian TIFF header, and one IFD with one entry:
    // tag 0x0112 (orientation), type 3 (SHORT), count 1, the value.
    Bytes exif{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    Put32(exif, 8);  // the IFD follows the header
    Put16(exif, 1);
    Put16(exif, 0x0112);
    Put16(exif, 3);
    Put32(exif, 1);
    Put16(exif, orientation);
    Put16(exif, 0);
    Put32(exif, 0);  // no next IFD
    const std::size_t length = exif.size() + 2;
    Bytes segment{0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
    segment.insert(segment.end(), exif.begin(), exif.end());
    Bytes out = jpeg;
    out.insert(out.begin() + 2, segment.begin(), segment.end());  // after the start of image
    return out;
}

}  // namespace imagebytes
