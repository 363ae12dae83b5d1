// The picture loader: every BMP variant with exact colours, the native BMP
// reader against Qt's, the other formats, alpha over white, and clean errors
// for whatever else a path may hold, truncated files included.

#include "AddressSpaceLimit.h"
#include "BandPool.h"
#include "ImageBytes.h"
#include "PictureLoader.h"
#include "StoredForms.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <atomic>
#include <climits>
#include <optional>
#include <thread>

#include <unistd.h>

using namespace imagebytes;

namespace {

using Pixels = std::vector<std::vector<Rgb>>;  // rows top to bottom

const Rgb R{255, 0, 0}, G{0, 255, 0}, B{0, 0, 255}, W{255, 255, 255}, K{0, 0, 0}, O{120, 130, 20},
    P{200, 40, 160};

// Picture pixel (x, y), y = 0 the top row, read through the layout the picture promises.
Rgb PixelAt(const cPicture& picture, int x, int y) {
    const uint8_t* row = picture.Row(y);
    if (picture.BPP == 32) return {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    const int index = picture.BPP == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
    const uint8_t* entry = &picture.ColorTable.at(4 * std::size_t(index));
    return {entry[2], entry[1], entry[0]};
}

Pixels AllPixels(const cPicture& picture) {
    Pixels rows(picture.Height);
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) rows[y].push_back(PixelAt(picture, x, y));
    return rows;
}

Bytes Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return {data.begin(), data.end()};
}

QImage QtImage(const Pixels& rows, const std::vector<int>& alpha = {}) {
    QImage image(int(rows[0].size()), int(rows.size()), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgb c = rows[y][x];
            image.setPixel(x, y, qRgba(c.R, c.G, c.B, alpha.empty() ? 255 : alpha[x]));
        }
    return image;
}

// The error number LoadPicture raises for path, or 0 when it loads.
int LoadError(const std::string& path, std::string* description = nullptr) {
    try {
        LoadPicture(path);
        return 0;
    } catch (const cError& error) {
        if (description) *description = error.Description();
        return int(error.Number());
    }
}

Bytes Bmp(int32_t w, int32_t h, uint16_t bits, std::vector<Rgb> palette, Bytes pixels,
          uint32_t compression = 0, std::vector<uint32_t> masks = {}) {
    return BuildBmp({w, h, bits, compression, palette, masks, pixels});
}

uint8_t& PixelByte(const cDIB& image, int x, int y) {
    return image.lpBits()[y * image.BytesPerScanline() + x];
}

class Loader : public ::testing::Test {
protected:
    TempTree dir;

    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteFile(dir.Path(name), bytes);
        return dir.Path(name);
    }
    cPicture Load(const std::string& name, const Bytes& bytes) {
        return LoadPicture(Write(name, bytes));
    }
};

struct FileCase {
    const char* What;
    Bytes File;
    int BPP;  // 0: any the picture can carry
    Pixels Expected;
};

TEST_F(Loader, ExactColoursOfEachVariant) {
    Pixels icon(16, std::vector<Rgb>(16, O));
    icon[5][3] = W;
    QImage iconImage = QtImage(icon);
    iconImage.setPixel(3, 5, qRgba(0, 0, 0, 0));
    Bytes px565;  // bottom row: red, green, blue; top row: white, black, (16, 32, 1)
    for (uint16_t v : {0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 0, (16 << 11) | (32 << 5) | 1, 0})
        Put16(px565, v);
    const Bytes px555{0xFF, 0x7F, 0xCF, 0x0F};  // white, (3, 30, 15)
    const Pixels alphaRow{{{201, 100, 0}, {10, 20, 30}, {10, 20, 30}, {0, 255, 90}}};
    QImage indexed(3, 1, QImage::Format_Indexed8);  // a palette PNG with transparent entries
    indexed.setColorTable({qRgba(201, 100, 0, 128), qRgba(0, 0, 0, 0), qRgb(120, 130, 20)});
    for (int x = 0; x < 3; ++x) indexed.setPixel(x, 0, uint(x));

    // Pixels of the BMP files are bottom row first, rows padded to 4 bytes.
    const std::vector<FileCase> cases = {
        {"1 bit, MSB first",
         Bmp(10, 2, 1, {O, P}, {0xAA, 0x80, 0, 0, 0xC0, 0xC0, 0, 0}),
         1,
         {{P, P, O, O, O, O, O, O, P, P}, {P, O, P, O, P, O, P, O, P, O}}},
        {"4 bit, odd width",
         Bmp(5, 2, 4, {K, R, G, B, P}, {1, 0x23, 0x40, 0, 0x44, 0x33, 0x20, 0}),
         0,
         {{P, P, B, B, G}, {K, R, G, B, P}}},
        {"8 bit, short table",
         Bmp(3, 2, 8, {W, O, P}, {2, 1, 0, 0, 0, 0, 2, 0}),
         8,
         {{W, W, P}, {P, O, W}}},
        // Bottom row: a run of four red; top row: absolute 2 1 0 2.
        {"RLE8",
         Bmp(4, 2, 8, {K, R, G}, {4, 1, 0, 0, 0, 4, 2, 1, 0, 2, 0, 1}, 1),
         0,
         {{G, R, K, G}, {R, R, R, R}}},
        {"RLE4", Bmp(5, 1, 4, {K, R, B}, {5, 0x12, 0, 1}, 2), 0, {{R, B, R, B, R}}},
        {"24 bit", Bmp24({{R, G, B}, {O, P, {1, 2, 3}}}), 32, {{R, G, B}, {O, P, {1, 2, 3}}}},
        {"32 bit, fourth byte ignored",
         Bmp(2, 1, 32, {}, {20, 130, 120, 0, 160, 40, 200, 0x55}),
         32,
         {{O, P}}},
        {"top-down",
         Bmp(1, -3, 24, {}, {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}),
         32,
         {{R}, {G}, {B}}},
        // n-bit channels widen as v 255 / (2^n - 1) rounded: 31 is 255, not 248;
        // 16 -> 131.6, 32 (of 63) -> 129.5, 1 -> 8.2; 3 -> 24.7, 30 -> 246.8, 15 -> 123.4.
        {"16 bit fields",
         Bmp(3, 2, 16, {}, px565, 3, {0xF800, 0x07E0, 0x001F}),
         32,
         {{W, K, {132, 130, 8}}, {R, G, B}}},
        {"16 bit 5-5-5", Bmp(2, 1, 16, {}, px555), 32, {{W, {25, 247, 123}}}},
        {"PNG named .bmp", Encode(QtImage({{O, P}}), "png"), 32, {{O, P}}},
        // Over white: (c a + 255 (255 - a) + 127) / 255, e.g. 201 at a = 128: 58240 / 255 = 228.4.
        {"PNG alpha",
         Encode(QtImage(alphaRow, {128, 0, 255, 1}), "png"),
         32,
         {{{228, 177, 127}, W, {10, 20, 30}, {254, 255, 254}}}},
        {"PNG palette with alpha", Encode(indexed, "png"), 0, {{{228, 177, 127}, W, O}}},
        {"GIF, transparent index",
         BuildGif(4, 2, {O, P, K, R}, {0, 1, 2, 3, 3, 2, 1, 0}, 2),
         0,
         {{O, P, W, R}, {R, W, P, O}}},
        {"ICO with alpha", Encode(iconImage, "ico"), 0, icon},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.What);
        const cPicture picture = Load("image.bmp", c.File);
        ASSERT_TRUE(picture.IsBitmap());
        ASSERT_TRUE(picture.BPP == 1 || picture.BPP == 8 || picture.BPP == 32) << picture.BPP;
        if (c.BPP) {
            EXPECT_EQ(picture.BPP, c.BPP);
        }
        if (picture.BPP <= 8) {  // a whole table: indices never read past it
            EXPECT_EQ(picture.ColorTable.size(), std::size_t(4) << picture.BPP);
        }
        EXPECT_EQ(AllPixels(picture), c.Expected);
    }
}

