#include "encoder/QuietThreshold.h"

#include <array>
#include <cstdint>

#include <emmintrin.h>  // SSE2, part of the x86-64 baseline

#include "common/Types.h"
#include "encoder/LevelWindow.h"

namespace zarn {

namespace {

// Threshold in quiet per band, in dB, used exactly as measured (band 10 lies
// above band 9).
constexpr std::array<double, kBandCount> kThresholdDb = {
    18.7104,  12.4279,  9.48203,  7.72302,  6.56034,  5.71652,   4.54787,
    3.73927,  3.09649,  2.52837,  2.97067,  1.06549,  0.0224146, -1.58687,
    -3.59372, -4.85223, -4.98325, -4.54257, -1.50408, 1.15247,   2.4992,
    4.24211,  8.80713,  21.3449,  57.5484};

// Per bin, the powers below which its level is certainly at or under its
// band's threshold (the bin goes), and above which it is certainly over it
// (the bin stays); between them the level is evaluated.
struct BinWindows {
    std::array<double, kCodedBins> removeBelow;
    std::array<double, kCodedBins> keepAbove;
    std::array<std::uint8_t, kCodedBins> band;

    BinWindows() {
        std::size_t bin = 0;
        for (std::size_t b = 0; b < kBandCount; ++b) {
            const double threshold = kThresholdDb[b];
            const LevelWindow window =
                LevelWindow::find([threshold](double level) { return !(level <= threshold); });
            for (std::size_t end = bin + kBandWidths[b]; bin < end; ++bin) {
                removeBelow[bin] = window.low();
                keepAbove[bin] = window.high();
                band[bin] = static_cast<std::uint8_t>(b);
            }
        }
    }
};

const BinWindows& binWindows() {
    static const BinWindows windows;
    return windows;
}

// One bin the long way, for powers too close to the threshold to decide
// otherwise (and for NaN).
inline void decideByLevel(double* re, double* im, std::size_t bin, const BinWindows& windows) {
    const double p = re[bin] * re[bin] + im[bin] * im[bin];
    if (p > windows.keepAbove[bin]) return;
    if (p < windows.removeBelow[bin] || levelOfPower(p) <= kThresholdDb[windows.band[bin]]) {
        re[bin] = 0.0;
        im[bin] = 0.0;
    }
}

}  // namespace

QuietThreshold::QuietThreshold() { binWindows(); }

void QuietThreshold::apply(double* re, double* im) const {
    const BinWindows& windows = binWindows();
    std::size_t bin = 0;
    // Two bins at a time; a pair with a bin near its threshold goes the long way.
    for (; bin + 2 <= kCodedBins; bin += 2) {
        const __m128d r = _mm_loadu_pd(re + bin), m = _mm_loadu_pd(im + bin);
        const __m128d p = _mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(m, m));
        const __m128d remove = _mm_cmplt_pd(p, _mm_loadu_pd(&windows.removeBelow[bin]));
        const __m128d keep = _mm_cmpgt_pd(p, _mm_loadu_pd(&windows.keepAbove[bin]));
        if (_mm_movemask_pd(_mm_or_pd(remove, keep)) != 3) {
            decideByLevel(re, im, bin, windows);
            decideByLevel(re, im, bin + 1, windows);
            continue;
        }
        _mm_storeu_pd(re + bin, _mm_andnot_pd(remove, r));
        _mm_storeu_pd(im + bin, _mm_andnot_pd(remove, m));
    }
    for (; bin < kCodedBins; ++bin) decideByLevel(re, im, bin, windows);
}

}  // namespace zarn
