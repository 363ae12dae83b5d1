// JPEG export: what is written decodes to the image at its size, orientation and
// colours, and every failure raises error 5 while leaving the target as it was.

#include "SaveAsJPG.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

struct Rgb {
    int r, g, b;
};
const Rgb kRed{220, 30, 40}, kBlue{20, 40, 200};

int Distance(const Rgb& a, const Rgb& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

struct Decoded {
    int width = 0, height = 0, subsampling = -1;
    std::vector<unsigned char> rgb;
    Rgb At(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb.at(i), rgb.at(i + 1), rgb.at(i + 2)};
    }
};

Decoded Decode(const std::string& path) {
    const std::string bytes = ReadText(path);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    Decoded out;
    int colourspace = 0;
    tjhandle decoder = tjInitDecompress();
    if (tjDecompressHeader3(decoder, data, bytes.size(), &out.width, &out.height, &out.subsampling,
                            &colourspace) == 0) {
        out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
        if (tjDecompress2(decoder, data, bytes.size(), out.rgb.data(), out.width, 0, out.height,
                          TJPF_RGB, 0) != 0)
            out = Decoded{};
    }
    tjDestroy(decoder);
    return out;
}

// Pixel (x, y), y = 0 the top row, shows colours[index(x, y)]: through the colour table
// (high bits first within a byte) at 1, 4 and 8 bpp, as Blue, Green, Red at 32.
void Paint(cDIB& image, int width, int height, int bpp, const std::vector<Rgb>& colours,
           const std::function<int(int, int)>& index) {
    ASSERT_TRUE(image.Create(width, height, bpp));
    std::vector<uint8_t> table(1024);
    for (size_t i = 0; i < colours.size(); ++i) {
        table[i * 4] = static_cast<uint8_t>(colours[i].b);
        table[i * 4 + 1] = static_cast<uint8_t>(colours[i].g);
        table[i * 4 + 2] = static_cast<uint8_t>(colours[i].r);
    }
    image.SetPalette(table);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.Rows().Row(y);
        for (int x = 0; x < width; ++x) {
            const int i = index(x, y);
            if (bpp == 32) {
                std::copy_n(&table[i * 4], 3, row + x * 4);
            } else {
                const int perByte = 8 / bpp, shift = 8 - bpp * (x % perByte + 1);
                row[x / perByte] = static_cast<uint8_t>(row[x / perByte] | i << shift);
            }
        }
    }
}

// The export as the program runs it: encoded, then written.
void SaveJPG(const cDIB& image, const std::string& path, uint8_t quality) {
    WriteJPG(EncodeJPG(image, quality), path);
}

// The status number of the error 5 that the export raises, or -1 when it raises none.
int SaveStatus(const cDIB& image, const std::string& path, uint8_t quality = 90) {
    try {
        SaveJPG(image, path, quality);
    } catch (const cError& error) {
        const std::string text = error.Description(), prefix = "Cannot save the image. GDI+ Error:";
        EXPECT_EQ(error.Number(), ErrorNumber::InvalidCall);
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        const std::string number = text.substr(std::min(prefix.size(), text.size()));
        EXPECT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            << text;
        return std::atoi(number.c_str());
    }
    return -1;
}

}  // namespace

TEST(JpegExport, QualityOneAndHundredBothDecodeAtTheImageSize) {
    TempTree tree;
    std::vector<Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[i] = {i, 255 - i, (i * 7) % 256};
    cDIB image;  // odd sizes: partial blocks and a padded stride; busy, so that quality shows
    Paint(image, 123, 77, 8, colours,
          [](int x, int y) { return (x * 13 + y * 29 + (x * y) % 17) % 256; });
    SaveJPG(image, tree.Path("q1.jpg"), 1);
    SaveJPG(image, tree.Path("q100.jpg"), 100);

    const Decoded low = Decode(tree.Path("q1.jpg")), high = Decode(tree.Path("q100.jpg"));
    EXPECT_EQ((std::array{low.width, low.height, high.width, high.height}),
              (std::array{123, 77, 123, 77}));
    EXPECT_EQ(high.subsampling, TJSAMP_420);
    EXPECT_LT(fs::file_size(tree.Path("q1.jpg")) * 3, fs::file_size(tree.Path("q100.jpg")));
    EXPECT_EQ(NamesIn(tree.Root()), (Names{"q1.jpg", "q100.jpg"}));
}

