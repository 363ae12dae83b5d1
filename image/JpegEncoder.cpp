#include "JpegEncoder.h"

#include "JpegPlanes.h"
#include "cError.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// The status in words, for the error's reason.
std::string StatusReason(int status) {
    switch (status) {
    case JpegStatus::EncoderStart:
        return "the JPEG encoder could not be started";
    case JpegStatus::Encoding:
        return "the JPEG encoder failed";
    case JpegStatus::Unsupported:
        return "the image is empty or of a depth JPEG cannot hold";
    case JpegStatus::Quality:
        return "a JPEG quality above 100";
    default:
        return std::generic_category().message(status);
    }
}

// The library reports a failure by calling error_exit, which must not
// return: it jumps back to the call that is guarded. Nothing between the
// guard and the library holds a destructor, so the jump skips none.
struct ErrorJump {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->Jump, 1);
}

void SayNothing(j_common_ptr) {}  // lower layers print nothing; warnings change no byte

// The file grows in one block of memory, doubled when full (realloc moves
// large blocks by remapping pages, not by copying them).
struct MemoryDestination {
    jpeg_destination_mgr Manager;
    unsigned char* Bytes = nullptr;
    size_t Capacity = 0;
};

void StartDestination(j_compress_ptr info) {
    auto* to = reinterpret_cast<MemoryDestination*>(info->dest);
    to->Manager.next_output_byte = to->Bytes;
    to->Manager.free_in_buffer = to->Capacity;
}

boolean GrowDestination(j_compress_ptr info) {
    auto* to = reinterpret_cast<MemoryDestination*>(info->dest);
    const size_t used = to->Capacity;
    void* grown = std::realloc(to->Bytes, 2 * used);
    if (!grown) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    to->Bytes = static_cast<unsigned char*>(grown);
    to->Capacity = 2 * used;
    to->Manager.next_output_byte = to->Bytes + used;
    to->Manager.free_in_buffer = to->Capacity - used;
    return TRUE;
}

void EndDestination(j_compress_ptr) {}

}  // namespace

void RaiseJpegSaveError(int status) {
    throw cError(ErrorNumber::InvalidCall,
                 "Cannot save the image. GDI+ Error:" + std::to_string(status),
                 StatusReason(status));
}

void JPGBytesFree::operator()(unsigned char* bytes) const { std::free(bytes); }

struct cJpegEncoder::State {
    jpeg_compress_struct Info{};
    ErrorJump Error{};
    MemoryDestination Destination{};
    bool Created = false;
    // Indexed rows go to the library as its planes, a block of rows at a time.
    std::optional<cJpegPlanes> Planes;
    int32_t Rows = 0;  // rows handed over

    ~State() {
        if (Created) jpeg_destroy_compress(&Info);
        std::free(Destination.Bytes);
    }

    // Runs step, a call into the library; false when the library failed.
    template <typename Step>
    bool Guarded(const Step& step) {
        if (setjmp(Error.Jump)) return false;
        step();
        return true;
    }
};

