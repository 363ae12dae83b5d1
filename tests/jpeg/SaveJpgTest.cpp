// JPEG export: what is written decodes to the image at its size and colours,
// the quality reaches the encoder, and failures raise error 5 while leaving
// the target as it was.

#include "SaveAsJPG.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "Cannot save the image. GDI+ Error:";

class ScratchFolder {
public:
    ScratchFolder() {
        std::string templ = "/tmp/pixolune-jpeg-XXXXXX";
        if (!mkdtemp(templ.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        root_ = templ;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    std::string Path(const std::string& name) const { return root_ + "/" + name; }
    // Everything in the folder, to see that no temporary file stayed behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string root_;
};

struct Rgb {
    int r, g, b;
};

struct Decoded {
    int width = 0;
    int height = 0;
    int subsampling = -1;
    std::vector<unsigned char> rgb;
    Rgb At(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Decoded Decode(const std::string& path) {
    const std::string bytes = ReadFile(path);
    Decoded out;
    tjhandle decoder = tjInitDecompress();
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int colourspace = 0;
    if (tjDecompressHeader3(decoder, data, bytes.size(), &out.width, &out.height, &out.subsampling,
                            &colourspace) == 0) {
        out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
        if (tjDecompress2(decoder, data, bytes.size(), out.rgb.data(), out.width, 0, out.height,
                          TJPF_RGB, 0) != 0) {
            out = Decoded{};
        }
    }
    tjDestroy(decoder);
    return out;
}

void ExpectNear(const Rgb& got, const Rgb& want, int tolerance) {
    EXPECT_NEAR(got.r, want.r, tolerance);
    EXPECT_NEAR(got.g, want.g, tolerance);
    EXPECT_NEAR(got.b, want.b, tolerance);
}

// Colour table entry i as Blue, Green, Red, reserved.
std::vector<uint8_t> Palette(const std::vector<Rgb>& colours) {
    std::vector<uint8_t> table(1024, 0);
    for (size_t i = 0; i < colours.size(); ++i) {
        table[i * 4] = static_cast<uint8_t>(colours[i].b);
        table[i * 4 + 1] = static_cast<uint8_t>(colours[i].g);
        table[i * 4 + 2] = static_cast<uint8_t>(colours[i].r);
    }
    return table;
}

// Picture row y (0 = top) of a bottom-up image.
uint8_t* Row(const cDIB& image, int y) {
    return image.lpBits() + static_cast<size_t>(image.Height() - 1 - y) * image.BytesPerScanline();
}

const Rgb kRed{220, 30, 40};
const Rgb kBlue{20, 40, 200};

// 8 bpp, top half red (index 1), bottom half blue (index 2).
void MakeTopRedBottomBlue(cDIB& image, int width, int height) {
    ASSERT_TRUE(image.Create(width, height, 8));
    image.SetPalette(Palette({{0, 0, 0}, kRed, kBlue}));
    for (int y = 0; y < height; ++y) {
        std::fill_n(Row(image, y), width, y < height / 2 ? 1 : 2);
    }
}

// 8 bpp with a busy pattern, so that quality makes a clear difference.
void MakeBusyImage(cDIB& image, int width, int height) {
    ASSERT_TRUE(image.Create(width, height, 8));
    std::vector<Rgb> grey(256);
    for (int i = 0; i < 256; ++i) {
        grey[i] = {i, 255 - i, (i * 7) % 256};
    }
    image.SetPalette(Palette(grey));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Row(image, y)[x] = static_cast<uint8_t>((x * 13 + y * 29 + (x * y) % 17) % 256);
        }
    }
}

int StatusOf(const cError& error) {
    const std::string text = error.Description();
    EXPECT_EQ(text.rfind(kPrefix, 0), 0u) << text;
    const std::string number = text.substr(std::string(kPrefix).size());
    EXPECT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << text;
    return number.empty() ? -1 : std::atoi(number.c_str());
}

// The status of the error SaveJPG raises, or -1 when it raises none.
int SaveStatus(const cDIB& image, const std::string& path, uint8_t quality = 90) {
    try {
        SaveJPG(image, path, quality);
    } catch (const cError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::InvalidCall);
        return StatusOf(error);
    }
    return -1;
}

}  // namespace

TEST(SaveJPG, QualityOneAndHundredBothDecodeAtTheImageSize) {
    ScratchFolder folder;
    cDIB image;
    MakeBusyImage(image, 123, 77);  // odd sizes: partial MCUs and a padded stride
    SaveJPG(image, folder.Path("q1.jpg"), 1);
    SaveJPG(image, folder.Path("q100.jpg"), 100);

    const Decoded low = Decode(folder.Path("q1.jpg"));
    const Decoded high = Decode(folder.Path("q100.jpg"));
    EXPECT_EQ(low.width, 123);
    EXPECT_EQ(low.height, 77);
    EXPECT_EQ(high.width, 123);
    EXPECT_EQ(high.height, 77);
    EXPECT_EQ(high.subsampling, TJSAMP_420);
    EXPECT_LT(fs::file_size(folder.Path("q1.jpg")) * 3, fs::file_size(folder.Path("q100.jpg")));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"q1.jpg", "q100.jpg"}));
}

