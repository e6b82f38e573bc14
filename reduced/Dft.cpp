#include "reduced/Dft.h"

#include <cassert>
#include <cstddef>
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

// The sweeps keep all their sums in registers only if their short loops are
// unrolled whole; g++ 12 leaves longer ones rolled and the sums on the stack.
#define ZARN_UNROLL _Pragma("GCC unroll 16")

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

// Each sum waits for the addition before it, so a sweep over the inputs keeps
// several independent sums going: for one frame, several slices of
// neighbouring outputs; for a batch, the same slice of every frame in it, so
// that each rotation read from the tables serves all of them. A batch turns
// the sweep from waiting on memory (the tables are megabytes) into arithmetic.
//
// Frames per sweep and slices of N outputs per frame, chosen by measurement
// on each path: enough sums to hide the adder's latency, few enough to stay
// in the path's registers (16 vectors for two and four lanes, 32 for eight).
struct SweepShape {
    int frames;
    int slices;
};
template <int N>
constexpr SweepShape forwardShape() {
    return N >= 8 ? SweepShape{8, 1} : N >= 4 ? SweepShape{4, 1} : SweepShape{2, 2};
}
// With eight lanes, one frame to a lane, the sweeps take other forms: the
// forward transform runs its frames across the lanes (forwardAcrossFrames),
// 25 % faster there and slower on two and four; the inverse, which gained
// nothing measurable that way, keeps its outputs across the lanes but reads
// its inputs from one interleaved copy (inverseSweepInterleaved).
template <int N>
constexpr bool eightFrameForms() {
    return N >= 8;
}
template <int N>
constexpr SweepShape inverseShape() {
    return N >= 8 ? SweepShape{8, 1} : SweepShape{2, 4};
}

template <int N, int F, int S>
ZARN_ALWAYS_INLINE void forwardSweep(const ForwardTable* table, const double* const* x, double* const* re,
                                     double* const* im) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    constexpr double kScale = 1.0 / kLength;
    for (int first = 0; first < kHalf; first += S * N) {
        Real sumRe[F][S] = {}, sumIm[F][S] = {};
        for (int m = 0; m < kLength; ++m) {
            Real c[S], s[S];
            ZARN_UNROLL for (int v = 0; v < S; ++v) {
                const int k = first + v * N;
                const RotationColumn& column = table->bins.groups[k / kGroupRows][m];
                L::load(c[v], column.cos + k % kGroupRows);
                L::load(s[v], column.sin + k % kGroupRows);
            }
            ZARN_UNROLL for (int f = 0; f < F; ++f) {
                // x − (+0) is x for every x, −0 included, and g++ makes it one
                // broadcast; filling the lanes one by one became eight.
                const Real xm = x[f][m] - Real{};
                ZARN_UNROLL for (int v = 0; v < S; ++v) {
                    sumRe[f][v] = sumRe[f][v] + xm * c[v];
                    sumIm[f][v] = sumIm[f][v] + xm * s[v];
                }
            }
        }
        for (int f = 0; f < F; ++f) {
            for (int v = 0; v < S; ++v) {
                L::store(re[f] + first + v * N, sumRe[f][v] * kScale);
                L::store(im[f] + first + v * N, sumIm[f][v] * kScale);
            }
        }
    }
    double nyquistRe[F] = {}, nyquistIm[F] = {};
    for (int m = 0; m < kLength; ++m) {
        for (int f = 0; f < F; ++f) {
            nyquistRe[f] = nyquistRe[f] + x[f][m] * table->nyquistCos[m];
            nyquistIm[f] = nyquistIm[f] + x[f][m] * table->nyquistSin[m];
        }
    }
    for (int f = 0; f < F; ++f) {
        re[f][kHalf] = nyquistRe[f] * kScale;
        im[f][kHalf] = nyquistIm[f] * kScale;
    }
}

// columns[m], lane f: rows[f][m], for N rows of kLength values; moved in
// N × N tiles.
template <int N>
ZARN_ALWAYS_INLINE void interleave(const double* const* rows, typename Lanes<N>::Real* columns) {
    using L = Lanes<N>;
    for (int m = 0; m < kLength; m += N) {
        typename L::Real tile[N];
        ZARN_UNROLL for (int f = 0; f < N; ++f) L::load(tile[f], rows[f] + m);
        L::transpose(tile);
        ZARN_UNROLL for (int f = 0; f < N; ++f) columns[m + f] = tile[f];
    }
}