cJpegEncoder::cJpegEncoder(int32_t width, int32_t height, uint8_t quality, JpegPixels pixels,
                           const uint8_t* colourTable)
    : state_(std::make_unique<State>()) {
    if (quality > 100) RaiseJpegSaveError(JpegStatus::Quality);
    if (width <= 0 || height <= 0 || (pixels == JpegPixels::Indexed && !colourTable))
        RaiseJpegSaveError(JpegStatus::Unsupported);
    // The format holds at most 65500 pixels a side: the encoder refuses more.
    if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        RaiseJpegSaveError(JpegStatus::Encoding);
    State& s = *state_;
    s.Info.err = jpeg_std_error(&s.Error.Manager);
    s.Error.Manager.error_exit = JumpBack;
    s.Error.Manager.output_message = SayNothing;
    if (!s.Guarded([&] { jpeg_create_compress(&s.Info); }))
        RaiseJpegSaveError(JpegStatus::EncoderStart);
    s.Created = true;

    // A first guess of the file's size: it grows when needed.
    s.Destination.Capacity = 65536 + static_cast<size_t>(width) * static_cast<size_t>(height) / 4;
    s.Destination.Bytes = static_cast<unsigned char*>(std::malloc(s.Destination.Capacity));
    if (!s.Destination.Bytes) RaiseJpegSaveError(JpegStatus::EncoderStart);
    s.Destination.Manager.init_destination = StartDestination;
    s.Destination.Manager.empty_output_buffer = GrowDestination;
    s.Destination.Manager.term_destination = EndDestination;
    s.Info.dest = &s.Destination.Manager;

    s.Info.image_width = static_cast<JDIMENSION>(width);
    s.Info.image_height = static_cast<JDIMENSION>(height);
    s.Info.in_color_space = pixels == JpegPixels::BGRX  ? JCS_EXT_BGRX
                            : pixels == JpegPixels::RGB ? JCS_EXT_RGB
                                                        : JCS_YCbCr;
    s.Info.input_components = pixels == JpegPixels::BGRX ? 4 : 3;
    if (pixels == JpegPixels::Indexed) s.Planes.emplace(width, colourTable);
    const bool started = s.Guarded([&] {
        jpeg_set_defaults(&s.Info);
        jpeg_set_quality(&s.Info, quality, TRUE);
        s.Info.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_IFAST;
        jpeg_set_colorspace(&s.Info, JCS_YCbCr);
        s.Info.comp_info[0].h_samp_factor = 2;
        s.Info.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) {
            s.Info.comp_info[c].h_samp_factor = 1;
            s.Info.comp_info[c].v_samp_factor = 1;
        }
        s.Info.raw_data_in = s.Planes.has_value();
        jpeg_start_compress(&s.Info, TRUE);
    });
    if (!started) RaiseJpegSaveError(JpegStatus::Encoding);
}

cJpegEncoder::~cJpegEncoder() = default;

void cJpegEncoder::WriteRows(const uint8_t* first, std::ptrdiff_t stride, int32_t count) {
    State& s = *state_;
    if (count <= 0) return;
    if (s.Rows + int64_t{count} > static_cast<int64_t>(s.Info.image_height))
        RaiseJpegSaveError(JpegStatus::Encoding);
    s.Rows += count;
    if (s.Planes) {
        for (int32_t i = 0; i < count; ++i) {
            s.Planes->AddRow(first + i * stride);
            if (s.Planes->Full()) WritePlanes();
        }
        return;
    }
    rows_.resize(static_cast<size_t>(count));
    // The library takes rows it does not change through pointers to non-const.
    for (int32_t i = 0; i < count; ++i)
        rows_[static_cast<size_t>(i)] = const_cast<uint8_t*>(first + i * stride);
    JSAMPARRAY rows = rows_.data();
    const JDIMENSION wanted = static_cast<JDIMENSION>(count);
    JDIMENSION written = 0;
    const bool encoded = s.Guarded([&] { written = jpeg_write_scanlines(&s.Info, rows, wanted); });
    if (!encoded || written != wanted) RaiseJpegSaveError(JpegStatus::Encoding);
}

void cJpegEncoder::WritePlanes() {
    State& s = *state_;
    const auto planes = const_cast<JSAMPIMAGE>(s.Planes->Planes());
    constexpr auto kRows = static_cast<JDIMENSION>(cJpegPlanes::kRows);
    JDIMENSION written = 0;
    const bool encoded = s.Guarded([&] { written = jpeg_write_raw_data(&s.Info, planes, kRows); });
    if (!encoded || written != kRows) RaiseJpegSaveError(JpegStatus::Encoding);
    s.Planes->Clear();
}

cJPGBytes cJpegEncoder::Finish() {
    State& s = *state_;
    if (s.Rows != static_cast<int64_t>(s.Info.image_height))
        RaiseJpegSaveError(JpegStatus::Encoding);
    if (s.Planes && !s.Planes->Empty()) {
        s.Planes->FillBottom();
        WritePlanes();
    }
    if (!s.Guarded([&] { jpeg_finish_compress(&s.Info); }))
        RaiseJpegSaveError(JpegStatus::Encoding);
    cJPGBytes jpeg;
    jpeg.Size = s.Destination.Capacity - s.Destination.Manager.free_in_buffer;
    jpeg.Data.reset(s.Destination.Bytes);
    s.Destination.Bytes = nullptr;
    return jpeg;
}
