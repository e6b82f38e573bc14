#include "encoder/MaskingModel.h"

#include <cmath>
#include <iostream>

#include "common/BandKernels.h"
#include "common/BandTable.h"
#include "common/Fatal.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

using L = Lanes<kPortableLanes>;
using Real = L::Real;

// Each bin's power as the threshold is defined on it: the square of the
// square root, not re² + im² itself, for the two can differ in the last bit.
struct PowerKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* re, const double* im, double* power) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        constexpr double kPerBin = 0.0038910505836575876;  // ÷ 257
        std::size_t i = 0;
        for (; i + N <= kCodedBins; i += N) {
            Real r, m;
            L::load(r, re + i);
            L::load(m, im + i);
            const Real p = r * r + m * m;
            // WATCHOUT: this becomes one vector square root only where the
            // compiler may ignore errno (-fno-math-errno, set for this
            // library); otherwise every lane is a scalar root with a test and
            // a library call. Either way the value is the correctly rounded root.
            Real magnitude = {};
            for (int lane = 0; lane < N; ++lane) magnitude[lane] = std::sqrt(p[lane]);
            L::store(power + i, magnitude * magnitude * kPerBin);
        }
        for (; i < kCodedBins; ++i) {
            const double magnitude = std::sqrt(re[i] * re[i] + im[i] * im[i]);
            power[i] = magnitude * magnitude * kPerBin;
        }
    }
};

}  // namespace

MaskingModel::MaskingModel(double attenuationFactor) : power_{}, attenuation_(attenuationFactor) {
    if (attenuation_ > 1) fail(std::cerr, "Daempning til maskering skal v\xE6re mindre eller lig 1");
}

void MaskingModel::apply(double* re, double* im) {
    computePower(re, im);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::int32_t first = kBands.first[band];
        const std::int32_t last = kBands.last(band);
        if (last - first <= 2) continue;  // a band needs inner bins on both sides of a peak
        const std::int32_t peak = findPeak(first, last);
        if (peak == first || peak == last) continue;
        const double p = power_[peak];
        const std::int32_t dl = peak - first;
        const std::int32_t dr = last - peak;
        const double slope = dl <= dr ? p / dl : p / dr;
        maskRamp(re, im, slope, peak, first, peak);
        maskRamp(re, im, -slope, peak, peak, last);
    }
}

void MaskingModel::computePower(const double* re, const double* im) {
    runOnVectorPath<PowerKernel>(re, im, power_.data());
}

std::int32_t MaskingModel::findPeak(std::int32_t first, std::int32_t last) const {
    // The end bins never win; of equal maxima the later does (">="). If no
    // inner bin reaches 0 (all NaN), the first bin comes back: no peak.
    //
    // That is the last inner bin holding the largest power, or the first bin
    // when none holds a number (powers are never negative, nor −0). Taking
    // the maximum first and then looking for it from the end compares as
    // the scan does, without a branch on every bin that the data decides.
    const double best = BandKernels<kPortableLanes>::largest(Values{power_.data()}, first + 1, last);
    for (std::int32_t i = last - 1; i > first; --i) {
        if (power_[i] == best) return i;
    }
    return first;
}

void MaskingModel::maskRamp(double* re, double* im, double rampSlope, std::int32_t peakBin,
                            std::int32_t first, std::int32_t last) const {
    // Several bins at a time, each with its own threshold formed exactly as alone.
    Real slopes, top, factor, step, distance = {};
    L::splat(slopes, rampSlope), L::splat(top, power_[peakBin]), L::splat(factor, attenuation_);
    L::splat(step, L::count);
    for (int lane = 0; lane < L::count; ++lane) distance[lane] = first + lane - peakBin;
    const Real zero = {};
    std::int32_t i = first;
    for (; i + L::count - 1 <= last; i += L::count, distance = distance + step) {
        Real r, m, p;
        L::load(r, re + i);
        L::load(m, im + i);
        L::load(p, &power_[i]);
        const L::Mask masked = (distance * slopes + top) * factor > p;
        L::store(re + i, masked ? zero : r);
        L::store(im + i, masked ? zero : m);
    }
    for (; i <= last; ++i) {
        const double threshold = ((i - peakBin) * rampSlope + power_[peakBin]) * attenuation_;
        if (threshold > power_[i]) {
            re[i] = 0.0;
            im[i] = 0.0;
        }
    }
}

}  // namespace zarn
