#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Lanes.h"
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

// roundToSample of N values at once. Clamping first leaves every in-range
// value alone and gives the limits for the rest, so the conversions below
// never leave the 16-bit range; the part cut off by truncation,
// x − trunc(x), is exact, so the half test is the scalar one.
template <int N>
ZARN_ALWAYS_INLINE void roundLanes(const double* x, Sample* out) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    Real raw, low, high, half, one;
    L::load(raw, x);
    L::splat(low, -32768.0), L::splat(high, 32767.0), L::splat(half, 0.5), L::splat(one, 1.0);
    const Real zero = {};
    // A NaN fails both comparisons and takes a limit here; the last step
    // gives it 0.
    const Real floored = raw > low ? raw : low;
    const Real v = floored < high ? floored : high;
    const Real t = __builtin_convertvector(__builtin_convertvector(v, typename L::Int32), Real);
    const Real f = v - t;
    const Real up = f >= half ? one : zero;
    const Real down = f <= -half ? one : zero;
    const Real rounded = raw == raw ? (t + up) - down : zero;
    const typename L::Int16 samples =
        __builtin_convertvector(__builtin_convertvector(rounded, typename L::Int32), typename L::Int16);
    std::memcpy(out, &samples, sizeof samples);
}

// roundToSample over `count` values, four at a time.
inline void roundToSamples(const double* x, Sample* out, std::size_t count) {
    constexpr std::size_t kStep = 2 * kPortableLanes;
    const std::size_t whole = count - count % kStep;
    for (std::size_t i = 0; i < whole; i += kStep) {
        roundLanes<kPortableLanes>(x + i, out + i);
        roundLanes<kPortableLanes>(x + i + kPortableLanes, out + i + kPortableLanes);
    }
    for (std::size_t i = whole; i < count; ++i) out[i] = roundToSample(x[i]);
}

}  // namespace zarn
