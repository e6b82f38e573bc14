#include "rate/RateControl.h"

#include <algorithm>
#include <cmath>

#include "common/Types.h"

namespace zarn {

namespace {

// One λ for the whole stream would give the best squared error for its
// size, but the listener (and the perceptual grade) judges a stream by its
// worst moments, and frames that λ alone leaves small are such moments: a
// reservoir of a frame or less holds nearly every frame near the target,
// which measured 0.5 grade points better at 192 kbit/s than one of 24
// frames.
// The share of the reservoir term that the level takes over each frame.
constexpr double kLearning = 0.02;

// log2 λ at which music of average density takes about `kbitPerSecond`;
// the level starts there and learns the rest.
double startingLevel(double kbitPerSecond) { return 3.5 - 0.019 * (kbitPerSecond - 64.0); }

}  // namespace

RateControl::RateControl(double kbitPerSecond, double reservoirFrames, unsigned channels)
    : target_(kbitPerSecond * 1000.0 * kHop / kSampleRate),
      reservoir_(target_ * reservoirFrames),
      start_(startingLevel(kbitPerSecond / channels)),
      level_(start_),
      overspent_(0.0) {}

double RateControl::reservoirTerm() const { return overspent_ / reservoir_; }

double RateControl::lambda() const { return std::exp2(level_ + reservoirTerm()); }

std::size_t RateControl::unsaved(std::size_t bits) const {
    const double below = -kMostSaved * target_ - (overspent_ + static_cast<double>(bits) - target_);
    return below > 0 ? static_cast<std::size_t>(std::ceil(below)) : 0;
}

void RateControl::spent(std::size_t bits) {
    overspent_ = std::max(overspent_ + static_cast<double>(bits) - target_, -kMostSaved * target_);
    level_ = std::clamp(level_ + kLearning * reservoirTerm(), start_ - kLevelReach, start_ + kLevelReach);
}

}  // namespace zarn
