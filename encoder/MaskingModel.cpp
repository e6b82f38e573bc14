#include "encoder/MaskingModel.h"

#include <cmath>
#include <iostream>

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
    for (std::size_t i = 0; i < kCodedBins; ++i) {
        const double magnitude = std::sqrt(re[i] * re[i] + im[i] * im[i]);
        power[i] = magnitude * magnitude * 0.0038910505836575876;  // ÷ 257
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
    for (std::int32_t i = first; i <= last; ++i) {
        const double threshold = ((i - peakBin) * rampSlope + power[peakBin]) * attenuation;
        if (threshold > power[i]) {
            re[i] = 0.0;
            im[i] = 0.0;
        }
    }
}

}  // namespace zarn
