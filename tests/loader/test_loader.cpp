// The picture loader: every BMP variant with exact colours, the other formats,
// alpha over white, and clean errors for whatever else a path may hold.

#include "PictureLoader.h"
#include "TestFiles.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace testfiles;

namespace {

// Colour of picture pixel (x, y), y = 0 the top row, read through the layout
// the picture promises.
Rgb PixelAt(const cPicture& picture, int x, int y) {
    const uint8_t* row = picture.Row(y);
    int index = 0;
    switch (picture.BPP) {
        case 32:
            return {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
        case 8:
            index = row[x];
            break;
        case 4:
            index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            break;
        case 1:
            index = (row[x / 8] >> (7 - x % 8)) & 1;
            break;
        default:
            ADD_FAILURE() << "unexpected depth " << picture.BPP;
            return {};
    }
    EXPECT_LT(std::size_t(4 * index + 2), picture.ColorTable.size());
    const uint8_t* entry = &picture.ColorTable.at(4 * std::size_t(index));
    return {entry[2], entry[1], entry[0]};
}

std::vector<std::vector<Rgb>> AllPixels(const cPicture& picture) {
    std::vector<std::vector<Rgb>> rows(picture.Height);
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) rows[y].push_back(PixelAt(picture, x, y));
    return rows;
}

cPicture LoadBytes(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFile(dir / name, bytes);
    return LoadPicture(dir / name);
}

std::vector<uint8_t> Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return {data.begin(), data.end()};
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

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0}, kOlive{120, 130, 20}, kPlum{200, 40, 160};

}  // namespace

// ------------------------------------------------------------------ BMP variants

TEST(LoaderBmp, OneBitKeepsItsTwoColourTable) {
    TempDir dir;
    BmpSpec spec{.Width = 10, .Height = 2, .BitCount = 1, .Palette = {kOlive, kPlum}};
    // bottom row: 1010101010, top row: 1100000011 (MSB first, rows padded to 4 bytes)
    spec.Pixels = {0b10101010, 0b10000000, 0, 0, 0b11000000, 0b11000000, 0, 0};
    const cPicture picture = LoadBytes(dir, "mono.bmp", BuildBmp(spec));
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(picture.BPP, 1);
    EXPECT_EQ(picture.Width, 10);
    EXPECT_EQ(picture.ColorTable.size(), 8u);
    const auto P = kPlum, O = kOlive;
    EXPECT_EQ(AllPixels(picture), (std::vector<std::vector<Rgb>>{{P, P, O, O, O, O, O, O, P, P},
                                                                 {P, O, P, O, P, O, P, O, P, O}}));
}

TEST(LoaderBmp, FourBitOddWidth) {
    TempDir dir;
    BmpSpec spec{
        .Width = 5, .Height = 2, .BitCount = 4, .Palette = {kBlack, kRed, kGreen, kBlue, kPlum}};
    spec.Pixels = {0x01, 0x23, 0x40, 0x00,   // bottom: black red green blue plum
                   0x44, 0x33, 0x20, 0x00};  // top: plum plum blue blue green
    const cPicture picture = LoadBytes(dir, "four.bmp", BuildBmp(spec));
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(AllPixels(picture),
              (std::vector<std::vector<Rgb>>{{kPlum, kPlum, kBlue, kBlue, kGreen},
                                             {kBlack, kRed, kGreen, kBlue, kPlum}}));
}

TEST(LoaderBmp, EightBitHandsOverItsTable) {
    TempDir dir;
    BmpSpec spec{.Width = 3, .Height = 2, .BitCount = 8, .Palette = {kWhite, kOlive, kPlum}};
    spec.Pixels = {2, 1, 0, 0,   // bottom
                   0, 0, 2, 0};  // top
    const cPicture picture = LoadBytes(dir, "eight.bmp", BuildBmp(spec));
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(picture.BPP, 8);
    EXPECT_EQ(picture.ColorTable.size(),
              1024u);  // short tables are padded: indices never read past it
    EXPECT_EQ(AllPixels(picture),
              (std::vector<std::vector<Rgb>>{{kWhite, kWhite, kPlum}, {kPlum, kOlive, kWhite}}));
}