// The forward transform of N frames at once, frame f in lane f: every sum
// is the single-frame sum of one lane, each product x[f][m]·cos exactly as
// alone. With the frames across the lanes, each rotation is one scalar that
// the multiplication broadcasts as it loads it, and each input vector serves
// K outputs.
template <int N, int K>
ZARN_ALWAYS_INLINE void forwardAcrossFrames(const ForwardTable* table, const double* const* x, double* const* re,
                                            double* const* im) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    constexpr double kScale = 1.0 / kLength;
    static_assert(K == N && kGroupRows % K == 0, "as many outputs per pass as lanes, within a group of rows");
    alignas(64) Real columns[kLength];  // columns[m], lane f: x[f][m]
    interleave<N>(x, columns);
    for (int first = 0; first < kHalf; first += K) {
        Real sumRe[K] = {}, sumIm[K] = {};
        const int group = first / kGroupRows, row = first % kGroupRows;
        for (int m = 0; m < kLength; ++m) {
            const Real xm = columns[m];
            const RotationColumn& column = table->bins.groups[group][m];
            ZARN_UNROLL for (int k = 0; k < K; ++k) {
                sumRe[k] = sumRe[k] + xm * column.cos[row + k];
                sumIm[k] = sumIm[k] + xm * column.sin[row + k];
            }
        }
        // K outputs of N frames: transposed, each frame's are a row.
        L::transpose(sumRe);
        L::transpose(sumIm);
        ZARN_UNROLL for (int f = 0; f < N; ++f) {
            L::store(re[f] + first, sumRe[f] * kScale);
            L::store(im[f] + first, sumIm[f] * kScale);
        }
    }
    Real nyquistRe = {}, nyquistIm = {};
    for (int m = 0; m < kLength; ++m) {
        nyquistRe = nyquistRe + columns[m] * table->nyquistCos[m];
        nyquistIm = nyquistIm + columns[m] * table->nyquistSin[m];
    }
    nyquistRe = nyquistRe * kScale;
    nyquistIm = nyquistIm * kScale;
    ZARN_UNROLL for (int f = 0; f < N; ++f) {
        re[f][kHalf] = nyquistRe[f];
        im[f][kHalf] = nyquistIm[f];
    }
}

template <int N, int F, int S>
ZARN_ALWAYS_INLINE void inverseSweep(const InverseTable* table, const double* const* re, const double* const* im,
                                     double* const* y) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    for (int first = 0; first < kLength; first += S * N) {
        Real sum[F][S] = {};
        for (int j = 0; j < kLength; ++j) {
            Real c[S], s[S];
            ZARN_UNROLL for (int v = 0; v < S; ++v) {
                const int i = first + v * N;
                const RotationColumn& column = table->groups[i / kGroupRows][j];
                L::load(c[v], column.cos + i % kGroupRows);
                L::load(s[v], column.sin + i % kGroupRows);
            }
            ZARN_UNROLL for (int f = 0; f < F; ++f) {
                const Real rj = re[f][j] - Real{};
                const Real ij = im[f][j] - Real{};
                ZARN_UNROLL for (int v = 0; v < S; ++v) sum[f][v] = sum[f][v] + (c[v] * rj - s[v] * ij);
            }
        }
        for (int f = 0; f < F; ++f) {
            for (int v = 0; v < S; ++v) L::store(y[f] + first + v * N, sum[f][v]);
        }
    }
}

// inverseSweep for a batch of N frames on N lanes, reading its inputs from
// one interleaved copy (input j of frame f at [j][f]): every frame's value is
// then a fixed distance from one pointer, where eight pointers of their own
// took more registers than x86-64 has and were reloaded in the inner loop.
template <int N>
ZARN_ALWAYS_INLINE void inverseSweepInterleaved(const InverseTable* table, const double* const* re,
                                                const double* const* im, double* const* y) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    alignas(64) Real reColumns[kLength];  // lane f: re[f][j]
    alignas(64) Real imColumns[kLength];
    interleave<N>(re, reColumns);
    interleave<N>(im, imColumns);
    for (int first = 0; first < kLength; first += N) {
        Real sum[N] = {};
        for (int j = 0; j < kLength; ++j) {
            Real c, s;
            const RotationColumn& column = table->groups[first / kGroupRows][j];
            L::load(c, column.cos + first % kGroupRows);
            L::load(s, column.sin + first % kGroupRows);
            ZARN_UNROLL for (int f = 0; f < N; ++f) {
                const Real rj = reColumns[j][f] - Real{};
                const Real ij = imColumns[j][f] - Real{};
                sum[f] = sum[f] + (c * rj - s * ij);
            }
        }
        ZARN_UNROLL for (int f = 0; f < N; ++f) L::store(y[f] + first, sum[f]);
    }
}