TEST(JpegExport, EveryDepthKeepsTheColoursWhereThePictureHasThem) {
    TempTree tree;
    // Table entries a and b (or colours 0 and 1 at 32 bpp) in diagonal quadrants: a flipped,
    // mirrored or channel-swapped picture, or a wrong entry, shows at one of the corners.
    for (const auto& [bpp, a, b] : {std::array{1, 0, 1}, {4, 3, 12}, {8, 5, 200}, {32, 0, 1}}) {
        std::vector<Rgb> colours(256, Rgb{128, 128, 128});
        colours[a] = kRed;
        colours[b] = kBlue;
        cDIB image;
        Paint(image, 32, 32, bpp, colours,
              [a = a, b = b](int x, int y) { return (x < 16) == (y < 16) ? a : b; });
        SaveJPG(image, tree.Path("quadrants.jpg"), 95);
        const Decoded decoded = Decode(tree.Path("quadrants.jpg"));
        ASSERT_EQ(decoded.width, 32) << bpp;
        EXPECT_LE(Distance(decoded.At(4, 4), kRed), 12) << bpp << " bpp, top left";
        EXPECT_LE(Distance(decoded.At(27, 4), kBlue), 12) << bpp << " bpp, top right";
        EXPECT_LE(Distance(decoded.At(4, 27), kBlue), 12) << bpp << " bpp, bottom left";
        EXPECT_LE(Distance(decoded.At(27, 27), kRed), 12) << bpp << " bpp, bottom right";
    }
}

TEST(JpegExport, PixelOrderWithinAByteIsKept) {
    TempTree tree;
    // The first pixel of a byte is in its high bits: white, black, white, ...
    for (const auto& [bpp, pattern] : {std::pair{1, 0xAA}, std::pair{4, 0x10}}) {
        cDIB image;
        ASSERT_TRUE(image.Create(16, 16, bpp));
        image.SetPalette(std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0});
        std::fill_n(image.lpBits(), image.Size(), static_cast<uint8_t>(pattern));
        SaveJPG(image, tree.Path("stripes.jpg"), 100);
        const Decoded decoded = Decode(tree.Path("stripes.jpg"));
        ASSERT_EQ(decoded.width, 16) << bpp;
        for (int x = 2; x < 14; x += 2) {
            EXPECT_GT(decoded.At(x, 8).g, 192) << "bpp " << bpp << " x " << x;
            EXPECT_LT(decoded.At(x + 1, 8).g, 64) << "bpp " << bpp << " x " << x + 1;
        }
    }
}

TEST(JpegExport, FailuresRaiseErrorFiveWithAStatusAndKeepWhatWasThere) {
    TempTree tree;
    const std::string earlier = tree.File("out.jpg", 0644, "earlier result");
    const std::string folder = tree.Folder("dir.jpg");
    tree.File("dir.jpg/inside.txt", 0644, "kept");
    cDIB image, empty;
    Paint(image, 64, 64, 8, {kRed, kBlue}, [](int x, int y) { return (x * y) % 2; });

    EXPECT_EQ(SaveStatus(image, tree.Path("no-such-folder/out.jpg")), ENOENT);
    EXPECT_EQ(SaveStatus(image, ""), ENOENT);
    EXPECT_EQ(SaveStatus(image, folder), EISDIR);
    EXPECT_EQ(SaveStatus(empty, earlier), 1003);
    EXPECT_EQ(SaveStatus(image, earlier, 101), 1004);

    // A write cut short by the file-size limit, as on a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = SaveStatus(image, earlier);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, EFBIG);

    EXPECT_EQ(ReadText(earlier), "earlier result");
    EXPECT_EQ(ReadText(folder + "/inside.txt"), "kept");
    EXPECT_EQ(NamesIn(tree.Root()), (Names{"dir.jpg", "out.jpg"}));
}

