#include "dsp/Fft.h"

#include <array>
#include <cassert>
#include <cmath>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

constexpr std::uint32_t kLength = kBlockLength;
constexpr std::uint32_t kHalf = kLength / 2;

// The radix-2 recursion, unrolled: the input is taken in bit-reversed order
// and each level combines pairs of half-length transforms in place. Every
// butterfly meets the same values in the same order as in the recursive form,
// so the results are the same to the bit.
//
// Twiddles are evaluated once per process from exactly the expressions the
// recursion would evaluate at every butterfly, cos((2π·k)/n) and
// sin((k·(−2π))/n), and looked up. Deriving them by symmetry or recurrence
// would change bits; so would skipping "trivial" ones (cos(π/2) is 6.1e-17).
struct FftTables {
    // Level with half-length h (1, 2, 4 … 256) uses entries h − 1 … 2h − 2.
    std::array<double, kLength - 1> cosine;
    std::array<double, kLength - 1> sine;
    std::array<std::uint16_t, kLength> bitReversed;

    FftTables() {
        for (std::uint32_t h = 1; h < kLength; h *= 2) {
            const std::uint32_t n = 2 * h;
            for (std::uint32_t k = 0; k < h; ++k) {
                cosine[h - 1 + k] = std::cos((kTwoPi * k) / n);
                sine[h - 1 + k] = std::sin((k * -kTwoPi) / n);
            }
        }
        for (std::uint32_t i = 0; i < kLength; ++i) {
            std::uint32_t reversed = 0;
            for (std::uint32_t bit = 1, mirror = kLength / 2; bit < kLength; bit *= 2, mirror /= 2) {
                if (i & bit) reversed |= mirror;
            }
            bitReversed[i] = static_cast<std::uint16_t>(reversed);
        }
    }

    const double* cosines(std::uint32_t h) const { return &cosine[h - 1]; }
    const double* sines(std::uint32_t h) const { return &sine[h - 1]; }
};

const FftTables& tables() {
    static const FftTables instance;
    return instance;
}

// The steps of the transform on N lanes; the lanes hold independent
// butterflies and never mix, so each value sees exactly the scalar operations.
template <int N>
struct Steps {
    using L = Lanes<N>;
    using Real = typename L::Real;

    struct Values {
        Real re{}, im{};
    };

    static ZARN_ALWAYS_INLINE void load(Values& v, const double* re, const double* im, std::uint32_t at) {
        L::load(v.re, re + at);
        L::load(v.im, im + at);
    }
    static ZARN_ALWAYS_INLINE void store(double* re, double* im, std::uint32_t at, const Values& v) {
        L::store(re + at, v.re);
        L::store(im + at, v.im);
    }

    // t = W·o, then e + t into e and e − t into o, with separate multiplies
    // and adds in the literal order.
    static ZARN_ALWAYS_INLINE void butterfly(const Real& c, const Real& s, Values& e, Values& o) {
        const Real tRe = c * o.re - s * o.im;
        const Real tIm = s * o.re + c * o.im;
        o.re = e.re - tRe;
        o.im = e.im - tIm;
        e.re = tRe + e.re;
        e.im = tIm + e.im;
    }

    static ZARN_ALWAYS_INLINE void twiddle(Real& c, Real& s, std::uint32_t h, std::uint32_t k, const FftTables& t) {
        L::load(c, t.cosines(h) + k);
        L::load(s, t.sines(h) + k);
    }

    // The bit-reversed copy and the two lowest levels (half-lengths 1 and 2)
    // in one pass: each group of four outputs comes from four inputs a quarter
    // of the transform apart, and the lanes hold N neighbouring groups. The
    // forward transform's imaginary input is zero; the inverse's is negated,
    // which makes it the forward transform of the conjugate.
    template <bool Forward>
    static ZARN_ALWAYS_INLINE void firstLevels(const double* inRe, const double* inIm, double* re, double* im,
                                               const FftTables& t) {
        Real c1, s1, c2a, s2a, c2b, s2b;
        L::splat(c1, t.cosine[0]), L::splat(s1, t.sine[0]);
        L::splat(c2a, t.cosine[1]), L::splat(s2a, t.sine[1]);
        L::splat(c2b, t.cosine[2]), L::splat(s2b, t.sine[2]);
        for (std::uint32_t first = 0; first < kLength; first += 4 * N) {
            std::uint32_t from[N];
            for (int lane = 0; lane < N; ++lane) from[lane] = t.bitReversed[first + 4 * lane];
            Values x[4];
            for (std::uint32_t j = 0; j < 4; ++j) {
                // Outputs 4q + 1, 4q + 2 and 4q + 3 take inputs N/2, N/4 and 3N/4 on.
                const std::uint32_t offset = (j & 1) * kHalf + (j >> 1) * (kHalf / 2);
                Real gatheredRe = {}, gatheredIm = {};
                for (int lane = 0; lane < N; ++lane) {
                    gatheredRe[lane] = inRe[from[lane] + offset];
                    gatheredIm[lane] = Forward ? 0.0 : inIm[from[lane] + offset] * -1.0;
                }
                x[j].re = gatheredRe;
                x[j].im = gatheredIm;
            }
            butterfly(c1, s1, x[0], x[1]);
            butterfly(c1, s1, x[2], x[3]);
            butterfly(c2a, s2a, x[0], x[2]);
            butterfly(c2b, s2b, x[1], x[3]);
            for (int lane = 0; lane < N; ++lane) {
                for (std::uint32_t j = 0; j < 4; ++j) {
                    re[first + 4 * lane + j] = x[j].re[lane];
                    im[first + 4 * lane + j] = x[j].im[lane];
                }
            }
        }
    }

