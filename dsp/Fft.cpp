#include "dsp/Fft.h"

#include <cassert>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "dsp/Radix2.h"

namespace zarn {

namespace {

constexpr std::uint32_t kLength = kBlockLength;
constexpr std::uint32_t kHalf = kLength / 2;

// The radix-2 recursion, unrolled: the input is taken in bit-reversed order
// and each level combines pairs of half-length transforms in place. Every
// butterfly meets the same values in the same order as in the recursive form,
// so the results are the same to the bit.
//
// Twiddles are evaluated once per process (Radix2Tables).
using FftTables = Radix2Tables<kLength>;

const FftTables& tables() {
    static const FftTables instance;
    return instance;
}

// The levels of the transform on N lanes, on the radix-2 pieces.
template <int N>
struct FftLevels : Radix2<N> {
    using B = Radix2<N>;
    using typename B::L;
    using typename B::Real;
    using typename B::Values;
    using B::butterfly;
    using B::load;
    using B::rotate;
    using B::twiddle;

    // The bit-reversed copy and the three lowest levels (half-lengths 1, 2
    // and 4) in one pass, on blocks of eight: as many complex values as
    // sixteen registers hold, and measured faster than blocks of four or
    // sixteen on every lane count. Output block b, positions 8b … 8b + 7,
    // takes its inputs at rev9(8b + i) = rev6(b) + rev9(i): the lanes hold
    // neighbouring rev6(b), so every input is one contiguous load, and within
    // a block a twiddle depends on the position alone, so it is the same in
    // every lane. The forward transform's imaginary input is zero; the
    // inverse's is negated, which makes it the forward transform of the
    // conjugate.
    static constexpr std::uint32_t kBlock = 8;

    template <bool Forward>
    static ZARN_ALWAYS_INLINE void firstLevels(const double* inRe, const double* inIm, double* re, double* im,
                                               const FftTables& t) {
        // The block levels' twiddles, the same in every lane and every block:
        // entries 0 … kBlock − 2 of the tables, each put in all lanes once.
        // Left to the unrolled levels, g++ rebuilt some in every block, 2 %
        // slower with AVX-512.
        Real c[kBlock - 1], s[kBlock - 1];
        ZARN_UNROLL for (std::uint32_t k = 0; k < kBlock - 1; ++k) {
            L::splat(c[k], t.cosine[k]);
            L::splat(s[k], t.sine[k]);
        }
        for (std::uint32_t first = 0; first < kLength / kBlock; first += N) {
            Values x[kBlock];
            // The forward transform has no imaginary input (inIm is null).
            loadBlock<Forward>(x, inRe + first, Forward ? nullptr : inIm + first, t);
            blockLevels(x, c, s);
            // Each lane's results belong to a block of its own: transposed
            // N values at a time, each lane's become one vector.
            std::uint32_t blocks[N];
            for (int lane = 0; lane < N; ++lane) {
                // rev9 of a number below 64 is 8·rev6 of it: the start of
                // the lane's block.
                blocks[lane] = t.bitReversed[first + lane];
            }
            B::template storeBlocks<kBlock>(x, re, im, blocks);
        }
    }

    // The levels of one block, each loop unrolled whole (ZARN_UNROLL): with
    // every index a constant, the block stays in registers.
    template <bool Forward>
    static ZARN_ALWAYS_INLINE void loadBlock(Values* x, const double* inRe, const double* inIm, const FftTables& t) {
        ZARN_UNROLL for (std::uint32_t i = 0; i < kBlock; ++i) {
            L::load(x[i].re, inRe + t.bitReversed[i]);
            if constexpr (Forward) {
                x[i].im = Real{};
            } else {
                L::load(x[i].im, inIm + t.bitReversed[i]);
                x[i].im = x[i].im * -1.0;
            }
        }
    }

    // Level h takes twiddles h − 1 … 2h − 2 of c and s.
    static ZARN_ALWAYS_INLINE void blockLevels(Values* x, const Real* c, const Real* s) {
        ZARN_UNROLL for (std::uint32_t h = 1; h < kBlock; h *= 2) {
            ZARN_UNROLL for (std::uint32_t i = 0; i < kBlock; ++i) {
                if ((i & h) == 0) butterfly(c[h - 1 + (i & (h - 1))], s[h - 1 + (i & (h - 1))], x[i], x[i + h]);
            }
        }
    }

