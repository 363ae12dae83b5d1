// libpng's rows turned into the pixels Qt's reader gives: samples as stored
// (no gamma, no sBIT shift), 16-bit samples to 8 bits rounded (v·255/65535),
// low-bit grey levels spread over 0..255, transparency (alpha, tRNS) over
// white. A palette shorter than its indices can reach and a 16-bit RGB
// picture with a tRNS key, where Qt's pixels follow rules of their own, are
// left to Qt's reader. Greys and palette colours
// keep a fourth byte of 0 as Qt's indexed pictures give it, direct colour
// 255 as its RGB32 pictures do.
//
// libpng reports failures by a long jump: every call into it runs inside
// Guarded, whose frame holds nothing to destroy, and the failure is raised
// as the loader's error once back in C++.

#include "DecoderMessages.h"
#include "LoaderErrors.h"
#include "PixelRows.h"
#include "RowDecoder.h"

#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace {

// 16-bit samples as Qt narrows them.
const std::array<uint8_t, 65536>& Narrow16() {
    static const std::array<uint8_t, 65536> table = [] {
        std::array<uint8_t, 65536> narrow{};
        for (uint32_t v = 0; v < 65536; ++v)
            narrow[v] = static_cast<uint8_t>((v * 255 + 32767) / 65535);
        return narrow;
    }();
    return table;
}

inline uint32_t Sample16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

inline void Put(uint8_t* out, uint8_t r, uint8_t g, uint8_t b, uint8_t fourth) {
    out[0] = b;
    out[1] = g;
    out[2] = r;
    out[3] = fourth;
}

constexpr uint8_t kIndexed = 0, kDirect = 255;  // the fourth byte

class cPngRows final : public cRowDecoder {
public:
    explicit cPngRows(const cRowInput& input) : input_(input) {}
    ~cPngRows() override { png_destroy_read_struct(&png_, &info_, nullptr); }

    // False for a variant left to Qt's reader.
    bool Open(int64_t maxPixels);
    void ReadRows(uint8_t* rows, std::ptrdiff_t stride, int32_t count) override;
    void SkipRows(int32_t count) override;
    void Finish() override;

private:
    template <typename Call>
    bool Guarded(const Call& call) {
        if (setjmp(jump_)) return false;
        call();
        return true;
    }
    [[noreturn]] void RaiseFailure() const;
    void RequireNothingMissing() const;
    void ConvertRow(uint8_t* out) const;
    bool BuildPalette();

    static void OnError(png_structp png, png_const_charp message);
    static void OnWarning(png_structp png, png_const_charp message);
    static void OnRead(png_structp png, png_bytep to, png_size_t size);

    const cRowInput& input_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::jmp_buf jump_{};
    uint64_t offset_ = 0;
    bool cut_ = false;
    int readError_ = 0;
    char message_[256] = {};
    std::string missing_;  // a warning that says data is missing

    int colourType_ = 0;
    int bitDepth_ = 0;
    bool hasKey_ = false;  // a tRNS colour of a grey or RGB picture
    uint32_t key_[3] = {};
    std::array<uint8_t, 4 * 256> palette_{};
    std::vector<uint8_t> raw_;
};

void cPngRows::OnError(png_structp png, png_const_charp message) {
    auto* self = static_cast<cPngRows*>(png_get_error_ptr(png));
    std::snprintf(self->message_, sizeof self->message_, "%s", message);
    std::longjmp(self->jump_, 1);
}

void cPngRows::OnWarning(png_structp png, png_const_charp message) {
    auto* self = static_cast<cPngRows*>(png_get_error_ptr(png));
    if (self->missing_.empty() && SaysDataMissing(message)) self->missing_ = message;
}

void cPngRows::OnRead(png_structp png, png_bytep to, png_size_t size) {
    auto* self = static_cast<cPngRows*>(png_get_io_ptr(png));
    const std::ptrdiff_t read = self->input_.Read(to, size, self->offset_);
    if (read < 0) self->readError_ = errno;
    if (read >= 0 && static_cast<png_size_t>(read) == size) {
        self->offset_ += size;
        return;
    }
    if (read >= 0) self->cut_ = true;
    png_error(png, "the file ends early");
}