TEST(LoaderBmp, RunLengthEncoded) {
    TempDir dir;
    BmpSpec rle8{.Width = 4,
                 .Height = 2,
                 .BitCount = 8,
                 .Compression = 1,
                 .Palette = {kBlack, kRed, kGreen}};
    rle8.Pixels = {4, 1, 0, 0,               // bottom row: a run of four red, end of line
                   0, 4, 2, 1, 0, 2, 0, 1};  // top row: absolute 2 1 0 2, end of bitmap
    const cPicture picture8 = LoadBytes(dir, "rle8.bmp", BuildBmp(rle8));
    EXPECT_EQ(AllPixels(picture8), (std::vector<std::vector<Rgb>>{{kGreen, kRed, kBlack, kGreen},
                                                                  {kRed, kRed, kRed, kRed}}));

    BmpSpec rle4{
        .Width = 5, .Height = 1, .BitCount = 4, .Compression = 2, .Palette = {kBlack, kRed, kBlue}};
    rle4.Pixels = {5, 0x12, 0, 1};  // five pixels alternating red and blue, end of bitmap
    const cPicture picture4 = LoadBytes(dir, "rle4.bmp", BuildBmp(rle4));
    EXPECT_EQ(AllPixels(picture4),
              (std::vector<std::vector<Rgb>>{{kRed, kBlue, kRed, kBlue, kRed}}));
}

TEST(LoaderBmp, TwentyFourBitRowsPaddedAndBottomUp) {
    TempDir dir;
    const std::vector<std::vector<Rgb>> rows = {{kRed, kGreen, kBlue},
                                                {kOlive, kPlum, Rgb{1, 2, 3}}};
    const cPicture picture = LoadBytes(dir, "24.bmp", Bmp24(rows));
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(picture.BPP, 32);
    EXPECT_EQ(AllPixels(picture), rows);
}

TEST(LoaderBmp, ThirtyTwoBitIgnoresTheFourthByte) {
    TempDir dir;
    BmpSpec spec{.Width = 2, .Height = 1, .BitCount = 32};
    spec.Pixels = {20, 130, 120, 0, 160, 40, 200, 0x55};  // B, G, R, unused
    const cPicture picture = LoadBytes(dir, "32.bmp", BuildBmp(spec));
    EXPECT_EQ(AllPixels(picture), (std::vector<std::vector<Rgb>>{{kOlive, kPlum}}));
}

// n-bit channels widen to 8 bits as v·255 / (2^n − 1), rounded: 31 is 255, not 248.
TEST(LoaderBmp, SixteenBitChannelsWidenToFullScale) {
    TempDir dir;
    BmpSpec spec{.Width = 3,
                 .Height = 2,
                 .BitCount = 16,
                 .Compression = 3,
                 .Masks = {0xF800, 0x07E0, 0x001F}};
    // bottom row: red, green, blue; top row: white, black, (16, 32, 1) = (132, 130, 8):
    // 16·255/31 = 131.6, 32·255/63 = 129.5, 1·255/31 = 8.2
    for (uint16_t v : {0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 0x0000, (16 << 11) | (32 << 5) | 1, 0})
        Put16(spec.Pixels, v);
    const cPicture bitFields = LoadBytes(dir, "565.bmp", BuildBmp(spec));
    EXPECT_EQ(AllPixels(bitFields), (std::vector<std::vector<Rgb>>{{kWhite, kBlack, {132, 130, 8}},
                                                                   {kRed, kGreen, kBlue}}));

    BmpSpec plain{.Width = 2, .Height = 1, .BitCount = 16};  // BI_RGB at 16 bits is 5-5-5
    for (uint16_t v : {0x7FFF, (3 << 10) | (30 << 5) | 15}) Put16(plain.Pixels, v);
    // 3·255/31 = 24.7, 30·255/31 = 246.8, 15·255/31 = 123.4
    const cPicture rgb555 = LoadBytes(dir, "555.bmp", BuildBmp(plain));
    EXPECT_EQ(AllPixels(rgb555), (std::vector<std::vector<Rgb>>{{kWhite, {25, 247, 123}}}));
}

