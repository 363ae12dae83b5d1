// A picture moved into an image gives it its own pixel memory instead of a
// copy, and large images get memory of their own: both must be invisible in
// the image's bytes and in what happens when memory runs out.

#include "AddressSpaceLimit.h"
#include "BandPool.h"
#include "cDIB.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A top-down picture owning its pixels alone. Every byte, the unused fourth
// of each pixel and any row padding included, comes from a hash of its
// offset, so a row that lands in the wrong place shows.
cPicture HashedPicture(int32_t width, int32_t height, int32_t bpp, int32_t stride,
                       Bytes table = {}) {
    auto bytes = std::make_shared<Bytes>(static_cast<size_t>(stride) * height);
    for (size_t i = 0; i < bytes->size(); ++i)
        (*bytes)[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    cPicture picture;
    picture.Type = PictureType::Bitmap;
    picture.Width = width;
    picture.Height = height;
    picture.BPP = bpp;
    picture.ColorTable = std::move(table);
    picture.Stride = stride;
    picture.Bits = bytes->data();
    picture.Owner = std::move(bytes);
    return picture;
}

cPicture Packed32(int32_t width, int32_t height) {
    return HashedPicture(width, height, 32, width * 4);
}

// The same picture over a buffer of its own.
cPicture DeepCopy(const cPicture& picture) {
    cPicture copy = picture;
    auto bytes = std::make_shared<Bytes>(
        picture.Bits, picture.Bits + static_cast<size_t>(picture.Stride) * picture.Height);
    copy.Bits = bytes->data();
    copy.Owner = std::move(bytes);
    return copy;
}

Bytes BufferOf(const cPicture& picture) {
    return Bytes(picture.Bits, picture.Bits + static_cast<size_t>(picture.Stride) * picture.Height);
}

Bytes PixelsOf(const cDIB& dib) { return Bytes(dib.lpBits(), dib.lpBits() + dib.Size()); }

bool Inside(const uint8_t* p, const uint8_t* begin, size_t size) {
    return p >= begin && p < begin + size;
}

void ExpectSameImage(const cDIB& actual, const cDIB& expected, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ((std::array{actual.Width(), actual.Height(), actual.BPP()}),
              (std::array{expected.Width(), expected.Height(), expected.BPP()}));
    EXPECT_EQ(actual.BytesPerScanline(), expected.BytesPerScanline());
    EXPECT_EQ(actual.Size(), expected.Size());
    EXPECT_EQ(std::memcmp(&actual.InfoHeader(), &expected.InfoHeader(), sizeof(BITMAPINFOHEADER)),
              0);
    EXPECT_EQ(PixelsOf(actual), PixelsOf(expected));
}

// The VmFlags line of the mapping that holds address p, from /proc/self/smaps.
std::string VmFlagsOf(const void* p) {
    std::ifstream smaps("/proc/self/smaps");
    const auto address = reinterpret_cast<uintptr_t>(p);
    bool inMapping = false;
    for (std::string line; std::getline(smaps, line);) {
        uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream fields(line);
        if (fields >> std::hex >> from >> dash >> to && dash == '-') {  // a mapping's first line
            inMapping = address >= from && address < to;
        } else if (inMapping && line.rfind("VmFlags:", 0) == 0) {
            return line;
        }
    }
    return {};
}

}  // namespace

TEST(DIBAdoptPicture, TakesThePicturesMemoryAndGivesTheCopysBytes) {
    // Odd and even heights (the middle row stays put), odd widths, non-square;
    // the rows turned over in bands on 1, 2 and 4 threads, more bands than
    // row pairs included.
    const std::array<std::array<int32_t, 2>, 6> shapes{
        {{5, 3}, {7, 4}, {1, 1}, {3, 1}, {1, 6}, {67, 41}}};
    // A bottom-up picture (as the native BMP reader makes) keeps its rows where they are.
    for (const auto& [width, height] : shapes) {
        for (const auto& [bottomUp, threads] :
             {std::pair{false, 1u}, {false, 2u}, {false, 4u}, {true, 1u}}) {
            const parallel::ScopedThreadShare share(threads, 1);
            const std::string shape = std::to_string(width) + " x " + std::to_string(height) +
                                      (bottomUp ? " bottom-up" : " top-down") + " on " +
                                      std::to_string(threads) + " threads";
            cPicture picture = Packed32(width, height);
            picture.BottomUp = bottomUp;
            const Bytes stored = BufferOf(picture);
            cPicture twin = DeepCopy(picture);
            cDIB copied;
            ASSERT_EQ(copied.CreateFromStdPicture(&twin, true), 32) << shape;

            const uint8_t* buffer = picture.Bits;
            const std::weak_ptr<const void> memory = picture.Owner;
            cDIB taken;
            ASSERT_EQ(taken.CreateFromStdPicture(std::move(picture), true), 32) << shape;
            ExpectSameImage(taken, copied, shape);
            EXPECT_EQ(taken.lpBits(), buffer) << shape << ": the whole buffer is reused";
            EXPECT_FALSE(picture.IsBitmap()) << shape << ": the picture gave its pixels away";
            EXPECT_EQ(picture.Owner, nullptr) << shape;
            EXPECT_FALSE(memory.expired()) << shape << ": the image keeps the memory alive";
            if (bottomUp) {
                EXPECT_EQ(PixelsOf(taken), stored) << shape << ": already in the image's order";
            }
        }
    }
}

