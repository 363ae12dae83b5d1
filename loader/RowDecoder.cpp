#include "RowDecoder.h"

#include "DecoderMessages.h"
#include "LoaderErrors.h"

#include <cstring>

void RaiseDecoderFailure(const std::string& path, int readError, bool cut, const char* message) {
    if (readError != 0) RaiseDeviceError(readError, path);
    if (cut) RaiseTruncated(path);
    if (SaysDataMissing(message))
        RaiseInvalid(path, std::string("the decoder found data missing: ") + message);
    RaiseInvalid(path, message[0] ? message : "unknown reason");
}

void RequireNothingMissing(const std::string& path, const std::string& missing) {
    if (!missing.empty()) RaiseInvalid(path, "the decoder found data missing: " + missing);
}

RowFormat RowFormatOf(const uint8_t* head, std::size_t size) {
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= sizeof kPng && std::memcmp(head, kPng, sizeof kPng) == 0) return RowFormat::Png;
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return RowFormat::Jpeg;
    return RowFormat::None;
}

std::unique_ptr<cRowDecoder> OpenRowDecoder(const cRowInput& input, int64_t maxPixels) {
    uint8_t head[8];
    const std::ptrdiff_t read = input.Read(head, sizeof head, 0);
    if (read <= 0) return nullptr;
    switch (RowFormatOf(head, static_cast<std::size_t>(read))) {
    case RowFormat::Png:
        return OpenPngRows(input, maxPixels);
    case RowFormat::Jpeg:
        return OpenJpegRows(input, maxPixels);
    case RowFormat::None:
        break;
    }
    return nullptr;
}
