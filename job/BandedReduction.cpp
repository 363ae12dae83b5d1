#include "BandedReduction.h"

#include "BandSource.h"
#include "PaletteSample.h"
#include "ReduceJob.h"
#include "SerialWorker.h"
#include "mDither8bpp.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

cBandedReduction::cBandedReduction() = default;
cBandedReduction::~cBandedReduction() = default;

std::unique_ptr<cBandedReduction> cBandedReduction::Open(const std::string& path,
                                                         int64_t maxPixels) {
    std::unique_ptr<cBandSource> bands = OpenBandSource(path, maxPixels);
    if (!bands) return nullptr;
    std::unique_ptr<cBandedReduction> reduction(new cBandedReduction);
    reduction->path_ = path;
    reduction->bands_ = std::move(bands);
    return reduction;
}

int32_t cBandedReduction::Width() const { return bands_->Width(); }
int32_t cBandedReduction::Height() const { return bands_->Height(); }

uint64_t cBandedReduction::FileBytes() const { return ReducedBmpBytes(Width(), Height()); }

template <typename Step>
void cBandedReduction::FromSource(const Step& step) {
    try {
        step();
    } catch (...) {
        sourceFailed_ = true;
        throw;
    }
}

void cBandedReduction::Read(int32_t first, int32_t count, uint8_t* pixels) {
    FromSource([&] { bands_->Read(first, count, pixels); });
}

mDither8bpp::PictureRows cBandedReduction::Rows() {
    const auto read = [this](int32_t first, int32_t count, uint8_t* pixels) {
        Read(first, count, pixels);
    };
    return {read, bands_->ReadsAtOnce()};
}

void cBandedReduction::ReadSample() {
    if (!mDither8bpp::TakePaletteSample(Width(), Height(), Rows(), sample_)) RaiseNoMemory(path_);
}

void cBandedReduction::Plan(mDither8bpp::Mapping mapping) {
    plan_ = std::make_unique<mDither8bpp::cDitherPlan>(
        mDither8bpp::cDitherPlan::FromRows(Width(), Height(), sample_, Rows(), mapping));
    sample_.Destroy();
}

size_t cBandedReduction::TargetStride() const { return (static_cast<size_t>(Width()) + 3) / 4 * 4; }

int32_t cBandedReduction::BandRows(int32_t bandRows) const {
    if (bandRows <= 0)
        bandRows = static_cast<int32_t>(std::clamp<int64_t>(kBandPixels / Width(), 1, Height()));
    return std::min(bandRows, Height());
}

RgbError cBandedReduction::DitherBands(int32_t bandRows, BandOrder order, bool measure,
                                       const BandSink& put) {
    const int32_t width = Width(), height = Height();
    bandRows = BandRows(bandRows);
    const size_t targetStride = TargetStride();
    struct Band {
        int32_t First, Count;
    };
    const auto bandAt = [&](int32_t done) {
        const int32_t count = std::min(bandRows, height - done);
        return Band{order == BandOrder::BottomUp ? done : height - done - count, count};
    };
    // Bands are read up to two ahead of the one being dithered, and handed
    // on to put up to two behind it, each in a buffer of its own: the file's
    // reading and writing share one core and keep it busy, the dither has
    // the other, and neither waits for the other's every band.
    constexpr int32_t kAhead = 2;
    std::array<std::vector<uint8_t>, kAhead + 1> sources, targets;
    for (std::vector<uint8_t>& source : sources)
        source.resize(4 * static_cast<size_t>(width) * static_cast<size_t>(bandRows));
    for (std::vector<uint8_t>& target : targets)
        target.resize(targetStride * static_cast<size_t>(bandRows));
    const auto buffer = [](auto& buffers, int32_t band) {
        return buffers[static_cast<size_t>(band % (kAhead + 1))].data();
    };
    RgbError error;
    // Destroyed before the buffers, each waiting for the steps it has in hand.
    parallel::cSerialWorker writer(kAhead), reader(kAhead);
    const int32_t bands = (height + bandRows - 1) / bandRows;
    // Into the buffer of the band before the one being dithered, or a fresh one.
    const auto readAhead = [&](int32_t band) {
        if (band >= bands) return;
        const Band rows = bandAt(band * bandRows);
        uint8_t* pixels = buffer(sources, band);
        reader.Run([this, rows, pixels] { bands_->Read(rows.First, rows.Count, pixels); });
    };
    for (int32_t band = 0; band < kAhead; ++band) readAhead(band);
    for (int32_t band = 0; band < bands; ++band) {
        const Band rows = bandAt(band * bandRows);
        FromSource([&] { reader.WaitFor(static_cast<uint64_t>(band) + 1); });
        readAhead(band + kAhead);
        // Its buffer's last band was written before the band before this
        // one was handed on: the writer holds at most kAhead.
        uint8_t* target = buffer(targets, band);
        const RgbError dithered = plan_->DitherRows(buffer(sources, band), target, targetStride,
                                                    width, rows.First, rows.Count, measure);
        error.SumOfSquares += dithered.SumOfSquares;
        error.Values += dithered.Values;
        writer.Run([&put, target, rows] { put(target, rows.First, rows.Count); });
    }
    writer.Wait();
    return error;
}

RgbError cBandedReduction::Write(const std::string& path, bool measure, int32_t bandRows) {
    const size_t targetStride = TargetStride();
    const BITMAPINFOHEADER info = BmpInfoHeader(Width(), Height(), 8);
    const std::vector<uint8_t> head =
        BmpFileHead(info, std::span<const uint8_t>(plan_->ColourTable(), 1024),
                    targetStride * static_cast<uint64_t>(Height()));
    cBmpFileWriter file(path, head);
    // Memory rows bottom-up are the file's rows in order; a source that
    // gives its top rows first has each band written at its place instead
    // (holding the rows to turn them over would hold the whole reduction).
    const BandOrder order = bands_->FromTop() ? BandOrder::TopDown : BandOrder::BottomUp;
    const RgbError error = DitherBands(
        bandRows, order, measure, [&](const uint8_t* rows, int32_t first, int32_t count) {
            file.WriteAt(rows, targetStride * static_cast<size_t>(count),
                         head.size() + targetStride * static_cast<uint64_t>(first));
        });
    FromSource([&] { bands_->RequireUnchanged(); });
    file.Commit();
    return error;
}

cBandedReduction::cJPG cBandedReduction::EncodeJPG(uint8_t quality, bool measure,
                                                   int32_t bandRows) {
    const size_t targetStride = TargetStride();
    cJpegEncoder encoder(Width(), Height(), quality, JpegPixels::Indexed, plan_->ColourTable());
    const auto encode = [&](const uint8_t* rows, int32_t, int32_t count) {
        // The band's top row is its last memory row.
        encoder.WriteRows(rows + static_cast<size_t>(count - 1) * targetStride,
                          -static_cast<std::ptrdiff_t>(targetStride), count);
    };
    cJPG jpeg;
    jpeg.Error = DitherBands(bandRows, BandOrder::TopDown, measure, encode);
    FromSource([&] { bands_->RequireUnchanged(); });
    jpeg.Bytes = encoder.Finish();
    return jpeg;
}
