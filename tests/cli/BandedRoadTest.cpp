// A picture reduced band by band gives the bytes and the error of the same
// file loaded whole, converted and saved: at every band size and thread share,
// for each stored form the banded road takes (plain BMP files, PNG and JPEG
// files through their decoders) and for sizes at the edges.

#include "BandPool.h"
#include "BandedReduction.h"
#include "CodecVariants.h"
#include "ImageBytes.h"
#include "PictureLoader.h"
#include "ReduceJob.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"
#include "mDither8bpp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

using namespace imagebytes;

// Smooth gradients with a little noise: many colours, so the palette and the
// dither both matter.
std::vector<std::vector<Rgb>> Picture(int w, int h, int seed) {
    std::vector<std::vector<Rgb>> rows(h, std::vector<Rgb>(w));
    uint32_t noise = 2463534242u + uint32_t(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            rows[y][x] = {uint8_t(x * 255 / std::max(w - 1, 1) ^ (noise & 7)),
                          uint8_t(y * 255 / std::max(h - 1, 1)), uint8_t((x + y + seed) * 7)};
        }
    return rows;
}

// The stored forms of a picture that are read band by band.
std::vector<std::pair<std::string, Bytes>> PlainForms(const std::vector<std::vector<Rgb>>& rows) {
    const int32_t w = int32_t(rows[0].size()), h = int32_t(rows.size());
    BmpLayout topDown{w, -h}, bgr0{w, h, 32}, fields{w, h, 32, 3, {}, {0xFF0000, 0xFF00, 0xFF}};
    fields.InfoSize = 124;
    for (const auto& row : rows) {
        for (const Rgb& c : row) topDown.Pixels.insert(topDown.Pixels.end(), {c.B, c.G, c.R});
        topDown.Pixels.resize((topDown.Pixels.size() + 3) / 4 * 4);
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        for (const Rgb& c : *row) bgr0.Pixels.insert(bgr0.Pixels.end(), {c.B, c.G, c.R, 0x5A});
    fields.Pixels = bgr0.Pixels;
    return {{"24-bit", Bmp24(rows)},
            {"24-bit top-down", BuildBmp(topDown)},
            {"32-bit", BuildBmp(bgr0)},
            {"32-bit bit fields, V5 header", BuildBmp(fields)}};
}

// PNG and JPEG variants decoded row by row, one for each way rows are passed
// over on the way to the palette's sample (each row decoded; JPEG row groups
// skipped, with the rows that shape the next ones blended in).
std::vector<std::pair<std::string, Bytes>> DecodedForms(int w, int h, int seed) {
    static const std::set<std::string> kTaken = {
        "PNG RGB 8",  "PNG palette 2 with tRNS", "JPEG 4:2:0",
        "JPEG 4:4:0", "JPEG 4:2:0 progressive",  "JPEG grey"};
    std::vector<std::pair<std::string, Bytes>> forms;
    std::vector<CodecVariant> variants = PngVariants(w, h, seed);
    for (CodecVariant& jpeg : JpegVariants(w, h, seed)) variants.push_back(std::move(jpeg));
    for (CodecVariant& variant : variants)
        if (kTaken.count(variant.Name)) forms.emplace_back(variant.Name, std::move(variant.File));
    return forms;
}

TEST(BandedRoad, GivesTheBytesAndTheErrorOfTheWholePicture) {
    mDither8bpp::InitDitherTables();
    const TempTree tree;
    const std::vector<std::pair<int, int>> sizes{{1, 1},    {1, 1000}, {1000, 1}, {151, 149},
                                                 {640, 37}, {3, 200},  {300, 301}};
    int seed = 0;
    for (const auto& [w, h] : sizes) {
        std::vector<std::pair<std::string, Bytes>> forms = PlainForms(Picture(w, h, seed++));
        for (auto& decoded : DecodedForms(w, h, seed)) forms.push_back(std::move(decoded));
        for (const auto& [form, file] : forms) {
            SCOPED_TRACE(testing::Message() << w << " x " << h << ", " << form);
            const std::string source = tree.Path("source.bmp");
            WriteFile(source, file);
            cDIB picture, reduced;
            ASSERT_NE(picture.CreateFromStdPicture(LoadPicture(source), true), 0);
            const RgbError wholeError = Convert(picture, reduced, {{}, true});
            reduced.Save(tree.Path("whole.bmp"));
            const Bytes whole = ReadFile(tree.Path("whole.bmp"));

            for (const unsigned threads : {1u, 2u})
                for (const int32_t bandRows : {1, 3, 0, h + 5}) {
                    SCOPED_TRACE(testing::Message()
                                 << threads << " threads, bands of " << bandRows);
                    const parallel::ScopedThreadShare share(threads, 1);
                    // A PNG's or JPEG's rows go through a temporary file where
                    // one can be made, else it is decoded twice: one way on each
                    // share.
                    ::setenv("TMPDIR", threads == 1 ? "" : "/nonexistent-folder", 1);
                    const std::unique_ptr<cBandedReduction> banded = cBandedReduction::Open(source);
                    ASSERT_TRUE(banded);
                    banded->ReadSample();
                    banded->Plan();
                    const RgbError error = banded->Write(tree.Path("banded.bmp"), true, bandRows);
                    EXPECT_EQ(banded->FileBytes(), whole.size());
                    ::unsetenv("TMPDIR");
                    ASSERT_EQ(ReadFile(tree.Path("banded.bmp")), whole);
                    EXPECT_EQ(error.SumOfSquares, wholeError.SumOfSquares);
                    EXPECT_EQ(error.Values, wholeError.Values);
                }
            // pixolune-cli's road takes the bands for BMP output in the exact mapping.
            const ReduceResult result =
                ReduceFile(source, tree.Path("road.bmp"), OutputType::BMP, 85, {}, {{}, true});
            EXPECT_EQ(result.Status, ReduceStatus::Written) << result.Message;
            EXPECT_EQ(ReadFile(tree.Path("road.bmp")), whole);
            EXPECT_EQ(result.Error.SumOfSquares, wholeError.SumOfSquares);
            EXPECT_EQ(result.BytesOut, whole.size());
        }
    }
}

// Cuts the file to half its length once the reader has checked it.
void CutWhenChecked(LoadStage stage, const std::string& path) {
    if (stage == LoadStage::Checked)
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
}

// Files the banded road does not take are loaded whole; files it refuses
// fail as the whole load fails them, also when the file is cut only while its
// bands are read, with nothing written.
TEST(BandedRoad, TakesWhatItCanReadInBandsAndRefusesAsTheLoaderDoes) {
    const TempTree tree;
    const Bytes plain = Bmp24(Picture(400, 300, 1));
    Bytes cut = plain;
    cut.resize(54 + 400 * 3 * 12);
    BmpLayout eightBit{4, 4, 8, 0, std::vector<Rgb>(256), {}, Bytes(16, 7)};
    const std::vector<CodecVariant> pngs = PngVariants(400, 300, 1),
                                    jpegs = JpegVariants(400, 300, 1);
    const Bytes& png = pngs.front().File;
    const Bytes& jpeg = jpegs.front().File;
    const Bytes& interlaced = pngs[pngs.size() - 2].File;
    const Bytes& progressive = jpegs[4].File;
    const auto cutTo = [](const Bytes& file, std::size_t size) {
        return Bytes(file.begin(), file.begin() + std::ptrdiff_t(size));
    };
    const struct {
        const char* What;
        Bytes File;
        LoadHook Hook;
        const char* Reason;  // of a refusal by ReduceFile; "" when written
    } cases[] = {
        {"a plain 24-bit BMP", plain, nullptr, ""},
        {"an 8-bit BMP: loaded whole", BuildBmp(eightBit), nullptr, ""},
        {"a PNG", png, nullptr, ""},
        {"an interlaced PNG: loaded whole", interlaced, nullptr, ""},
        {"a progressive JPEG", progressive, nullptr, ""},
        {"a cut BMP", cut, nullptr, "the file ends before its pixel data does"},
        {"a BMP cut while its bands are read", plain, CutWhenChecked,
         "the file ends before its pixel data does"},
        {"a PNG cut in its pixels", cutTo(png, png.size() / 2), nullptr,
         "the file ends before its pixel data does"},
        {"a PNG without its end chunk", cutTo(png, png.size() - 12), nullptr,
         "the file ends before its pixel data does"},
        {"a JPEG cut in its pixels", cutTo(jpeg, jpeg.size() * 2 / 3), nullptr,
         "the file ends before its pixel data does"},
        {"a JPEG without its end marker", cutTo(jpeg, jpeg.size() - 2), nullptr,
         "the file ends before its pixel data does"},
        {"a progressive JPEG cut in its last scan", cutTo(progressive, progressive.size() - 40),
         nullptr, "the file ends before its pixel data does"},
        {"a PNG cut while its bands are read", png, CutWhenChecked,
         "the file ends before its pixel data does"},
        {"a JPEG cut while its bands are read", jpeg, CutWhenChecked,
         "the file ends before its pixel data does"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string source = tree.Path("in.bmp"), output = tree.Path("out.bmp");
        WriteFile(source, c.File);
        SetLoadHookForTesting(c.Hook);
        const ReduceResult result = ReduceFile(source, output, OutputType::BMP, 85);
        SetLoadHookForTesting(nullptr);
        if (*c.Reason == 0) {
            EXPECT_EQ(result.Status, ReduceStatus::Written) << result.Message;
            std::filesystem::remove(output);
            continue;
        }
        EXPECT_EQ(result.Status, ReduceStatus::Failed);
        EXPECT_EQ(result.FailedStep, ReduceStep::Load);
        EXPECT_NE(result.Reason.find(c.Reason), std::string::npos) << result.Reason;
        EXPECT_FALSE(std::filesystem::exists(output));
    }

    // Cut once the sample is taken: a band's read fails, as a failure of the source.
    for (const Bytes* file : {&plain, &png, &jpeg}) {
        const std::string source = tree.Path("late.bmp"), output = tree.Path("late-out.bmp");
        WriteFile(source, *file);
        const std::unique_ptr<cBandedReduction> banded = cBandedReduction::Open(source);
        ASSERT_TRUE(banded);
        banded->ReadSample();
        banded->Plan();
        std::filesystem::resize_file(source, file->size() / 2);
        EXPECT_THROW(banded->Write(output, false), cError);
        EXPECT_TRUE(banded->SourceFailed());
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

}  // namespace
