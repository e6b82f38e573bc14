#include "rate/ErrorFeedback.h"

#include <cmath>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

constexpr double kShare = 0.6;

// What offset() does, on N lanes: the other part's error into the padded
// row, `error` pointing at its bin 0, mirrored past bins 0 and 256; then
// shifted[k] = target[k] + Σ taps[t] · (error[k − d] − error[k + d]), d = 2t + 1.
struct OffsetKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* target, const double* otherTarget, const double* otherDecoded,
                                       bool otherImaginary, const double* taps, double* error, double* shifted) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        std::size_t k = 0;
        for (; k + N <= kCodedBins; k += N) {
            Real stored, aimed;
            L::load(stored, otherDecoded + k);
            L::load(aimed, otherTarget + k);
            L::store(error + k, stored - aimed);
        }
        for (; k < kCodedBins; ++k) error[k] = otherDecoded[k] - otherTarget[k];
        // The imaginary parts of bins 0 and 256 are zero in any real
        // signal's spectrum, whatever rounding left in the target; past
        // them the spectrum's symmetry mirrors real parts as they are and
        // imaginary parts negated.
        const double mirror = otherImaginary ? -1.0 : 1.0;
        if (otherImaginary) error[0] = error[kNyquistBin] = 0.0;
        for (std::ptrdiff_t t = 1; t <= ErrorFeedback::kReach; ++t) {
            error[-t] = mirror * error[t];
            error[kNyquistBin + t] = mirror * error[kNyquistBin - t];
        }

        // The real parts' error pulls the imaginary parts one way and the
        // imaginary parts' error the real parts the other.
        const double sign = otherImaginary ? -1.0 : 1.0;
        Real tap[ErrorFeedback::kTaps];
        for (int t = 0; t < ErrorFeedback::kTaps; ++t) L::splat(tap[t], sign * taps[t]);
        for (k = 0; k + N <= kCodedBins; k += N) {
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
    runOnVectorPath<OffsetKernel>(target, otherTarget, otherDecoded, part == Part::real,
                                  static_cast<const double*>(taps_.data()), error_.data() + kPad, shifted);
}

}  // namespace zarn
