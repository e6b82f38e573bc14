#pragma once

#include <array>
#include <cstdint>

#include "common/Types.h"

namespace zarn {

// Removes, inside each band of four bins or more, the bins that lie under a
// triangular masking threshold raised by the band's loudest inner bin. The
// triangle's top, attenuation × peak power, stands on the peak and falls to zero
// at the band end nearer to the peak, with the same slope on both sides.
class MaskingModel {
public:
    // Ends the process if `attenuation` is above 1: the peak must survive.
    explicit MaskingModel(double attenuation);

    // Zeroes masked bins of 0..256 in place.
    void apply(double* re, double* im);

private:
    void computePower(const double* re, const double* im);
    std::int32_t findPeak(std::int32_t first, std::int32_t last) const;
    void maskRamp(double* re, double* im, double rampSlope, std::int32_t peakBin,
                  std::int32_t first, std::int32_t last) const;

    std::array<double, kCodedBins> power_;  // power of bins 0..256, refilled by every apply()
    double attenuation_;                   // factor on every threshold; at most 1
};

}  // namespace zarn
