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
    b0 = 0.5 * (1.0 + cosine) / a0;
    b1 = -(1.0 + cosine) / a0;
    b2 = b0;
    a1 = -2.0 * cosine / a0;
    a2 = (1.0 - alpha) / a0;
}

double HighBandSegments::HighPass::operator()(double x) {
    const double y = b0 * x + state1;
    state1 = b1 * x - a1 * y + state2;
    state2 = b2 * x - a2 * y;
    return y;
}

HighBandSegments::HighBandSegments() = default;

bool HighBandSegments::next(const Sample* hop) {
    previous_ = current_;
    for (std::size_t i = 0; i < kHop; ++i) current_[i] = highPass_(hop[i]);
    carries_ = !carries_;
    return carries_;
}

void HighBandSegments::aim(const RealFft& fft, double* re, double* im) {
    for (std::size_t i = 0; i < kHop; ++i) {
        segment_[i] = previous_[i];
        segment_[kHop + i] = current_[i];
    }
    // Less the line through both ends, the segment's last sample meets its
    // first as the transform sees them, one after the other.
    const double rise = segment_[kBlockLength - 1] - segment_[0];
    constexpr double kMiddle = 0.5 * (kBlockLength - 1);
    for (std::size_t i = 0; i < kBlockLength; ++i)
        segment_[i] -= rise * (static_cast<double>(i) - kMiddle) / (kBlockLength - 1);
    fft.forward(segment_.data(), re_.data(), im_.data());
    for (std::size_t bin = kBands.first[kFirstBand]; bin < kCodedBins; ++bin) {
        re[bin] = re_[bin];
        im[bin] = im_[bin];
    }
}

}  // namespace zarn