// What cDIB::Save writes, the loader reads back unchanged.
TEST_F(Loader, ReadsBackWhatTheWriterSaves) {
    cDIB image, copy;
    ASSERT_TRUE(image.Create(5, 3, 8));
    std::vector<uint8_t> table(1024);
    for (int i = 0; i < 256; ++i) {
        table[4 * i] = uint8_t(i);
        table[4 * i + 1] = uint8_t(255 - i);
        table[4 * i + 2] = uint8_t(7 * i);
    }
    image.SetPalette(table);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) PixelByte(image, x, y) = uint8_t(40 * y + 3 * x + 1);
    image.Save(dir.Path("saved.bmp"));

    const cPicture picture = LoadPicture(dir.Path("saved.bmp"));
    ASSERT_EQ(picture.BPP, 8);
    EXPECT_EQ(picture.ColorTable, table);
    for (int y = 0; y < 3; ++y)  // the file's rows are bottom-up, the picture's top-down
        for (int x = 0; x < 5; ++x) EXPECT_EQ(picture.Row(2 - y)[x], PixelByte(image, x, y));

    ASSERT_EQ(copy.CreateFromStdPicture(&picture, true), 8);  // into 32 bpp: the table's colours
    const uint8_t* pixel = copy.lpBits() + 2 * 4;             // memory row 0, x = 2: index 7
    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 3), std::vector<uint8_t>(&table[28], &table[31]));
}

TEST_F(Loader, JpegColourAndGrey) {
    QImage colour(16, 8, QImage::Format_RGB32), grey(8, 8, QImage::Format_Grayscale8);
    colour.fill(qRgb(120, 130, 20));
    grey.fill(90);
    const cPicture fromColour = Load("c.jpg", Encode(colour, "jpg", 100));
    const cPicture fromGrey = Load("g.jpg", Encode(grey, "jpg", 100));
    ASSERT_EQ(fromColour.BPP, 32);
    ASSERT_EQ(fromGrey.BPP, 32);  // decoded straight into the image's own form
    const Rgb c = PixelAt(fromColour, 7, 3), g = PixelAt(fromGrey, 4, 4);
    EXPECT_NEAR(c.R, 120, 3);  // lossy: near the colour, not exact
    EXPECT_NEAR(c.G, 130, 3);
    EXPECT_NEAR(c.B, 20, 3);
    EXPECT_NEAR(g.R, 90, 2);
    EXPECT_TRUE(g.R == g.G && g.G == g.B);
}

// Qt refuses images above 128 MB unless told otherwise; 12000 x 12000 at 8 bpp is 144 MB
// decoded, from a small run-length file.
TEST_F(Loader, ImagesAboveQtsDefaultLimitLoad) {
    Bytes runs;  // each row 50 runs of 240 pixels of entry 1, then end of line; end of bitmap
    for (int y = 0; y < 12000; ++y) {
        for (int run = 0; run < 50; ++run) runs.insert(runs.end(), {240, 1});
        runs.insert(runs.end(), {0, 0});
    }
    runs.insert(runs.end(), {0, 1});
    const cPicture picture = Load("big.bmp", Bmp(12000, 12000, 8, {K, P}, runs, 1));
    ASSERT_EQ(picture.Width, 12000);
    EXPECT_EQ(PixelAt(picture, 11999, 11999), P);
}

