#include "encoder/Quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/BandTable.h"
#include "common/Lanes.h"

namespace zarn {

namespace {

using L = Lanes<kPortableLanes>;
using Real = L::Real;
using Mask = L::Mask;

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
    for (std::size_t band = 0; band < kBandCount; ++band) {
        std::fill(factors + kBands.first[band], factors + kBands.end[band], table[scale[band]]);
    }
}

// The largest |component| of bins [first, end).
double largestMagnitude(const double* re, const double* im, std::size_t first, std::size_t end) {
    Real largest = {};
    std::size_t bin = first;
    for (; bin + L::count <= end; bin += L::count) {
        Real r, m;
        L::load(r, re + bin);
        L::load(m, im + bin);
        L::absolute(r);
        L::absolute(m);
        // WATCHOUT: a NaN must never win, as with comparisons one at a time.
        // This form, (a > b ? a : b), keeps b when a is NaN (it is what
        // x86's MAXPD computes); std::max(largest, a) keeps a NaN that comes
        // first, and fmax is another instruction on each processor.
        largest = r > largest ? r : largest;
        largest = m > largest ? m : largest;
    }
    double m = 0.0;
    for (int i = 0; i < L::count; ++i) {
        if (largest[i] > m) m = largest[i];
    }
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
    for (std::size_t band = 0; band < kBandCount; ++band) {
        scale[band] = exponentFor(largestMagnitude(re, im, kBands.first[band], kBands.end[band]));
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
    Real smallestNormal;
    L::splat(smallestNormal, 0x1p-1022);
    const Real zero = {};
    std::size_t bin = 0;
    for (; bin + L::count <= kCodedBins; bin += L::count) {
        Real f, r, m;
        L::load(f, factors + bin);
        L::load(r, re + bin);
        L::load(m, im + bin);
        const Real rOnce = r * f, mOnce = m * f;
        L::store(re + bin, rOnce);
        L::store(im + bin, mOnce);
        // A nonzero value that lands among the subnormals takes the long way.
        Real rSize = rOnce, mSize = mOnce;
        L::absolute(rSize);
        L::absolute(mSize);
        const Mask tiny = ((rSize < smallestNormal) & (r != zero)) | ((mSize < smallestNormal) & (m != zero));
        if (!L::any(tiny)) continue;
        for (int i = 0; i < L::count; ++i) {
            re[bin + i] = halve(r[i], exponentOf(f[i]));
            im[bin + i] = halve(m[i], exponentOf(f[i]));
        }
    }
    for (; bin < kCodedBins; ++bin) {
        re[bin] = halve(re[bin], exponentOf(factors[bin]));
        im[bin] = halve(im[bin], exponentOf(factors[bin]));
    }
}

}  // namespace zarn
