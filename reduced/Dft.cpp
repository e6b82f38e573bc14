#include "reduced/Dft.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cmath>
#include <memory>

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

// Built once per process, when the first Dft made for its direction is.
const ForwardTable& forwardTable() {
    static const ForwardTable* const table = new ForwardTable();
    return *table;
}

const InverseTable& inverseTable() {
    static const InverseTable* const table = new InverseTable(kTwoPi);
    return *table;
}

// Words used below. A sweep is one run over every input of the sums (m
// forward, j back) for a few slices of N neighbouring outputs of a set of
// frames, all its sums in registers. Each sum waits for the addition before
// it, so a sweep keeps several independent sums going, and each rotation it
// reads serves every frame of its set. A pass is a batch's run over a whole
// table: it sweeps the same outputs for every set of frames before it moves
// on to the next ones, so that their rotations, read once from memory, serve
// the later sets from the cache. The tables, 2 and 4 MiB, are more than a
// core's L2 on some machines; read once for each set of eight frames, they
// held an Intel Xeon's transforms to the pace at which it fetched them from
// L3.

// How a sweep lays its sums on the N lanes.
enum class Form {
    // N neighbouring outputs of one frame in a vector; each frame's input is
    // broadcast, read through a pointer of the frame's own.
    framePointers,
    // The same, with every frame's inputs read from one interleaved copy
    // (input j of frame f at [j][f]): then each is a fixed distance from one
    // pointer, where eight pointers of their own took more registers than
    // x86-64 has and were reloaded in the inner loop.
    interleavedInputs,
    // One frame in each lane, from one interleaved copy of the inputs: each
    // rotation is one scalar that the multiplication broadcasts as it loads
    // it, and each input vector serves all the slice's outputs.
    framesAcrossLanes,
};

// A sweep's size: the frames in its set, and its slices of N outputs (one
// slice with the frames across the lanes: N outputs of N frames).
struct Shape {
    int frames;
    int slices;
};

// What each path does, chosen by measurement: enough sums in a sweep to hide
// the adder's latency, few enough to stay in the path's registers (16 vectors
// for two and four lanes, 32 for eight). With eight lanes the forward
// transform runs its frames across the lanes, 25 % faster there and slower on
// two and four; the inverse gained nothing measurable that way and keeps its
// outputs across the lanes. On Intel's cores it sweeps two slices of them,
// so that each input it broadcasts serves two products (2 to 4 % faster on
// Xeons than one slice: fewer loads, the same arithmetic, no spills); on
// AMD's Zen 4 one slice decoded a minute in 0.214 s where two took 0.303 s.
// A frame alone (and a batch's few left over) keeps four slices in flight,
// eight for the inverse, whose sums each take two products.
struct Plan {
    int lanes;
    Shape forward;  // a batch's sweeps
    Form forwardForm;
    Shape inverse[kTunings.size()];  // by Tuning: the same sums, laid out for the maker's cores
    Form inverseForm;
    Shape forwardAlone;  // one frame's sweeps
    Shape inverseAlone;
};

constexpr Plan kPlans[] = {
    // lanes, then {frames, slices} and form of a batch's forward and inverse
    // sweeps (the inverse's for Intel's cores, then AMD's), then {frames,
    // slices} of a frame alone forward and inverse
    {2, {2, 2}, Form::framePointers,     {{2, 4}, {2, 4}}, Form::framePointers,     {1, 4}, {1, 8}},
    {4, {4, 1}, Form::framePointers,     {{2, 4}, {2, 4}}, Form::framePointers,     {1, 4}, {1, 8}},
    {8, {8, 1}, Form::framesAcrossLanes, {{8, 2}, {8, 1}}, Form::interleavedInputs, {1, 4}, {1, 8}},
};

template <int N>
constexpr Plan planFor() {
    for (const Plan& plan : kPlans) {
        if (plan.lanes == N) return plan;
    }
    return {};
}

template <int N>
constexpr Plan kPlan = planFor<N>();

// A batch's inverse sweeps on N lanes for `tuning`.
template <int N>
constexpr Shape inverseShape(Tuning tuning) {
    return kPlan<N>.inverse[static_cast<int>(tuning)];
}