// Big-endian words, as PNG, MNG and JPEG headers hold their sizes.
void PutBe(Bytes& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

// A PNG-style chunk (length, type, data, CRC), as PNG and MNG files are made of.
void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBe(out, uint32_t(data.size()), 4);
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe(out, Crc32(&out[start], out.size() - start), 4);
}

// A 16-bit RGB PNG header claiming width x height, with a little data.
Bytes Png16(uint32_t width, uint32_t height) {
    Bytes png = BuildPng({{R}}, width, height);
    png[24] = 16;  // bit depth
    Patch32(png, 29, 0);
    const uint32_t crc = Crc32(&png[12], 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

// An MNG file whose frame (its MHDR) is width x height, holding a 1 x 1 PNG.
Bytes Mng(uint32_t width, uint32_t height) {
    Bytes mng{0x8A, 'M', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    for (uint32_t v : {width, height, 1u, 0u, 0u, 0u, 1u}) PutBe(header, v, 4);
    PutChunk(mng, "MHDR", header);
    const Bytes png = BuildPng({{R}});
    mng.insert(mng.end(), png.begin() + 8, png.end());  // its chunks, IHDR to IEND
    PutChunk(mng, "MEND", {});
    return mng;
}

// A baseline JPEG whose frame header claims width x height.
Bytes JpegClaiming(uint16_t width, uint16_t height) {
    Bytes jpeg = Encode(QtImage({{R, G}, {B, W}}), "jpeg");
    for (std::size_t at = 2; at + 9 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0) {
            jpeg[at + 5] = uint8_t(height >> 8), jpeg[at + 6] = uint8_t(height);
            jpeg[at + 7] = uint8_t(width >> 8), jpeg[at + 8] = uint8_t(width);
            break;
        }
    return jpeg;
}

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

TEST_F(Loader, EachFailureHasItsNumberAndNamesTheFile) {
    EXPECT_EQ(LoadPicture("").Type, PictureType::None);  // the empty path is no failure

    uint32_t x = 12345;
    Bytes random(3000);
    for (auto& b : random) x ^= x << 13, x ^= x >> 17, x ^= x << 5, b = uint8_t(x);
    const Bytes header = BuildBmp({.Width = 4, .Height = 4});
    ASSERT_EQ(::mkfifo(dir.Path("pipe.bmp").c_str(), 0600), 0);  // a blocking open would hang
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {dir.Path("nothing.bmp"), 53, ""},
        {dir.Path("nothing/below.bmp"), 53, ""},
        {Write("empty.bmp", {}), 481, ""},
        {Write("short-header.bmp", Bytes(header.begin(), header.begin() + 20)), 481, ""},
        {Write("random.bmp", random), 481, ""},
        {Write("text.png", {'h', 'e', 'l', 'l', 'o'}), 481, ""},
        // Its decoder makes a blank picture of the frame whatever data is cut or missing.
        {Write("frame.mng", Mng(64, 64)), 481, "MNG or JNG animation"},
        {dir.Root(), 75, "folder"},
        {dir.Path("pipe.bmp"), 75, "named pipe"},
        {"/dev/null", 75, "device"},
    };
    for (const auto& [path, number, word] : cases) {
        std::string description;
        EXPECT_EQ(LoadError(path, &description), number) << path;
        EXPECT_NE(description.find(path), std::string::npos) << description;
        EXPECT_NE(description.find(word), std::string::npos) << description;
    }
    if (::geteuid() != 0) {  // root reads every file
        EXPECT_EQ(LoadError(dir.File("locked.bmp", 0, "BM")), 70);
    }
}

// A header claiming more pixels than an image holds (2^31 bytes at 32 bpp:
// 536870911 pixels; 23171 x 23171 is just over) is refused before any memory
// is spent on the picture, with one error naming the limit, whichever reader
// the file would go to. Run with little address space left.
TEST_F(Loader, PicturesOverTheLimitAreRefusedBeforeDecoding) {
    constexpr uint32_t kOver = 23171;
    const std::vector<std::tuple<std::string, Bytes, uint32_t, uint32_t>> cases = {
        {"1-bit.bmp", Bmp(100000, 100000, 1, {K, W}, {1, 2, 3, 4}), 100000, 100000},
        {"8-bit.bmp", Bmp(100000, 100000, 8, {K, W}, {1, 2, 3, 4}), 100000, 100000},
        {"24-bit.bmp", Bmp(kOver, kOver, 24, {}, {1, 2, 3, 4}), kOver, kOver},
        {"32-bit top-down.bmp", Bmp(kOver, -int32_t(kOver), 32, {}, {1, 2, 3, 4}), kOver, kOver},
        {"RLE8.bmp", Bmp(kOver, kOver, 8, {K, W}, {0, 1}, 1), kOver, kOver},
        {"rgb.png", BuildPng({{R}}, kOver, kOver), kOver, kOver},
        {"16-bit.png", Png16(40000, 30000), 40000, 30000},
        {"photo.jpg", JpegClaiming(uint16_t(kOver), uint16_t(kOver)), kOver, kOver},
        {"screen.gif", BuildGif(uint16_t(kOver), uint16_t(kOver), {R}, {0}), kOver, kOver},
        {"grey.pgm", Text("P5\n23171 23171\n255\n" + std::string(64, 'x')), kOver, kOver},
        {"mono.xbm",
         Text("#define a_width 23171\n#define a_height 23171\nstatic char a_bits[] = {0x00};\n"),
         kOver, kOver},
    };
    std::vector<std::string> paths;
    for (const auto& [name, file, width, height] : cases) paths.push_back(Write(name, file));
    const AddressSpaceLimit limit(size_t(256) << 20);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [name, file, width, height] = cases[i];
        SCOPED_TRACE(name);
        std::string description;
        EXPECT_EQ(LoadError(paths[i], &description), int(ErrorNumber::OutOfMemory));
        EXPECT_EQ(description, "Out of memory: " + paths[i] + " is too large to load (" +
                                   std::to_string(width) + " x " + std::to_string(height) +
                                   " pixels, more than the 536870911 a picture may have)");
    }
}

// A lower limit (pixolune-cli --max-pixels) refuses the same way, before decoding.
TEST_F(Loader, ALowerPixelLimitRefusesLargerPictures) {
    const std::string png = Write("small.png", BuildPng({{R, G, B}, {R, G, B}}));
    const std::string bmp = Write("small.bmp", Bmp24({{R, G, B}, {R, G, B}}));
    for (const std::string& path : {png, bmp}) {
        EXPECT_TRUE(LoadPicture(path, 6).IsBitmap());
        try {
            LoadPicture(path, 5);
            ADD_FAILURE() << path << " loaded";
        } catch (const cError& e) {
            EXPECT_EQ(e.Description(), "Out of memory: " + path +
                                           " is too large to load (3 x 2 pixels, more than the 5 "
                                           "a picture may have)");
        }
    }
}

// Qt's own decoding of a file, alpha over white as the loader composites it:
// (c a + 255 (255 - a) + 127) / 255. Nothing when Qt cannot read it.
std::optional<Pixels> QtPixels(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    QImage image;
    if (!reader.read(&image)) return std::nullopt;
    image.convertTo(QImage::Format_ARGB32);
    const auto over = [](int c, int a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); };
    Pixels rows(image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int a = qAlpha(p);
            rows[y].push_back({over(qRed(p), a), over(qGreen(p), a), over(qBlue(p), a)});
        }
    return rows;
}

