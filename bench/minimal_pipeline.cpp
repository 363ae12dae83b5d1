// minimal_pipeline: the least work a BMP-to-8-bit-BMP reduction can do, as a
// yardstick for a whole pixolune-cli run. One read of the file, one expansion
// to 32 bits a pixel, one ordered-dithering pass onto a fixed 6 x 6 x 6 colour
// cube, one write. No palette is computed, nothing is checked beyond what is
// needed not to read out of bounds.
//
//   minimal_pipeline IN.bmp OUT.bmp
//
// IN must be an uncompressed 24- or 32-bit BMP with a 40-byte (or longer)
// information header, as the photo corpus is.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "minimal_pipeline: %s\n", message.c_str());
    std::exit(1);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Buffers are left uninitialised: every byte is written before it is read,
// and a zero fill would be one more pass over memory.
template <typename T>
struct Buffer {
    std::unique_ptr<T[]> Data;
    size_t Size = 0;
    explicit Buffer(size_t size = 0) : Data(std::make_unique_for_overwrite<T[]>(size)), Size(size) {}
    T* data() const { return Data.get(); }
    size_t size() const { return Size; }
    T& operator[](size_t i) const { return Data[i]; }
};

Buffer<uint8_t> ReadFile(const char* path) {
    File file(std::fopen(path, "rb"));
    if (!file) Fail(std::string("cannot open ") + path);
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);
    if (size <= 0) Fail(std::string("empty file ") + path);
    Buffer<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        Fail(std::string("cannot read ") + path);
    return bytes;
}

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Write32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i)); }
void Write16(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); }

// 32 bits a pixel (Blue, Green, Red, 0), rows bottom-up and unpadded.
struct Image32 {
    int32_t Width = 0;
    int32_t Height = 0;
    Buffer<uint32_t> Pixels;
};

Image32 Expand(const Buffer<uint8_t>& file) {
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') Fail("not a BMP file");
    const uint32_t offset = Read32(&file[10]);
    const int32_t width = static_cast<int32_t>(Read32(&file[18]));
    const int32_t rawHeight = static_cast<int32_t>(Read32(&file[22]));
    const uint16_t bpp = Read16(&file[28]);
    const uint32_t compression = Read32(&file[30]);
    if ((bpp != 24 && bpp != 32) || compression != 0 || width <= 0 || rawHeight == 0 ||
        rawHeight == INT32_MIN)
        Fail("only uncompressed 24- and 32-bit BMP files are read");
    const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    const size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
    if (offset > file.size() || (file.size() - offset) / stride < static_cast<size_t>(height))
        Fail("the file is shorter than its pixels");

    Image32 image;
    image.Width = width;
    image.Height = height;
    image.Pixels = Buffer<uint32_t>(static_cast<size_t>(width) * height);
    const size_t step = bpp / 8;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t fileRow = rawHeight < 0 ? height - 1 - y : y;  // keep rows bottom-up
        const uint8_t* src = file.data() + offset + static_cast<size_t>(fileRow) * stride;
        uint32_t* dst = image.Pixels.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x, src += step)
            dst[x] = src[0] | src[1] << 8 | uint32_t{src[2]} << 16;
    }
    return image;
}

// For matrix position p and value v: the cube level of v (0..5), already
// multiplied by the channel's place in the entry number (1, 6, 36).
struct CubeTables {
    std::array<std::array<uint8_t, 256>, 16> R, G, B;
};

CubeTables MakeCubeTables() {
    static constexpr int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    CubeTables t{};
    for (int p = 0; p < 16; ++p) {
        for (int v = 0; v < 256; ++v) {
            // Threshold in (0, 51): the level rounds up once v passes it.
            const int level = (v * 5 * 16 + (kBayer[p] * 2 + 1) * 255 / 2) / (255 * 16);
            t.R[p][v] = static_cast<uint8_t>(level);
            t.G[p][v] = static_cast<uint8_t>(6 * level);
            t.B[p][v] = static_cast<uint8_t>(36 * level);
        }
    }
    return t;
}

// 8-bit rows bottom-up, padded to 4 bytes, as the BMP file holds them.
Buffer<uint8_t> Dither(const Image32& image, size_t stride) {
    static const CubeTables tables = MakeCubeTables();
    Buffer<uint8_t> out(stride * image.Height);
    const size_t padding = stride - image.Width;
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint32_t* src = image.Pixels.data() + static_cast<size_t>(y) * image.Width;
        uint8_t* dst = out.data() + static_cast<size_t>(y) * stride;
        const int row = (y & 3) * 4;
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint32_t p = src[x];
            const int pos = row + (x & 3);
            dst[x] = static_cast<uint8_t>(tables.B[pos][p & 0xFF] + tables.G[pos][(p >> 8) & 0xFF] +
                                          tables.R[pos][(p >> 16) & 0xFF]);
        }
        std::memset(dst + image.Width, 0, padding);
    }
    return out;
}

void WriteBmp8(const char* path, int32_t width, int32_t height, size_t stride,
               const Buffer<uint8_t>& pixels) {
    std::array<uint8_t, 54 + 1024> head{};
    const uint32_t offset = static_cast<uint32_t>(head.size());
    head[0] = 'B';
    head[1] = 'M';
    Write32(&head[2], static_cast<uint32_t>(offset + pixels.size()));
    Write32(&head[10], offset);
    Write32(&head[14], 40);
    Write32(&head[18], static_cast<uint32_t>(width));
    Write32(&head[22], static_cast<uint32_t>(height));
    Write16(&head[26], 1);
    Write16(&head[28], 8);
    Write32(&head[34], static_cast<uint32_t>(stride * height));
    Write32(&head[46], 256);
    for (int i = 0; i < 216; ++i) {  // entry r + 6g + 36b
        uint8_t* entry = &head[54 + 4 * i];
        entry[0] = static_cast<uint8_t>(51 * (i / 36));
        entry[1] = static_cast<uint8_t>(51 * (i / 6 % 6));
        entry[2] = static_cast<uint8_t>(51 * (i % 6));
    }
    File file(std::fopen(path, "wb"));
    if (!file) Fail(std::string("cannot create ") + path);
    if (std::fwrite(head.data(), 1, head.size(), file.get()) != head.size() ||
        std::fwrite(pixels.data(), 1, pixels.size(), file.get()) != pixels.size() ||
        std::fclose(file.release()) != 0)
        Fail(std::string("cannot write ") + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: minimal_pipeline IN.bmp OUT.bmp\n", stderr);
        return 2;
    }
    Image32 image;
    {
        const Buffer<uint8_t> file = ReadFile(argv[1]);
        image = Expand(file);
    }  // the file's bytes are gone before the result is made, as in the program
    const size_t stride = (static_cast<size_t>(image.Width) + 3) / 4 * 4;
    const Buffer<uint8_t> pixels = Dither(image, stride);
    WriteBmp8(argv[2], image.Width, image.Height, stride, pixels);
    return 0;
}
