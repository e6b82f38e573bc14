#pragma once

#include <array>

#include "common/Types.h"

namespace zarn {

// How much an error in each band counts, and its base-2 logarithm.
struct BandWeights {
    std::array<double, kBandCount> weight{};
    std::array<double, kBandCount> log2Weight{};
};

// How much an error in each band counts, for the rate encoder's choices.
//
// A band's mask is the power that the frame's own sound, spread over the
// Bark scale, leaves unheard around it. The weight is mask^−0.5: an error
// counts less where the music is loud, but far from in proportion. Where
// the frame's mask is spread evenly over the bands (an orchestra, a dense
// mix) the weight follows it further, up to mask^−0.7: there the quiet
// bands' error is heard, and a few loud ones do not hide it. It is
// tilted towards the low bands, whose error the mask underrates. At this
// transform's 86 Hz resolution a full masking model (weight 1/mask) takes
// piano and dense music for noise and lets the error rise to about 10 dB
// under the signal, which listeners hear. The threshold in quiet is left
// out: measured, it cost the quiet passages of speech more than it saved.
class PerceptualWeights {
public:
    PerceptualWeights();

    // The weight of every band for a spectrum whose bands hold `energy`
    // (the sum of their squared components). The weight's power follows
    // the flatness of the last frame loud enough to tell.
    void weigh(const std::array<double, kBandCount>& energy, BandWeights& weights);

private:
    // spread_[j][b]: the share of band j's energy that masks each bin of
    // band b; 0 where it is negligible.
    // Rows are padded with zeros to whole vectors of eight.
    static constexpr std::size_t kRow = (kBandCount + 7) / 8 * 8;
    std::array<std::array<double, kRow>, kBandCount> spread_{};
    // The tilt's part of each band's log2 weight.
    std::array<double, kBandCount> tilt_{};
    // The mask's flatness: the mean of its log2 over the bands less the
    // log2 of its mean, 0 for a flat mask and lower the more a few bands
    // stand out.
    double flatness_ = -7.0;
};

}  // namespace zarn