// A width x height picture, every pixel its own colour.
Pixels Grid(int width, int height) {
    Pixels rows(height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[y].push_back({uint8_t(40 * x + 7 * y), uint8_t(200 - 9 * y), uint8_t(x * y * 13)});
    return rows;
}

// Rows as stored: bottom row first unless topDown, 3 or 4 bytes a pixel (the fourth
// byte from alphas, cycling), 24-bit rows padded to 4 bytes.
Bytes Stored(const Pixels& rows, int bytesPerPixel, bool topDown = false,
             const std::vector<uint8_t>& alphas = {0}) {
    Bytes out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[topDown ? i : rows.size() - 1 - i];
        for (std::size_t x = 0; x < row.size(); ++x) {
            out.insert(out.end(), {row[x].B, row[x].G, row[x].R});
            if (bytesPerPixel == 4) out.push_back(alphas[(x + i) % alphas.size()]);
        }
        out.resize((out.size() + 3) / 4 * 4);
    }
    return out;
}

constexpr uint32_t kR = 0xFF0000, kG = 0xFF00, kB = 0xFF, kA = 0xFF000000;

struct BmpCase {
    const char* What;
    Bytes File;
};

// The common 24- and 32-bit forms are read natively (into bottom-up pixels, as the
// image keeps them), with exactly the pixels Qt's reader gives.
TEST_F(Loader, NativeBmpReaderGivesQtsPixels) {
    const Pixels p5 = Grid(5, 4);
    const std::vector<uint8_t> alphas{0, 1, 128, 254, 255, 77};
    const auto layout = [](const Pixels& rows, uint16_t bits, Bytes pixels) {
        return BmpLayout{int32_t(rows[0].size()), int32_t(rows.size()), bits, 0, {}, {}, pixels};
    };
    const auto with = [](BmpLayout l, auto change) {
        change(l);
        return BuildBmp(l);
    };
    const BmpLayout v24 = layout(p5, 24, Stored(p5, 3)),
                    v32 = layout(p5, 32, Stored(p5, 4, false, alphas));
    BmpLayout down32 = layout(p5, 32, Stored(p5, 4, true, alphas));
    down32.Height = -4;
    const std::vector<BmpCase> cases = {
        {"24-bit, width 1", Bmp24(Grid(1, 3))},
        {"24-bit, width 2", Bmp24(Grid(2, 3))},
        {"24-bit, width 3", Bmp24(Grid(3, 2))},
        {"24-bit, width 5", Bmp24(p5)},
        {"24-bit, 1 x 1", Bmp24(Grid(1, 1))},
        {"24-bit top-down",
         with(layout(p5, 24, Stored(p5, 3, true)), [](BmpLayout& l) { l.Height = -4; })},
        {"24-bit V4", with(v24, [](BmpLayout& l) { l.InfoSize = 108; })},
        {"24-bit V5, masks ignored", with(v24,
                                          [](BmpLayout& l) {
                                              l.InfoSize = 124, l.Masks = {kG, kB, kR, kA};
                                          })},
        {"24-bit, colour table and gap before the pixels",
         with(v24,
              [](BmpLayout& l) {
                  l.Palette = {R, G, B, W}, l.Gap = 6;
              })},
        {"32-bit, fourth byte ignored", BuildBmp(v32)},
        {"32-bit top-down", BuildBmp(down32)},
        {"32-bit V4, no alpha mask", with(v32,
                                          [](BmpLayout& l) {
                                              l.InfoSize = 108, l.Masks = {kR, kG, kB, 0};
                                          })},
        {"32-bit V4, colour masks ignored", with(v32,
                                                 [](BmpLayout& l) {
                                                     l.InfoSize = 108, l.Masks = {kG, kB, kR, 0};
                                                 })},
        {"32-bit V5 with alpha mask", with(v32,
                                           [](BmpLayout& l) {
                                               l.InfoSize = 124, l.Masks = {0, 0, 0, kA};
                                           })},
        {"32-bit bit fields", with(v32,
                                   [](BmpLayout& l) {
                                       l.Compression = 3, l.Masks = {kR, kG, kB};
                                   })},
        {"32-bit bit fields, fourth mask after a 40-byte header ignored",
         with(v32,
              [](BmpLayout& l) {
                  l.Compression = 3, l.Masks = {kR, kG, kB, kA};
              })},
        {"32-bit V4 bit fields with alpha",
         with(v32,
              [](BmpLayout& l) {
                  l.InfoSize = 108, l.Compression = 3, l.Masks = {kR, kG, kB, kA};
              })},
        {"32-bit V5 bit fields with alpha, top-down",
         with(down32,
              [](BmpLayout& l) {
                  l.InfoSize = 124, l.Compression = 3, l.Masks = {kR, kG, kB, kA};
              })},
    };
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string path = Write("native.bmp", c.File);
        const std::optional<Pixels> expected = QtPixels(path);
        ASSERT_TRUE(expected.has_value());
        // Read in bands of rows on 1, 2 and 4 threads, as many bands as rows.
        for (const unsigned threads : {1u, 2u, 4u}) {
            const parallel::ScopedThreadShare share(threads, 1);
            const cPicture picture = LoadPicture(path);
            EXPECT_TRUE(picture.BottomUp) << "read natively";
            EXPECT_EQ(picture.Stride, 4 * picture.Width);
            EXPECT_EQ(AllPixels(picture), *expected) << threads << " threads";
        }
    }
}

