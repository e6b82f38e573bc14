#include "dsp/Fft.h"

#include <algorithm>
#include <cmath>

#include <immintrin.h>  // SSE2 (x86-64 baseline); AVX only where the processor has it

#include "common/VectorWidth.h"

namespace zarn {

namespace {

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
    std::array<double, kBlockLength - 1> cosine;
    std::array<double, kBlockLength - 1> sine;
    std::array<std::uint16_t, kBlockLength> bitReversed;

    FftTables() {
        for (std::uint32_t h = 1; h < kBlockLength; h *= 2) {
            const std::uint32_t n = 2 * h;
            for (std::uint32_t k = 0; k < h; ++k) {
                cosine[h - 1 + k] = std::cos((kTwoPi * k) / n);
                sine[h - 1 + k] = std::sin((k * -kTwoPi) / n);
            }
        }
        for (std::uint32_t i = 0; i < kBlockLength; ++i) {
            std::uint32_t reversed = 0;
            for (std::uint32_t bit = 1, mirror = kBlockLength / 2; bit < kBlockLength; bit *= 2, mirror /= 2) {
                if (i & bit) reversed |= mirror;
            }
            bitReversed[i] = static_cast<std::uint16_t>(reversed);
        }
    }
};

const FftTables& tables() {
    static const FftTables instance;
    return instance;
}

// Bit-reversed copy of n inputs, the imaginary parts multiplied by imSign.
void bitReverse(std::uint32_t n, const double* inRe, const double* inIm, double imSign, double* re,
                double* im, const FftTables& t) {
    std::uint32_t shift = 0;
    while ((kBlockLength >> shift) > n) ++shift;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t from = t.bitReversed[i] >> shift;
        re[i] = inRe[from];
        im[i] = inIm[from] * imSign;
    }
}

// t = W·O, then E + t into e and E − t into o, lane by lane.
inline void butterfly(__m128d c, __m128d s, __m128d& eRe, __m128d& eIm, __m128d& oRe, __m128d& oIm) {
    const __m128d tRe = _mm_sub_pd(_mm_mul_pd(c, oRe), _mm_mul_pd(s, oIm));
    const __m128d tIm = _mm_add_pd(_mm_mul_pd(s, oRe), _mm_mul_pd(c, oIm));
    oRe = _mm_sub_pd(eRe, tRe);
    oIm = _mm_sub_pd(eIm, tIm);
    eRe = _mm_add_pd(tRe, eRe);
    eIm = _mm_add_pd(tIm, eIm);
}

// The bit-reversed copy and the two lowest levels (half-lengths 1 and 2) in
// one pass, for n ≥ 4: each group of four outputs comes from four inputs a
// quarter of the transform apart. Two groups at once, one per SSE2 lane.
void bitReverseAndFirstLevels(std::uint32_t n, const double* inRe, const double* inIm, double imSign,
                              double* re, double* im, const FftTables& t) {
    std::uint32_t shift = 0;
    while ((kBlockLength >> shift) > n) ++shift;
    const std::uint32_t quarter = n / 4;
    const __m128d sign = _mm_set1_pd(imSign);
    const __m128d c1 = _mm_set1_pd(t.cosine[0]), s1 = _mm_set1_pd(t.sine[0]);
    const __m128d c2a = _mm_set1_pd(t.cosine[1]), s2a = _mm_set1_pd(t.sine[1]);
    const __m128d c2b = _mm_set1_pd(t.cosine[2]), s2b = _mm_set1_pd(t.sine[2]);
    for (std::uint32_t group = 0; group < n; group += 8) {
        const std::uint32_t a = t.bitReversed[group] >> shift;      // first input of this group
        const std::uint32_t b = t.bitReversed[group + 4] >> shift;  // and of the next one
        __m128d xRe[4], xIm[4];
        for (std::uint32_t j = 0; j < 4; ++j) {
            // Outputs 4q + 1, 4q + 2 and 4q + 3 take inputs n/2, n/4 and 3n/4 on.
            const std::uint32_t offset = (j & 1) * 2 * quarter + (j >> 1) * quarter;
            xRe[j] = _mm_set_pd(inRe[b + offset], inRe[a + offset]);
            xIm[j] = _mm_mul_pd(_mm_set_pd(inIm[b + offset], inIm[a + offset]), sign);
        }
        butterfly(c1, s1, xRe[0], xIm[0], xRe[1], xIm[1]);
        butterfly(c1, s1, xRe[2], xIm[2], xRe[3], xIm[3]);
        butterfly(c2a, s2a, xRe[0], xIm[0], xRe[2], xIm[2]);
        butterfly(c2b, s2b, xRe[1], xIm[1], xRe[3], xIm[3]);
        for (std::uint32_t j = 0; j < 4; ++j) {
            _mm_storel_pd(re + group + j, xRe[j]);
            _mm_storeh_pd(re + group + 4 + j, xRe[j]);
            _mm_storel_pd(im + group + j, xIm[j]);
            _mm_storeh_pd(im + group + 4 + j, xIm[j]);
        }
    }
}

