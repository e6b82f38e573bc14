#include "reduced/Dft.h"

#include <cmath>
#include <cstddef>

#include <immintrin.h>  // SSE2 (x86-64 baseline); AVX only where the processor has it

#include "common/Types.h"
#include "common/VectorWidth.h"

namespace zarn {

// The angle of each term depends on the integer index product k·m (or i·j)
// itself, not on the product reduced modulo n: (k·m)·(−2π)/n is rounded
// differently for a large product. So every cosine and sine is tabled by both
// indices, each evaluated once per process from exactly the expression of the
// direct sum. Every output's sum still runs over m (or j) in order;
// only independent outputs are computed side by side.

namespace {

constexpr int kLength = static_cast<int>(kBlockLength);
constexpr int kHalf = kLength / 2;

constexpr int kLanes = 4;  // outputs computed side by side

// The cosines and sines of four neighbouring outputs at one input index:
// exactly one cache line, read whole by the loop that sums those outputs.
struct alignas(64) RotationQuad {
    double cos[kLanes];
    double sin[kLanes];
};

// Rows × 512 rotations, row r and column c at the angle (r·c)·sign·2π/512,
// stored in groups of four rows interleaved by column. The outputs summed
// side by side then stream through memory in order; looking values up by
// the product alone scatters over the cache and costs twice as long.
template <int Rows>
struct RotationTable {
    static_assert(Rows % kLanes == 0, "rows come in groups of four");
    RotationQuad groups[Rows / kLanes][kLength];

    explicit RotationTable(double signedTwoPi) {
        for (int r = 0; r < Rows; ++r) {
            for (int c = 0; c < kLength; ++c) {
                const double theta = static_cast<double>(r * c) * signedTwoPi / kLength;
                groups[r / kLanes][c].cos[r % kLanes] = std::cos(theta);
                groups[r / kLanes][c].sin[r % kLanes] = std::sin(theta);
            }
        }
    }
};

// The forward transform's bins 0..255 in groups; the Nyquist bin, 256, has a
// row of its own.
struct ForwardTable {
    RotationTable<kHalf> bins{-kTwoPi};
    double nyquistCos[kLength];
    double nyquistSin[kLength];

