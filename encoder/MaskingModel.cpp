#include "encoder/MaskingModel.h"

#include <cmath>
#include <iostream>

#include <emmintrin.h>  // SSE2, part of the x86-64 baseline

#include "common/Fatal.h"

namespace zarn {

MaskingModel::MaskingModel(double attenuationFactor)
    : bandEdges{-1, 1,  2,  3,  4,  5,  6,  8,   10,  12,  14,  16,  19,
                22, 26, 31, 36, 42, 51, 61, 74, 89, 110, 139, 179, 256},
      slope(0.0),
      peak(0),
      power{},
      attenuation(attenuationFactor) {
    if (attenuation > 1) fail(std::cerr, "Daempning til maskering skal v\xE6re mindre eller lig 1");
}

void MaskingModel::apply(double* re, double* im) {
    computePower(re, im);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::int32_t first = bandEdges[band] + 1;
        const std::int32_t last = bandEdges[band + 1];
        if (last - first <= 2) continue;  // a band needs inner bins on both sides of a peak
        peak = findPeak(first, last);
        if (peak == first || peak == last) continue;
        const double p = power[peak];
        const std::int32_t dl = peak - first;
        const std::int32_t dr = last - peak;
        slope = dl <= dr ? p / dl : p / dr;
        maskRamp(re, im, slope, peak, first, peak);
        maskRamp(re, im, -slope, peak, peak, last);
    }
}

void MaskingModel::computePower(const double* re, const double* im) {
    constexpr double kPerBin = 0.0038910505836575876;  // ÷ 257
    // Two bins at a time: the SSE2 square root is the correctly rounded one
    // that std::sqrt returns, and re² + im² is never negative.
    const __m128d perBin = _mm_set1_pd(kPerBin);
    std::size_t i = 0;
    for (; i + 2 <= kCodedBins; i += 2) {
        const __m128d r = _mm_loadu_pd(re + i), m = _mm_loadu_pd(im + i);
        const __m128d magnitude = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(m, m)));
        _mm_storeu_pd(&power[i], _mm_mul_pd(_mm_mul_pd(magnitude, magnitude), perBin));
    }
    for (; i < kCodedBins; ++i) {
        const double magnitude = std::sqrt(re[i] * re[i] + im[i] * im[i]);
        power[i] = magnitude * magnitude * kPerBin;
    }
}

std::int32_t MaskingModel::findPeak(std::int32_t first, std::int32_t last) const {
    double best = 0.0;
    std::int32_t result = first;
    for (std::int32_t i = first; i <= last; ++i) {
        // ">=" makes the later of equal maxima win; the end bins never do.
        if (power[i] >= best && i != first && i != last) {
            best = power[i];
            result = i;
        }
    }
    return result;
}

void MaskingModel::maskRamp(double* re, double* im, double rampSlope, std::int32_t peakBin,
                            std::int32_t first, std::int32_t last) const {
    // Two bins at a time, each with its own threshold formed exactly as alone.
    const __m128d slopes = _mm_set1_pd(rampSlope), top = _mm_set1_pd(power[peakBin]);
    const __m128d factor = _mm_set1_pd(attenuation), step = _mm_set1_pd(2.0);
    __m128d distance = _mm_set_pd(first + 1 - peakBin, first - peakBin);
    std::int32_t i = first;
    for (; i + 1 <= last; i += 2, distance = _mm_add_pd(distance, step)) {
        const __m128d threshold = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(distance, slopes), top), factor);
        const __m128d masked = _mm_cmpgt_pd(threshold, _mm_loadu_pd(&power[i]));
        _mm_storeu_pd(re + i, _mm_andnot_pd(masked, _mm_loadu_pd(re + i)));
        _mm_storeu_pd(im + i, _mm_andnot_pd(masked, _mm_loadu_pd(im + i)));
    }
    for (; i <= last; ++i) {
        const double threshold = ((i - peakBin) * rampSlope + power[peakBin]) * attenuation;
        if (threshold > power[i]) {
            re[i] = 0.0;
            im[i] = 0.0;
        }
    }
}

}  // namespace zarn