TEST(LoaderBmp, TopDownNegativeHeight) {
    TempDir dir;
    BmpSpec spec{.Width = 1, .Height = -3, .BitCount = 24};
    spec.Pixels = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};  // red, green, blue from the top
    const cPicture picture = LoadBytes(dir, "topdown.bmp", BuildBmp(spec));
    EXPECT_EQ(picture.Height, 3);
    EXPECT_EQ(AllPixels(picture), (std::vector<std::vector<Rgb>>{{kRed}, {kGreen}, {kBlue}}));
}

TEST(LoaderBmp, ContentDecidesTheFormatNotTheName) {
    TempDir dir;
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(120, 130, 20));
    image.setPixel(1, 0, qRgb(200, 40, 160));
    const cPicture picture = LoadBytes(dir, "really-a-png.bmp", Encode(image, "png"));
    EXPECT_EQ(AllPixels(picture), (std::vector<std::vector<Rgb>>{{kOlive, kPlum}}));
}

// What cDIB::Save writes, the loader reads back unchanged.
TEST(LoaderBmp, ReadsBackWhatTheWriterSaves) {
    TempDir dir;
    cDIB image;
    ASSERT_TRUE(image.Create(5, 3, 8));
    std::vector<uint8_t> table(1024);
    for (int i = 0; i < 256; ++i) {
        table[4 * i] = uint8_t(i);
        table[4 * i + 1] = uint8_t(255 - i);
        table[4 * i + 2] = uint8_t(i * 7);
    }
    image.SetPalette(table);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.lpBits()[y * image.BytesPerScanline() + x] = uint8_t(40 * y + 3 * x + 1);
    image.Save(dir / "saved.bmp");

    const cPicture picture = LoadPicture(dir / "saved.bmp");
    ASSERT_TRUE(picture.IsBitmap());
    ASSERT_EQ(picture.BPP, 8);
    EXPECT_EQ(picture.ColorTable, table);
    for (int y = 0; y < 3; ++y)  // the file's rows are bottom-up, the picture's top-down
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(picture.Row(2 - y)[x], 40 * y + 3 * x + 1) << x << "," << y;

    cDIB copy;  // and the round trip into a 32-bpp image gives the table colours
    ASSERT_EQ(copy.CreateFromStdPicture(&picture, true), 8);
    const uint8_t* pixel = copy.lpBits() + 2 * 4;  // memory row 0 is the bottom row, x = 2
    const int index = 3 * 2 + 1;
    EXPECT_EQ(pixel[0], table[4 * index]);
    EXPECT_EQ(pixel[1], table[4 * index + 1]);
    EXPECT_EQ(pixel[2], table[4 * index + 2]);
}

// ------------------------------------------------------------------ other formats

TEST(LoaderFormats, PngAlphaOverWhiteExactly) {
    TempDir dir;
    QImage image(4, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(200, 100, 0, 128));
    image.setPixel(1, 0, qRgba(10, 20, 30, 0));
    image.setPixel(2, 0, qRgba(10, 20, 30, 255));
    image.setPixel(3, 0, qRgba(0, 255, 90, 1));
    const cPicture picture = LoadBytes(dir, "alpha.png", Encode(image, "png"));
    ASSERT_EQ(picture.BPP, 32);
    // c' = (c·a + 255·(255 − a) + 127) / 255:
    // (200·128 + 32385 + 127) / 255 = 227, (100·128 + 32512) / 255 = 177, 32512 / 255 = 127;
    // a = 1: (0 + 64770 + 127) / 255 = 254, (255 + 64897) / 255 = 255, (90 + 64897) / 255 = 254.
    EXPECT_EQ(
        AllPixels(picture),
        (std::vector<std::vector<Rgb>>{{{227, 177, 127}, kWhite, {10, 20, 30}, {254, 255, 254}}}));
}

