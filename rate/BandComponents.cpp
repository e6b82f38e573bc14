#include "rate/BandComponents.h"

#include <cstring>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

// Sums come out the same on every path, since a band's coding can hinge on
// their last bit (after a long silence λ is tiny, and a band that keeps
// nothing ties with one left off). Each is summed as on eight lanes, value i
// of a band's padded run into lane i mod 8, on N lanes by 8 / N vectors of
// them side by side. The vectors are then added by halves, lane i to lane
// i + 4 first, and acrossLanes goes on by halves from there, as it combines
// eight lanes.
template <int N>
struct EightLanes {
    static constexpr int kVectors = 8 / N;
    static_assert(N <= 8 && 8 % N == 0 && ComponentLayout::kAlign % 8 == 0, "a band's run is whole sets of eight");
    using Real = typename Lanes<N>::Real;

    // Into sums[0]: lanes i and i + 4 of the eight, then i and i + 2 while
    // they lie in different vectors. In place, since a wide vector returned
    // by value changes the calling convention (-Wpsabi).
    static ZARN_ALWAYS_INLINE void fold(Real* sums) {
        ZARN_UNROLL for (int half = kVectors / 2; half >= 1; half /= 2) {
            ZARN_UNROLL for (int k = 0; k < half; ++k) sums[k] += sums[k + half];
        }
    }
};

// Every band's largest magnitude and energy over its padded run, each band's
// lanes combined with the others' at the end.
struct MeasureKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* values, double* peak, double* energy) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        using Eight = EightLanes<N>;
        Real largest[kBandCount], sum[kBandCount];
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double* x = values + kComponentLayout.offset[band];
            Real sums[Eight::kVectors] = {};
            largest[band] = Real{};
            for (std::size_t i = 0; i < kComponentLayout.padded[band]; i += 8) {
                ZARN_UNROLL for (int k = 0; k < Eight::kVectors; ++k) {
                    Real v;
                    L::load(v, x + i + static_cast<std::size_t>(k * N));
                    sums[k] += v * v;
                    L::absolute(v);
                    greaterOf(largest[band], largest[band], v);
                }
            }
            Eight::fold(sums);
            sum[band] = sums[0];
        }
        L::template acrossLanes<kBandCount>(largest, peak, [](Real& a, const Real& b) { greaterOf(a, a, b); });
        L::template acrossLanes<kBandCount>(sum, energy, [](Real& a, const Real& b) { a += b; });
    }
};

// Every candidate band's scales at once, in one pass over the band: the
// loads are shared, and the sums are independent, so their additions
// overlap.
struct ErrorKernel {
    static constexpr int C = static_cast<int>(BandCandidates::kPerBand);

    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* values, BandCandidates* candidates) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        Real shift;
        L::splat(shift, kRoundingShift);
        for (std::size_t at = 0; at < candidates->count; ++at) {
            const std::size_t band = candidates->band[at];
            const double* x = values + kComponentLayout.offset[band];
            const FieldScale* scales = candidates->scales[at].data();
            using Eight = EightLanes<N>;
            // Broadcast by adding to zeros: none of these is −0.
            Real toField[C], step[C], low[C], high[C], sum[C][Eight::kVectors] = {},
                energy[C][Eight::kVectors] = {};
            ZARN_UNROLL
            for (int c = 0; c < C; ++c) {
                toField[c] = Real{} + scales[c].toField;
                step[c] = Real{} + scales[c].step;
                low[c] = Real{} + scales[c].low;
                high[c] = Real{} + scales[c].high;
            }
            for (std::size_t i = 0; i < kComponentLayout.padded[band]; i += 8) {
                ZARN_UNROLL for (int k = 0; k < Eight::kVectors; ++k) {
                    Real v;
                    L::load(v, x + i + static_cast<std::size_t>(k * N));
                    ZARN_UNROLL
                    for (int c = 0; c < C; ++c) {
                        Real f, held;
                        f = (v * toField[c] + shift) - shift;
                        greaterOf(held, f, low[c]);
                        lesserOf(f, held, high[c]);
                        const Real y = f * step[c];
                        const Real e = v - y;
                        sum[c][k] += e * e;
                        energy[c][k] += y * y;
                    }
                }
            }
            Real sums[2 * C];
            ZARN_UNROLL
            for (int c = 0; c < C; ++c) {
                Eight::fold(sum[c]);
                Eight::fold(energy[c]);
                sums[c] = sum[c][0], sums[C + c] = energy[c][0];
            }
            double totals[2 * C];
            L::template acrossLanes<2 * C>(sums, totals, [](Real& a, const Real& b) { a += b; });
            ZARN_UNROLL
            for (int c = 0; c < C; ++c) {
                candidates->errors[static_cast<std::size_t>(c)][at] = totals[c];
                candidates->kept[static_cast<std::size_t>(c)][at] = totals[C + c];
            }
        }
    }
};

}  // namespace

void BandComponents::gather(const double* re, const double* im) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        double* to = values.data() + kComponentLayout.offset[band];
        // Every real part, then the imaginary parts.
        const StoredBins real = storedBins(band, Part::real), imaginary = storedBins(band, Part::imaginary);
        std::memcpy(to, re + real.first, (real.end - real.first) * sizeof(double));
        std::memcpy(to + (real.end - real.first), im + imaginary.first,
                    (imaginary.end - imaginary.first) * sizeof(double));
    }
    runOnVectorPath<MeasureKernel>(static_cast<const double*>(values.data()), peak.data(), energy.data());
}

void quantisationErrors(const BandComponents& components, BandCandidates& candidates) {
    runOnVectorPath<ErrorKernel>(static_cast<const double*>(components.values.data()), &candidates);
}

}  // namespace zarn