// Whether every sweep of a batch's pass has a whole set of frames, every pass
// whole slices within groups of rows, every interleaved set one frame per
// lane, and every sweep across the frames one slice.
template <int N>
constexpr bool soundPlan() {
    constexpr Plan plan = kPlan<N>;
    const auto fits = [](Shape shape, Form form, int outputs) {
        const bool interleaved = form != Form::framePointers;
        return Dft::kBatch % shape.frames == 0 && outputs % (shape.slices * N) == 0 &&
               (!interleaved || shape.frames == N) && (form != Form::framesAcrossLanes || shape.slices == 1);
    };
    bool inverseFits = true;
    for (Shape shape : plan.inverse) inverseFits = inverseFits && fits(shape, plan.inverseForm, kLength);
    return plan.lanes == N && kGroupRows % N == 0 && fits(plan.forward, plan.forwardForm, kHalf) &&
           inverseFits && plan.forwardAlone.frames == 1 &&
           fits(plan.forwardAlone, Form::framePointers, kHalf) && plan.inverseAlone.frames == 1 &&
           fits(plan.inverseAlone, Form::framePointers, kLength);
}
static_assert(soundPlan<2>() && soundPlan<4>() && soundPlan<8>(), "every path's plan fits the batch and the tables");

// The outputs first … first + S·N − 1 of the F frames x[0 … F − 1].
template <int N, int F, int S>
ZARN_ALWAYS_INLINE void forwardSweep(const ForwardTable* table, const double* const* x, double* const* re,
                                     double* const* im, int first) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    constexpr double kScale = 1.0 / kLength;
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

// The Nyquist bin of the F frames x[0 … F − 1].
template <int F>
ZARN_ALWAYS_INLINE void forwardNyquist(const ForwardTable* table, const double* const* x, double* const* re,
                                       double* const* im) {
    constexpr double kScale = 1.0 / kLength;
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

// The outputs first … first + N − 1 of N frames, frame f in lane f of
// columns (columns[m], lane f: x[f][m]): every sum is the single-frame sum of
// one lane, each product x[f][m]·cos exactly as alone.
template <int N>
ZARN_ALWAYS_INLINE void forwardSweepAcrossFrames(const ForwardTable* table, const typename Lanes<N>::Real* columns,
                                                 double* const* re, double* const* im, int first) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    constexpr double kScale = 1.0 / kLength;
    Real sumRe[N] = {}, sumIm[N] = {};
    const int group = first / kGroupRows, row = first % kGroupRows;
    for (int m = 0; m < kLength; ++m) {
        const Real xm = columns[m];
        const RotationColumn& column = table->bins.groups[group][m];
        ZARN_UNROLL for (int k = 0; k < N; ++k) {
            sumRe[k] = sumRe[k] + xm * column.cos[row + k];
            sumIm[k] = sumIm[k] + xm * column.sin[row + k];
        }
    }
    // N outputs of N frames: transposed, each frame's are a row.
    L::transpose(sumRe);
    L::transpose(sumIm);
    ZARN_UNROLL for (int f = 0; f < N; ++f) {
        L::store(re[f] + first, sumRe[f] * kScale);
        L::store(im[f] + first, sumIm[f] * kScale);
    }
}

// The Nyquist bins of `Sets` sets of N frames, each set's interleaved as
// forwardSweepAcrossFrames takes them: one sum of each kind per set, so the
// sets side by side keep the adder busy where one set alone would wait on it.
template <int N, int Sets>
ZARN_ALWAYS_INLINE void forwardNyquistAcrossFrames(const ForwardTable* table,
                                                   const typename Lanes<N>::Real (*columns)[kLength],
                                                   double* const (*re)[N], double* const (*im)[N]) {
    using Real = typename Lanes<N>::Real;
    constexpr double kScale = 1.0 / kLength;
    Real nyquistRe[Sets] = {}, nyquistIm[Sets] = {};
    for (int m = 0; m < kLength; ++m) {
        ZARN_UNROLL for (int s = 0; s < Sets; ++s) {
            nyquistRe[s] = nyquistRe[s] + columns[s][m] * table->nyquistCos[m];
            nyquistIm[s] = nyquistIm[s] + columns[s][m] * table->nyquistSin[m];
        }
    }
    ZARN_UNROLL for (int s = 0; s < Sets; ++s) {
        nyquistRe[s] = nyquistRe[s] * kScale;
        nyquistIm[s] = nyquistIm[s] * kScale;
        ZARN_UNROLL for (int f = 0; f < N; ++f) {
            re[s][f][kHalf] = nyquistRe[s][f];
            im[s][f][kHalf] = nyquistIm[s][f];
        }
    }
}