TEST(LoaderFormats, GifWithTransparentIndex) {
    TempDir dir;
    const cPicture picture = LoadBytes(
        dir, "t.gif", BuildGif(4, 2, {kOlive, kPlum, kBlack, kRed}, {0, 1, 2, 3, 3, 2, 1, 0}, 2));
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(AllPixels(picture), (std::vector<std::vector<Rgb>>{{kOlive, kPlum, kWhite, kRed},
                                                                 {kRed, kWhite, kPlum, kOlive}}));
}

TEST(LoaderFormats, GifLongerThanOneCodeTable) {
    TempDir dir;
    std::vector<uint8_t> indices(40 * 10);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i % 3);
    const cPicture picture =
        LoadBytes(dir, "long.gif", BuildGif(40, 10, {kRed, kGreen, kBlue}, indices));
    ASSERT_EQ(picture.Width, 40);
    const Rgb colours[] = {kRed, kGreen, kBlue};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(PixelAt(picture, x, y), colours[(y * 40 + x) % 3]);
}

TEST(LoaderFormats, IconLoadsWithItsAlpha) {
    TempDir dir;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(120, 130, 20, 255));
    image.setPixel(3, 5, qRgba(0, 0, 0, 0));
    const cPicture picture = LoadBytes(dir, "icon.ico", Encode(image, "ico"));
    ASSERT_EQ(picture.Width, 16);
    EXPECT_EQ(PixelAt(picture, 0, 0), kOlive);
    EXPECT_EQ(PixelAt(picture, 15, 15), kOlive);
    EXPECT_EQ(PixelAt(picture, 3, 5), kWhite);
}

TEST(LoaderFormats, JpegColourAndGrey) {
    TempDir dir;
    QImage colour(16, 8, QImage::Format_RGB32);
    colour.fill(qRgb(120, 130, 20));
    const cPicture fromColour = LoadBytes(dir, "c.jpg", Encode(colour, "jpg", 100));
    ASSERT_EQ(fromColour.BPP, 32);
    const Rgb c = PixelAt(fromColour, 7, 3);  // lossy: near the colour, not exact
    EXPECT_NEAR(c.R, 120, 3);
    EXPECT_NEAR(c.G, 130, 3);
    EXPECT_NEAR(c.B, 20, 3);

    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(90);
    const cPicture fromGrey = LoadBytes(dir, "g.jpg", Encode(grey, "jpg", 100));
    ASSERT_EQ(fromGrey.BPP, 8);  // grey JPEGs index a grey ramp without a copy
    const Rgb g = PixelAt(fromGrey, 4, 4);
    EXPECT_NEAR(g.R, 90, 2);
    EXPECT_EQ(g.R, g.G);
    EXPECT_EQ(g.G, g.B);
}

// Qt refuses images above 128 MB unless told otherwise; 12000 x 12000 at 8 bpp
// is 144 MB decoded, from a small run-length file.
TEST(LoaderFormats, ImagesAboveQtsDefaultLimitLoad) {
    TempDir dir;
    BmpSpec spec{.Width = 12000,
                 .Height = 12000,
                 .BitCount = 8,
                 .Compression = 1,
                 .Palette = {kBlack, kPlum}};
    for (int y = 0; y < spec.Height; ++y) {
        for (int left = spec.Width; left > 0; left -= 240)
            spec.Pixels.insert(spec.Pixels.end(), {240, 1});
        spec.Pixels.insert(spec.Pixels.end(), {0, 0});
    }
    spec.Pixels.insert(spec.Pixels.end(), {0, 1});
    const cPicture picture = LoadBytes(dir, "big.bmp", BuildBmp(spec));
    ASSERT_EQ(picture.Width, 12000);
    EXPECT_EQ(PixelAt(picture, 11999, 11999), kPlum);
}

