#include "reduced/Dft.h"

#include <cassert>
#include <cmath>

#include "common/Lanes.h"
#include "common/Types.h"
#include "common/VectorDispatch.h"

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

constexpr int kGroupRows = 8;  // outputs whose rotations are stored side by side

// The cosines and sines of eight neighbouring outputs at one input index: two
// cache lines, read whole by the loop that sums those outputs on any number
// of lanes.
struct alignas(64) RotationColumn {
    double cos[kGroupRows];
    double sin[kGroupRows];
};

// Rows × 512 rotations, row r and column c at the angle (r·c)·sign·2π/512,
// stored in groups of eight rows interleaved by column. The outputs summed
// side by side then stream through memory in order; looking values up by the
// product alone scatters over the cache and costs twice as long.
template <int Rows>
struct RotationTable {
    static_assert(Rows % kGroupRows == 0, "rows come in groups of eight");
    RotationColumn groups[Rows / kGroupRows][kLength];

    explicit RotationTable(double signedTwoPi) {
        for (int r = 0; r < Rows; ++r) {
            for (int c = 0; c < kLength; ++c) {
                const double theta = static_cast<double>(r * c) * signedTwoPi / kLength;
                groups[r / kGroupRows][c].cos[r % kGroupRows] = std::cos(theta);
                groups[r / kGroupRows][c].sin[r % kGroupRows] = std::sin(theta);
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

// Each sum waits for the addition before it, so a loop needs about eight
// independent sums to keep the adder busy: on wider lanes, several groups of
// outputs are summed in one sweep over the inputs.
constexpr int kSumsInFlight = 8;

struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const ForwardTable* table, const double* x, double* re, double* im) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        constexpr int kVectors = kGroupRows / N;                    // per group and part
        constexpr int kGroups = kSumsInFlight / (2 * kVectors) > 0 ? kSumsInFlight / (2 * kVectors) : 1;
        constexpr double kScale = 1.0 / kLength;
        for (int group = 0; group < kHalf / kGroupRows; group += kGroups) {
            Real sumRe[kGroups][kVectors] = {}, sumIm[kGroups][kVectors] = {};
            for (int m = 0; m < kLength; ++m) {
                Real xm;
                L::splat(xm, x[m]);
                for (int g = 0; g < kGroups; ++g) {
                    const RotationColumn& column = table->bins.groups[group + g][m];
                    for (int v = 0; v < kVectors; ++v) {
                        Real c, s;
                        L::load(c, column.cos + v * N);
                        L::load(s, column.sin + v * N);
                        sumRe[g][v] = sumRe[g][v] + xm * c;
                        sumIm[g][v] = sumIm[g][v] + xm * s;
                    }
                }
            }
            for (int g = 0; g < kGroups; ++g) {
                for (int v = 0; v < kVectors; ++v) {
                    const int k = (group + g) * kGroupRows + v * N;
                    L::store(re + k, sumRe[g][v] * kScale);
                    L::store(im + k, sumIm[g][v] * kScale);
                }
            }
        }
        double nyquistRe = 0.0, nyquistIm = 0.0;
        for (int m = 0; m < kLength; ++m) {
            nyquistRe = nyquistRe + x[m] * table->nyquistCos[m];
            nyquistIm = nyquistIm + x[m] * table->nyquistSin[m];
        }
        re[kHalf] = nyquistRe * kScale;
        im[kHalf] = nyquistIm * kScale;
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const InverseTable* table, const double* re, const double* im, double* y) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        constexpr int kVectors = kGroupRows / N;
        constexpr int kGroups = kSumsInFlight / kVectors > 0 ? kSumsInFlight / kVectors : 1;
        for (int group = 0; group < kLength / kGroupRows; group += kGroups) {
            Real sum[kGroups][kVectors] = {};
            for (int j = 0; j < kLength; ++j) {
                Real rj, ij;
                L::splat(rj, re[j]);
                L::splat(ij, im[j]);
                for (int g = 0; g < kGroups; ++g) {
                    const RotationColumn& column = table->groups[group + g][j];
                    for (int v = 0; v < kVectors; ++v) {
                        Real c, s;
                        L::load(c, column.cos + v * N);
                        L::load(s, column.sin + v * N);
                        sum[g][v] = sum[g][v] + (c * rj - s * ij);
                    }
                }
            }
            for (int g = 0; g < kGroups; ++g) {
                for (int v = 0; v < kVectors; ++v) L::store(y + (group + g) * kGroupRows + v * N, sum[g][v]);
            }
        }
    }
};

}  // namespace

void Dft::forward(const double* x, double* re, double* im, [[maybe_unused]] std::int16_t n) const {
    assert(n == kLength && "the codec's only transform length");
    runOnVectorPath<ForwardKernel>(&forwardTable(), x, re, im);
}

void Dft::inverse(const double* re, const double* im, double* y, [[maybe_unused]] std::int16_t n) const {
    assert(n == kLength && "the codec's only transform length");
    runOnVectorPath<InverseKernel>(&inverseTable(), re, im, y);
}

void Dft::mirror(double* re, double* im, [[maybe_unused]] std::int16_t n) const {
    assert(n == kLength && "the codec's only transform length");
    for (int j = 1; j < kHalf; ++j) {
        re[kLength - j] = re[j];
        im[kLength - j] = im[j] * -1.0;
    }
}

}  // namespace zarn
