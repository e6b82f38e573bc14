#include "encoder/ErrorFeedback.h"

#include <cmath>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

constexpr double kShare = 0.6;

// shifted[k] = target[k] + Σ taps[t] · (error[k − d] − error[k + d]), d = 2t + 1,
// for bins 0..256 on N lanes, `error` pointing at bin 0 of the padded row.
struct OffsetKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* target, const double* error, const double* taps, double sign,
                                       double* shifted) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        Real tap[ErrorFeedback::kTaps];
        for (int t = 0; t < ErrorFeedback::kTaps; ++t) L::splat(tap[t], sign * taps[t]);
        std::size_t k = 0;
        for (; k + N <= kCodedBins; k += N) {
            Real sum, below, above;
            L::load(sum, target + k);
            ZARN_UNROLL for (int t = 0; t < ErrorFeedback::kTaps; ++t) {
                L::load(below, error + k - (2 * t + 1));
                L::load(above, error + k + (2 * t + 1));
                sum += tap[t] * (below - above);
            }
            L::store(shifted + k, sum);
        }
        for (; k < kCodedBins; ++k) {
            double sum = target[k];
            for (int t = 0; t < ErrorFeedback::kTaps; ++t)
                sum += sign * taps[t] * (error[k - (2 * t + 1)] - error[k + (2 * t + 1)]);
            shifted[k] = sum;
        }
    }
};

}  // namespace

ErrorFeedback::ErrorFeedback() {
    for (int t = 0; t < kTaps; ++t) {
        const double d = 2 * t + 1;
        taps_[static_cast<std::size_t>(t)] = kShare / std::tan(0.5 * kTwoPi * d / kBlockLength) / kHop;
    }
}

void ErrorFeedback::offset(Part part, const double* target, const double* otherTarget, const double* otherDecoded,
                           double* shifted) {
    double* error = error_.data() + kPad;
    for (std::size_t k = 0; k < kCodedBins; ++k) error[k] = otherDecoded[k] - otherTarget[k];
    // The imaginary parts of bins 0 and 256 are zero in any real signal's
    // spectrum, whatever rounding left in the target.
    const bool otherImaginary = part == Part::real;
    const double mirror = otherImaginary ? -1.0 : 1.0;
    if (otherImaginary) error[0] = error[kNyquistBin] = 0.0;
    for (std::size_t t = 1; t <= kPad; ++t) {
        error[-static_cast<std::ptrdiff_t>(t)] = mirror * error[t];
        error[kNyquistBin + t] = mirror * error[kNyquistBin - t];
    }
    // The real parts' error pulls the imaginary parts one way and the
    // imaginary parts' error the real parts the other.
    const double sign = otherImaginary ? -1.0 : 1.0;
    runOnVectorPath<OffsetKernel>(target, static_cast<const double*>(error), static_cast<const double*>(taps_.data()),
                                  sign, shifted);
}

}  // namespace zarn