// Headers that do not fit the file, or that the native reader leaves to Qt's: the same
// result as Qt's reader (its pixels, or 481 where it reads nothing), or the error
// given. Run with little address space left: no header may make the loader reserve
// more memory than its file can fill.
TEST_F(Loader, MalformedBmpHeadersGiveQtsResultOrACleanError) {
    constexpr int kAsQt = -1;
    const Bytes good24 = Bmp24(Grid(5, 4));
    const Bytes good32 = Bmp(5, 4, 32, {}, Stored(Grid(5, 4), 4));
    const auto patched = [](Bytes file, std::size_t at, uint32_t value) {
        Patch32(file, at, value);
        return file;
    };
    const auto cut = [](Bytes file, std::size_t size) {
        file.resize(size);
        return file;
    };
    const auto fields = [&](std::vector<uint32_t> masks, uint32_t compression, uint16_t bits = 32) {
        return BuildBmp({5, 4, bits, compression, {}, masks, Stored(Grid(5, 4), bits / 8), 124});
    };
    Bytes planes = good24;
    planes[26] = 2;
    const std::vector<std::tuple<const char*, Bytes, int>> cases = {
        {"24-bit pixel data one byte short", cut(good24, good24.size() - 1), 481},
        {"32-bit pixel data one row short", cut(good32, good32.size() - 20), 481},
        {"8-bit rows of one pixel, cut inside the last row's padding",
         cut(Bmp(1, 3, 8, {K, W}, {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}), 54 + 8 + 11), 481},
        {"header cut inside the V5 header", cut(fields({kR, kG, kB, kA}, 3), 80), kAsQt},
        {"offset past the end", patched(good24, 10, uint32_t(good24.size() + 100)), 481},
        {"offset inside the headers", patched(good24, 10, 20), 481},
        {"width 0", patched(good24, 18, 0), 481},
        {"negative width", patched(good24, 18, uint32_t(-5)), 481},
        {"height 0", patched(good24, 22, 0), 481},
        {"height INT_MIN: 2^31 rows", patched(good24, 22, uint32_t(INT_MIN)),
         int(ErrorNumber::OutOfMemory)},
        {"width x height beyond 32 bits", patched(patched(good24, 18, 65536), 22, 65536),
         int(ErrorNumber::OutOfMemory)},
        {"32-bit pixels beyond an image, small file",
         patched(patched(good32, 18, 40000), 22, 40000), int(ErrorNumber::OutOfMemory)},
        {"huge width, one row", patched(patched(good24, 18, 0x7FFFFFFF), 22, 1),
         int(ErrorNumber::OutOfMemory)},
        {"32-bit pixels just within an image, small file",
         patched(patched(good32, 18, 23170), 22, 23170), 481},
        {"bit fields with blue and red swapped", fields({kB, kG, kR, 0}, 3), kAsQt},
        {"bit fields with a one-byte alpha mask", fields({kR, kG, kB, 0xFF}, 3), kAsQt},
        {"BI_RGB with an alpha mask in the low byte", fields({kR, kG, kB, 0xFF}, 0), kAsQt},
        {"bit fields at 24 bits", fields({kR, kG, kB, 0}, 3, 24), kAsQt},
        {"alpha bit fields", fields({kR, kG, kB, kA}, 6), kAsQt},
        {"bit fields, offset inside the masks",
         patched(Bmp(5, 4, 32, {}, Stored(Grid(5, 4), 4), 3, {kR, kG, kB}), 10, 54), kAsQt},
        {"52-byte header", patched(good24, 14, 52), kAsQt},
        // Headers a BMP decoder would take, but whose pixel data cannot be
        // measured against the file: refused, never made up.
        {"info header of size 0", patched(good24, 14, 0), 481},
        {"info header of size 20", patched(good24, 14, 20), 481},
        {"old header, width 0x8000", Bytes{'B', 'M', 27, 0, 0, 0,    0,    0, 0, 0, 26, 0, 0, 0,
                                           12,  0,   0,  0, 0, 0x80, 0x10, 0, 1, 0, 24, 0, 0},
         481},
        {"old header, height 0xFFFF", Bytes{'B', 'M', 27, 0, 0, 0, 0,    0,    0, 0, 26, 0, 0, 0,
                                            12,  0,   0,  0, 4, 0, 0xFF, 0xFF, 1, 0, 24, 0, 0},
         481},
        {"2-bit pixels",
         [&] {
             Bytes b = good24;
             b[28] = 2;
             return b;
         }(),
         481},
        {"two planes", planes, kAsQt},
    };
    std::vector<std::optional<Pixels>> qt;  // Qt's results, before the limit is lowered
    for (const auto& [what, file, expected] : cases) qt.push_back(QtPixels(Write(what, file)));
    const AddressSpaceLimit limit(size_t(512) << 20);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [what, file, expected] = cases[i];
        SCOPED_TRACE(what);
        const std::string path = dir.Path(what);
        int error = 0;
        std::optional<Pixels> pixels;
        try {
            pixels = AllPixels(LoadPicture(path));
        } catch (const cError& e) {
            error = int(e.Number());
        }
        if (expected != kAsQt) {
            EXPECT_EQ(error, expected);
        } else if (qt[i]) {
            EXPECT_EQ(error, 0);
            EXPECT_EQ(pixels, qt[i]);
        } else {
            EXPECT_EQ(error, 481);
        }
    }
}