TEST(SaveJPG, FlatIndexedColourSurvives) {
    ScratchFolder folder;
    cDIB image;
    ASSERT_TRUE(image.Create(40, 24, 8));
    const Rgb colour{200, 160, 30};
    image.SetPalette(Palette({{0, 0, 0}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {9, 9, 9}, colour}));
    for (int y = 0; y < 24; ++y) {
        std::fill_n(Row(image, y), 40, 5);
    }
    SaveJPG(image, folder.Path("flat.jpg"), 90);
    const Decoded decoded = Decode(folder.Path("flat.jpg"));
    ASSERT_EQ(decoded.rgb.size(), 40u * 24u * 3u);
    for (int y = 0; y < 24; y += 7) {
        for (int x = 0; x < 40; x += 9) {
            ExpectNear(decoded.At(x, y), colour, 4);
        }
    }
}

TEST(SaveJPG, TopOfThePictureStaysOnTop) {
    ScratchFolder folder;
    cDIB image;
    MakeTopRedBottomBlue(image, 32, 32);
    SaveJPG(image, folder.Path("halves.jpg"), 95);
    const Decoded decoded = Decode(folder.Path("halves.jpg"));
    ASSERT_EQ(decoded.height, 32);
    ExpectNear(decoded.At(4, 4), kRed, 12);
    ExpectNear(decoded.At(27, 27), kBlue, 12);
}

TEST(SaveJPG, ThirtyTwoBitImageIsEncodedDirectly) {
    ScratchFolder folder;
    cDIB image;
    ASSERT_TRUE(image.Create(33, 32, 32));
    for (int y = 0; y < 32; ++y) {
        const Rgb c = y < 16 ? kRed : kBlue;
        for (int x = 0; x < 33; ++x) {
            uint8_t* p = Row(image, y) + x * 4;
            p[0] = static_cast<uint8_t>(c.b);
            p[1] = static_cast<uint8_t>(c.g);
            p[2] = static_cast<uint8_t>(c.r);
        }
    }
    SaveJPG(image, folder.Path("deep.jpg"), 95);
    const Decoded decoded = Decode(folder.Path("deep.jpg"));
    ASSERT_EQ(decoded.width, 33);
    ExpectNear(decoded.At(4, 4), kRed, 12);
    ExpectNear(decoded.At(28, 27), kBlue, 12);
}

TEST(SaveJPG, OneAndFourBitImagesReadThroughTheColourTable) {
    ScratchFolder folder;
    for (int bpp : {1, 4}) {
        cDIB image;
        ASSERT_TRUE(image.Create(32, 16, bpp));
        image.SetPalette(Palette({kRed, kBlue}));
        // Left half index 0, right half index 1.
        for (int y = 0; y < 16; ++y) {
            uint8_t* row = Row(image, y);
            if (bpp == 1) {
                row[0] = row[1] = 0x00;
                row[2] = row[3] = 0xFF;
            } else {
                std::fill_n(row, 8, 0x00);
                std::fill_n(row + 8, 8, 0x11);
            }
        }
        const std::string path = folder.Path("bits" + std::to_string(bpp) + ".jpg");
        SaveJPG(image, path, 95);
        const Decoded decoded = Decode(path);
        ASSERT_EQ(decoded.width, 32) << bpp;
        ExpectNear(decoded.At(3, 8), kRed, 12);
        ExpectNear(decoded.At(28, 8), kBlue, 12);
    }
}

