// libjpeg-turbo's rows as Qt's reader gives them: its default decoding
// (accurate integer DCT, smooth upsampling), colour rows as Blue, Green,
// Red, 255 (RGB32) and grey rows as a grey level with a fourth byte of 0
// (Qt's 8-bit grey picture). CMYK and YCCK files, which Qt turns to RGB
// its own way, are left to it.
//
// The file's bytes are read in blocks as the decoder asks for them, so a
// picture read band by band never has its file in memory either. libjpeg
// reports failures by a long jump: every call into it runs inside Guarded,
// whose frame holds nothing to destroy, and the failure is raised as the
// loader's error once back in C++.

#include "DecoderMessages.h"
#include "LoaderErrors.h"
#include "RowDecoder.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

class cJpegRows final : public cRowDecoder {
public:
    explicit cJpegRows(const cRowInput& input) : input_(input) {}
    ~cJpegRows() override { jpeg_destroy_decompress(&decoder_); }

    // False for a variant left to Qt's reader.
    bool Open(int64_t maxPixels);
    void ReadRows(uint8_t* rows, std::ptrdiff_t stride, int32_t count) override;
    void SkipRows(int32_t count) override;
    void Finish() override;

private:
    // The decoder's first member, so that its callbacks find the object.
    struct Links {
        jpeg_error_mgr Errors;
        jpeg_source_mgr Source;
        cJpegRows* Self;
    };

    template <typename Call>
    bool Guarded(const Call& call) {
        if (setjmp(jump_)) return false;
        call();
        return true;
    }
    [[noreturn]] void RaiseFailure() const;
    void RequireNothingMissing() const;

    static cJpegRows& Of(j_common_ptr decoder) {
        return *reinterpret_cast<Links*>(decoder->client_data)->Self;
    }
    static void OnError(j_common_ptr decoder);
    static void OnMessage(j_common_ptr decoder, int level);
    static void OnInit(j_decompress_ptr) {}
    static boolean OnFill(j_decompress_ptr decoder);
    static void OnSkip(j_decompress_ptr decoder, long count);
    static void OnTerm(j_decompress_ptr) {}

    static constexpr std::size_t kBlockBytes = std::size_t{64} << 10;

    const cRowInput& input_;
    Links links_{};
    jpeg_decompress_struct decoder_{};
    std::jmp_buf jump_{};
    std::vector<uint8_t> block_ = std::vector<uint8_t>(kBlockBytes);
    uint64_t offset_ = 0;  // of the next block
    bool cut_ = false;
    int readError_ = 0;
    char message_[JMSG_LENGTH_MAX] = {};
    std::string missing_;  // a warning that says data is missing
    bool grey_ = false;
    std::vector<uint8_t> greyRow_;
};

void cJpegRows::OnError(j_common_ptr decoder) {
    cJpegRows& self = Of(decoder);
    decoder->err->format_message(decoder, self.message_);
    std::longjmp(self.jump_, 1);
}

// Warnings (level -1) are kept when they say data is missing: such a
// picture is partial. Traces are dropped.
void cJpegRows::OnMessage(j_common_ptr decoder, int level) {
    if (level >= 0) return;
    decoder->err->num_warnings++;
    cJpegRows& self = Of(decoder);
    char message[JMSG_LENGTH_MAX];
    decoder->err->format_message(decoder, message);
    if (self.missing_.empty() && SaysDataMissing(message)) self.missing_ = message;
}

boolean cJpegRows::OnFill(j_decompress_ptr decoder) {
    cJpegRows& self = Of(reinterpret_cast<j_common_ptr>(decoder));
    const std::ptrdiff_t read = self.input_.Read(self.block_.data(), kBlockBytes, self.offset_);
    if (read <= 0) {
        // Where libjpeg would make up an end marker and decode on, the
        // picture is refused: what follows would be grey.
        if (read < 0) self.readError_ = errno;
        self.cut_ = read == 0;
        std::snprintf(self.message_, sizeof self.message_, "the file ends early");
        std::longjmp(self.jump_, 1);
    }
    self.offset_ += static_cast<uint64_t>(read);
    decoder->src->next_input_byte = self.block_.data();
    decoder->src->bytes_in_buffer = static_cast<std::size_t>(read);
    return TRUE;
}

