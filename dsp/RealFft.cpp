#include "dsp/RealFft.h"

#include <array>
#include <cassert>
#include <cmath>
#include <utility>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "dsp/Radix2.h"

namespace zarn {

namespace {

constexpr std::uint32_t kLength = kBlockLength;  // real samples
constexpr std::uint32_t kPoints = kLength / 2;   // complex points of the inner transform
constexpr std::uint32_t kQuarter = kPoints / 2;  // half-length of its top level

// The inner 256-point transform's tables (Radix2Tables), and the split's
// twiddles into the real block's spectrum, e^(−2πi·k/512) for k < 128. The
// inner levels below h = 8 are eighth turns, which the first pass applies
// without a table.
struct RealFftTables : Radix2Tables<kPoints> {
    std::array<double, kQuarter> splitCosine;
    std::array<double, kQuarter> splitSine;

    RealFftTables() {
        for (std::uint32_t k = 0; k < kQuarter; ++k) {
            splitCosine[k] = std::cos((kTwoPi * k) / kLength);
            splitSine[k] = std::sin((k * -kTwoPi) / kLength);
        }
    }
};

const RealFftTables& tables() {
    static const RealFftTables instance;
    return instance;
}

// The passes of both directions on N lanes. The inner transform is radix-2
// decimation in time, laid out as Fft's: a bit-reversed copy fused with the
// three lowest levels, then two levels per pass. The inverse runs the same
// levels with conjugated twiddles.
template <int N, bool Inverse>
struct RealFftPasses : Radix2<N, Inverse> {
    using B = Radix2<N, Inverse>;
    using typename B::L;
    using typename B::Real;
    using typename B::Values;
    using B::butterfly;
    using B::load;
    using B::store;
    using B::twiddle;
    using Lane = std::make_integer_sequence<int, N>;

    // The lanes in the opposite order: the split meets bin k with bin 256 − k.
    template <int... I>
    static ZARN_ALWAYS_INLINE void reverse(Real& v, std::integer_sequence<int, I...>) {
        v = __builtin_shufflevector(v, v, (N - 1 - I)...);
    }
    static ZARN_ALWAYS_INLINE void loadReversed(Values& v, const double* re, const double* im, std::uint32_t at) {
        load(v, re, im, at);
        reverse(v.re, Lane{});
        reverse(v.im, Lane{});
    }
    static ZARN_ALWAYS_INLINE void storeReversed(double* re, double* im, std::uint32_t at, Values& v) {
        reverse(v.re, Lane{});
        reverse(v.im, Lane{});
        store(re, im, at, v);
    }

    // 2N samples, alternately even and odd, as the N values x[2n] + i·x[2n + 1].
    template <int... I>
    static ZARN_ALWAYS_INLINE void loadPairs(Values& v, const double* x, std::integer_sequence<int, I...>) {
        Real first, second;
        L::load(first, x);
        L::load(second, x + N);
        v.re = __builtin_shufflevector(first, second, (2 * I)...);
        v.im = __builtin_shufflevector(first, second, (2 * I + 1)...);
    }
    // And back: the real and imaginary parts alternately into 2N samples.
    template <int... I>
    static ZARN_ALWAYS_INLINE void storePairs(double* y, const Values& v, std::integer_sequence<int, I...>) {
        const Real first = __builtin_shufflevector(v.re, v.im, ((I % 2) * N + I / 2)...);
        const Real second = __builtin_shufflevector(v.re, v.im, ((I % 2) * N + N / 2 + I / 2)...);
        L::store(y, first);
        L::store(y + N, second);
    }

    // e + o into e and e − o into o: a butterfly whose twiddle is 1.
    static ZARN_ALWAYS_INLINE void sumAndDifference(Values& e, Values& o) {
        const Values d = {e.re - o.re, e.im - o.im};
        e.re = e.re + o.re;
        e.im = e.im + o.im;
        o = d;
    }

    // The butterfly whose twiddle is a quarter turn, −i (i for the inverse):
    // the rotation is a swap of parts, its signs folded into the adds.
    static ZARN_ALWAYS_INLINE void quarterTurnButterfly(Values& e, Values& o) {
        const Values plus = {e.re + o.im, e.im - o.re}, minus = {e.re - o.im, e.im + o.re};
        e = Inverse ? minus : plus;
        o = Inverse ? plus : minus;
    }

    // o times the eighth turn e^(∓iπ/4) = √½·(1 ∓ i): two multiplies, not four.
    static ZARN_ALWAYS_INLINE void eighthTurn(Values& o, const Real& halfRoot) {
        const Real sum = o.re + o.im;
        const Real difference = Inverse ? o.re - o.im : o.im - o.re;
        o.re = (Inverse ? difference : sum) * halfRoot;
        o.im = (Inverse ? sum : difference) * halfRoot;
    }