// ------------------------------------------------------------------ failures

TEST(LoaderErrors, EmptyPathIsTheEmptyPicture) {
    const cPicture picture = LoadPicture("");
    EXPECT_EQ(picture.Type, PictureType::None);
    EXPECT_FALSE(picture.IsBitmap());
}

TEST(LoaderErrors, MissingFile) {
    TempDir dir;
    std::string description;
    EXPECT_EQ(LoadError(dir / "nothing.bmp", &description), 53);
    EXPECT_NE(description.find(dir / "nothing.bmp"), std::string::npos) << description;
    EXPECT_EQ(LoadError(dir / "nothing/below.bmp"), 53);
}

TEST(LoaderErrors, UndecodableDataIsAnInvalidPicture) {
    TempDir dir;
    std::vector<uint8_t> random(3000);
    uint32_t x = 12345;
    for (auto& b : random) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = uint8_t(x);
    }
    const std::vector<uint8_t> header = BuildBmp({.Width = 4, .Height = 4, .BitCount = 24});
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"empty.bmp", {}},
        {"short-header.bmp", std::vector<uint8_t>(header.begin(), header.begin() + 20)},
        {"random.bmp", random},
        {"text.png", {'h', 'e', 'l', 'l', 'o'}},
    };
    for (const auto& [name, bytes] : cases) {
        WriteFile(dir / name, bytes);
        std::string description;
        EXPECT_EQ(LoadError(dir / name, &description), 481) << name;
        EXPECT_NE(description.find(dir / name), std::string::npos) << description;
    }
}

// A header claiming 1,000,000 x 1,000,000 pixels is refused before any allocation.
TEST(LoaderErrors, AbsurdDimensions) {
    TempDir dir;
    for (uint16_t bpp : {1, 8, 24, 32}) {
        BmpSpec spec{.Width = 1000000, .Height = 1000000, .BitCount = bpp, .Pixels = {1, 2, 3, 4}};
        if (bpp <= 8) spec.Palette = {kBlack, kWhite};
        WriteFile(dir / "huge.bmp", BuildBmp(spec));
        const int error = LoadError(dir / "huge.bmp");
        EXPECT_TRUE(error == 7 || error == 481) << bpp << " bpp gave " << error;
    }
}

// Qt fills what the file lacks: a BMP cut off in its pixels loads at its full
// size (the missing rows are whatever Qt leaves there), or is refused; it never
// crashes or reads past the data.
TEST(LoaderErrors, TruncatedPixelDataLoadsOrFailsCleanly) {
    TempDir dir;
    std::vector<std::vector<Rgb>> rows(64, std::vector<Rgb>(64, kPlum));
    std::vector<uint8_t> bytes = Bmp24(rows);
    bytes.resize(bytes.size() / 2);
    WriteFile(dir / "cut.bmp", bytes);
    try {
        const cPicture picture = LoadPicture(dir / "cut.bmp");
        ASSERT_TRUE(picture.IsBitmap());
        EXPECT_EQ(picture.Width, 64);
        EXPECT_EQ(picture.Height, 64);
        EXPECT_EQ(PixelAt(picture, 5, 63), kPlum);  // the bottom rows come first in the file
    } catch (const cError& error) {
        EXPECT_EQ(int(error.Number()), 481);
    }
}