TEST(SaveJPG, PixelOrderWithinAByteIsKept) {
    ScratchFolder folder;
    // The first pixel of each byte is in its high bits: white, black, white, ...
    for (const auto& [bpp, pattern] : {std::pair{1, 0xAA}, std::pair{4, 0x10}}) {
        cDIB image;
        ASSERT_TRUE(image.Create(16, 16, bpp));
        image.SetPalette(Palette({{0, 0, 0}, {255, 255, 255}}));
        for (int y = 0; y < 16; ++y) {
            std::fill_n(Row(image, y), image.BytesPerScanline(), static_cast<uint8_t>(pattern));
        }
        const std::string path = folder.Path("stripes" + std::to_string(bpp) + ".jpg");
        SaveJPG(image, path, 100);
        const Decoded decoded = Decode(path);
        ASSERT_EQ(decoded.width, 16) << bpp;
        for (int x = 2; x < 14; x += 2) {
            EXPECT_GT(decoded.At(x, 8).g, 192) << "bpp " << bpp << " x " << x;
            EXPECT_LT(decoded.At(x + 1, 8).g, 64) << "bpp " << bpp << " x " << x + 1;
        }
    }
}

TEST(SaveJPG, MissingFolderRaisesErrorFiveWithTheErrno) {
    ScratchFolder folder;
    cDIB image;
    MakeTopRedBottomBlue(image, 16, 16);
    EXPECT_EQ(SaveStatus(image, folder.Path("no-such-folder/out.jpg")), ENOENT);
    EXPECT_EQ(SaveStatus(image, ""), ENOENT);
    EXPECT_TRUE(folder.Names().empty());
}

TEST(SaveJPG, EmptyImageAndBadQualityRaise) {
    ScratchFolder folder;
    cDIB empty;
    EXPECT_EQ(SaveStatus(empty, folder.Path("empty.jpg")), 1003);
    cDIB image;
    MakeTopRedBottomBlue(image, 16, 16);
    EXPECT_EQ(SaveStatus(image, folder.Path("q.jpg"), 101), 1004);
    EXPECT_TRUE(folder.Names().empty());
}

TEST(SaveJPG, FailedSaveKeepsTheEarlierFile) {
    ScratchFolder folder;
    const std::string target = folder.Path("out.jpg");
    std::ofstream(target, std::ios::binary) << "earlier result";
    cDIB empty;
    EXPECT_EQ(SaveStatus(empty, target), 1003);
    EXPECT_EQ(ReadFile(target), "earlier result");

    // A write cut short by the file-size limit (EFBIG) must not cost the file.
    cDIB image;
    MakeBusyImage(image, 64, 64);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = SaveStatus(image, target, 90);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, EFBIG);
    EXPECT_EQ(ReadFile(target), "earlier result");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.jpg"});
}

TEST(SaveJPG, TargetThatIsAFolderStaysAFolder) {
    ScratchFolder folder;
    const std::string target = folder.Path("out.jpg");
    fs::create_directory(target);
    std::ofstream(target + "/inside.txt") << "kept";
    cDIB image;
    MakeTopRedBottomBlue(image, 16, 16);
    EXPECT_EQ(SaveStatus(image, target), EISDIR);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(ReadFile(target + "/inside.txt"), "kept");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.jpg"});
}

TEST(SaveJPG, ReplacesExistingFileAndLinkWithoutWritingThroughIt) {
    ScratchFolder folder;
    const std::string other = folder.Path("other.txt");
    std::ofstream(other) << "not mine";
    const std::string target = folder.Path("out.jpg");
    ASSERT_EQ(symlink(other.c_str(), target.c_str()), 0);
    cDIB image;
    MakeTopRedBottomBlue(image, 16, 16);
    SaveJPG(image, target, 80);
    EXPECT_EQ(ReadFile(other), "not mine");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(Decode(target).width, 16);

    SaveJPG(image, target, 80);  // and once more over the file just written
    EXPECT_EQ(Decode(target).height, 16);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"other.txt", "out.jpg"}));
}
