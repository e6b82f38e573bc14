#pragma once
// Kernels over one band of a spectrum, bins [first, end): its largest value,
// for the quantiser, the bit allocation and the masking model, its scale
// exponent, for the quantisers, and its scaling, for the quantiser and the
// way back.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

// The largest e ≤ 15 with m·2^e < 32768, which doubling m until it reaches
// 32768 would find. Doubling is exact, so m·2^e < 2^15 holds exactly when m's
// binary exponent (m = g·2^y, 1 ≤ g < 2) is below 15 − e: e = 14 − y, within
// 0..15. Zero, subnormal and tiny m give 15; infinity and NaN give 0, as the
// comparison with 32768 fails at once for them.
ZARN_ALWAYS_INLINE std::uint8_t scaleExponentFor(double m) {
    if (!(m < 32768.0)) return 0;
    std::uint64_t bits;
    std::memcpy(&bits, &m, sizeof bits);
    const int y = static_cast<int>((bits >> 52) & 0x7FF) - 1023;  // −1023 for zero and subnormals
    return static_cast<std::uint8_t>(std::clamp(14 - y, 0, 15));
}

// best = (v > best ? v : best) in each lane.
//
// WATCHOUT: a NaN must never win, as with comparisons one at a time from 0.
// This form keeps best when v is NaN (it is what x86's MAXPD computes);
// std::max(best, v) would keep a NaN that comes first. Since best never
// holds a NaN, the lanes combine in any order.
template <int N>
ZARN_ALWAYS_INLINE void keepLarger(typename Lanes<N>::Real& best, const typename Lanes<N>::Real& v) {
    if constexpr (N == 1) {
        best = v > best ? v : best;
    } else {
        greaterOf(best, v, best);
    }
}

// What a band's largest value is taken of: each folds its values for the N
// bins from `bin` on into best[0], or into best[0] and best[1] when it has two
// sets of them, so that neither waits for the other.

// |re| and |im|: the quantiser's measure.
struct Magnitudes {
    const double* re;
    const double* im;
    template <int N>
    ZARN_ALWAYS_INLINE void fold(typename Lanes<N>::Real* best, std::size_t bin) const {
        typename Lanes<N>::Real r, m;
        Lanes<N>::load(r, re + bin);
        Lanes<N>::load(m, im + bin);
        Lanes<N>::absolute(r);
        Lanes<N>::absolute(m);
        keepLarger<N>(best[0], r);
        keepLarger<N>(best[1], m);
    }
};

// re² + im²: the bit allocation's measure.
struct Powers {
    const double* re;
    const double* im;
    template <int N>
    ZARN_ALWAYS_INLINE void fold(typename Lanes<N>::Real* best, std::size_t bin) const {
        typename Lanes<N>::Real r, m;
        Lanes<N>::load(r, re + bin);
        Lanes<N>::load(m, im + bin);
        keepLarger<N>(best[0], r * r + m * m);
    }
};

// Values as they stand, such as powers computed before.
struct Values {
    const double* values;
    template <int N>
    ZARN_ALWAYS_INLINE void fold(typename Lanes<N>::Real* best, std::size_t bin) const {
        typename Lanes<N>::Real v;
        Lanes<N>::load(v, values + bin);
        keepLarger<N>(best[0], v);
    }
};

// On N lanes for bands at least N bins wide; a narrower band takes N/2 lanes,
// and so on down to a single bin. A band's last vector ends at its last bin
// and may overlap the one before: a maximum does not mind seeing a value
// twice.
template <int N>
struct BandKernels {
    using V = Lanes<N>;
    using Real = typename V::Real;

    // The largest of what `measure` gives for bins [first, end), NaN never
    // winning (see keepLarger); 0 when none is above 0 or the band is empty.
    template <class Measure>
    static ZARN_ALWAYS_INLINE double largest(const Measure& measure, std::size_t first, std::size_t end) {
        if constexpr (N > 1) {
            if (end - first < N) return BandKernels<N / 2>::largest(measure, first, end);
        } else {
            if (end == first) return 0.0;
        }
        Real best[2] = {};
        for (std::size_t bin = first;; bin += N) {
            if (bin + N > end) bin = end - N;
            measure.template fold<N>(best, bin);
            if (bin + N == end) break;
        }
        keepLarger<N>(best[0], best[1]);
        double result = 0.0;
        for (int lane = 0; lane < N; ++lane) result = best[0][lane] > result ? best[0][lane] : result;
        return result;
    }
};

// re and im over bins [first, end): fromRe and fromIm times `factor`. They
// may be the same arrays, to scale in place.
//
// A plain loop, which the compiler vectorises for each path on its own: as
// fast as the overlapping vectors above on doubles, and on Samples several
// times faster, since g++ converts vectors of 16-bit lanes to doubles one
// lane at a time.
template <class From>
ZARN_ALWAYS_INLINE void scaleBand(const From* fromRe, const From* fromIm, double* re, double* im, std::size_t first,
                                  std::size_t end, double factor) {
    for (std::size_t bin = first; bin < end; ++bin) {
        re[bin] = fromRe[bin] * factor;
        im[bin] = fromIm[bin] * factor;
    }
}

}  // namespace zarn