TEST(LoaderErrors, FoldersAndSpecialFilesAreRefusedWithoutOpening) {
    TempDir dir;
    std::string description;
    EXPECT_EQ(LoadError(dir.Path(), &description), 75);
    EXPECT_NE(description.find("folder"), std::string::npos) << description;

    ASSERT_EQ(::mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(LoadError(dir / "pipe.bmp", &description),
              75);  // returns: a blocking open would hang here
    EXPECT_NE(description.find("named pipe"), std::string::npos) << description;

    EXPECT_EQ(LoadError("/dev/null", &description), 75);
    EXPECT_NE(description.find("device"), std::string::npos) << description;
}

TEST(LoaderErrors, UnreadableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    WriteFile(dir / "locked.bmp", Bmp24({{kRed}}));
    ::chmod((dir / "locked.bmp").c_str(), 0);
    EXPECT_EQ(LoadError(dir / "locked.bmp"), 70);
}

// No input crashes the loader: valid files of each format, cut short at every
// twentieth of their length and with bytes overwritten, either load or raise
// a cError.
TEST(LoaderErrors, DamagedFilesNeverCrash) {
    TempDir dir;
    QImage image(23, 17, QImage::Format_ARGB32);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            image.setPixel(x, y, qRgba(x * 10, y * 15, (x * y) & 255, 128 + x));
    std::vector<std::vector<uint8_t>> files = {
        Encode(image, "png"),
        Encode(image.convertToFormat(QImage::Format_RGB32), "jpg"),
        Encode(image.convertToFormat(QImage::Format_RGB32), "bmp"),
        Encode(image.convertToFormat(QImage::Format_Indexed8), "bmp"),
        Encode(image, "ico"),
        BuildGif(6, 5, {kRed, kGreen, kBlue}, std::vector<uint8_t>(30, 1), 2)};
    BmpSpec rle{.Width = 8, .Height = 3, .BitCount = 8, .Compression = 1, .Palette = {kRed, kBlue}};
    rle.Pixels = {8, 1, 0, 0, 0, 8, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 3, 0, 0, 2, 1, 2, 0, 1};
    files.push_back(BuildBmp(rle));

    uint32_t seed = 99;
    int loaded = 0, refused = 0;
    for (const std::vector<uint8_t>& original : files) {
        ASSERT_FALSE(original.empty());
        for (int variant = 0; variant < 50; ++variant) {
            std::vector<uint8_t> bytes = original;
            if (variant < 20) {
                bytes.resize(bytes.size() * variant / 20);
            } else {
                for (int k = 0; k < variant - 18; ++k) {
                    seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
                    bytes[seed % bytes.size()] = uint8_t(seed >> 8);
                }
            }
            WriteFile(dir / "damaged", bytes);
            try {
                const cPicture picture = LoadPicture(dir / "damaged");
                ASSERT_TRUE(picture.IsBitmap());
                ASSERT_GE(picture.Stride * 8, picture.Width * picture.BPP);
                // touch the last byte of every row the picture claims
                volatile uint8_t sink = 0;
                for (int y = 0; y < picture.Height; ++y)
                    sink = sink ^ picture.Row(y)[picture.Stride - 1];
                ++loaded;
            } catch (const cError&) {
                ++refused;
            }
        }
    }
    EXPECT_EQ(loaded + refused, int(files.size()) * 50);
    EXPECT_GT(refused, 0);
}

// The CLI loads on several threads at once.
TEST(LoaderThreads, ConcurrentLoadsGiveTheSamePixels) {
    TempDir dir;
    std::vector<std::vector<Rgb>> rows(30, std::vector<Rgb>(20));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) rows[y][x] = {uint8_t(8 * x), uint8_t(8 * y), uint8_t(x + y)};
    WriteFile(dir / "a.bmp", Bmp24(rows));
    QImage image(20, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) image.setPixel(x, y, qRgb(8 * x, 8 * y, x + y));
    WriteFile(dir / "a.png", Encode(image, "png"));

    std::atomic<int> mismatches{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 25; ++i) {
                    const cPicture picture = LoadPicture(dir / ((i + t) % 2 ? "a.bmp" : "a.png"));
                    if (AllPixels(picture) != rows) ++mismatches;
                }
            });
        }
    }
    EXPECT_EQ(mismatches, 0);
}