    // The bit-reversed copy and levels 1, 2 and 4 on blocks of eight values,
    // as in Fft: output block b takes its inputs at rev8(8b + i) = rev5(b) +
    // rev8(i), so with neighbouring rev5(b) in the lanes every input is one
    // contiguous load. The forward transform's input is the real block
    // itself, read as pairs (zIm is null); the inverse's is the split's
    // output.
    static constexpr std::uint32_t kBlock = 8;

    static ZARN_ALWAYS_INLINE void firstLevels(const double* zRe, const double* zIm, double* re, double* im,
                                               const RealFftTables& t) {
        Real halfRoot;
        L::splat(halfRoot, 0.70710678118654752);
        for (std::uint32_t first = 0; first < kPoints / kBlock; first += N) {
            Values x[kBlock];
            ZARN_UNROLL for (std::uint32_t i = 0; i < kBlock; ++i) {
                const std::uint32_t at = first + t.bitReversed[i];
                if constexpr (Inverse) {
                    load(x[i], zRe, zIm, at);
                } else {
                    loadPairs(x[i], zRe + 2 * at, Lane{});
                }
            }
            // The twiddles of these levels are eighth turns of the circle,
            // so they take adds and swaps, and two multiplies for the odd
            // eighths; half the work of general rotations (which Fft must do
            // to match its recursive form's bits).
            ZARN_UNROLL for (std::uint32_t i = 0; i < kBlock; i += 2) sumAndDifference(x[i], x[i + 1]);
            ZARN_UNROLL for (std::uint32_t i = 0; i < kBlock; i += 4) {
                sumAndDifference(x[i], x[i + 2]);
                quarterTurnButterfly(x[i + 1], x[i + 3]);
            }
            eighthTurn(x[5], halfRoot);
            eighthTurn(x[7], halfRoot);
            sumAndDifference(x[0], x[4]);
            sumAndDifference(x[1], x[5]);
            quarterTurnButterfly(x[2], x[6]);
            // Three eighths: one eighth, then a quarter.
            quarterTurnButterfly(x[3], x[7]);
            // Each lane's results belong to a block of its own.
            std::uint32_t blocks[N];
            for (int lane = 0; lane < N; ++lane) blocks[lane] = t.bitReversed[first + lane];
            B::template storeBlocks<kBlock>(x, re, im, blocks);
        }
    }

    // The top level (half-length 128) in place, then Z[256] = Z[0] after it,
    // so that the split's first lanes find bin 256 − 0 like any other.
    static ZARN_ALWAYS_INLINE void forwardTop(double* re, double* im, const RealFftTables& t) {
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            Values x0, x1;
            load(x0, re, im, k);
            load(x1, re, im, kQuarter + k);
            Real c, s;
            twiddle(c, s, kQuarter, k, t);
            butterfly(c, s, x0, x1);
            store(re, im, k, x0);
            store(re, im, kQuarter + k, x1);
        }
        re[kPoints] = re[0];
        im[kPoints] = im[0];
    }

    // What each direction's split starts from, for bins k … k + N − 1 in
    // the lanes and their mirror images 256 − k … in reverse: the sum S =
    // A + conj B and the difference D = A − conj B of a spectrum's bins A
    // and their mirror images B, and the split's twiddles W^k, W = e^(−2πi/512).
    struct Pair {
        Real sumRe, sumIm, differenceRe, differenceIm, c, s;
    };
    static ZARN_ALWAYS_INLINE void pair(const double* re, const double* im, std::uint32_t k, const RealFftTables& t,
                                        Pair& p) {
        Values a, b;
        load(a, re, im, k);
        loadReversed(b, re, im, kPoints - k - (N - 1));
        p.sumRe = a.re + b.re;
        p.sumIm = a.im - b.im;
        p.differenceRe = a.re - b.re;
        p.differenceIm = a.im + b.im;
        L::load(p.c, t.splitCosine.data() + k);
        L::load(p.s, t.splitSine.data() + k);
    }