TEST(JpegExport, ReplacesAnExistingFileOrLinkWithoutWritingThroughIt) {
    TempTree tree;
    const std::string other = tree.File("other.txt", 0644, "not mine");
    const std::string target = tree.Link("out.jpg", other);
    cDIB image;
    Paint(image, 16, 16, 8, {kRed}, [](int, int) { return 0; });
    SaveJPG(image, target, 80);
    EXPECT_EQ(ReadText(other), "not mine");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(Decode(target).width, 16);
    SaveJPG(image, target, 80);  // and once more over the file just written
    EXPECT_EQ(Decode(target).height, 16);
    EXPECT_EQ(NamesIn(tree.Root()), (Names{"other.txt", "out.jpg"}));
}

// The file as the one-call encoder makes it with the settings the export has
// always used: the bytes of every earlier JPEG output.
std::vector<unsigned char> OneCallEncoding(const cDIB& image, int quality) {
    const int w = image.Width(), h = image.Height();
    std::vector<uint8_t> table;
    image.GetPalette(table);
    table.resize(1024);
    std::vector<unsigned char> rgb;
    for (int y = 0; y < h && image.BPP() != 32; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* row = image.Rows().Row(y);
            const int bpp = image.BPP(), perByte = 8 / bpp, shift = 8 - bpp * (x % perByte + 1);
            const int i = (row[x / perByte] >> shift) & ((1 << bpp) - 1);
            rgb.insert(rgb.end(), {table[i * 4 + 2], table[i * 4 + 1], table[i * 4]});
        }
    tjhandle encoder = tjInitCompress();
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const int status =
        image.BPP() == 32
            ? tjCompress2(encoder, image.lpBits(), w, image.BytesPerScanline(), h, TJPF_BGRX,
                          &bytes, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP)
            : tjCompress2(encoder, rgb.data(), w, 0, h, TJPF_RGB, &bytes, &size, TJSAMP_420,
                          quality, 0);
    std::vector<unsigned char> file;
    if (status == 0) file.assign(bytes, bytes + size);
    tjFree(bytes);
    tjDestroy(encoder);
    return file;
}

TEST(JpegExport, KeepsTheBytesOfEveryEarlierFileAtEveryQualityAndDepth) {
    std::vector<Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[i] = {i, (i * 91) % 256, 255 - i};
    const auto busy = [](int x, int y) { return (x * 13 + y * 29 + (x * y) % 17) % 256; };
    const struct {
        int Width, Height, Bpp;
    } images[] = {{1, 1, 8},  {17, 9, 8},   {123, 77, 8}, {64, 16, 8},  {200, 33, 8},
                  {130, 1, 8}, {1, 17, 8},  {40, 300, 4}, {33, 18, 1},  {123, 77, 32}};
    for (const auto& c : images) {
        cDIB image;
        Paint(image, c.Width, c.Height, c.Bpp, colours,
              [&](int x, int y) { return busy(x, y) % (c.Bpp == 32 ? 256 : 1 << c.Bpp); });
        for (const int quality : {1, 50, 85, 95, 96, 100}) {
            SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " at " << c.Bpp
                                            << " bpp, quality " << quality);
            const cJPGBytes jpeg = EncodeJPG(image, static_cast<uint8_t>(quality));
            const std::vector<unsigned char> expected = OneCallEncoding(image, quality);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(std::vector<unsigned char>(jpeg.Data.get(), jpeg.Data.get() + jpeg.Size),
                      expected);
        }
    }
}
