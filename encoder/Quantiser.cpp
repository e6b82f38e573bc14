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

// x·2^−e as e successive halvings would give it: one multiplication is the
// same unless the result is subnormal, where each halving rounds.
inline double halve(double x, std::uint8_t e) {
    for (std::uint8_t i = 0; i < e; ++i) x = x * 0.5;
    return x;
}

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

// Bins [first, end) times factor.
void scaleBand(double* re, double* im, std::size_t first, std::size_t end, double factor) {
    Real f;
    L::splat(f, factor);
    std::size_t bin = first;
    for (; bin + L::count <= end; bin += L::count) {
        Real r, m;
        L::load(r, re + bin);
        L::load(m, im + bin);
        L::store(re + bin, r * f);
        L::store(im + bin, m * f);
    }
    for (; bin < end; ++bin) {
        re[bin] = re[bin] * factor;
        im[bin] = im[bin] * factor;
    }
}

// Whether any component of bins 0..256 is nonzero and below 2^−1007 in
// magnitude. NaN is not.
bool hasTinyValue(const double* re, const double* im) {
    Real limit, one;
    L::splat(limit, 0x1p-1007);
    L::splat(one, 1.0);
    const Real zero = {};
    // A count in each lane: a mask carried from one step to the next would
    // not stay a vector (see the threshold in quiet).
    Real tiny = {};
    std::size_t bin = 0;
    for (; bin + L::count <= kCodedBins; bin += L::count) {
        Real r, m;
        L::load(r, re + bin);
        L::load(m, im + bin);
        L::absolute(r);
        L::absolute(m);
        tiny = tiny + (((r < limit) & (r != zero)) | ((m < limit) & (m != zero)) ? one : zero);
    }
    bool found = L::any(tiny > zero);
    for (; bin < kCodedBins; ++bin) {
        for (const double v : {std::fabs(re[bin]), std::fabs(im[bin])}) found = found || (v < 0x1p-1007 && v != 0.0);
    }
    return found;
}

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        scale[band] = exponentFor(largestMagnitude(re, im, first, end));
        // One multiplication by 2^e equals e doublings: scaling up by a
        // power of two only moves the exponent, and these values cannot
        // overflow.
        scaleBand(re, im, first, end, kPowers.up[scale[band]]);
    }
}

void Quantiser::dequantise(double* re, double* im, const ScaleExponents& scale) const {
    // One multiplication by 2^−e equals e halvings unless the product is
    // subnormal, where each halving rounds. That takes a nonzero value below
    // 2^−1007 (e is at most 15), which a spectrum read from a file never
    // holds; a frame with one goes the long way throughout.
    const bool longWay = hasTinyValue(re, im);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        if (!longWay) {
            scaleBand(re, im, first, end, kPowers.down[scale[band]]);
            continue;
        }
        for (std::size_t bin = first; bin < end; ++bin) {
            re[bin] = halve(re[bin], scale[band]);
            im[bin] = halve(im[bin], scale[band]);
        }
    }
}

}  // namespace zarn
