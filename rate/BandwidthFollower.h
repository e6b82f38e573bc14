#pragma once

#include <array>
#include <cstddef>

#include "common/Types.h"
#include "rate/PerceptualWeights.h"
#include "rate/RateProfile.h"

namespace zarn {

// How many bands the rate encoder may code: one of the two or three cut-offs
// of a bit rate's profile, chosen by the music over seconds.
//
// Bands that come and go from frame to frame sound worse than a steady
// cut-off, but no one cut-off suits all music at a rate: where the upper
// bands are barely worth their bits (solo piano at 128 kbit/s), the bits of
// the top band serve better below it; where they are well worth them, one
// more band pays at 192. The measure is how far the upper bands stand above
// the cost of coding them: the mean of log2(weight · energy / (λ · count))
// over five bands below the usual cut-off, smoothed over about two seconds.
// It moves when the cut-off does (a band less lowers λ), so the thresholds
// back are far from those away, and the cut-off changes seldom.
class BandwidthFollower {
public:
    // Chooses among `profile`'s cut-offs.
    explicit BandwidthFollower(const RateProfile& profile);

    std::size_t bands() const { return bands_; }

    // One frame's band energies and weights, and the λ it was coded with.
    void observe(const std::array<double, kBandCount>& energy, const BandWeights& weights, double lambda);

private:
    std::size_t fewer_, usual_, more_;  // the cut-offs at this rate, in bands
    std::size_t bands_;
    double measure_ = 0.0;
    double frames_ = 0.0;  // frames observed, up to the smoothing's length
};

}  // namespace zarn
