#pragma once
// The pieces both fast transforms are built of: radix-2 decimation in time
// on N lanes, each lane an independent butterfly, so that every value sees
// exactly the scalar operations. Fft (exact, the menu programs') and RealFft
// (its half-size inner transform) differ in their first and last passes,
// not here.

#include <array>
#include <cmath>
#include <cstdint>

#include "common/Lanes.h"
#include "common/Types.h"

namespace zarn {

// The twiddles and the bit-reversed order of a transform of Points points.
// Twiddles are evaluated from exactly the expressions a recursive transform
// evaluates at every butterfly, cos((2π·k)/n) and sin((k·(−2π))/n), and
// looked up: deriving them by symmetry or recurrence would change bits, and
// so would skipping "trivial" ones (cos(π/2) is 6.1e-17).
template <std::uint32_t Points>
struct Radix2Tables {
    // Level with half-length h (1, 2, 4 … Points/2) uses entries h − 1 … 2h − 2.
    std::array<double, Points - 1> cosine;
    std::array<double, Points - 1> sine;
    std::array<std::uint16_t, Points> bitReversed;

    Radix2Tables() {
        for (std::uint32_t h = 1; h < Points; h *= 2) {
            const std::uint32_t n = 2 * h;
            for (std::uint32_t k = 0; k < h; ++k) {
                cosine[h - 1 + k] = std::cos((kTwoPi * k) / n);
                sine[h - 1 + k] = std::sin((k * -kTwoPi) / n);
            }
        }
        for (std::uint32_t i = 0; i < Points; ++i) {
            std::uint32_t reversed = 0;
            for (std::uint32_t bit = 1, mirror = Points / 2; bit < Points; bit *= 2, mirror /= 2) {
                if (i & bit) reversed |= mirror;
            }
            bitReversed[i] = static_cast<std::uint16_t>(reversed);
        }
    }

    const double* cosines(std::uint32_t h) const { return &cosine[h - 1]; }
    const double* sines(std::uint32_t h) const { return &sine[h - 1]; }
};

// With Conjugate, every twiddle W is taken as its conjugate: the inverse
// transform by the forward one's tables.
template <int N, bool Conjugate = false>
struct Radix2 {
    using L = Lanes<N>;
    using Real = typename L::Real;

    struct Values {
        Real re, im;
    };

    static ZARN_ALWAYS_INLINE void load(Values& v, const double* re, const double* im, std::uint32_t at) {
        L::load(v.re, re + at);
        L::load(v.im, im + at);
    }
    static ZARN_ALWAYS_INLINE void store(double* re, double* im, std::uint32_t at, const Values& v) {
        L::store(re + at, v.re);
        L::store(im + at, v.im);
    }

    // The twiddles k … k + N − 1 of the level with half-length h.
    template <class Tables>
    static ZARN_ALWAYS_INLINE void twiddle(Real& c, Real& s, std::uint32_t h, std::uint32_t k, const Tables& t) {
        L::load(c, t.cosines(h) + k);
        L::load(s, t.sines(h) + k);
    }

    // t = W·o (or conj(W)·o), W = c + i·s, with separate multiplies and adds
    // in the literal order.
    static ZARN_ALWAYS_INLINE void rotate(const Real& c, const Real& s, const Values& o, Real& tRe, Real& tIm) {
        if constexpr (Conjugate) {
            tRe = c * o.re + s * o.im;
            tIm = c * o.im - s * o.re;
        } else {
            tRe = c * o.re - s * o.im;
            tIm = s * o.re + c * o.im;
        }
    }

    // e + t into e and e − t into o.
    static ZARN_ALWAYS_INLINE void butterfly(const Real& c, const Real& s, Values& e, Values& o) {
        Real tRe, tIm;
        rotate(c, s, o, tRe, tIm);
        o.re = e.re - tRe;
        o.im = e.im - tIm;
        e.re = tRe + e.re;
        e.im = tIm + e.im;
    }

    // The first pass's blocks: x[i], lane `lane`, is value i of a block of
    // Block values that starts at blocks[lane]. Transposed N values at a
    // time, each lane's become one vector.
    template <std::uint32_t Block>
    static ZARN_ALWAYS_INLINE void storeBlocks(const Values* x, double* re, double* im,
                                               const std::uint32_t* blocks) {
        static_assert(Block % N == 0, "a block is transposed N values at a time");
        ZARN_UNROLL for (std::uint32_t i = 0; i < Block; i += N) {
            Real tileRe[N], tileIm[N];
            ZARN_UNROLL for (int j = 0; j < N; ++j) {
                tileRe[j] = x[i + j].re;
                tileIm[j] = x[i + j].im;
            }
            L::transpose(tileRe);
            L::transpose(tileIm);
            ZARN_UNROLL for (int lane = 0; lane < N; ++lane) {
                L::store(re + blocks[lane] + i, tileRe[lane]);
                L::store(im + blocks[lane] + i, tileIm[lane]);
            }
        }
    }

    // Levels H and 2H of a transform of Length points in one pass, in
    // place: each set of four values a quarter of 4H apart goes through both
    // levels' butterflies in registers.
    template <std::uint32_t H, std::uint32_t Length, class Tables>
    static ZARN_ALWAYS_INLINE void twoLevels(double* re, double* im, const Tables& t) {
        static_assert(H % N == 0, "the lanes hold neighbouring k of one level");
        for (std::uint32_t base = 0; base < Length; base += 4 * H) {
            for (std::uint32_t k = 0; k < H; k += N) {
                Values x0, x1, x2, x3;
                load(x0, re, im, base + k);
                load(x1, re, im, base + H + k);
                load(x2, re, im, base + 2 * H + k);
                load(x3, re, im, base + 3 * H + k);
                Real c, s;
                twiddle(c, s, H, k, t);
                butterfly(c, s, x0, x1);
                butterfly(c, s, x2, x3);
                twiddle(c, s, 2 * H, k, t);
                butterfly(c, s, x0, x2);
                twiddle(c, s, 2 * H, H + k, t);
                butterfly(c, s, x1, x3);
                store(re, im, base + k, x0);
                store(re, im, base + H + k, x1);
                store(re, im, base + 2 * H + k, x2);
                store(re, im, base + 3 * H + k, x3);
            }
        }
    }
};

}  // namespace zarn