// The rotations of input j for the outputs first … first + S·N − 1, N at a
// time: what every inverse sweep multiplies its inputs by.
template <int N, int S>
ZARN_ALWAYS_INLINE void inverseRotations(const InverseTable* table, int first, int j, typename Lanes<N>::Real* c,
                                         typename Lanes<N>::Real* s) {
    ZARN_UNROLL for (int v = 0; v < S; ++v) {
        const int i = first + v * N;
        const RotationColumn& column = table->groups[i / kGroupRows][j];
        Lanes<N>::load(c[v], column.cos + i % kGroupRows);
        Lanes<N>::load(s[v], column.sin + i % kGroupRows);
    }
}

// Where a sweep takes frame f's input j: from each frame's own arrays, or,
// for N frames interleaved, from lane f of column j.
struct FrameRows {
    const double* const* re;
    const double* const* im;
    ZARN_ALWAYS_INLINE double real(int f, int j) const { return re[f][j]; }
    ZARN_ALWAYS_INLINE double imaginary(int f, int j) const { return im[f][j]; }
};
template <int N>
struct LaneColumns {
    const typename Lanes<N>::Real* re;
    const typename Lanes<N>::Real* im;
    ZARN_ALWAYS_INLINE double real(int f, int j) const { return re[j][f]; }
    ZARN_ALWAYS_INLINE double imaginary(int f, int j) const { return im[j][f]; }
};

// The outputs first … first + S·N − 1 of F frames, their inputs taken from
// `in`.
template <int N, int F, int S, class Inputs>
ZARN_ALWAYS_INLINE void inverseSweep(const InverseTable* table, const Inputs& in, double* const* y, int first) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    Real sum[F][S] = {};
    for (int j = 0; j < kLength; ++j) {
        Real c[S], s[S];
        inverseRotations<N, S>(table, first, j, c, s);
        ZARN_UNROLL for (int f = 0; f < F; ++f) {
            const Real rj = in.real(f, j) - Real{};
            const Real ij = in.imaginary(f, j) - Real{};
            ZARN_UNROLL for (int v = 0; v < S; ++v) sum[f][v] = sum[f][v] + (c[v] * rj - s[v] * ij);
        }
    }
    for (int f = 0; f < F; ++f) {
        for (int v = 0; v < S; ++v) L::store(y[f] + first + v * N, sum[f][v]);
    }
}

// One frame's whole transform.
template <int N>
ZARN_ALWAYS_INLINE void forwardAlone(const ForwardTable* table, const double* x, double* re, double* im) {
    constexpr int S = kPlan<N>.forwardAlone.slices;
    for (int first = 0; first < kHalf; first += S * N) forwardSweep<N, 1, S>(table, &x, &re, &im, first);
    forwardNyquist<1>(table, &x, &re, &im);
}

template <int N>
ZARN_ALWAYS_INLINE void inverseAlone(const InverseTable* table, const double* re, const double* im, double* y) {
    constexpr int S = kPlan<N>.inverseAlone.slices;
    for (int first = 0; first < kLength; first += S * N) inverseSweep<N, 1, S>(table, FrameRows{&re, &im}, &y, first);
}

struct ForwardKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const ForwardTable* table, const double* x, double* re, double* im) {
        forwardAlone<N>(table, x, re, im);
    }
};

struct InverseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const InverseTable* table, const double* re, const double* im, double* y) {
        inverseAlone<N>(table, re, im, y);
    }
};

// Doubles of the scratch a batch interleaves its inputs into: the real and
// the imaginary parts of a whole batch, back.
constexpr std::size_t kScratchDoubles = 2 * Dft::kBatch * kLength;

// The scratch as sets of interleaved inputs, each kLength vectors of N
// lanes: room for two arrays of Sets sets.
template <int N, std::size_t Sets>
ZARN_ALWAYS_INLINE auto interleavedSets(double* scratch) {
    using Columns = typename Lanes<N>::Real[kLength];
    static_assert(2 * Sets * sizeof(Columns) <= kScratchDoubles * sizeof(double), "the scratch holds a batch");
    return reinterpret_cast<Columns*>(scratch);
}

// The frames of a batch (at most Dft::kBatch) in sets of F: `count` sets,
// the last one filled up with a spare row (the last frame's input again, or a
// scratch output) where the frames run out. Frames too few to fill half a set
// go alone, from `alone` on.
template <int F>
struct FrameSets {
    static constexpr std::size_t kMost = Dft::kBatch / F;
    std::size_t count = 0;
    std::size_t alone = 0;