void cJpegRows::OnSkip(j_decompress_ptr decoder, long count) {
    if (count <= 0) return;
    jpeg_source_mgr& source = *decoder->src;
    const auto bytes = static_cast<std::size_t>(count);
    if (bytes <= source.bytes_in_buffer) {
        source.next_input_byte += bytes;
        source.bytes_in_buffer -= bytes;
        return;
    }
    Of(reinterpret_cast<j_common_ptr>(decoder)).offset_ += bytes - source.bytes_in_buffer;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;
}

void cJpegRows::RaiseFailure() const {
    RaiseDecoderFailure(*input_.Path, readError_, cut_, message_);
}

void cJpegRows::RequireNothingMissing() const { ::RequireNothingMissing(*input_.Path, missing_); }

bool cJpegRows::Open(int64_t maxPixels) {
    links_.Self = this;
    decoder_.err = jpeg_std_error(&links_.Errors);
    links_.Errors.error_exit = OnError;
    links_.Errors.emit_message = OnMessage;
    links_.Source.init_source = OnInit;
    links_.Source.fill_input_buffer = OnFill;
    links_.Source.skip_input_data = OnSkip;
    links_.Source.resync_to_restart = jpeg_resync_to_restart;
    links_.Source.term_source = OnTerm;
    const bool read = Guarded([&] {
        decoder_.client_data = &links_;  // kept by the creation, for its own failure
        jpeg_create_decompress(&decoder_);
        decoder_.src = &links_.Source;
        jpeg_read_header(&decoder_, TRUE);
    });
    if (!read) RaiseFailure();
    RequireNothingMissing();
    if (decoder_.jpeg_color_space == JCS_GRAYSCALE) {
        grey_ = true;
        decoder_.out_color_space = JCS_GRAYSCALE;
    } else if (decoder_.num_components == 3 &&
               (decoder_.jpeg_color_space == JCS_YCbCr || decoder_.jpeg_color_space == JCS_RGB)) {
        decoder_.out_color_space = JCS_EXT_BGRX;
    } else {
        return false;
    }
    RequireLoadableSize(decoder_.image_width, decoder_.image_height, maxPixels, *input_.Path);
    width_ = static_cast<int32_t>(decoder_.image_width);
    height_ = static_cast<int32_t>(decoder_.image_height);
    if (!Guarded([&] { jpeg_start_decompress(&decoder_); })) RaiseFailure();
    RequireNothingMissing();
    if (grey_) greyRow_.resize(static_cast<std::size_t>(width_));
    return true;
}

void cJpegRows::ReadRows(uint8_t* rows, std::ptrdiff_t stride, int32_t count) {
    for (int32_t y = 0; y < count; ++y) {
        uint8_t* out = rows + y * stride;
        JSAMPROW row = grey_ ? greyRow_.data() : out;
        JDIMENSION got = 0;
        while (got == 0)
            if (!Guarded([&] { got = jpeg_read_scanlines(&decoder_, &row, 1); })) RaiseFailure();
        if (grey_)
            for (int32_t x = 0; x < width_; ++x, out += 4) {
                out[0] = out[1] = out[2] = greyRow_[static_cast<std::size_t>(x)];
                out[3] = 0;
            }
    }
    RequireNothingMissing();
}

void cJpegRows::SkipRows(int32_t count) {
    if (count <= 0) return;
    // Smooth upsampling blends each row with its neighbours' row groups: the
    // rows just above the next one read are decoded, so that they are the
    // rows a decoding from the top gives; the rest are passed over unshaped.
    const int32_t decoded = std::min(count, 2 * decoder_.max_v_samp_factor * DCTSIZE);
    JDIMENSION skipped = 0;
    const auto toSkip = static_cast<JDIMENSION>(count - decoded);
    while (skipped < toSkip) {
        JDIMENSION step = 0;
        if (!Guarded([&] { step = jpeg_skip_scanlines(&decoder_, toSkip - skipped); }))
            RaiseFailure();
        if (step == 0) RaiseTruncated(*input_.Path);
        skipped += step;
    }
    std::vector<uint8_t> row(4 * static_cast<std::size_t>(width_));
    for (int32_t y = 0; y < decoded; ++y) ReadRows(row.data(), 0, 1);
    RequireNothingMissing();
}

void cJpegRows::Finish() {
    if (!Guarded([&] { jpeg_finish_decompress(&decoder_); })) RaiseFailure();
    RequireNothingMissing();
}

}  // namespace

std::unique_ptr<cRowDecoder> OpenJpegRows(const cRowInput& input, int64_t maxPixels) {
    auto rows = std::make_unique<cJpegRows>(input);
    if (!rows->Open(maxPixels)) return nullptr;
    return rows;
}