    // Levels H and 2H in one pass, in place: each set of four values a
    // quarter of 4H apart goes through both levels' butterflies in registers.
    template <std::uint32_t H>
    static ZARN_ALWAYS_INLINE void twoLevels(double* re, double* im, const FftTables& t) {
        static_assert(H % N == 0, "the lanes hold neighbouring k of one level");
        for (std::uint32_t base = 0; base < kLength; base += 4 * H) {
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

// Levels 4 … 128 after the first two, each pair of levels on as many lanes as
// its half-length allows.
template <int N>
ZARN_ALWAYS_INLINE void middleLevels(double* re, double* im, const FftTables& t) {
    constexpr int kNarrow = N < 4 ? N : 4;
    Steps<kNarrow>::template twoLevels<4>(re, im, t);
    Steps<N>::template twoLevels<16>(re, im, t);
    Steps<N>::template twoLevels<64>(re, im, t);
}

struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, double* outRe, double* outIm) {
        using S = Steps<N>;
        using L = typename S::L;
        using Real = typename S::Real;
        const FftTables& t = tables();
        alignas(64) double re[kLength];
        alignas(64) double im[kLength];
        S::template firstLevels<true>(x, nullptr, re, im, t);
        middleLevels<N>(re, im, t);
        // Top level: only bins 0..N/2 are kept, each scaled by 1/N; the rest
        // of a real block's spectrum is the mirror image of these.
        constexpr double kScale = 1.0 / kLength;
        for (std::uint32_t k = 0; k < kHalf; k += N) {
            typename S::Values e, o;
            S::load(e, re, im, k);
            S::load(o, re, im, kHalf + k);
            Real c, s;
            S::twiddle(c, s, kHalf, k, t);
            const Real tRe = c * o.re - s * o.im;
            const Real tIm = s * o.re + c * o.im;
            L::store(outRe + k, (tRe + e.re) * kScale);
            L::store(outIm + k, (tIm + e.im) * kScale);
        }
        const double c = t.cosine[kHalf - 1], s = t.sine[kHalf - 1];
        const double tRe = c * re[kHalf] - s * im[kHalf];
        const double tIm = s * re[kHalf] + c * im[kHalf];
        outRe[kHalf] = (re[0] - tRe) * kScale;
        outIm[kHalf] = (im[0] - tIm) * kScale;
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* inRe, const double* inIm, double* y) {
        using S = Steps<N>;
        using L = typename S::L;
        using Real = typename S::Real;
        const FftTables& t = tables();
        alignas(64) double re[kLength];
        alignas(64) double im[kLength];
        S::template firstLevels<false>(inRe, inIm, re, im, t);
        middleLevels<N>(re, im, t);
        // Top level: the imaginary half of the result is never read, so only
        // the real parts of the last butterflies are formed.
        for (std::uint32_t k = 0; k < kHalf; k += N) {
            typename S::Values o;
            Real eRe, c, s;
            S::load(o, re, im, kHalf + k);
            L::load(eRe, re + k);
            S::twiddle(c, s, kHalf, k, t);
            const Real tRe = c * o.re - s * o.im;
            L::store(y + k, tRe + eRe);
            L::store(y + kHalf + k, eRe - tRe);
        }
    }
};

}  // namespace

Fft::Fft([[maybe_unused]] std::uint32_t length) {
    assert(length == kLength && "the codec's only transform length");
    tables();
}

void Fft::forward(const double* x, double* re, double* im) const {
    runOnVectorPath<ForwardKernel>(x, re, im);
}

void Fft::inverse(const double* re, const double* im, double* y) const {
    runOnVectorPath<InverseKernel>(re, im, y);
}

void Fft::mirror(double* re, double* im) const {
    for (std::uint32_t j = 1; j < kHalf; ++j) {
        re[kLength - j] = re[j];
        im[kLength - j] = im[j] * -1.0;
    }
}

}  // namespace zarn