// Everything up to the top level: the bit-reversed copy and every level of
// half-length below n/2, in place in re and im.
void lowerLevels(std::uint32_t n, const double* inRe, const double* inIm, double imSign, double* re,
                 double* im, const FftTables& t);

// One butterfly pair of a level: t = W·O, then E + t and E − t. Two adjacent
// k at once in SSE2 lanes; the lanes never mix, so each output sees exactly
// the scalar operations.
inline void butterflyPair(const double* c, const double* s, const double* eRe, const double* eIm,
                          const double* oRe, const double* oIm, double* sumRe, double* sumIm,
                          double* diffRe, double* diffIm) {
    const __m128d cv = _mm_loadu_pd(c), sv = _mm_loadu_pd(s);
    const __m128d or_ = _mm_loadu_pd(oRe), oi = _mm_loadu_pd(oIm);
    const __m128d tRe = _mm_sub_pd(_mm_mul_pd(cv, or_), _mm_mul_pd(sv, oi));
    const __m128d tIm = _mm_add_pd(_mm_mul_pd(sv, or_), _mm_mul_pd(cv, oi));
    const __m128d er = _mm_loadu_pd(eRe), ei = _mm_loadu_pd(eIm);
    _mm_storeu_pd(sumRe, _mm_add_pd(tRe, er));
    _mm_storeu_pd(sumIm, _mm_add_pd(tIm, ei));
    _mm_storeu_pd(diffRe, _mm_sub_pd(er, tRe));
    _mm_storeu_pd(diffIm, _mm_sub_pd(ei, tIm));
}

// The same butterflies four k at a time, for processors with AVX. Separate
// multiplies and adds as in every other path: no fused multiply-add.
__attribute__((target("avx"))) void wideLevel(std::uint32_t n, std::uint32_t h, const double* re,
                                              const double* im, double* outRe, double* outIm,
                                              const double* c, const double* s) {
    for (std::uint32_t base = 0; base < n; base += 2 * h) {
        for (std::uint32_t k = 0; k < h; k += 4) {
            const std::uint32_t e = base + k, o = base + h + k;
            const __m256d cv = _mm256_loadu_pd(c + k), sv = _mm256_loadu_pd(s + k);
            const __m256d or_ = _mm256_loadu_pd(re + o), oi = _mm256_loadu_pd(im + o);
            const __m256d tRe = _mm256_sub_pd(_mm256_mul_pd(cv, or_), _mm256_mul_pd(sv, oi));
            const __m256d tIm = _mm256_add_pd(_mm256_mul_pd(sv, or_), _mm256_mul_pd(cv, oi));
            const __m256d er = _mm256_loadu_pd(re + e), ei = _mm256_loadu_pd(im + e);
            _mm256_storeu_pd(outRe + e, _mm256_add_pd(tRe, er));
            _mm256_storeu_pd(outIm + e, _mm256_add_pd(tIm, ei));
            _mm256_storeu_pd(outRe + o, _mm256_sub_pd(er, tRe));
            _mm256_storeu_pd(outIm + o, _mm256_sub_pd(ei, tIm));
        }
    }
}