    explicit FrameSets(std::size_t frames) {
        const bool lastSet = frames % F >= (F + 1) / 2;  // the frames past the whole sets fill half of one
        count = frames / F + (lastSet ? 1 : 0);
        alone = lastSet ? frames : frames / F * F;
    }

    // sets[s][f]: rows[s·F + f], or spare past the frames.
    template <class Row>
    ZARN_ALWAYS_INLINE void fill(Row* const* rows, std::size_t frames, Row* spare, Row* (&sets)[kMost][F]) const {
        for (std::size_t s = 0; s < count; ++s) {
            for (int f = 0; f < F; ++f) {
                const std::size_t frame = s * F + static_cast<std::size_t>(f);
                sets[s][f] = frame < frames ? rows[frame] : spare;
            }
        }
    }
};

// A batch of at most Dft::kBatch frames in one pass: the outputs from
// `first` swept for every set before the next outputs.
template <int N>
ZARN_ALWAYS_INLINE void forwardBatch(const ForwardTable* table, [[maybe_unused]] double* interleaved,
                                     const double* const* x, double* const* re, double* const* im, std::size_t count) {
    constexpr Plan plan = kPlan<N>;
    constexpr int F = plan.forward.frames, S = plan.forward.slices;
    const FrameSets<F> sets(count);
    alignas(64) double scratchRe[kCodedBins], scratchIm[kCodedBins];
    const double* in[FrameSets<F>::kMost][F];
    double* outRe[FrameSets<F>::kMost][F];
    double* outIm[FrameSets<F>::kMost][F];
    sets.fill(x, count, x[count - 1], in);
    sets.fill(re, count, scratchRe, outRe);
    sets.fill(im, count, scratchIm, outIm);
    if constexpr (plan.forwardForm == Form::framesAcrossLanes) {
        const auto columns = interleavedSets<N, FrameSets<F>::kMost>(interleaved);
        for (std::size_t s = 0; s < sets.count; ++s) interleave<N>(in[s], columns[s]);
        for (int first = 0; first < kHalf; first += N) {
            for (std::size_t s = 0; s < sets.count; ++s) {
                forwardSweepAcrossFrames<N>(table, columns[s], outRe[s], outIm[s], first);
            }
        }
        if (sets.count == FrameSets<F>::kMost) {
            forwardNyquistAcrossFrames<N, FrameSets<F>::kMost>(table, columns, outRe, outIm);
        } else {
            for (std::size_t s = 0; s < sets.count; ++s) {
                forwardNyquistAcrossFrames<N, 1>(table, columns + s, outRe + s, outIm + s);
            }
        }
    } else {
        static_assert(plan.forwardForm == Form::framePointers, "no other form for the forward transform");
        for (int first = 0; first < kHalf; first += S * N) {
            for (std::size_t s = 0; s < sets.count; ++s) {
                forwardSweep<N, F, S>(table, in[s], outRe[s], outIm[s], first);
            }
        }
        for (std::size_t s = 0; s < sets.count; ++s) forwardNyquist<F>(table, in[s], outRe[s], outIm[s]);
    }
    for (std::size_t f = sets.alone; f < count; ++f) forwardAlone<N>(table, x[f], re[f], im[f]);
}

// The same for the inverse transform, in sweeps of S slices for sets of F
// frames.
template <int N, int F, int S>
ZARN_ALWAYS_INLINE void inverseBatch(const InverseTable* table, [[maybe_unused]] double* interleaved,
                                     const double* const* re, const double* const* im, double* const* y,
                                     std::size_t count) {
    constexpr Plan plan = kPlan<N>;
    const FrameSets<F> sets(count);
    alignas(64) double scratch[kLength];
    const double* inRe[FrameSets<F>::kMost][F];
    const double* inIm[FrameSets<F>::kMost][F];
    double* out[FrameSets<F>::kMost][F];
    sets.fill(re, count, re[count - 1], inRe);
    sets.fill(im, count, im[count - 1], inIm);
    sets.fill(y, count, scratch, out);
    if constexpr (plan.inverseForm == Form::interleavedInputs) {
        const auto reColumns = interleavedSets<N, FrameSets<F>::kMost>(interleaved);
        const auto imColumns = reColumns + FrameSets<F>::kMost;
        for (std::size_t s = 0; s < sets.count; ++s) {
            interleave<N>(inRe[s], reColumns[s]);
            interleave<N>(inIm[s], imColumns[s]);
        }
        for (int first = 0; first < kLength; first += S * N) {
            for (std::size_t s = 0; s < sets.count; ++s) {
                inverseSweep<N, N, S>(table, LaneColumns<N>{reColumns[s], imColumns[s]}, out[s], first);
            }
        }
    } else {
        static_assert(plan.inverseForm == Form::framePointers, "no other form for the inverse transform");
        for (int first = 0; first < kLength; first += S * N) {
            for (std::size_t s = 0; s < sets.count; ++s) {
                inverseSweep<N, F, S>(table, FrameRows{inRe[s], inIm[s]}, out[s], first);
            }
        }
    }
    for (std::size_t f = sets.alone; f < count; ++f) inverseAlone<N>(table, re[f], im[f], y[f]);
}

