// How close a reduced picture is to its source: PSNR over red, green and
// blue, and SSIM on luma (BT.601 weights; the 11 x 11 Gaussian window of
// sigma 1.5 and the constants of Wang et al., over the positions where the
// window fits). Both files are read with the program's own loader.
//
//   quality_measure SOURCE REDUCED   prints "PSNR_dB SSIM"; PSNR "inf" when equal

#include "PictureLoader.h"
#include "RgbError.h"
#include "cDIB.h"
#include "cError.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr int kWindow = 11;

std::array<double, kWindow> GaussianWeights() {
    std::array<double, kWindow> w{};
    double sum = 0;
    for (int i = 0; i < kWindow; ++i) {
        const double d = i - kWindow / 2;
        sum += w[i] = std::exp(-d * d / (2 * 1.5 * 1.5));
    }
    for (double& v : w) v /= sum;
    return w;
}

double Luma(const uint8_t* p) { return 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]; }

// Rows are filtered across first, kept in a ring of the last 11, then down:
// the memory stays a few rows, whatever the picture's size.
double SsimOfLuma(const cDIB& a, const cDIB& b) {
    const int w = a.Width(), h = a.Height();
    if (w < kWindow || h < kWindow) return 1.0;  // no window fits: nothing to tell
    const std::array<double, kWindow> g = GaussianWeights();
    const int outW = w - kWindow + 1;
    constexpr int kMoments = 5;  // x, y, x², y², xy
    std::vector<double> ring(static_cast<size_t>(kWindow) * kMoments * outW);
    std::vector<double> lx(w), ly(w);
    const double c1 = std::pow(0.01 * 255, 2), c2 = std::pow(0.03 * 255, 2);
    double total = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            lx[x] = Luma(a.lpBits() + 4 * (size_t(y) * w + x));
            ly[x] = Luma(b.lpBits() + 4 * (size_t(y) * w + x));
        }
        double* row = &ring[size_t(y % kWindow) * kMoments * outW];
        for (int x = 0; x < outW; ++x) {
            double m[kMoments] = {};
            for (int i = 0; i < kWindow; ++i) {
                const double u = lx[x + i], v = ly[x + i];
                m[0] += g[i] * u, m[1] += g[i] * v, m[2] += g[i] * u * u, m[3] += g[i] * v * v,
                    m[4] += g[i] * u * v;
            }
            for (int k = 0; k < kMoments; ++k) row[size_t(k) * outW + x] = m[k];
        }
        if (y < kWindow - 1) continue;
        for (int x = 0; x < outW; ++x) {
            double m[kMoments] = {};
            for (int i = 0; i < kWindow; ++i) {
                const double* r = &ring[size_t((y - kWindow + 1 + i) % kWindow) * kMoments * outW];
                for (int k = 0; k < kMoments; ++k) m[k] += g[i] * r[size_t(k) * outW + x];
            }
            const double vx = m[2] - m[0] * m[0], vy = m[3] - m[1] * m[1], cov = m[4] - m[0] * m[1];
            total += (2 * m[0] * m[1] + c1) * (2 * cov + c2) /
                     ((m[0] * m[0] + m[1] * m[1] + c1) * (vx + vy + c2));
        }
    }
    return total / (double(outW) * (h - kWindow + 1));
}

RgbError ErrorOverRgb(const cDIB& a, const cDIB& b) {
    RgbError e;
    const size_t pixels = size_t(a.Width()) * a.Height();
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
            const int d = a.lpBits()[4 * i + c] - b.lpBits()[4 * i + c];
            e.SumOfSquares += uint64_t(d * d);
        }
    e.Values = 3 * pixels;
    return e;
}

void Load(const char* path, cDIB& image) {
    if (image.CreateFromStdPicture(LoadPicture(path), true) == 0)
        throw cError(ErrorNumber::InvalidCall, std::string("cannot load ") + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quality_measure SOURCE REDUCED\n");
        return 2;
    }
    try {
        cDIB source, reduced;
        Load(argv[1], source);
        Load(argv[2], reduced);
        if (source.Width() != reduced.Width() || source.Height() != reduced.Height()) {
            std::fprintf(stderr, "quality_measure: the pictures differ in size\n");
            return 1;
        }
        const double psnr = ErrorOverRgb(source, reduced).Psnr();
        if (std::isinf(psnr))
            std::printf("inf %.6f\n", SsimOfLuma(source, reduced));
        else
            std::printf("%.4f %.6f\n", psnr, SsimOfLuma(source, reduced));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quality_measure: %s\n", error.what());
        return 1;
    }
    return 0;
}
