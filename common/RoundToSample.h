#pragma once

#include <cmath>
#include <cstdint>

#include "common/Types.h"

namespace zarn {

// Rounds to nearest with halves away from zero, saturating at the 16-bit
// limits. Decoded audio can overshoot full scale by the quantisation error;
// wrapping would turn that overshoot into a full-scale click. NaN gives 0.
inline Sample roundToSample(double x) {
    if (x >= 32767.0) return 32767;
    if (x <= -32768.0) return -32768;
    if (x != x) return 0;
    std::int32_t t = static_cast<std::int32_t>(x);  // truncates towards zero
    const double f = std::fabs(x - t);
    if (x < 0 && f >= 0.5 && t > -32768) --t;
    if (x >= 0 && f >= 0.5 && t < 32767) ++t;
    return static_cast<Sample>(t);
}

}  // namespace zarn
