#include "CodecVariants.h"

#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace imagebytes {
namespace {

// Gradients with noise over every bit of a sample.
uint32_t Sample(int x, int y, int channel, int seed, int bits) {
    uint32_t v = uint32_t(x * 2654435761u) ^ uint32_t(y * 40503u + channel * 977u + seed * 7919u);
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    v ^= v >> 15;
    const uint32_t max = (1u << bits) - 1;
    const uint32_t ramp = uint32_t((x + y * 3 + channel * 50) * 37) & max;
    return (ramp ^ (v & (max >> 2))) & max;
}

struct PngForm {
    const char* Name;
    int ColourType;
    int Depth;
    bool Key = false;  // a tRNS colour, or alpha entries for a palette
    bool Interlaced = false;
    bool Gamma = false;  // gAMA and sBIT chunks, which the pixels ignore
    bool Own = true;
    bool ShortPalette = false;  // one entry fewer than the depth allows, which pixels index
};

void Append(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

Bytes EncodePng(const PngForm& form, int w, int h, int seed) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the variant");
    }
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, uint32_t(w), uint32_t(h), form.Depth, form.ColourType,
                 form.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const int entries = form.ColourType == PNG_COLOR_TYPE_PALETTE
                            ? (1 << form.Depth) - (form.ShortPalette ? 1 : 0)
                            : 0;
    std::vector<png_color> palette;
    Bytes alphas;
    for (int i = 0; i < entries; ++i) {
        palette.push_back({png_byte(Sample(i, 1, 0, seed, 8)), png_byte(Sample(i, 1, 1, seed, 8)),
                           png_byte(Sample(i, 1, 2, seed, 8))});
        alphas.push_back(png_byte(i * 97));
    }
    if (entries) png_set_PLTE(png, info, palette.data(), entries);
    png_set_check_for_invalid_index(png, 0);  // indices past the palette are written too
    const int max = form.Depth == 16 ? 65535 : (1 << form.Depth) - 1;
    png_color_16 key{};
    key.gray = key.red = png_uint_16(Sample(2, 0, 0, seed, form.Depth));
    key.green = png_uint_16(Sample(2, 0, 1, seed, form.Depth));
    key.blue = png_uint_16(Sample(2, 0, 2, seed, form.Depth));
    if (form.Key)
        png_set_tRNS(png, info, entries ? alphas.data() : nullptr, entries ? entries / 2 : 0,
                     entries ? nullptr : &key);
    if (form.Gamma) {
        png_set_gAMA(png, info, 0.8);
        png_color_8 bits{5, 6, 5, 5, 4};
        png_set_sBIT(png, info, &bits);
    }
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    std::vector<Bytes> rows(std::size_t(h), Bytes(png_get_rowbytes(png, info)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                // The key's colour at every fifth pixel, entries past the palette's end
                // at every seventh.
                uint32_t v = Sample(x, y, c, seed, form.Depth);
                if (x % 5 == 2 && form.Key && !entries)
                    v = c == 0 ? key.red : c == 1 ? key.green : key.blue;
                if (entries && x % 7 == 3) v = uint32_t(max);
                Bytes& row = rows[std::size_t(y)];
                const int at = x * channels + c;
                if (form.Depth == 16) {
                    row[2 * std::size_t(at)] = uint8_t(v >> 8);
                    row[2 * std::size_t(at) + 1] = uint8_t(v);
                } else if (form.Depth == 8) {
                    row[std::size_t(at)] = uint8_t(v);
                } else {
                    const int bit = at * form.Depth;
                    row[std::size_t(bit / 8)] |= uint8_t(v << (8 - form.Depth - bit % 8));
                }
            }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct JpegForm {
    const char* Name;
    J_COLOR_SPACE Input;
    J_COLOR_SPACE Stored;
    int H = 1, V = 1;  // sampling of the first component
    bool Progressive = false;
    bool Arithmetic = false;
    int Restart = 0;  // rows of MCUs between restart markers
    int Quality = 85;
    bool Exif = false;
};

Bytes EncodeJpeg(const JpegForm& form, int w, int h, int seed) {
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &memory, &size);
    encoder.image_width = JDIMENSION(w);
    encoder.image_height = JDIMENSION(h);
    encoder.input_components = form.Input == JCS_GRAYSCALE ? 1 : form.Input == JCS_CMYK ? 4 : 3;
    encoder.in_color_space = form.Input;
    jpeg_set_defaults(&encoder);
    jpeg_set_colorspace(&encoder, form.Stored);
    jpeg_set_quality(&encoder, form.Quality, TRUE);
    encoder.comp_info[0].h_samp_factor = form.H;
    encoder.comp_info[0].v_samp_factor = form.V;
    if (form.Progressive) jpeg_simple_progression(&encoder);
    encoder.arith_code = form.Arithmetic;
    encoder.restart_in_rows = form.Restart;
    jpeg_start_compress(&encoder, TRUE);
    if (form.Exif) {
        static const char exif[] = "Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06";
        jpeg_write_marker(&encoder, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif),
                          sizeof exif - 1);
    }
    Bytes row(std::size_t(w) * std::size_t(encoder.input_components));
    while (encoder.next_scanline < encoder.image_height) {
        const int y = int(encoder.next_scanline);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < encoder.input_components; ++c)
                row[std::size_t(x * encoder.input_components + c)] =
                    uint8_t(Sample(x / 3, y / 3, c, seed, 8));
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&encoder, &pointer, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    Bytes out(memory, memory + size);
    std::free(memory);
    return out;
}

}  // namespace

