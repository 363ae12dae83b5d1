// A picture reduced band by band gives the bytes (of the BMP and of the JPEG)
// and the error of the same file loaded whole, converted and saved: in both
// mappings, at every band size and thread share, for each stored form the
// banded road takes (plain BMP files, PNG and JPEG files through their
// decoders) and for sizes at the edges.

#include "BandPool.h"
#include "BandedReduction.h"
#include "CodecVariants.h"
#include "ImageBytes.h"
#include "PictureLoader.h"
#include "ReduceJob.h"
#include "SaveAsJPG.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"
#include "mDither8bpp.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>

namespace {

using namespace imagebytes;

// Smooth gradients with a little noise: many colours, so the palette and the
// dither both matter.
std::vector<std::vector<Rgb>> Picture(int w, int h, int seed, bool fewColours = false) {
    std::vector<std::vector<Rgb>> rows(h, std::vector<Rgb>(w));
    uint32_t noise = 2463534242u + uint32_t(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            rows[y][x] = {uint8_t(x * 255 / std::max(w - 1, 1) ^ (noise & 7)),
                          uint8_t(y * 255 / std::max(h - 1, 1)), uint8_t((x + y + seed) * 7)};
            // 4 x 8 x 8 levels: a picture the fine mapping keeps as it is.
            if (fewColours)
                rows[y][x] = {uint8_t(rows[y][x].R & 0xC0), uint8_t(rows[y][x].G & 0xE0),
                              uint8_t(rows[y][x].B & 0xE0)};
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
    static const std::set<std::string> kTaken = {"PNG palette 2 with tRNS", "JPEG 4:2:0",
                                                 "JPEG 4:4:0", "JPEG grey progressive"};
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
    // The last one has few colours, read in more than one go.
    const struct {
        int W, H;
        bool Few = false;
    } sizes[] = {{1, 1},    {1, 1000}, {1000, 1},  {151, 149},
                 {640, 37}, {3, 200},  {300, 301}, {400, 300, true}};
    int seed = 0;
    for (const auto& [w, h, few] : sizes) {
        std::vector<std::pair<std::string, Bytes>> forms = PlainForms(Picture(w, h, seed++, few));
        for (auto& decoded : DecodedForms(w, h, seed)) forms.push_back(std::move(decoded));
        for (const auto& [form, file] : forms)
            for (const mDither8bpp::Mapping mapping :
                 {mDither8bpp::Mapping::Exact, mDither8bpp::Mapping::Fine}) {
                SCOPED_TRACE(testing::Message() << w << " x " << h << ", " << form << ", "
                                                << mDither8bpp::MappingName(mapping));
                const std::string source = tree.Path("source.bmp");
                WriteFile(source, file);
                cDIB picture, reduced;
                ASSERT_NE(picture.CreateFromStdPicture(LoadPicture(source), true), 0);
                const RgbError wholeError = Convert(picture, reduced, {mapping, true});
                reduced.Save(tree.Path("whole.bmp"));
                const Bytes whole = ReadFile(tree.Path("whole.bmp"));
                const cJPGBytes wholeJpeg = EncodeJPG(reduced, 85);
                const Bytes wholeJpg(wholeJpeg.Data.get(), wholeJpeg.Data.get() + wholeJpeg.Size);

                for (const unsigned threads : {1u, 2u})
                    for (const int32_t bandRows : {1, 3, 0, h + 5}) {
                        // What the fine mapping adds is its plan, the same
                        // at any band size: one band choice for each way of
                        // reading a PNG or JPEG is enough for it.
                        if (mapping == mDither8bpp::Mapping::Fine &&
                            bandRows != (threads == 1 ? 3 : 0))
                            continue;
                        // Each band is handed from thread to thread: a
                        // thousand one-row bands tell no more than 301 do.
                        if (bandRows == 1 && h > 400) continue;
                        SCOPED_TRACE(testing::Message()
                                     << threads << " threads, bands of " << bandRows);
                        const parallel::ScopedThreadShare share(threads, 1);
                        // A PNG's or JPEG's rows go through a temporary file
                        // where one can be made, else it is decoded twice: one
                        // way on each share.
                        ::setenv("TMPDIR", threads == 1 ? "" : "/nonexistent-folder", 1);
                        const std::unique_ptr<cBandedReduction> banded =
                            cBandedReduction::Open(source);
                        ASSERT_TRUE(banded);
                        banded->ReadSample();
                        banded->Plan(mapping);
                        const RgbError error =
                            banded->Write(tree.Path("banded.bmp"), true, bandRows);
                        EXPECT_EQ(banded->FileBytes(), whole.size());
                        ASSERT_EQ(ReadFile(tree.Path("banded.bmp")), whole);
                        EXPECT_EQ(error.SumOfSquares, wholeError.SumOfSquares);
                        EXPECT_EQ(error.Values, wholeError.Values);

                        const cBandedReduction::cJPG jpeg = banded->EncodeJPG(85, true, bandRows);
                        ASSERT_EQ(
                            Bytes(jpeg.Bytes.Data.get(), jpeg.Bytes.Data.get() + jpeg.Bytes.Size),
                            wholeJpg);
                        EXPECT_EQ(jpeg.Error.SumOfSquares, wholeError.SumOfSquares);
                        ::unsetenv("TMPDIR");
                    }
                // pixolune-cli's road takes the bands; its size check sees the
                // size of the file it would write, before writing it.
                for (const auto& [type, name, output] :
                     {std::tuple{OutputType::BMP, "road.bmp", &whole},
                      std::tuple{OutputType::JPG, "road.jpg", &wholeJpg}})
                    for (const bool allowed : {false, true}) {
                        // A refusal goes the same way in both mappings.
                        if (mapping == mDither8bpp::Mapping::Fine && !allowed) continue;
                        SCOPED_TRACE(testing::Message() << name << (allowed ? "" : ", refused"));
                        uint64_t checked = 0;
                        const ReduceResult result = ReduceFile(source, tree.Path(name), type, 85,
                                                               [&](const ReduceResult& planned) {
                                                                   checked = planned.BytesOut;
                                                                   return allowed;
                                                               },
                                                               {mapping, true});
                        EXPECT_EQ(checked, output->size());
                        EXPECT_EQ(result.BytesOut, output->size());
                        if (!allowed) {
                            EXPECT_EQ(result.Status, ReduceStatus::Skipped);
                            EXPECT_FALSE(std::filesystem::exists(tree.Path(name)));
                            continue;
                        }
                        EXPECT_EQ(result.Status, ReduceStatus::Written) << result.Message;
                        EXPECT_EQ(ReadFile(tree.Path(name)), *output);
                        EXPECT_EQ(result.Error.SumOfSquares, wholeError.SumOfSquares);
                        std::filesystem::remove(tree.Path(name));
                    }
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
    // The fine mapping reads no sample: its first rows are read for its palette.
    using mDither8bpp::Mapping;
    for (const auto& [type, mapping] : {std::pair{OutputType::BMP, Mapping::Exact},
                                        {OutputType::JPG, Mapping::Exact},
                                        {OutputType::BMP, Mapping::Fine}})
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.What << (type == OutputType::JPG ? ", JPEG" : "")
                                            << (mapping == Mapping::Fine ? ", fine" : ""));
            const std::string source = tree.Path("in.bmp"), output = tree.Path("out");
            WriteFile(source, c.File);
            SetLoadHookForTesting(c.Hook);
            ReduceChoice choice;
            choice.Mapping = mapping;
            const ReduceResult result = ReduceFile(source, output, type, 85, {}, choice);
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

    // Cut once the sample is taken: a band's read fails, as a failure of the
    // source, whether the bands go to a file or to the encoder.
    const std::string source = tree.Path("late.bmp"), output = tree.Path("late-out.bmp");
    for (const Bytes* file : {&plain, &png, &jpeg})
        for (const bool toJpeg : {false, true}) {
            WriteFile(source, *file);
            const std::unique_ptr<cBandedReduction> banded = cBandedReduction::Open(source);
            ASSERT_TRUE(banded);
            banded->ReadSample();
            banded->Plan(mDither8bpp::Mapping::Exact);
            std::filesystem::resize_file(source, file->size() / 2);
            if (toJpeg)
                EXPECT_THROW(banded->EncodeJPG(85, false), cError);
            else
                EXPECT_THROW(banded->Write(output, false), cError);
            EXPECT_TRUE(banded->SourceFailed());
            EXPECT_FALSE(std::filesystem::exists(output));
        }
}

// A write that fails part-way (at the file-size limit, as on a full disk)
// fails the file at its writing whichever band it reaches, and leaves nothing.
TEST(BandedRoad, AWriteThatFailsPartWayFailsTheWritingAndLeavesNothing) {
    const TempTree tree;
    const std::string source = tree.Path("in.bmp");
    WriteFile(source, Bmp24(Picture(400, 300, 3)));  // 8-bit output: 121078 bytes
    const std::unique_ptr<cBandedReduction> banded = cBandedReduction::Open(source);
    ASSERT_TRUE(banded);
    banded->ReadSample();
    banded->Plan(mDither8bpp::Mapping::Exact);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ReduceResult result = ReduceFile(source, tree.Path("road.bmp"), OutputType::BMP, 85);
    std::string bandsFailure;
    try {
        banded->Write(tree.Path("bands.bmp"), false, 1);
    } catch (const cError& error) {
        bandsFailure = error.Reason();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.Status, ReduceStatus::Failed);
    EXPECT_EQ(result.FailedStep, ReduceStep::Write);
    EXPECT_EQ(result.Reason, "File too large");
    EXPECT_EQ(bandsFailure, "File too large");
    EXPECT_FALSE(banded->SourceFailed());
    EXPECT_EQ(NamesIn(tree.Root()), std::vector<std::string>{"in.bmp"});
}

}  // namespace