// One level of full butterflies with half-length h over n values, from the
// work arrays into the outputs (which may be the work arrays themselves).
void fullLevel(std::uint32_t n, std::uint32_t h, const double* re, const double* im, double* outRe,
               double* outIm, const FftTables& t) {
    const double* c = &t.cosine[h - 1];
    const double* s = &t.sine[h - 1];
    if (h >= 4 && wideVectorsEnabled()) return wideLevel(n, h, re, im, outRe, outIm, c, s);
    if (h == 1) {
        for (std::uint32_t base = 0; base < n; base += 2) {
            const double oRe = re[base + 1], oIm = im[base + 1];
            const double tRe = c[0] * oRe - s[0] * oIm;
            const double tIm = s[0] * oRe + c[0] * oIm;
            const double eRe = re[base], eIm = im[base];
            outRe[base] = tRe + eRe;
            outIm[base] = tIm + eIm;
            outRe[base + 1] = eRe - tRe;
            outIm[base + 1] = eIm - tIm;
        }
        return;
    }
    for (std::uint32_t base = 0; base < n; base += 2 * h) {
        for (std::uint32_t k = 0; k < h; k += 2) {
            const std::uint32_t e = base + k, o = base + h + k;
            butterflyPair(c + k, s + k, re + e, im + e, re + o, im + o, outRe + e, outIm + e,
                          outRe + o, outIm + o);
        }
    }
}

void lowerLevels(std::uint32_t n, const double* inRe, const double* inIm, double imSign, double* re,
                 double* im, const FftTables& t) {
    std::uint32_t level = 1;
    if (n >= 8) {
        bitReverseAndFirstLevels(n, inRe, inIm, imSign, re, im, t);
        level = 4;
    } else {
        bitReverse(n, inRe, inIm, imSign, re, im, t);
    }
    for (; level < n / 2; level *= 2) fullLevel(n, level, re, im, re, im, t);
}

}  // namespace

Fft::Fft(std::uint32_t count) : length(kBlockLength) {
    std::fill_n(scratch.begin(), std::min<std::uint32_t>(count, kBlockLength), 0.0);
    tables();  // build the twiddles now rather than inside the first frame
}

void Fft::forward(const double* x, double* re, double* im) {
    transform(length, x, scratch.data(), re, im);
}

void Fft::inverse(const double* re, const double* im, double* y) {
    inverseTransform(length, re, im, y, scratch.data());
}

void Fft::mirror(double* re, double* im) const {
    for (std::uint32_t j = 1; j < length / 2; ++j) {
        re[length - j] = re[j];
        im[length - j] = im[j] * -1.0;
    }
}

void Fft::transform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                    double* outIm) const {
    if (n <= 1) {
        outRe[0] = inRe[0];
        outIm[0] = inIm[0];
        return;
    }
    const FftTables& t = tables();
    double re[kBlockLength], im[kBlockLength];
    lowerLevels(n, inRe, inIm, 1.0, re, im, t);
    const std::uint32_t h = n / 2;
    if (n < length) {
        fullLevel(n, h, re, im, outRe, outIm, t);
        return;
    }
    // Top level: only bins 0..N/2 are kept, each scaled by 1/N; the rest of a
    // real block's spectrum is the mirror image of these.
    const double scale = 1.0 / length;
    const double* c = &t.cosine[h - 1];
    const double* s = &t.sine[h - 1];
    const __m128d scales = _mm_set1_pd(scale);
    for (std::uint32_t k = 0; k < h; k += 2) {
        const __m128d cv = _mm_loadu_pd(c + k), sv = _mm_loadu_pd(s + k);
        const __m128d oRe = _mm_loadu_pd(re + h + k), oIm = _mm_loadu_pd(im + h + k);
        const __m128d tRe = _mm_sub_pd(_mm_mul_pd(cv, oRe), _mm_mul_pd(sv, oIm));
        const __m128d tIm = _mm_add_pd(_mm_mul_pd(sv, oRe), _mm_mul_pd(cv, oIm));
        _mm_storeu_pd(outRe + k, _mm_mul_pd(_mm_add_pd(tRe, _mm_loadu_pd(re + k)), scales));
        _mm_storeu_pd(outIm + k, _mm_mul_pd(_mm_add_pd(tIm, _mm_loadu_pd(im + k)), scales));
    }
    const double tRe = c[0] * re[h] - s[0] * im[h];
    const double tIm = s[0] * re[h] + c[0] * im[h];
    outRe[h] = (re[0] - tRe) * scale;
    outIm[h] = (im[0] - tIm) * scale;
}

void Fft::inverseTransform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                           double* outIm) const {
    if (n <= 1) {
        outRe[0] = inRe[0];
        outIm[0] = inIm[0];
        return;
    }
    // The forward transform of the conjugate, in full and unscaled: negate the
    // imaginary input, then run every level in place in the outputs.
    const FftTables& t = tables();
    lowerLevels(n, inRe, inIm, n == length ? -1.0 : 1.0, outRe, outIm, t);
    fullLevel(n, n / 2, outRe, outIm, outRe, outIm, t);
}

}  // namespace zarn