    // From Z, the transform of z, to bins 0..256 of the block. The spectra
    // of the even and the odd samples are E = (Z[k] + conj Z[256 − k])/2 and
    // O = (Z[k] − conj Z[256 − k])/2i, and X[k] = E + W^k·O with W =
    // e^(−2πi/512); X[256 − k] = conj(E − W^k·O) comes from the same values.
    // Lanes hold k ascending and 256 − k descending.
    static ZARN_ALWAYS_INLINE void forwardSplit(const double* zRe, const double* zIm, double* outRe, double* outIm,
                                                const RealFftTables& t) {
        // The halves' 1/2 and the transform's 1/512, a power of two: exact.
        constexpr double kScale = 1.0 / (2 * kLength);
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            // 2E = S and 2·i·O = D.
            Pair p;
            pair(zRe, zIm, k, t, p);
            // W^k·2O = W^k·(Im D − i·Re D).
            const Real tRe = p.c * p.differenceIm + p.s * p.differenceRe;
            const Real tIm = p.s * p.differenceIm - p.c * p.differenceRe;
            Values low, high;
            low.re = (p.sumRe + tRe) * kScale;
            low.im = (p.sumIm + tIm) * kScale;
            high.re = (p.sumRe - tRe) * kScale;
            high.im = (tIm - p.sumIm) * kScale;
            store(outRe, outIm, k, low);
            storeReversed(outRe, outIm, kPoints - k - (N - 1), high);
        }
        // Bin 128 meets itself: E = Re Z[128], O = Im Z[128], W^128 = −i.
        outRe[kQuarter] = zRe[kQuarter] * (2 * kScale);
        outIm[kQuarter] = zIm[kQuarter] * (-2 * kScale);
        // Exactly 0, not a rounding's −0 or a leftover, on a real block.
        outIm[0] = 0.0;
        outIm[kPoints] = 0.0;
    }

    // The reverse of forwardSplit: Z[k] = E + i·O from 2E = X[k] + conj
    // X[256 − k] and 2O = (X[k] − conj X[256 − k])·W^−k, unscaled, so that
    // the inverse transform of Z gives y[2n] + i·y[2n + 1]. Writes Z[256]
    // too, which nothing reads.
    static ZARN_ALWAYS_INLINE void inverseSplit(const double* inRe, const double* inIm, double* zRe, double* zIm,
                                                const RealFftTables& t) {
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            // 2E = S, 2O = D·W^−k.
            Pair p;
            pair(inRe, inIm, k, t, p);
            const Real oRe = p.c * p.differenceRe + p.s * p.differenceIm;
            const Real oIm = p.c * p.differenceIm - p.s * p.differenceRe;
            Values low, high;
            low.re = p.sumRe - oIm;
            low.im = p.sumIm + oRe;
            high.re = p.sumRe + oIm;
            high.im = oRe - p.sumIm;
            store(zRe, zIm, k, low);
            storeReversed(zRe, zIm, kPoints - k - (N - 1), high);
        }
        // Bins 0 and 256 have no imaginary part, whatever their arrays hold:
        // Z[0] from their real parts alone. Bin 128 meets itself.
        zRe[0] = inRe[0] + inRe[kPoints];
        zIm[0] = inRe[0] - inRe[kPoints];
        zRe[kQuarter] = 2 * inRe[kQuarter];
        zIm[kQuarter] = -2 * inIm[kQuarter];
    }

    // The top level of the inverse, its results stored as the samples they
    // are: Re z[n] at y[2n], Im z[n] at y[2n + 1].
    static ZARN_ALWAYS_INLINE void inverseTop(const double* re, const double* im, double* y,
                                              const RealFftTables& t) {
        for (std::uint32_t k = 0; k < kQuarter; k += N) {
            Values x0, x1;
            load(x0, re, im, k);
            load(x1, re, im, kQuarter + k);
            Real c, s;
            twiddle(c, s, kQuarter, k, t);
            butterfly(c, s, x0, x1);
            storePairs(y + 2 * k, x0, Lane{});
            storePairs(y + 2 * (kQuarter + k), x1, Lane{});
        }
    }
};

struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, double* outRe, double* outIm) {
        using S = RealFftPasses<N, false>;
        const RealFftTables& t = tables();
        // One more than the transform: Z[256], a copy of Z[0].
        alignas(64) double re[kPoints + 1];
        alignas(64) double im[kPoints + 1];
        S::firstLevels(x, nullptr, re, im, t);
        S::template twoLevels<8, kPoints>(re, im, t);
        S::template twoLevels<32, kPoints>(re, im, t);
        S::forwardTop(re, im, t);
        S::forwardSplit(re, im, outRe, outIm, t);
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* inRe, const double* inIm, double* y) {
        using S = RealFftPasses<N, true>;
        const RealFftTables& t = tables();
        alignas(64) double zRe[kPoints + 1];
        alignas(64) double zIm[kPoints + 1];
        alignas(64) double re[kPoints];
        alignas(64) double im[kPoints];
        S::inverseSplit(inRe, inIm, zRe, zIm, t);
        S::firstLevels(zRe, zIm, re, im, t);
        S::template twoLevels<8, kPoints>(re, im, t);
        S::template twoLevels<32, kPoints>(re, im, t);
        S::inverseTop(re, im, y, t);
    }
};

}  // namespace

RealFft::RealFft([[maybe_unused]] std::uint32_t length) {
    assert(length == kLength && "the codec's only transform length");
    tables();
}

void RealFft::forward(const double* x, double* re, double* im) const {
    runOnVectorPath<ForwardKernel>(x, re, im);
}

void RealFft::inverse(const double* re, const double* im, double* y) const {
    runOnVectorPath<InverseKernel>(re, im, y);
}

}  // namespace zarn
