#include "BandedReduction.h"

#include "BmpBands.h"
#include "PaletteSample.h"
#include "ReduceJob.h"
#include "mDither8bpp.h"

#include <algorithm>
#include <span>
#include <vector>

cBandedReduction::cBandedReduction() = default;
cBandedReduction::~cBandedReduction() = default;

std::unique_ptr<cBandedReduction> cBandedReduction::Open(const std::string& path,
                                                         int64_t maxPixels) {
    std::unique_ptr<cBmpBands> bands = cBmpBands::Open(path, maxPixels);
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

void cBandedReduction::ReadSample() {
    const auto rows = [this](int32_t first, int32_t count, uint8_t* pixels) {
        Read(first, count, pixels);
    };
    if (!mDither8bpp::TakePaletteSample(Width(), Height(), rows, sample_)) RaiseNoMemory(path_);
}

void cBandedReduction::Plan(mDither8bpp::Mapping mapping) {
    const auto rows = [this](int32_t first, int32_t count, uint8_t* pixels) {
        Read(first, count, pixels);
    };
    plan_ = std::make_unique<mDither8bpp::cDitherPlan>(
        mDither8bpp::cDitherPlan::FromRows(Width(), Height(), sample_, rows, mapping));
    sample_.Destroy();
}

RgbError cBandedReduction::Write(const std::string& path, bool measure, int32_t bandRows) {
    const int32_t width = Width(), height = Height();
    if (bandRows <= 0)
        bandRows = static_cast<int32_t>(std::clamp<int64_t>(kBandPixels / width, 1, height));
    bandRows = std::min(bandRows, height);
    const size_t targetStride = (static_cast<size_t>(width) + 3) / 4 * 4;
    std::vector<uint8_t> source(4 * static_cast<size_t>(width) * static_cast<size_t>(bandRows));
    std::vector<uint8_t> target(targetStride * static_cast<size_t>(bandRows));

    const BITMAPINFOHEADER info = BmpInfoHeader(width, height, 8);
    cBmpFileWriter file(path,
                        BmpFileHead(info, std::span<const uint8_t>(plan_->ColourTable(), 1024),
                                    targetStride * static_cast<uint64_t>(height)));
    RgbError error;
    // Memory rows bottom-up are the file's rows in order.
    for (int32_t first = 0; first < height; first += bandRows) {
        const int32_t count = std::min(bandRows, height - first);
        Read(first, count, source.data());
        const RgbError band = plan_->DitherRows(source.data(), target.data(), targetStride, width,
                                                first, count, measure);
        error.SumOfSquares += band.SumOfSquares;
        error.Values += band.Values;
        file.Write(target.data(), targetStride * static_cast<size_t>(count));
    }
    FromSource([&] { bands_->RequireUnchanged(); });
    file.Commit();
    return error;
}