// One frame alone: four slices of outputs in flight, eight for the inverse,
// whose sums each take two products. A batch sends its few leftover frames
// (fewLeft) this way.
struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const ForwardTable* table, const double* x, double* re, double* im) {
        forwardSweep<N, 1, 4>(table, &x, &re, &im);
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const InverseTable* table, const double* re, const double* im, double* y) {
        inverseSweep<N, 1, 8>(table, &re, &im, &y);
    }
};

// Whether the frames of a batch from `first` on would fill less than half
// of a sweep of F: they then go one at a time.
template <int F>
constexpr bool fewLeft(std::size_t first, std::size_t count) {
    return count - first < (F + 1) / 2;
}

// The F frames of the sweep from `first`: past the batch's end, `spare`
// (the last frame's input again, or a scratch output).
template <class Row, int F>
ZARN_ALWAYS_INLINE void framesOfSweep(Row* const* rows, std::size_t first, std::size_t count, Row* spare,
                                      Row* (&sweep)[F]) {
    for (int f = 0; f < F; ++f) sweep[f] = first + f < count ? rows[first + f] : spare;
}

struct ForwardBatchKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const ForwardTable* table, const double* const* x, double* const* re,
                                       double* const* im, std::size_t count) {
        constexpr int F = forwardShape<N>().frames;
        alignas(64) double scratchRe[kCodedBins], scratchIm[kCodedBins];
        for (std::size_t first = 0; first < count; first += F) {
            if (fewLeft<F>(first, count)) {
                for (std::size_t f = first; f < count; ++f) forwardSweep<N, 1, 4>(table, x + f, re + f, im + f);
                return;
            }
            const double* in[F];
            double* outRe[F];
            double* outIm[F];
            framesOfSweep(x, first, count, x[count - 1], in);
            framesOfSweep(re, first, count, scratchRe, outRe);
            framesOfSweep(im, first, count, scratchIm, outIm);
            if constexpr (eightFrameForms<N>()) {
                static_assert(F == N, "one frame per lane");
                forwardAcrossFrames<N, kGroupRows>(table, in, outRe, outIm);
            } else {
                forwardSweep<N, F, forwardShape<N>().slices>(table, in, outRe, outIm);
            }
        }
    }
};

struct InverseBatchKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const InverseTable* table, const double* const* re, const double* const* im,
                                       double* const* y, std::size_t count) {
        constexpr int F = inverseShape<N>().frames;
        alignas(64) double scratch[kLength];
        for (std::size_t first = 0; first < count; first += F) {
            if (fewLeft<F>(first, count)) {
                for (std::size_t f = first; f < count; ++f) inverseSweep<N, 1, 8>(table, re + f, im + f, y + f);
                return;
            }
            const double* inRe[F];
            const double* inIm[F];
            double* out[F];
            framesOfSweep(re, first, count, re[count - 1], inRe);
            framesOfSweep(im, first, count, im[count - 1], inIm);
            framesOfSweep(y, first, count, scratch, out);
            if constexpr (eightFrameForms<N>()) {
                static_assert(F == N, "one frame per lane");
                inverseSweepInterleaved<N>(table, inRe, inIm, out);
            } else {
                inverseSweep<N, F, inverseShape<N>().slices>(table, inRe, inIm, out);
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

void Dft::forward(const double* const* x, double* const* re, double* const* im, std::size_t count) const {
    if (count == 0) return;
    runOnVectorPath<ForwardBatchKernel>(&forwardTable(), x, re, im, count);
}

void Dft::inverse(const double* const* re, const double* const* im, double* const* y, std::size_t count) const {
    if (count == 0) return;
    runOnVectorPath<InverseBatchKernel>(&inverseTable(), re, im, y, count);
}

}  // namespace zarn