    ForwardTable() {
        for (int m = 0; m < kLength; ++m) {
            const double theta = static_cast<double>(kHalf * m) * -kTwoPi / kLength;
            nyquistCos[m] = std::cos(theta);
            nyquistSin[m] = std::sin(theta);
        }
    }
};

using InverseTable = RotationTable<kLength>;

// Built on first use, once per process; only the direction a program runs
// is ever built.
const ForwardTable& forwardTable() {
    static const ForwardTable* const table = new ForwardTable();
    return *table;
}

const InverseTable& inverseTable() {
    static const InverseTable* const table = new InverseTable(kTwoPi);
    return *table;
}

void forwardLiteral(const double* x, double* re, double* im, std::int16_t n) {
    for (int k = 0; k <= n / 2; ++k) {
        re[k] = 0.0;
        im[k] = 0.0;
        for (int m = 0; m < n; ++m) {
            const double theta = static_cast<double>(k * m) * -kTwoPi / n;
            re[k] = re[k] + x[m] * std::cos(theta);
            im[k] = im[k] + x[m] * std::sin(theta);
        }
        re[k] = re[k] * (1.0 / n);
        im[k] = im[k] * (1.0 / n);
    }
}

void inverseLiteral(const double* re, const double* im, double* y, std::int16_t n) {
    for (int i = 0; i < n; ++i) {
        y[i] = 0.0;
        for (int j = 0; j < n; ++j) {
            const double theta = static_cast<double>(i * j) * kTwoPi / n;
            y[i] = y[i] + (std::cos(theta) * re[j] - std::sin(theta) * im[j]);
        }
    }
}

// The four outputs of one group in one AVX register: the same products and
// sums in the same order as the SSE2 lanes below.
__attribute__((target("avx"))) void forwardGroupWide(const RotationQuad* column, const double* x,
                                                     double scale, double* re, double* im) {
    __m256d sumRe = _mm256_setzero_pd(), sumIm = _mm256_setzero_pd();
    for (int m = 0; m < kLength; ++m) {
        const __m256d xm = _mm256_broadcast_sd(x + m);
        sumRe = _mm256_add_pd(sumRe, _mm256_mul_pd(xm, _mm256_load_pd(column[m].cos)));
        sumIm = _mm256_add_pd(sumIm, _mm256_mul_pd(xm, _mm256_load_pd(column[m].sin)));
    }
    const __m256d scales = _mm256_set1_pd(scale);
    _mm256_storeu_pd(re, _mm256_mul_pd(sumRe, scales));
    _mm256_storeu_pd(im, _mm256_mul_pd(sumIm, scales));
}

__attribute__((target("avx"))) void inverseGroupWide(const RotationQuad* column, const double* re,
                                                     const double* im, double* y) {
    __m256d sum = _mm256_setzero_pd();
    for (int j = 0; j < kLength; ++j) {
        const __m256d rj = _mm256_broadcast_sd(re + j), ij = _mm256_broadcast_sd(im + j);
        const __m256d c = _mm256_load_pd(column[j].cos), s = _mm256_load_pd(column[j].sin);
        sum = _mm256_add_pd(sum, _mm256_sub_pd(_mm256_mul_pd(c, rj), _mm256_mul_pd(s, ij)));
    }
    _mm256_storeu_pd(y, sum);
}

}  // namespace

void Dft::forward(const double* x, double* re, double* im, std::int16_t n) const {
    if (n != kLength) return forwardLiteral(x, re, im, n);
    const ForwardTable& table = forwardTable();
    const __m128d scale = _mm_set1_pd(1.0 / n);
    const bool wide = wideVectorsEnabled();
    for (int group = 0; group < kHalf / kLanes; ++group) {
        const RotationQuad* column = table.bins.groups[group];
        if (wide) {
            forwardGroupWide(column, x, 1.0 / n, re + group * kLanes, im + group * kLanes);
            continue;
        }
        __m128d re01 = _mm_setzero_pd(), re23 = _mm_setzero_pd();
        __m128d im01 = _mm_setzero_pd(), im23 = _mm_setzero_pd();
        for (int m = 0; m < kLength; ++m) {
            const __m128d xm = _mm_set1_pd(x[m]);
            re01 = _mm_add_pd(re01, _mm_mul_pd(xm, _mm_load_pd(column[m].cos)));
            re23 = _mm_add_pd(re23, _mm_mul_pd(xm, _mm_load_pd(column[m].cos + 2)));
            im01 = _mm_add_pd(im01, _mm_mul_pd(xm, _mm_load_pd(column[m].sin)));
            im23 = _mm_add_pd(im23, _mm_mul_pd(xm, _mm_load_pd(column[m].sin + 2)));
        }
        const int k = group * kLanes;
        _mm_storeu_pd(re + k, _mm_mul_pd(re01, scale));
        _mm_storeu_pd(re + k + 2, _mm_mul_pd(re23, scale));
        _mm_storeu_pd(im + k, _mm_mul_pd(im01, scale));
        _mm_storeu_pd(im + k + 2, _mm_mul_pd(im23, scale));
    }
    double nyquistRe = 0.0, nyquistIm = 0.0;
    for (int m = 0; m < kLength; ++m) {
        nyquistRe = nyquistRe + x[m] * table.nyquistCos[m];
        nyquistIm = nyquistIm + x[m] * table.nyquistSin[m];
    }
    re[kHalf] = nyquistRe * (1.0 / n);
    im[kHalf] = nyquistIm * (1.0 / n);
}

void Dft::inverse(const double* re, const double* im, double* y, std::int16_t n) const {
    if (n != kLength) return inverseLiteral(re, im, y, n);
    const InverseTable& table = inverseTable();
    const bool wide = wideVectorsEnabled();
    for (int group = 0; group < kLength / kLanes; ++group) {
        const RotationQuad* column = table.groups[group];
        if (wide) {
            inverseGroupWide(column, re, im, y + group * kLanes);
            continue;
        }
        __m128d y01 = _mm_setzero_pd(), y23 = _mm_setzero_pd();
        for (int j = 0; j < kLength; ++j) {
            const __m128d rj = _mm_set1_pd(re[j]), ij = _mm_set1_pd(im[j]);
            const __m128d c01 = _mm_load_pd(column[j].cos), c23 = _mm_load_pd(column[j].cos + 2);
            const __m128d s01 = _mm_load_pd(column[j].sin), s23 = _mm_load_pd(column[j].sin + 2);
            y01 = _mm_add_pd(y01, _mm_sub_pd(_mm_mul_pd(c01, rj), _mm_mul_pd(s01, ij)));
            y23 = _mm_add_pd(y23, _mm_sub_pd(_mm_mul_pd(c23, rj), _mm_mul_pd(s23, ij)));
        }
        _mm_storeu_pd(y + group * kLanes, y01);
        _mm_storeu_pd(y + group * kLanes + 2, y23);
    }
}

void Dft::mirror(double* re, double* im, std::int16_t n) const {
    for (int j = 1; j < n / 2; ++j) {
        re[n - j] = re[j];
        im[n - j] = im[j] * -1.0;
    }
}

}  // namespace zarn