std::vector<CodecVariant> PngVariants(int w, int h, int seed) {
    const PngForm forms[] = {
        {"PNG RGB 8", PNG_COLOR_TYPE_RGB, 8},
        {"PNG RGB 8, gAMA and sBIT", PNG_COLOR_TYPE_RGB, 8, false, false, true},
        {"PNG RGB 8 with a tRNS key", PNG_COLOR_TYPE_RGB, 8, true},
        {"PNG RGB 16", PNG_COLOR_TYPE_RGB, 16},
        {"PNG RGBA 8", PNG_COLOR_TYPE_RGBA, 8},
        {"PNG RGBA 16", PNG_COLOR_TYPE_RGBA, 16},
        {"PNG grey 1", PNG_COLOR_TYPE_GRAY, 1},
        {"PNG grey 2 with a tRNS key", PNG_COLOR_TYPE_GRAY, 2, true},
        {"PNG grey 4", PNG_COLOR_TYPE_GRAY, 4},
        {"PNG grey 8", PNG_COLOR_TYPE_GRAY, 8},
        {"PNG grey 8 with a tRNS key", PNG_COLOR_TYPE_GRAY, 8, true},
        {"PNG grey 16", PNG_COLOR_TYPE_GRAY, 16},
        {"PNG grey 16 with a tRNS key", PNG_COLOR_TYPE_GRAY, 16, true},
        {"PNG grey and alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {"PNG grey and alpha 16", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
        {"PNG palette 1", PNG_COLOR_TYPE_PALETTE, 1},
        {"PNG palette 4 indexed past its end", PNG_COLOR_TYPE_PALETTE, 4, false, false, false,
         false, true},
        {"PNG palette 8 with tRNS, indexed past its end", PNG_COLOR_TYPE_PALETTE, 8, true, false,
         false, false, true},
        {"PNG palette 2 with tRNS", PNG_COLOR_TYPE_PALETTE, 2, true},
        {"PNG palette 4", PNG_COLOR_TYPE_PALETTE, 4},
        {"PNG palette 8", PNG_COLOR_TYPE_PALETTE, 8},
        {"PNG palette 8 with tRNS", PNG_COLOR_TYPE_PALETTE, 8, true},
        {"PNG RGBA 8 interlaced", PNG_COLOR_TYPE_RGBA, 8, false, true, false, false},
        {"PNG RGB 16 with a tRNS key", PNG_COLOR_TYPE_RGB, 16, true, false, false, false},
    };
    std::vector<CodecVariant> variants;
    for (const PngForm& form : forms)
        variants.push_back({form.Name, EncodePng(form, w, h, seed), form.Own});
    return variants;
}

std::vector<CodecVariant> JpegVariants(int w, int h, int seed) {
    const JpegForm forms[] = {
        {"JPEG 4:2:0", JCS_RGB, JCS_YCbCr, 2, 2},
        {"JPEG 4:2:2", JCS_RGB, JCS_YCbCr, 2, 1},
        {"JPEG 4:4:0", JCS_RGB, JCS_YCbCr, 1, 2},
        {"JPEG 4:4:4 at quality 100", JCS_RGB, JCS_YCbCr, 1, 1, false, false, 0, 100},
        {"JPEG 4:2:0 progressive", JCS_RGB, JCS_YCbCr, 2, 2, true},
        {"JPEG 4:2:0 arithmetic", JCS_RGB, JCS_YCbCr, 2, 2, false, true},
        {"JPEG 4:2:0 with restart markers", JCS_RGB, JCS_YCbCr, 2, 2, false, false, 1},
        {"JPEG 4:2:0 with Exif", JCS_RGB, JCS_YCbCr, 2, 2, false, false, 0, 85, true},
        {"JPEG stored as RGB", JCS_RGB, JCS_RGB},
        {"JPEG grey", JCS_GRAYSCALE, JCS_GRAYSCALE},
        {"JPEG grey progressive", JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, true},
    };
    std::vector<CodecVariant> variants;
    for (const JpegForm& form : forms)
        variants.push_back({form.Name, EncodeJpeg(form, w, h, seed)});
    for (const JpegForm& form :
         {JpegForm{"JPEG CMYK", JCS_CMYK, JCS_CMYK}, JpegForm{"JPEG YCCK", JCS_CMYK, JCS_YCCK}})
        variants.push_back({form.Name, EncodeJpeg(form, w, h, seed), false});
    return variants;
}

}  // namespace imagebytes
