#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include <emmintrin.h>  // SSE2, part of the x86-64 baseline

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

// roundToSample of two values, as 32-bit integers in the low half. Clamping
// first leaves every in-range value alone and gives the limits for the rest;
// the part cut off by truncation, x − trunc(x), is exact, so the half test is
// the scalar one.
inline __m128i roundPair(__m128d raw) {
    const __m128d number = _mm_cmpord_pd(raw, raw);
    const __m128d v = _mm_min_pd(_mm_max_pd(raw, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0));
    const __m128d t = _mm_cvtepi32_pd(_mm_cvttpd_epi32(v));
    const __m128d f = _mm_sub_pd(v, t);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d up = _mm_and_pd(_mm_cmpge_pd(f, _mm_set1_pd(0.5)), one);
    const __m128d down = _mm_and_pd(_mm_cmple_pd(f, _mm_set1_pd(-0.5)), one);
    return _mm_cvttpd_epi32(_mm_and_pd(_mm_sub_pd(_mm_add_pd(t, up), down), number));
}

// roundToSample over `count` values, four at a time.
inline void roundToSamples(const double* x, Sample* out, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i low = roundPair(_mm_loadu_pd(x + i));
        const __m128i high = roundPair(_mm_loadu_pd(x + i + 2));
        // Every value is already within 16 bits, so the saturating pack keeps it.
        const __m128i four = _mm_packs_epi32(_mm_unpacklo_epi64(low, high), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), four);
    }
    for (; i < count; ++i) out[i] = roundToSample(x[i]);
}

}  // namespace zarn
