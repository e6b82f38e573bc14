#include "encoder/HighBandSegments.h"

#include <cmath>

#include "common/BandTable.h"

namespace zarn {

namespace {

constexpr double kCutoffHz = 5000.0;

}  // namespace

HighBandSegments::HighPass::HighPass() {
    // The audio cookbook's high-pass with Q = 1/√2.
    const double w0 = kTwoPi * kCutoffHz / kSampleRate;
    const double alpha = std::sin(w0) / std::sqrt(2.0);
    const double cosine = std::cos(w0);
    const double a0 = 1.0 + alpha;
    b0_ = 0.5 * (1.0 + cosine) / a0;
    b1_ = -(1.0 + cosine) / a0;
    b2_ = b0_;
    a1_ = -2.0 * cosine / a0;
    a2_ = (1.0 - alpha) / a0;
    // The recursion y[n] = f[n] − a1·y[n−1] − a2·y[n−2] run on a unit
    // input, and from a unit output one and two samples before.
    double before1[kStep + 2] = {0.0, 1.0}, before2[kStep + 2] = {1.0, 0.0};
    for (std::size_t j = 0; j < kStep; ++j) {
        impulse_[j] = j == 0 ? 1.0 : -a1_ * impulse_[j - 1] - (j >= 2 ? a2_ * impulse_[j - 2] : 0.0);
        before1[j + 2] = -a1_ * before1[j + 1] - a2_ * before1[j];
        before2[j + 2] = -a1_ * before2[j + 1] - a2_ * before2[j];
        last_[j] = before1[j + 2];
        second_[j] = before2[j + 2];
    }
}

void HighBandSegments::HighPass::filter(const Sample* hop, double* out) {
    // The recursion takes four outputs at a time from the two before, so
    // that a step waits on one multiplication and two additions, not four
    // samples' worth of them; the rest depends on the inputs alone.
    feed_[0] = b0_ * hop[0] + b1_ * x1_ + b2_ * x2_;
    feed_[1] = b0_ * hop[1] + b1_ * hop[0] + b2_ * x1_;
    for (std::size_t i = 2; i < kHop; ++i)
        feed_[i] = b0_ * hop[i] + b1_ * static_cast<double>(hop[i - 1]) + b2_ * static_cast<double>(hop[i - 2]);
    x1_ = hop[kHop - 1];
    x2_ = hop[kHop - 2];
    // In registers: `out` might alias the members, as far as the compiler
    // knows.
    double impulse[kStep], last[kStep], second[kStep];
    for (std::size_t j = 0; j < kStep; ++j) {
        impulse[j] = impulse_[j];
        last[j] = last_[j];
        second[j] = second_[j];
    }
    double y1 = y1_, y2 = y2_;
    for (std::size_t i = 0; i < kHop; i += kStep) {
        const double* f = feed_.data() + i;
        double y[kStep];
        for (std::size_t j = 0; j < kStep; ++j) {
            double own = f[j];  // the step's own inputs: no wait on the outputs
            for (std::size_t d = 1; d <= j; ++d) own += impulse[d] * f[j - d];
            y[j] = (own + last[j] * y1) + second[j] * y2;
        }
        for (std::size_t j = 0; j < kStep; ++j) out[i + j] = y[j];
        y1 = y[kStep - 1];
        y2 = y[kStep - 2];
    }
    y1_ = y1;
    y2_ = y2;
}

HighBandSegments::HighBandSegments() {
    constexpr double kMiddle = 0.5 * (kBlockLength - 1);
    for (std::size_t i = 0; i < kBlockLength; ++i) line_[i] = (static_cast<double>(i) - kMiddle) / (kBlockLength - 1);
}

bool HighBandSegments::next(const Sample* hop) {
    carries_ = !carries_;
    highPass_.filter(hop, halves_[carries_].data());
    return carries_;
}

void HighBandSegments::aim(const RealFft& fft, double* re, double* im) {
    const HalfBlock& before = halves_[!carries_];
    const HalfBlock& latest = halves_[carries_];
    // Less the line through both ends, the segment's last sample meets its
    // first as the transform sees them, one after the other.
    const double rise = latest[kHop - 1] - before[0];
    for (std::size_t i = 0; i < kHop; ++i) {
        segment_[i] = before[i] - rise * line_[i];
        segment_[kHop + i] = latest[i] - rise * line_[kHop + i];
    }
    fft.forward(segment_.data(), re_.data(), im_.data());
    for (std::size_t bin = kBands.first[kFirstBand]; bin < kCodedBins; ++bin) {
        re[bin] = re_[bin];
        im[bin] = im_[bin];
    }
}

}  // namespace zarn
