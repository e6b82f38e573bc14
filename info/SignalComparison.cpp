#include "info/SignalComparison.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zarn {

namespace {

// Signal over noise in dB; no noise at all is infinitely good, even in silence.
double snr(double signal, double noise) {
    if (noise == 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(signal / noise);
}

}  // namespace

SignalComparison::SignalComparison(const std::vector<Sample>& original, const std::vector<Sample>& decoded)
    : compared_(std::min(original.size(), decoded.size())) {
    double signal = 0.0;
    double noise = 0.0;
    double segmentSum = 0.0;
    std::size_t segments = 0;
    for (std::size_t start = 0; start < compared_; start += kSegment) {
        const std::size_t end = std::min(start + kSegment, compared_);
        double segmentSignal = 0.0;
        double segmentNoise = 0.0;
        for (std::size_t i = start; i < end; ++i) {
            const int error = decoded[i] - original[i];
            largestError_ = std::max(largestError_, std::abs(error));
            segmentSignal += static_cast<double>(original[i]) * original[i];
            segmentNoise += static_cast<double>(error) * error;
        }
        signal += segmentSignal;
        noise += segmentNoise;
        if (segmentSignal < kSilentMeanSquare * static_cast<double>(end - start)) {
            ++silentSegments_;
            continue;
        }
        segmentSum += std::clamp(snr(segmentSignal, segmentNoise), kFloorDb, kCeilingDb);
        ++segments;
    }
    // Nothing compared is no measurement at all, not a perfect one.
    snrDb_ = compared_ > 0 ? snr(signal, noise) : std::numeric_limits<double>::quiet_NaN();
    segmentalSnrDb_ =
        segments > 0 ? segmentSum / static_cast<double>(segments) : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace zarn