// The file on disk cut to half its length at a stage of loading. Once the
// loader has read and checked a file, its decoder works on those same bytes:
// the cut no longer matters (a plain BMP, whose rows are read after the
// check, is then refused as cut). Cut before the rest is read, every form is
// refused: no picture is made of a file that changed under the loader.
std::string gCutPath;
LoadStage gCutAt = LoadStage::HeadRead;

void CutAtStage(LoadStage stage, const std::string& path) {
    if (stage == gCutAt && path == gCutPath) {
        ASSERT_EQ(::truncate(path.c_str(), ::off_t(ReadFile(path).size() / 2)), 0);
    }
}

TEST_F(Loader, AFileCutWhileItLoadsIsReadWholeOrRefused) {
    SetLoadHookForTesting(CutAtStage);
    for (const StoredForm& form : StoredForms(67, 45, 3)) {
        SCOPED_TRACE(form.Name);
        const Pixels whole = AllPixels(Load("whole." + form.Extension, form.File));
        const bool native = form.Name == "24-bit BMP" || form.Name == "32-bit BMP";
        for (const LoadStage stage : {LoadStage::HeadRead, LoadStage::Checked}) {
            gCutPath = Write("cut." + form.Extension, form.File);
            gCutAt = stage;
            std::string description;
            int error = 0;
            Pixels pixels;
            try {
                pixels = AllPixels(LoadPicture(gCutPath));
            } catch (const cError& e) {
                error = int(e.Number());
                description = e.Description();
            }
            if (stage == LoadStage::Checked && !native) {
                EXPECT_EQ(error, 0) << description;
                EXPECT_EQ(pixels, whole);
            } else {
                EXPECT_EQ(error, 481) << int(stage);
                EXPECT_EQ(description.rfind("Invalid picture: " + gCutPath, 0), 0u) << description;
            }
        }
    }
    SetLoadHookForTesting(nullptr);
}

// A file whose pixel data ends early fails like any file that does not decode, also
// right after a complete picture of the same size and form (whose memory a partial
// decoding would show).
TEST_F(Loader, TruncatedFilesFailAfterAPictureOfTheSameSize) {
    const std::vector<StoredForm> forms = StoredForms(67, 45, 1), others = StoredForms(67, 45, 2);
    for (std::size_t i = 0; i < forms.size(); ++i) {
        SCOPED_TRACE(forms[i].Name);
        const StoredForm& form = forms[i];
        ASSERT_TRUE(Load("whole." + form.Extension, form.File).IsBitmap());
        ASSERT_TRUE(Load("other." + form.Extension, others[i].File).IsBitmap());
        const std::string path =
            Write("cut." + form.Extension, Bytes(form.File.begin(), form.File.begin() + form.Cut));
        std::string description;
        EXPECT_EQ(LoadError(path, &description), 481);
        EXPECT_EQ(description.rfind("Invalid picture: " + path, 0), 0u) << description;
    }
}