void cPngRows::RaiseFailure() const {
    RaiseDecoderFailure(*input_.Path, readError_, cut_, message_);
}

void cPngRows::RequireNothingMissing() const { ::RequireNothingMissing(*input_.Path, missing_); }

bool cPngRows::Open(int64_t maxPixels) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
    if (png_ == nullptr) RaiseNoMemory(*input_.Path);
    info_ = png_create_info_struct(png_);
    if (info_ == nullptr) RaiseNoMemory(*input_.Path);
    png_uint_32 width = 0, height = 0;
    int interlace = 0;
    const bool read = Guarded([&] {
        png_set_read_fn(png_, this, OnRead);
        png_read_info(png_, info_);
        png_get_IHDR(png_, info_, &width, &height, &bitDepth_, &colourType_, &interlace, nullptr,
                     nullptr);
    });
    if (!read) RaiseFailure();
    RequireNothingMissing();
    // Qt's reader widens an interlaced picture's passes its own way.
    if (interlace != PNG_INTERLACE_NONE) return false;
    RequireLoadableSize(width, height, maxPixels, *input_.Path);
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);

    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png_, info_, &alphas, &alphaCount, &key) & PNG_INFO_tRNS &&
        colourType_ != PNG_COLOR_TYPE_PALETTE && key != nullptr) {
        // A key no sample can take is Qt's to judge.
        const uint32_t limit = bitDepth_ == 16 ? 65535u : (1u << bitDepth_) - 1;
        if (key->gray > limit || key->red > limit || key->green > limit || key->blue > limit)
            return false;
        // Qt's reader keys a 16-bit colour picture its own way.
        if (colourType_ == PNG_COLOR_TYPE_RGB && bitDepth_ == 16) return false;
        hasKey_ = true;
        key_[0] = colourType_ == PNG_COLOR_TYPE_GRAY ? key->gray : key->red;
        key_[1] = key->green;
        key_[2] = key->blue;
    }
    if (colourType_ == PNG_COLOR_TYPE_PALETTE && !BuildPalette()) return false;
    const bool set = Guarded([&] {
        if (bitDepth_ < 8) png_set_packing(png_);
        png_read_update_info(png_, info_);
    });
    if (!set) RaiseFailure();
    raw_.resize(png_get_rowbytes(png_, info_));
    return true;
}

// Entries in the order of a picture's memory, over white. False for a table
// shorter than its indices can reach: Qt's reader gives the indices past
// its end colours of its own.
bool cPngRows::BuildPalette() {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png_, info_, &colours, &count);
    if (count < (1 << bitDepth_)) return false;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_get_tRNS(png_, info_, &alphas, &alphaCount, nullptr);
    for (int i = 0; i < count && i < 256; ++i) {
        const uint32_t a = alphas != nullptr && i < alphaCount ? alphas[i] : 255;
        Put(&palette_[4 * static_cast<size_t>(i)], OverWhite(colours[i].red, a),
            OverWhite(colours[i].green, a), OverWhite(colours[i].blue, a), kIndexed);
    }
    return true;
}

