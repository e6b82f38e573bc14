#include "encoder/RateControl.h"

#include <algorithm>
#include <cmath>

#include "common/Types.h"

namespace zarn {

namespace {

// Frames of target bits by which the reservoir doubles λ: shorter reacts
// faster and holds the rate closer, longer keeps λ steadier.
constexpr double kReservoirFrames = 24.0;
// The share of the reservoir term that the level takes over each frame.
constexpr double kLearning = 0.02;
// Bits a stream saves up for later, in frames of target, before it spends
// them on frames that λ alone would leave smaller: small enough that a
// stream that ends in such sound still comes close to its rate.
constexpr double kMostSaved = 12.0;
// How far the level may move from where it started: it must not run away
// while a long silence saves bits.
constexpr double kLevelReach = 12.0;

// log2 λ at which music of average density takes about `kbitPerSecond`;
// the level starts there and learns the rest.
double startingLevel(double kbitPerSecond) { return 8.5 - 0.02734 * (kbitPerSecond - 64.0); }

}  // namespace

RateControl::RateControl(double kbitPerSecond)
    : target_(kbitPerSecond * 1000.0 * kHop / kSampleRate),
      start_(startingLevel(kbitPerSecond)),
      level_(start_),
      overspent_(0.0) {}

double RateControl::reservoirTerm() const { return overspent_ / (target_ * kReservoirFrames); }

double RateControl::lambda() const { return std::exp2(level_ + reservoirTerm()); }

std::size_t RateControl::surplus(std::size_t bits) const {
    const double saved = -overspent_ - kMostSaved * target_;
    const double below = target_ - static_cast<double>(bits);
    return saved > 0 && below > 0 ? static_cast<std::size_t>(std::min(saved, below)) : 0;
}

void RateControl::spent(std::size_t bits) {
    overspent_ += static_cast<double>(bits) - target_;
    level_ = std::clamp(level_ + kLearning * reservoirTerm(), start_ - kLevelReach, start_ + kLevelReach);
}

}  // namespace zarn