// The walks follow each file's structure to the end of its picture, whatever it holds on
// the way: a large GIF's data blocks; a JPEG thumbnail with its own end marker in an APP1
// segment, before APP0 (as long as a segment may be) or after it; XBM bytes up to the
// last; run-length codes with a literal run of odd length (padded) and a delta that moves
// rows up. Whole they load as Qt loads them; cut inside the picture's data, the walk
// refuses them before any decoder sees them.
TEST_F(Loader, WalksFollowEachFileToTheEndOfItsPicture) {
    const int w = 400, h = 400;
    Pixels rows(h, std::vector<Rgb>(w));
    Bytes indices;
    uint32_t seed = 12345;
    for (auto& row : rows)
        for (Rgb& c : row) {
            seed = seed * 1664525u + 1013904223u;
            c = {uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8)};
            indices.push_back(uint8_t((seed >> 8) % 128));
        }
    std::vector<Rgb> palette;
    for (int i = 0; i < 128; ++i) palette.push_back({uint8_t(i * 2), uint8_t(255 - i), uint8_t(i)});
    const Bytes gif = BuildGif(w, h, palette, indices);

    const Bytes picture = EncodeJpeg(rows), thumbnail = EncodeJpeg(Grid(8, 8));
    Bytes segment{0xFF, 0xE1, 0xFF, 0xFF};  // APP1 of the largest length, 65535
    segment.insert(segment.end(), thumbnail.begin(), thumbnail.end());
    segment.resize(2 + 65535, 0);
    Bytes jpeg = picture;
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());

    const Bytes small = EncodeJpeg(Grid(67, 45));
    Bytes exif{0xFF, 0xE1, uint8_t((thumbnail.size() + 2) >> 8), uint8_t(thumbnail.size() + 2)};
    exif.insert(exif.end(), thumbnail.begin(), thumbnail.end());
    Bytes afterApp0 = small;
    EXPECT_EQ(Bytes(small.begin() + 2, small.begin() + 4), (Bytes{0xFF, 0xE0}));
    afterApp0.insert(afterApp0.begin() + 4 + (small[4] << 8 | small[5]), exif.begin(), exif.end());

    const std::string xbm =
        "#define x_width 10\n#define x_height 2\n"
        "static char x_bits[] = {\n0x01, 0x82, 0xff, 0x3c };\n";
    // 5 pixels: a literal run of 3 (and its pad byte), a run of 2, end of line; a run of 5,
    // end of bitmap.
    const Bytes oddLiteral{0, 3, 1, 2, 1, 0, 2, 1, 0, 0, 5, 2, 0, 1};
    // 4 pixels: a run of 1, a delta 1 right and 2 rows up, a run of 2 that ends the last row;
    // the pixels passed over are entry 0 (which Qt's own reader leaves as it finds them).
    const Bytes deltaUp{1, 1, 0, 2, 1, 2, 2, 1};
    const Pixels deltaUpPixels{{K, K, B, B}, {K, K, K, K}, {B, K, K, K}};

    // name, file, a length that cuts it, its pixels (none: as Qt reads them)
    const std::vector<std::tuple<std::string, Bytes, std::size_t, std::optional<Pixels>>> files = {
        {"large.gif", gif, gif.size() * 3 / 5, {}},
        {"large.jpg", jpeg, jpeg.size() - picture.size() * 2 / 5, {}},
        {"thumbnail after APP0.jpg", afterApp0, afterApp0.size() - 40, {}},
        {"last byte cut.xbm", Bytes(xbm.begin(), xbm.end()), xbm.rfind("0x") + 3, {}},
        {"odd literal run.bmp", Bmp(5, 2, 8, {K, R, G}, oddLiteral, 1), 54 + 12 + 11, {}},
        {"delta up.bmp", Bmp(4, 3, 8, {K, B}, deltaUp, 1), 54 + 8 + 6, deltaUpPixels},
    };
    for (const auto& [name, file, cut, pixels] : files) {
        SCOPED_TRACE(name);
        const std::string whole = Write(name, file);
        EXPECT_EQ(LoadError(whole), 0);
        EXPECT_EQ(AllPixels(LoadPicture(whole)), pixels ? *pixels : QtPixels(whole));
        const std::string part = Write("cut " + name, Bytes(file.begin(), file.begin() + cut));
        std::string description;
        EXPECT_EQ(LoadError(part, &description), 481);
        EXPECT_EQ(description,
                  "Invalid picture: " + part + " (the file ends before its pixel data does)");
    }
}

// What follows the end of a picture (data appended after a JPEG's end marker, a GIF
// without its trailer, a BMP with bytes past its rows) is no truncation, nor are
// run-length codes that fill the last row and stop without their end codes.
TEST_F(Loader, FilesWithDataPastTheirPictureOrWithoutATrailerLoad) {
    const Pixels rows = Grid(9, 7);
    Bytes jpeg = EncodeJpeg(rows);
    jpeg.insert(jpeg.end(), {0xFF, 0xD8, 0xFF, 0x00, 0xFF, 'm', 'o', 'v'});
    Bytes gif = BuildGif(4, 2, {O, P}, {0, 1, 1, 0, 1, 0, 0, 1});
    gif.pop_back();  // the trailer
    Bytes bmp = Bmp24(rows);
    bmp.insert(bmp.end(), 100, 0xAB);
    for (const auto& [name, file] : std::vector<std::pair<std::string, Bytes>>{
             {"appended.jpg", jpeg},
             {"no-trailer.gif", gif},
             {"longer.bmp", bmp},
             {"no-end-codes.bmp", Bmp(8, 2, 8, {O, P}, {8, 0, 0, 0, 7, 1, 1, 1}, 1)}}) {
        const std::string path = Write(name, file);
        EXPECT_EQ(LoadError(path), 0) << name;
        EXPECT_EQ(AllPixels(LoadPicture(path)), QtPixels(path)) << name;
    }
}