void cPngRows::ConvertRow(uint8_t* out) const {
    const uint8_t* in = raw_.data();
    // The commonest forms of a photograph, in loops of their own.
    if (bitDepth_ == 8 && !hasKey_ && colourType_ == PNG_COLOR_TYPE_RGB) {
        for (int32_t x = 0; x < width_; ++x, in += 3, out += 4)
            Put(out, in[0], in[1], in[2], kDirect);
        return;
    }
    if (bitDepth_ == 8 && colourType_ == PNG_COLOR_TYPE_RGBA) {
        for (int32_t x = 0; x < width_; ++x, in += 4, out += 4) {
            const uint32_t a = in[3];
            if (a == 255)
                Put(out, in[0], in[1], in[2], kDirect);
            else
                Put(out, OverWhite(in[0], a), OverWhite(in[1], a), OverWhite(in[2], a), kDirect);
        }
        return;
    }
    const auto& narrow = Narrow16();
    const bool wide = bitDepth_ == 16;
    const int step = wide ? 2 : 1;
    for (int32_t x = 0; x < width_; ++x, out += 4) {
        switch (colourType_) {
        case PNG_COLOR_TYPE_PALETTE:
            std::memcpy(out, &palette_[4 * size_t{in[0]}], 4);
            in += 1;
            break;
        case PNG_COLOR_TYPE_GRAY: {
            const uint32_t v = wide ? Sample16(in) : in[0];
            in += step;
            const bool keyed = hasKey_ && v == key_[0];
            const uint8_t g =
                wide ? narrow[v] : static_cast<uint8_t>(v * (255 / ((1u << bitDepth_) - 1)));
            const uint8_t level = keyed ? 255 : g;
            Put(out, level, level, level, wide ? kDirect : kIndexed);
            break;
        }
        case PNG_COLOR_TYPE_GRAY_ALPHA: {
            const uint32_t g = wide ? narrow[Sample16(in)] : in[0];
            const uint32_t a = wide ? narrow[Sample16(in + 2)] : in[1];
            in += 2 * step;
            const uint8_t level = OverWhite(g, a);
            Put(out, level, level, level, kDirect);
            break;
        }
        case PNG_COLOR_TYPE_RGB: {
            const uint32_t r = wide ? Sample16(in) : in[0];
            const uint32_t g = wide ? Sample16(in + 2) : in[1];
            const uint32_t b = wide ? Sample16(in + 4) : in[2];
            in += 3 * step;
            if (hasKey_ && r == key_[0] && g == key_[1] && b == key_[2])
                Put(out, 255, 255, 255, kDirect);
            else if (wide)
                Put(out, narrow[r], narrow[g], narrow[b], kDirect);
            else
                Put(out, uint8_t(r), uint8_t(g), uint8_t(b), kDirect);
            break;
        }
        default: {  // RGB and alpha
            const uint32_t r = wide ? narrow[Sample16(in)] : in[0];
            const uint32_t g = wide ? narrow[Sample16(in + 2)] : in[1];
            const uint32_t b = wide ? narrow[Sample16(in + 4)] : in[2];
            const uint32_t a = wide ? narrow[Sample16(in + 6)] : in[3];
            in += 4 * step;
            Put(out, OverWhite(r, a), OverWhite(g, a), OverWhite(b, a), kDirect);
            break;
        }
        }
    }
}

void cPngRows::ReadRows(uint8_t* rows, std::ptrdiff_t stride, int32_t count) {
    for (int32_t y = 0; y < count; ++y) {
        if (!Guarded([&] { png_read_row(png_, raw_.data(), nullptr); })) RaiseFailure();
        ConvertRow(rows + y * stride);
    }
    RequireNothingMissing();
}

void cPngRows::SkipRows(int32_t count) {
    // Each row is filtered against the one above: every row is decoded.
    for (int32_t y = 0; y < count; ++y)
        if (!Guarded([&] { png_read_row(png_, raw_.data(), nullptr); })) RaiseFailure();
    RequireNothingMissing();
}

// What follows the last row is read to the end chunk, which Qt's reader
// also takes when the file ends inside its checksum.
void cPngRows::Finish() {
    if (!Guarded([&] { png_read_end(png_, nullptr); })) {
        static constexpr uint8_t kEndHead[8] = {0, 0, 0, 0, 'I', 'E', 'N', 'D'};
        uint8_t head[8] = {};
        const bool inEndChecksum = cut_ && offset_ >= 8 && input_.Read(head, 8, offset_ - 8) == 8 &&
                                   std::memcmp(head, kEndHead, 8) == 0;
        if (!inEndChecksum) RaiseFailure();
    }
    RequireNothingMissing();
}

}  // namespace

std::unique_ptr<cRowDecoder> OpenPngRows(const cRowInput& input, int64_t maxPixels) {
    auto rows = std::make_unique<cPngRows>(input);
    if (!rows->Open(maxPixels)) return nullptr;
    return rows;
}
