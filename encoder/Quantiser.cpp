#include "encoder/Quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"

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

// One band of the quantiser on N lanes, for bands at least N bins wide;
// narrower ones take N/2 lanes, and so on down to one bin. A band's last
// vector ends at its last bin and may overlap the one before: a maximum
// does not mind seeing a value twice, and the products it stores twice
// are the same.
template <int N>
struct BandSteps {
    using V = Lanes<N>;
    using R = typename V::Real;

    // The largest |component| of bins [first, end).
    static ZARN_ALWAYS_INLINE double largest(const double* re, const double* im, std::size_t first,
                                             std::size_t end) {
        if constexpr (N > 2) {
            if (end - first < N) return BandSteps<N / 2>::largest(re, im, first, end);
        }
        if constexpr (N == 2) {
            if (end - first < N) {
                double m = 0.0;
                if (std::fabs(re[first]) > m) m = std::fabs(re[first]);
                if (std::fabs(im[first]) > m) m = std::fabs(im[first]);
                return m;
            }
        }
        // WATCHOUT: a NaN must never win, as with comparisons one at a
        // time. This form, (a > b ? a : b), keeps b when a is NaN (it is
        // what x86's MAXPD computes); std::max(largest, a) keeps a NaN that
        // comes first. Neither maximum ever holds a NaN, so they combine in
        // any order.
        R fromRe = {}, fromIm = {};
        for (std::size_t bin = first;; bin += N) {
            if (bin + N > end) bin = end - N;
            R r, m;
            V::load(r, re + bin);
            V::load(m, im + bin);
            V::absolute(r);
            V::absolute(m);
            fromRe = r > fromRe ? r : fromRe;
            fromIm = m > fromIm ? m : fromIm;
            if (bin + N == end) break;
        }
        fromRe = fromIm > fromRe ? fromIm : fromRe;
        double result = 0.0;
        for (int i = 0; i < N; ++i) {
            if (fromRe[i] > result) result = fromRe[i];
        }
        return result;
    }

    // Bins [first, end) times factor.
    static ZARN_ALWAYS_INLINE void scale(double* re, double* im, std::size_t first, std::size_t end,
                                         double factor) {
        if constexpr (N > 2) {
            if (end - first < N) return BandSteps<N / 2>::scale(re, im, first, end, factor);
        }
        if constexpr (N == 2) {
            if (end - first < N) {
                re[first] = re[first] * factor;
                im[first] = im[first] * factor;
                return;
            }
        }
        R f, lastRe, lastIm;
        V::splat(f, factor);
        // The last vector is read before any store, in case it overlaps.
        V::load(lastRe, re + end - N);
        V::load(lastIm, im + end - N);
        for (std::size_t bin = first; bin + N < end; bin += N) {
            R r, m;
            V::load(r, re + bin);
            V::load(m, im + bin);
            V::store(re + bin, r * f);
            V::store(im + bin, m * f);
        }
        V::store(re + end - N, lastRe * f);
        V::store(im + end - N, lastIm * f);
    }
};

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

// The scaling on N lanes, band by band.
struct QuantiseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(double* re, double* im, std::uint8_t* scale) {
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const std::size_t first = kBands.first[band], end = kBands.end[band];
            scale[band] = exponentFor(BandSteps<N>::largest(re, im, first, end));
            // One multiplication by 2^e equals e doublings: scaling up by a
            // power of two only moves the exponent, and these values cannot
            // overflow.
            BandSteps<N>::scale(re, im, first, end, kPowers.up[scale[band]]);
        }
    }
};

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    // Four lanes at most: most bands are narrower than eight bins, and
    // AVX-512 measured no faster than AVX.
    runOnVectorPath<QuantiseKernel, 4>(re, im, scale.data());
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
