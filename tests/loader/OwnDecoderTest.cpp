// The PNG and JPEG decoders of the loader's own give the very bytes Qt's
// reader gives, in every variant they read (and leave the rest to it), and
// refuse a file cut anywhere as the loader refuses it.

#include "CodecVariants.h"
#include "FileExtent.h"
#include "PictureLoader.h"
#include "PixelMemory.h"
#include "QtDecoder.h"
#include "RowDecoder.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using namespace imagebytes;

// The image Qt's reader makes of the file, as the loader made it before the
// file had a decoder of its own.
Bytes QtImageBytes(const Bytes& file, const std::string& name) {
    QtDecodeRequest request;
    request.File = file;
    request.Path = &name;
    request.MaxPixels = kMaxPicturePixels;
    request.Walk = file[0] == 0xFF ? JpegExtent : nullptr;
    request.AllocateZeroed = &AllocateZeroed;
    cDIB image;
    EXPECT_NE(image.CreateFromStdPicture(DecodeWithQt(request), true), 0);
    return Bytes(image.lpBits(), image.lpBits() + image.Size());
}

Bytes LoadedBytes(const Bytes& file, const std::string& name) {
    cDIB image;
    EXPECT_NE(image.CreateFromStdPicture(LoadPictureFromMemory(file, name), true), 0);
    return Bytes(image.lpBits(), image.lpBits() + image.Size());
}

bool HasOwnDecoder(const Bytes& file, const std::string& name) {
    const cRowInput input{[&](void* to, std::size_t size, uint64_t offset) {
                              const std::size_t n =
                                  offset < file.size() ? std::min(size, file.size() - offset) : 0;
                              std::memcpy(to, file.data() + offset, n);
                              return std::ptrdiff_t(n);
                          },
                          file.size(), &name};
    return OpenRowDecoder(input, kMaxPicturePixels) != nullptr;
}

std::vector<CodecVariant> AllVariants(int w, int h, int seed) {
    std::vector<CodecVariant> variants = PngVariants(w, h, seed);
    for (CodecVariant& jpeg : JpegVariants(w, h, seed)) variants.push_back(std::move(jpeg));
    return variants;
}

// Odd sizes, one that is a single pixel, and one past a JPEG's MCU rows.
TEST(OwnDecoders, GiveQtsBytesForEveryVariant) {
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{37, 23}, {1, 1}, {203, 67}})
        for (const CodecVariant& variant : AllVariants(w, h, w + h)) {
            SCOPED_TRACE(testing::Message() << variant.Name << ", " << w << " x " << h);
            EXPECT_EQ(HasOwnDecoder(variant.File, variant.Name), variant.Own);
            EXPECT_EQ(LoadedBytes(variant.File, variant.Name),
                      QtImageBytes(variant.File, variant.Name));
        }
}

// The loader's verdict on a file: its image's bytes, or its error's number
// and description.
std::pair<Bytes, std::string> Verdict(const std::function<Bytes()>& load) {
    try {
        return {load(), ""};
    } catch (const cError& error) {
        return {{}, std::to_string(int(error.Number())) + " " + error.Description()};
    }
}

// Cut inside its header or its pixels, a file is refused with the loader's
// 481 and the file's name, never a picture; cut after its pixels (in its last
// chunk or marker) it gets the verdict Qt's reader gives it.
TEST(OwnDecoders, RefuseAFileCutInItsPixels) {
    for (const CodecVariant& variant : AllVariants(64, 48, 3)) {
        if (!variant.Own) continue;
        const std::size_t size = variant.File.size();
        for (const std::size_t cut :
             {std::size_t{20}, size / 3, size * 9 / 10, size - 12, size - 1}) {
            SCOPED_TRACE(testing::Message() << variant.Name << " cut to " << cut << " of " << size);
            const Bytes file(variant.File.begin(), variant.File.begin() + std::ptrdiff_t(cut));
            const auto own = Verdict([&] { return LoadedBytes(file, "cut"); });
            if (cut < size - 12) {
                EXPECT_EQ(own.second.rfind("481 Invalid picture: cut", 0), 0u) << own.second;
                continue;
            }
            const auto qt = Verdict([&] { return QtImageBytes(file, "cut"); });
            EXPECT_EQ(own.first, qt.first);
            EXPECT_EQ(own.second.substr(0, 3), qt.second.substr(0, 3))
                << own.second << " / " << qt.second;
        }
    }
}

}  // namespace