// Any number of frames, a batch at a time.
struct ForwardBatchKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const ForwardTable* table, double* interleaved, const double* const* x,
                                       double* const* re, double* const* im, std::size_t count) {
        for (std::size_t done = 0; done < count; done += Dft::kBatch) {
            forwardBatch<N>(table, interleaved, x + done, re + done, im + done, std::min(count - done, Dft::kBatch));
        }
    }
};

template <int N, int F, int S>
ZARN_ALWAYS_INLINE void inverseBatches(const InverseTable* table, double* interleaved, const double* const* re,
                                       const double* const* im, double* const* y, std::size_t count) {
    for (std::size_t done = 0; done < count; done += Dft::kBatch) {
        inverseBatch<N, F, S>(table, interleaved, re + done, im + done, y + done,
                              std::min(count - done, Dft::kBatch));
    }
}

// The tuning picks the sweeps; a path whose tunings share them has one copy.
struct InverseBatchKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const InverseTable* table, double* interleaved, const double* const* re,
                                       const double* const* im, double* const* y, std::size_t count,
                                       Tuning tuning) {
        constexpr Shape intel = inverseShape<N>(Tuning::intel), amd = inverseShape<N>(Tuning::amd);
        if constexpr (intel.frames != amd.frames || intel.slices != amd.slices) {
            if (tuning == Tuning::amd) {
                inverseBatches<N, amd.frames, amd.slices>(table, interleaved, re, im, y, count);
                return;
            }
        }
        inverseBatches<N, intel.frames, intel.slices>(table, interleaved, re, im, y, count);
    }
};

struct InverseSweepsKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE Dft::Sweeps run(Tuning tuning) {
        const Shape shape = inverseShape<N>(tuning);
        return {N, shape.frames, shape.slices};
    }
};

}  // namespace

struct Dft::Scratch {
    alignas(64) double values[kScratchDoubles];
};

Dft::Dft(Directions directions) : scratch_(std::make_unique<Scratch>()), directions_(directions) {
    if (directions != Directions::inverse) forwardTable();
    if (directions != Directions::forward) inverseTable();
}
Dft::~Dft() = default;
Dft::Dft(Dft&&) noexcept = default;
Dft& Dft::operator=(Dft&&) noexcept = default;

void Dft::forward(const double* x, double* re, double* im, [[maybe_unused]] std::int16_t n) const {
    assert(n == kLength && "the codec's only transform length");
    assert(directions_ != Directions::inverse && "made for the forward transform");
    runOnVectorPath<ForwardKernel>(&forwardTable(), x, re, im);
}

void Dft::inverse(const double* re, const double* im, double* y, [[maybe_unused]] std::int16_t n) const {
    assert(n == kLength && "the codec's only transform length");
    assert(directions_ != Directions::forward && "made for the inverse transform");
    runOnVectorPath<InverseKernel>(&inverseTable(), re, im, y);
}

void Dft::forward(const double* const* x, double* const* re, double* const* im, std::size_t count) {
    assert(directions_ != Directions::inverse && "made for the forward transform");
    if (count == 0) return;
    runOnVectorPath<ForwardBatchKernel>(&forwardTable(), scratch_->values, x, re, im, count);
}

void Dft::inverse(const double* const* re, const double* const* im, double* const* y, std::size_t count) {
    assert(directions_ != Directions::forward && "made for the inverse transform");
    if (count == 0) return;
    runOnVectorPath<InverseBatchKernel>(&inverseTable(), scratch_->values, re, im, y, count, tuning());
}

Dft::Sweeps Dft::inverseBatchSweeps() { return runOnVectorPath<InverseSweepsKernel>(tuning()); }

}  // namespace zarn
