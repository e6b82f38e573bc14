#include "rate/HighBandSegments.h"

#include <cmath>

#include "common/BandTable.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

constexpr double kCutoffHz = 5000.0;

// The parabola n·(n − 511)/1022 is 0 at both ends, and its last step
// (+510/1022) is 1020/1022 larger than its first (−510/1022).
constexpr double kLast = kBlockLength - 1;
constexpr double kParabolaBend = (kLast - 1.0) / kLast;

}  // namespace

HighBandSegments::HighPass::HighPass() {
    // The audio cookbook's high-pass with Q = 1/√2.
    const double w0 = kTwoPi * kCutoffHz / kSampleRate;
    const double alpha = std::sin(w0) / std::sqrt(2.0);
    const double cosine = std::cos(w0);
    const double a0 = 1.0 + alpha;
    c_.b0 = 0.5 * (1.0 + cosine) / a0;
    c_.b1 = -(1.0 + cosine) / a0;
    c_.b2 = c_.b0;
    const double a1 = -2.0 * cosine / a0;
    const double a2 = (1.0 - alpha) / a0;
    // The recursion y[n] = f[n] − a1·y[n−1] − a2·y[n−2] run on a unit
    // input, and from a unit output one and two samples before.
    double impulse[kStep], before1[kStep + 2] = {0.0, 1.0}, before2[kStep + 2] = {1.0, 0.0};
    for (std::size_t j = 0; j < kStep; ++j) {
        impulse[j] = j == 0 ? 1.0 : -a1 * impulse[j - 1] - (j >= 2 ? a2 * impulse[j - 2] : 0.0);
        before1[j + 2] = -a1 * before1[j + 1] - a2 * before1[j];
        before2[j + 2] = -a1 * before2[j + 1] - a2 * before2[j];
        c_.last[j] = before1[j + 2];
        c_.second[j] = before2[j + 2];
    }
    for (std::size_t d = 1; d < kStep; ++d)
        for (std::size_t j = d; j < kStep; ++j) c_.lagged[d][j] = impulse[d];
}

// One hop through the filter. A step of eight outputs waits on the two
// outputs before it through one multiplication and two additions; all else
// depends on the inputs alone, so the vector lanes take it side by side.
struct HighBandSegments::HighPass::Kernel {
    using Filter = HighPass;

    template <int N>
    static ZARN_ALWAYS_INLINE void run(const Filter::Coefficients* c, Filter::State* s, const Sample* hop,
                                       double* out) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        constexpr std::size_t kStep = Filter::kStep;
        constexpr std::size_t kVectors = kStep / N;
        static_assert(kHop % kStep == 0 && kStep % N == 0, "whole steps of whole vectors");

        // A plain loop, which the compiler turns into whole-vector conversions.
        double* x = s->inputs + 2;
        for (std::size_t i = 0; i < kHop; ++i) x[i] = static_cast<int>(hop[i]);
        Real b0, b1, b2;
        L::splat(b0, c->b0);
        L::splat(b1, c->b1);
        L::splat(b2, c->b2);
        double* feed = s->feed + kStep;
        for (std::size_t i = 0; i < kHop; i += N) {
            Real now, one, two;
            L::load(now, x + i);
            L::load(one, x + i - 1);
            L::load(two, x + i - 2);
            L::store(feed + i, b0 * now + b1 * one + b2 * two);
        }
        s->inputs[0] = x[kHop - 2];
        s->inputs[1] = x[kHop - 1];

        Real lagged[kStep][kVectors], last[kVectors], second[kVectors];
        ZARN_UNROLL for (std::size_t v = 0; v < kVectors; ++v) {
            L::load(last[v], c->last + v * N);
            L::load(second[v], c->second + v * N);
            ZARN_UNROLL for (std::size_t d = 1; d < kStep; ++d) L::load(lagged[d][v], c->lagged[d] + v * N);
        }
        double y1 = s->y1, y2 = s->y2;
        for (std::size_t i = 0; i < kHop; i += kStep) {
            Real own[kVectors];
            ZARN_UNROLL for (std::size_t v = 0; v < kVectors; ++v) {
                const double* f = feed + i + v * N;
                L::load(own[v], f);
                ZARN_UNROLL for (std::size_t d = 1; d < kStep; ++d) {
                    Real earlier;
                    L::load(earlier, f - d);
                    own[v] += lagged[d][v] * earlier;
                }
            }
            Real before1, before2;
            L::splat(before1, y1);
            L::splat(before2, y2);
            ZARN_UNROLL for (std::size_t v = 0; v < kVectors; ++v)
                L::store(out + i + v * N, (own[v] + last[v] * before1) + second[v] * before2);
            // The same two outputs again, in scalars: the next step waits on
            // them alone, not on a vector's lanes taken apart.
            const double ownLast = own[kVectors - 1][N - 1];
            const double ownBefore = own[(kStep - 2) / N][(kStep - 2) % N];
            const double next1 = (ownLast + c->last[kStep - 1] * y1) + c->second[kStep - 1] * y2;
            y2 = (ownBefore + c->last[kStep - 2] * y1) + c->second[kStep - 2] * y2;
            y1 = next1;
        }
        s->y1 = y1;
        s->y2 = y2;
    }
};

void HighBandSegments::HighPass::filter(const Sample* hop, double* out) {
    runOnVectorPath<Kernel>(&c_, &state_, hop, out);
}

bool HighBandSegments::next(const Sample* hop) {
    carries_ = !carries_;
    highPass_.filter(hop, filtered_.data() + (carries_ ? kHop : 0));
    return carries_;
}

void HighBandSegments::aim(const RealFft& fft, double* re, double* im) {
    // The filtered hops less a line and a parabola: the line has the
    // segment's last sample step to its first (as the transform takes them,
    // one after the other) as its samples beside them step, and the
    // parabola has both ends climb alike. A line through the ends alone
    // left a kink there, which spread over the high bands at every other
    // join of two hops: 11 dB more error above 6 kHz in the joins' few
    // samples than between them, on music with next to nothing up there.
    const double* f = filtered_.data();
    const double endSlope = f[kBlockLength - 1] - f[kBlockLength - 2], startSlope = f[1] - f[0];
    const double line = (f[kBlockLength - 1] - f[0] + 0.5 * (endSlope + startSlope)) / kBlockLength;
    const double parabola = (endSlope - startSlope) / kParabolaBend;
    for (std::size_t i = 0; i < kBlockLength; ++i) {
        const double n = static_cast<double>(i);
        segment_[i] = f[i] - line * n - parabola * (n * (n - kLast) / (2.0 * kLast));
    }
    fft.forward(segment_.data(), re_.data(), im_.data());
    for (std::size_t bin = kBands.first[kFirstBand]; bin < kCodedBins; ++bin) {
        re[bin] = re_[bin];
        im[bin] = im_[bin];
    }
}

}  // namespace zarn