// Run-length codes may leave pixels unset (an early end of bitmap, a delta, a short
// line): they read as entry 0, never as what an earlier picture left in memory.
TEST_F(Loader, PixelsARunLengthFileLeavesUnsetReadAsEntryZero) {
    const Rgb E{9, 99, 199};  // entry 0
    const Pixels blank(4, std::vector<Rgb>(8, E));
    // spans: row in the order the codes go (from the bottom, or from the top in a
    // top-down file), first and last column of entry 1
    const auto painted = [&](std::vector<std::tuple<int, int, int>> spans, bool topDown = false) {
        Pixels rows = blank;
        for (const auto& [row, from, to] : spans)
            for (int x = from; x <= to; ++x) rows[topDown ? row : 3 - row][x] = P;
        return rows;
    };
    const Bytes endAfterARow{8, 1, 0, 1}, deltaOverRows{2, 1, 0, 2, 3, 2, 1, 1, 0, 1},
        shortLine{3, 0x11, 0, 0, 8, 0x11, 0, 1};
    // A GIF whose one frame covers the left half of the screen's top half: the rest
    // is the screen's background, entry 0.
    Bytes frame = BuildGif(8, 4, {E, P}, Bytes(8, 1));
    Patch32(frame, 6 + 7 + 384 + 5, 4 | 2 << 16);  // the frame's width and height
    Pixels framed = blank;
    for (int y = 0; y < 2; ++y) std::fill(framed[y].begin(), framed[y].begin() + 4, P);
    const std::vector<std::tuple<const char*, Bytes, Pixels>> cases = {
        {"RLE8, end of bitmap after a row", Bmp(8, 4, 8, {E, P}, endAfterARow, 1),
         painted({{0, 0, 7}})},
        {"RLE8, delta over rows", Bmp(8, 4, 8, {E, P}, deltaOverRows, 1),
         painted({{0, 0, 1}, {2, 5, 5}})},
        {"RLE4, short line", Bmp(8, 4, 4, {E, P}, shortLine, 2), painted({{0, 0, 2}, {1, 0, 7}})},
        {"top-down RLE8, end of bitmap after a row", Bmp(8, -4, 8, {E, P}, endAfterARow, 1),
         painted({{0, 0, 7}}, true)},
        {"top-down RLE8, delta over rows", Bmp(8, -4, 8, {E, P}, deltaOverRows, 1),
         painted({{0, 0, 1}, {2, 5, 5}}, true)},
        {"top-down RLE4, short line", Bmp(8, -4, 4, {E, P}, shortLine, 2),
         painted({{0, 0, 2}, {1, 0, 7}}, true)},
        {"GIF frame smaller than its screen", frame, framed},
    };
    // Every pixel of another picture of the same size a bright entry, freed just before.
    const Bytes other = Bmp(8, 4, 8, {K, K, K, R}, Bytes(32, 3));
    for (const auto& [what, file, expected] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(Load("other.bmp", other).IsBitmap());
        EXPECT_EQ(AllPixels(Load("runs.bmp", file)), expected);
    }
}

// An Exif orientation tag (6: turn a quarter clockwise to view) changes nothing:
// the pixels are loaded as stored.
TEST_F(Loader, JpegWithExifOrientationLoadsAsStored) {
    Pixels rows(8, std::vector<Rgb>(16, R));
    for (auto& row : rows) std::fill(row.begin() + 8, row.end(), B);
    const std::string path = Write("turned.jpg", WithExifOrientation(EncodeJpeg(rows, 95), 6));
    QImageReader turning(QString::fromStdString(path));
    turning.setAutoTransform(true);
    ASSERT_EQ(turning.read().size(), QSize(8, 16)) << "the tag is one a reader would follow";

    const cPicture picture = LoadPicture(path);
    ASSERT_EQ(std::pair(picture.Width, picture.Height), std::pair(16, 8));
    const Rgb left = PixelAt(picture, 2, 4), right = PixelAt(picture, 13, 4);
    EXPECT_GT(left.R, 240);
    EXPECT_LT(left.B, 15);
    EXPECT_GT(right.B, 240);
    EXPECT_LT(right.R, 15);
}

// Valid files of each format, cut short or with bytes overwritten, either load or raise
// a cError; a loaded picture's rows are all readable.
TEST_F(Loader, DamagedFilesNeverCrash) {
    QImage image(23, 17, QImage::Format_ARGB32);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) image.setPixel(x, y, qRgba(10 * x, 15 * y, x * y, 128 + x));
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    // Rows by a run, absolute pixels, and a run and a delta.
    const Bytes rle{8, 1, 0, 0, 0, 8, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 3, 0, 0, 2, 1, 2, 0, 1};
    const std::vector<Bytes> files = {
        Encode(image, "png"),        Encode(opaque, "jpg"),
        Encode(opaque, "bmp"),       Encode(image.convertToFormat(QImage::Format_Indexed8), "bmp"),
        Encode(image, "ico"),        BuildGif(6, 5, {R, G, B}, Bytes(30, 1), 2),
        Bmp(8, 3, 8, {R, B}, rle, 1)};
    uint32_t seed = 99;
    int loaded = 0, refused = 0;
    for (const Bytes& original : files)
        for (int variant = 0; variant < 50; ++variant) {
            Bytes bytes = original;
            if (variant < 20) bytes.resize(bytes.size() * variant / 20);
            for (int k = 0; variant >= 20 && k < variant - 18; ++k) {
                seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
                bytes[seed % bytes.size()] = uint8_t(seed >> 8);
            }
            try {
                const cPicture picture = Load("damaged", bytes);
                ASSERT_TRUE(picture.IsBitmap());
                ASSERT_GE(picture.Stride * 8, picture.Width * picture.BPP);
                volatile uint8_t sink = 0;  // every row the picture claims is readable
                for (int y = 0; y < picture.Height; ++y)
                    sink = sink ^ picture.Row(y)[picture.Stride - 1];
                ++loaded;
            } catch (const cError&) {
                ++refused;
            }
        }
    EXPECT_EQ(loaded + refused, int(files.size()) * 50);
    EXPECT_GT(refused, 0);
}

// pixolune-cli loads on several threads at once.
TEST_F(Loader, ConcurrentLoadsGiveTheSamePixels) {
    Pixels rows(30, std::vector<Rgb>(20));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) rows[y][x] = {uint8_t(8 * x), uint8_t(8 * y), uint8_t(x + y)};
    const std::string files[] = {Write("a.bmp", Bmp24(rows)),
                                 Write("a.png", Encode(QtImage(rows), "png"))};
    std::atomic<int> mismatches{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 25; ++i)
                    mismatches += AllPixels(LoadPicture(files[(i + t) % 2])) != rows;
            });
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
