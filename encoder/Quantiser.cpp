#include "encoder/Quantiser.h"

#include <array>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include <emmintrin.h>  // SSE2, part of the x86-64 baseline

namespace zarn {

namespace {

// x·2^−e as e successive halvings would give it: one multiplication is the
// same unless the result is subnormal, where each halving rounds.
inline double halve(double x, std::uint8_t e) {
    for (std::uint8_t i = 0; i < e; ++i) x = x * 0.5;
    return x;
}

// e from the factor 2^−e.
inline std::uint8_t exponentOf(double factor) { return static_cast<std::uint8_t>(-std::ilogb(factor)); }

// 2^e and 2^−e for every exponent a band can have.
struct PowersOfTwo {
    std::array<double, 16> up;
    std::array<double, 16> down;
    PowersOfTwo() {
        for (int e = 0; e < 16; ++e) {
            up[e] = std::ldexp(1.0, e);
            down[e] = std::ldexp(1.0, -e);
        }
    }
};

const PowersOfTwo kPowers;

// Each bin's factor from its band's exponent.
void spreadOverBins(const ScaleExponents& scale, const std::array<double, 16>& table, double* factors) {
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) factors[bin] = table[scale[band]];
    }
}

// The largest |component| of bins [first, end). A NaN never wins, as with
// comparisons one at a time: MAXPD returns its second operand then.
double largestMagnitude(const double* re, const double* im, std::size_t first, std::size_t end) {
    const __m128d signBit = _mm_set1_pd(-0.0);
    __m128d largest = _mm_setzero_pd();
    std::size_t bin = first;
    for (; bin + 2 <= end; bin += 2) {
        largest = _mm_max_pd(_mm_andnot_pd(signBit, _mm_loadu_pd(re + bin)), largest);
        largest = _mm_max_pd(_mm_andnot_pd(signBit, _mm_loadu_pd(im + bin)), largest);
    }
    double m = std::max(_mm_cvtsd_f64(largest), _mm_cvtsd_f64(_mm_unpackhi_pd(largest, largest)));
    for (; bin < end; ++bin) {
        if (std::fabs(re[bin]) > m) m = std::fabs(re[bin]);
        if (std::fabs(im[bin]) > m) m = std::fabs(im[bin]);
    }
    return m;
}

// The largest e ≤ 15 with m·2^e < 32768, which doubling m until it reaches
// 32768 would find. Doubling is exact, so m·2^e < 2^15 holds exactly when m's
// binary exponent (m = g·2^y, 1 ≤ g < 2) is below 15 − e: e = 14 − y, within
// 0..15. Zero, subnormal and tiny m give 15; infinity and NaN give 0, as the
// comparison with 32768 fails at once for them.
std::uint8_t exponentFor(double m) {
    if (!(m < 32768.0)) return 0;
    std::uint64_t bits;
    std::memcpy(&bits, &m, sizeof bits);
    const int y = static_cast<int>((bits >> 52) & 0x7FF) - 1023;  // −1023 for zero and subnormals
    return static_cast<std::uint8_t>(std::clamp(14 - y, 0, 15));
}

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t end = first + kBandWidths[band];
        scale[band] = exponentFor(largestMagnitude(re, im, first, end));
        first = end;
    }
    // One multiplication by 2^e equals e doublings: scaling up by a power of
    // two only moves the exponent, and these values cannot overflow.
    double factors[kCodedBins];
    spreadOverBins(scale, kPowers.up, factors);
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        re[bin] = re[bin] * factors[bin];
        im[bin] = im[bin] * factors[bin];
    }
}

void Quantiser::dequantise(double* re, double* im, const ScaleExponents& scale) const {
    double factors[kCodedBins];
    spreadOverBins(scale, kPowers.down, factors);
    const __m128d signBit = _mm_set1_pd(-0.0), smallestNormal = _mm_set1_pd(0x1p-1022);
    const __m128d zero = _mm_setzero_pd();
    std::size_t bin = 0;
    for (; bin + 2 <= kCodedBins; bin += 2) {
        const __m128d f = _mm_loadu_pd(factors + bin);
        const __m128d r = _mm_loadu_pd(re + bin), m = _mm_loadu_pd(im + bin);
        const __m128d rOnce = _mm_mul_pd(r, f), mOnce = _mm_mul_pd(m, f);
        // A nonzero value that lands among the subnormals takes the long way.
        const __m128d rTiny = _mm_and_pd(_mm_cmplt_pd(_mm_andnot_pd(signBit, rOnce), smallestNormal),
                                         _mm_cmpneq_pd(r, zero));
        const __m128d mTiny = _mm_and_pd(_mm_cmplt_pd(_mm_andnot_pd(signBit, mOnce), smallestNormal),
                                         _mm_cmpneq_pd(m, zero));
        _mm_storeu_pd(re + bin, rOnce);
        _mm_storeu_pd(im + bin, mOnce);
        if (_mm_movemask_pd(_mm_or_pd(rTiny, mTiny)) != 0) {
            re[bin] = halve(_mm_cvtsd_f64(r), exponentOf(factors[bin]));
            im[bin] = halve(_mm_cvtsd_f64(m), exponentOf(factors[bin]));
            re[bin + 1] = halve(_mm_cvtsd_f64(_mm_unpackhi_pd(r, r)), exponentOf(factors[bin + 1]));
            im[bin + 1] = halve(_mm_cvtsd_f64(_mm_unpackhi_pd(m, m)), exponentOf(factors[bin + 1]));
        }
    }
    for (; bin < kCodedBins; ++bin) {
        re[bin] = halve(re[bin], exponentOf(factors[bin]));
        im[bin] = halve(im[bin], exponentOf(factors[bin]));
    }
}

}  // namespace zarn
