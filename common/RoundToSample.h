#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Lanes.h"
#include "common/Types.h"
#include "common/VectorDispatch.h"

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

// roundToSample of two values, still as doubles. Clamping first leaves
// every in-range value alone and gives the limits for the rest, so the
// conversions below never leave the 16-bit range; the part cut off by
// truncation, x − trunc(x), is exact, so the half test is the scalar one.
ZARN_ALWAYS_INLINE void roundPair(const double* x, Lanes<2>::Real& out) {
    using L = Lanes<2>;
    using Real = L::Real;
    Real raw, low, high, half, one, floored, v;
    L::load(raw, x);
    L::splat(low, -32768.0), L::splat(high, 32767.0), L::splat(half, 0.5), L::splat(one, 1.0);
    const Real zero = {};
    // A NaN takes a limit here (MAXPD's rule); the last step gives it 0.
    greaterOf(floored, raw, low);
    lesserOf(v, floored, high);
    const Real t = __builtin_convertvector(__builtin_convertvector(v, L::Int32), Real);
    const Real f = v - t;
    const Real up = f >= half ? one : zero;
    const Real down = f <= -half ? one : zero;
    out = raw == raw ? (t + up) - down : zero;
}

// roundToSample over `count` values, four at a time.
inline void roundToSamples(const double* x, Sample* out, std::size_t count) {
    const std::size_t whole = count - count % 4;
    for (std::size_t i = 0; i < whole; i += 4) {
        Lanes<2>::Real low, high;
        roundPair(x + i, low);
        roundPair(x + i + 2, high);
        const Lanes<4>::Real four = __builtin_shufflevector(low, high, 0, 1, 2, 3);
        narrowToSamples(out + i, __builtin_convertvector(four, Lanes<4>::Int32));
    }
    for (std::size_t i = whole; i < count; ++i) out[i] = roundToSample(x[i]);
}

}  // namespace zarn