TEST(DIBAdoptPicture, TheTakenMemoryLivesExactlyAsLongAsTheImageHoldsIt) {
    cPicture picture = Packed32(9, 5);
    const std::weak_ptr<const void> memory = picture.Owner;
    cDIB dib;
    ASSERT_EQ(dib.CreateFromStdPicture(std::move(picture), true), 32);
    picture = cPicture{};
    EXPECT_FALSE(memory.expired());

    // Images built from it are copies: they outlive it.
    cDIB clone;
    dib.CloneTo(clone);
    const Bytes before = PixelsOf(clone);
    ASSERT_TRUE(dib.Create(2, 2, 8));
    EXPECT_TRUE(memory.expired()) << "Create lets go of the taken memory";
    EXPECT_EQ(PixelsOf(clone), before);

    // Taken over again, then destroyed.
    cPicture again = Packed32(9, 5);
    const std::weak_ptr<const void> second = again.Owner;
    ASSERT_EQ(dib.CreateFromStdPicture(std::move(again), true), 32);
    EXPECT_EQ(PixelsOf(dib), before);
    dib.Destroy();
    EXPECT_TRUE(second.expired()) << "Destroy lets go of the taken memory";
}

TEST(DIBAdoptPicture, CopiesWhenTakingOverWouldNotGiveTheSameImage) {
    struct Case {
        const char* what;
        cPicture picture;
        bool force;
        uint8_t result;
    };
    Bytes table(1024);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i / 3);
    std::vector<Case> cases;
    cases.push_back({"rows padded past 4 x Width", HashedPicture(5, 3, 32, 24), true, 32});
    cases.push_back({"not forced to 32 bpp", Packed32(5, 3), false, 32});
    cases.push_back({"indexed", HashedPicture(7, 2, 8, 8, table), true, 8});
    cases.push_back({"no owner to keep", Packed32(3, 2), true, 32});
    cases.push_back({"not a bitmap", Packed32(3, 2), true, 0});
    cases[4].picture.Type = PictureType::Metafile;
    cPicture shared = Packed32(5, 3);
    const cPicture otherHolder = shared;  // use_count 2: someone else reads these pixels
    cases.push_back({"shared with another holder", shared, true, 32});
    shared = cPicture{};

    // Pixels whose owner is not in the picture (a view of someone else's buffer).
    Bytes foreign = BufferOf(cases[3].picture);
    cases[3].picture.Bits = foreign.data();
    cases[3].picture.Owner.reset();

    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        cPicture twin = DeepCopy(c.picture);
        cDIB copied;
        ASSERT_EQ(copied.CreateFromStdPicture(&twin, c.force), c.result);

        const Bytes before = BufferOf(c.picture);
        const uint8_t* buffer = c.picture.Bits;
        const auto owner = c.picture.Owner.get();
        cDIB taken;
        ASSERT_EQ(taken.CreateFromStdPicture(std::move(c.picture), c.force), c.result);
        EXPECT_TRUE(c.picture.IsBitmap() || c.result == 0) << "a copied picture is left as it was";
        EXPECT_EQ(c.picture.Bits, buffer);
        EXPECT_EQ(c.picture.Owner.get(), owner);
        EXPECT_EQ(BufferOf(c.picture), before) << "its rows are not turned";
        if (c.result == 0) {
            EXPECT_EQ(taken.hDIB(), 0u);
            continue;
        }
        ExpectSameImage(taken, copied, c.what);
        EXPECT_FALSE(Inside(taken.lpBits(), buffer, before.size()));
    }
    EXPECT_EQ(BufferOf(otherHolder), BufferOf(DeepCopy(Packed32(5, 3))))
        << "the other holder still sees the picture as loaded";
}

TEST(DIBLargeStorage, LargeImagesAreZeroFilledAndAskForHugePages) {
    // 4 MB and more: memory mapped for the image alone.
    cDIB dib;
    ASSERT_TRUE(dib.Create(1024, 1025, 32));
    ASSERT_GE(dib.Size(), 4 << 20);
    EXPECT_EQ(PixelsOf(dib), Bytes(static_cast<size_t>(dib.Size()), 0));
    std::memset(dib.lpBits(), 0xC3, static_cast<size_t>(dib.Size()));
    cDIB clone;
    dib.CloneTo(clone);
    EXPECT_EQ(PixelsOf(clone), PixelsOf(dib));

    ASSERT_TRUE(dib.Create(1024, 1025, 32));  // same size again: new memory, all zero
    EXPECT_EQ(PixelsOf(dib), Bytes(static_cast<size_t>(dib.Size()), 0));
    dib.Resize(2048, 1024, false);  // the old content in the corner, zeros elsewhere
    ASSERT_EQ(dib.Size(), 2048 * 1024 * 4);
    EXPECT_EQ(PixelsOf(dib), Bytes(static_cast<size_t>(dib.Size()), 0));

    if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "this kernel has no transparent huge pages";
    EXPECT_NE(VmFlagsOf(dib.lpBits()).find(" hg"), std::string::npos)
        << "flags: " << VmFlagsOf(dib.lpBits());
}

TEST(DIBLargeStorage, CreateReturnsFalseAndLeavesTheImageEmptyWithoutMemory) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 32));
    {
        const AddressSpaceLimit limit(size_t(256) << 20);
        if (!limit.Active()) GTEST_SKIP() << "cannot lower the address-space limit here";
        EXPECT_FALSE(dib.Create(16384, 16384, 32));  // 1 GB
    }
    EXPECT_EQ(dib.hDIB(), 0u);
    EXPECT_EQ(dib.lpBits(), nullptr);
    EXPECT_EQ(dib.Width() | dib.Height() | dib.BPP() | dib.Size(), 0);
    EXPECT_TRUE(dib.Create(1024, 1024, 32)) << "works again once memory is there";
}
