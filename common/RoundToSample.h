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

// roundToSample on N lanes, as the kernels below share it. Clamping first
// leaves every in-range value alone and gives the limits for the rest, so no
// conversion ever leaves the 16-bit range (nor meets a NaN, which takes a
// limit there and 0 right after). Doubling is exact, and so is truncating the
// double: trunc(2v) is 2k + 1 exactly when v = ±(k + f) has f ≥ 1/2, so
// (trunc(2v) + 1) >> 1 for v ≥ 0, and trunc(2v) >> 1 (a floor) for v < 0,
// are v rounded with halves away from zero, in two integer steps instead of
// the scalar form's comparisons of the fraction.
template <int N>
struct SampleLanes {
    using L = Lanes<N>;
    using Real = typename L::Real;
    using Int32 = typename L::Int32;

    // trunc(2v) of the clamped v, 0 for NaN.
    static ZARN_ALWAYS_INLINE void doubledTruncated(const double* x, Int32& out) {
        Real raw, low, high, floored, v;
        L::load(raw, x);
        L::splat(low, -32768.0), L::splat(high, 32767.0);
        const Real zero = {};
        greaterOf(floored, raw, low);
        lesserOf(v, floored, high);
        v = raw == raw ? v : zero;
        out = __builtin_convertvector(v + v, Int32);
    }
};

// From trunc(2v) to v rounded (see SampleLanes), in any number of lanes: the
// sign of trunc(2v) decides as well as v's, since both rules give 0 for 0.
// In place, since a wide vector returned by value from a helper changes
// its calling convention (-Wpsabi).
template <class Int>
ZARN_ALWAYS_INLINE void halveRounded(Int& doubled) {
    doubled = (doubled + 1 + (doubled >> 31)) >> 1;
}

// roundToSample over `count` values, four at a time on two lanes, N at a
// time on four or eight; at most three (or seven) at the end one by one.
struct RoundToSamples {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, Sample* out, std::size_t count) {
        using S = SampleLanes<N>;
        constexpr std::size_t step = N < 4 ? 4 : N;
        const std::size_t whole = count - count % step;
        for (std::size_t i = 0; i < whole; i += step) {
            if constexpr (N == 2) {
                typename S::Int32 low, high;
                S::doubledTruncated(x + i, low);
                S::doubledTruncated(x + i + 2, high);
                Lanes<4>::Int32 four = {low[0], low[1], high[0], high[1]};
                halveRounded(four);
                narrowToSamples(out + i, four);
            } else {
                typename S::Int32 doubled;
                S::doubledTruncated(x + i, doubled);
                halveRounded(doubled);
                narrowToSamples(out + i, doubled);
            }
        }
        for (std::size_t i = whole; i < count; ++i) out[i] = roundToSample(x[i]);
    }
};

inline void roundToSamples(const double* x, Sample* out, std::size_t count) {
    runOnVectorPath<RoundToSamples>(x, out, count);
}

}  // namespace zarn
