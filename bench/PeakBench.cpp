// The machine's peak rate of separate double multiplications and additions
// on each vector path, and from it the bound that rate sets for zarnbasic's
// direct transforms, whose every product is one multiplication and every sum
// one addition (no fusing, no reordering).
//
// Many independent chains, half multiplications and half additions, as the
// transforms need them one to one, with no memory operands: every counter is
// the arithmetic alone. mul_add is multiplications plus additions (lanes
// counted) per second; forward_x and inverse_x are the × real time a
// transform would reach if it did nothing but its products and sums at that
// rate (Dft::kForwardProducts and Dft::kInverseProducts of each per frame).
// bench/throughput.sh reads these counters, and the inverse transform's
// sweeps from the context.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/DftSweeps.h"
#include "bench/VectorPaths.h"
#include "common/Lanes.h"
#include "common/Types.h"
#include "common/VectorDispatch.h"
#include "reduced/Dft.h"

namespace zarn::bench {
namespace {

struct PeakKernel {
    // Chains of each kind: enough to keep every multiplier and adder busy
    // through its latency (two 512-bit units of four cycles, or up to three
    // or four 256-bit ones of two to four cycles), few enough that all of
    // them and the two operands stay in the path's registers (16 vectors for
    // two and four lanes, 32 for eight).
    template <int N>
    static constexpr int kChains = N >= 8 ? 12 : 7;

    // Rounds × kChains<N> multiplications and as many additions, N lanes
    // each. factor and term are 1 and 0 at run time, so the values never
    // change and never leave the normal range.
    template <int N>
    static ZARN_ALWAYS_INLINE double run(std::int64_t rounds, double factor, double term) {
        using Real = typename Lanes<N>::Real;
        constexpr int K = kChains<N>;
        // Every lane of each: zero plus a value, which no sign of zero concerns here.
        const Real f = Real{} + factor, t = Real{} + term;
        Real product[K], sum[K];
        ZARN_UNROLL for (int k = 0; k < K; ++k) product[k] = sum[k] = Real{} + (1.0 + k);
        for (std::int64_t r = 0; r < rounds; ++r) {
            ZARN_UNROLL for (int k = 0; k < K; ++k) {
                product[k] = product[k] * f;
                sum[k] = sum[k] + t;
            }
        }
        Real total = {};
        ZARN_UNROLL for (int k = 0; k < K; ++k) total = total + product[k] + sum[k];
        double result = 0.0;
        for (int i = 0; i < N; ++i) result += total[i];
        return result;
    }
};

// Operations (lanes counted) that one call of PeakKernel::run<N> performs per round.
struct OperationsPerRound {
    template <int N>
    static ZARN_ALWAYS_INLINE std::int64_t run() {
        return 2 * PeakKernel::kChains<N> * N;
    }
};

void PeakMulAdd(benchmark::State& state) {
    constexpr std::int64_t kRounds = 1 << 16;
    // Read at run time, so that the compiler cannot fold the chains away.
    volatile double factor = 1.0, term = 0.0;
    const std::int64_t perRound = runOnVectorPath<OperationsPerRound>();
    for (auto _ : state) benchmark::DoNotOptimize(runOnVectorPath<PeakKernel>(kRounds, factor, term));
    const double operations = static_cast<double>(state.iterations()) * kRounds * perRound;
    using benchmark::Counter;
    state.counters["mul_add"] = Counter(operations, Counter::kIsRate);
    // Frames per second at the peak rate, as × real time: kHop new samples a frame.
    constexpr double kSampleRate = 44100;
    const double secondsPerFrame = static_cast<double>(kHop) / kSampleRate;
    state.counters["forward_x"] =
        Counter(operations / (2.0 * Dft::kForwardProducts) * secondsPerFrame, Counter::kIsRate);
    state.counters["inverse_x"] =
        Counter(operations / (2.0 * Dft::kInverseProducts) * secondsPerFrame, Counter::kIsRate);
}
[[maybe_unused]] const bool peakRegistered = onEveryVectorPath("PeakMulAdd", PeakMulAdd, benchmark::kMicrosecond);
[[maybe_unused]] const bool sweepsReported = reportDftInverseSweeps();

}  // namespace
}  // namespace zarn::bench