    // Level 128 and the top level in one pass. Only bins 0..256 of the top
    // level are kept, each scaled by 1/512; the rest of a real block's
    // spectrum is the mirror image of these.
    static ZARN_ALWAYS_INLINE void forwardTop(const double* re, const double* im, double* outRe, double* outIm,
                                              const FftTables& t) {
        constexpr std::uint32_t kQuarter = kHalf / 2;
        constexpr double kScale = 1.0 / kLength;
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            Values x0, x1, x2, x3;
            load(x0, re, im, k);
            load(x1, re, im, kQuarter + k);
            load(x2, re, im, kHalf + k);
            load(x3, re, im, kHalf + kQuarter + k);
            Real c, s, tRe, tIm;
            twiddle(c, s, kQuarter, k, t);
            butterfly(c, s, x0, x1);
            butterfly(c, s, x2, x3);
            twiddle(c, s, kHalf, k, t);
            rotate(c, s, x2, tRe, tIm);
            L::store(outRe + k, (tRe + x0.re) * kScale);
            L::store(outIm + k, (tIm + x0.im) * kScale);
            if (k == 0) {
                outRe[kHalf] = (x0.re[0] - tRe[0]) * kScale;
                outIm[kHalf] = (x0.im[0] - tIm[0]) * kScale;
            }
            twiddle(c, s, kHalf, kQuarter + k, t);
            rotate(c, s, x3, tRe, tIm);
            L::store(outRe + kQuarter + k, (tRe + x1.re) * kScale);
            L::store(outIm + kQuarter + k, (tIm + x1.im) * kScale);
        }
    }

    // Level 128 and the top level in one pass; the imaginary half of the
    // result is never read, so only the real parts of the top level are formed.
    static ZARN_ALWAYS_INLINE void inverseTop(const double* re, const double* im, double* y, const FftTables& t) {
        constexpr std::uint32_t kQuarter = kHalf / 2;
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            Values x0, x1, x2, x3;
            load(x0, re, im, k);
            load(x1, re, im, kQuarter + k);
            load(x2, re, im, kHalf + k);
            load(x3, re, im, kHalf + kQuarter + k);
            Real c, s, tRe;
            twiddle(c, s, kQuarter, k, t);
            butterfly(c, s, x0, x1);
            butterfly(c, s, x2, x3);
            twiddle(c, s, kHalf, k, t);
            tRe = c * x2.re - s * x2.im;
            L::store(y + k, tRe + x0.re);
            L::store(y + kHalf + k, x0.re - tRe);
            twiddle(c, s, kHalf, kQuarter + k, t);
            tRe = c * x3.re - s * x3.im;
            L::store(y + kQuarter + k, tRe + x1.re);
            L::store(y + kHalf + kQuarter + k, x1.re - tRe);
        }
    }
};

// Four passes over the data: levels 1, 2 and 4 with the bit-reversed copy,
// levels 8 and 16, levels 32 and 64, and level 128 with the top level.
struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, double* outRe, double* outIm) {
        using S = FftLevels<N>;
        const FftTables& t = tables();
        alignas(64) double re[kLength];
        alignas(64) double im[kLength];
        S::template firstLevels<true>(x, nullptr, re, im, t);
        S::template twoLevels<8, kLength>(re, im, t);
        S::template twoLevels<32, kLength>(re, im, t);
        S::forwardTop(re, im, outRe, outIm, t);
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* inRe, const double* inIm, double* y) {
        using S = FftLevels<N>;
        const FftTables& t = tables();
        alignas(64) double re[kLength];
        alignas(64) double im[kLength];
        S::template firstLevels<false>(inRe, inIm, re, im, t);
        S::template twoLevels<8, kLength>(re, im, t);
        S::template twoLevels<32, kLength>(re, im, t);
        S::inverseTop(re, im, y, t);
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

}  // namespace zarn
