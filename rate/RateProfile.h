#pragma once
// Everything in the rate encoder that depends on the bit rate, in one table:
// a profile for each range of rates, from the lowest rate of the range up
// to the next one's.

#include <cstddef>

#include "common/Types.h"

namespace zarn {

// Cut-offs, in bands coded from band 0.
constexpr std::size_t kBandsTo6400Hz = 20;
constexpr std::size_t kBandsTo9500Hz = 22;
constexpr std::size_t kBandsTo12kHz = 23;
constexpr std::size_t kBandsTo15500Hz = 24;

struct RateProfile {
    unsigned from;  // kbit/s: the lowest rate of the range

    // The cut-offs that BandwidthFollower chooses between, fewest bands
    // first; the stream starts at `usual`.
    std::size_t fewer, usual, more;

    // Whether the high bands come in segments, every other Block
    // (HighBandSegments).
    bool segmented;

    // RateControl's reservoir, in frames of target bits by which λ doubles.
    // Half a frame measured 0.01 to 0.03 better in grade than one frame at
    // every rate from 96 to 256 kbit/s, and one of 16 frames 0.07 worse; at
    // a quarter the solo piano lost, and at an eighth λ swung from frame to
    // frame. Where the high bands come in segments, frames that carry them
    // alternate with frames that do not; a quarter frame, holding each of
    // them closer to the target, measured 0.03 to 0.1 better in grade there
    // than half.
    double reservoirFrames;
};

// Measured cut-offs (mean grade over five recordings): at 96 kbit/s a cut at
// 6.4 kHz is 0.6 better than one at 9.5 kHz; at 128 one at 12 kHz 0.25
// better than none, and 9.5 kHz better for solo piano; at 160 and 192 one at
// 15.5 kHz 0.15 and 0.3 better than one at 12 kHz, and none better for all
// but piano and drums. At 256 every recording grades best with all 25.
//
// The high bands in segments: at 128 kbit/s, coding every band above 6.4
// kHz that way gained 0.2 in grade on music and 0.1 on solo instruments; at
// 96 it lost, the bits being too few for the low bands, and from 144 on it
// was as good as coding them in every Block, or worse.
inline constexpr RateProfile kRateProfiles[] = {
    {64, kBandsTo6400Hz, kBandsTo6400Hz, kBandsTo6400Hz, false, 0.5},
    {112, kBandsTo9500Hz, kBandsTo12kHz, kBandsTo12kHz, true, 0.25},
    {144, kBandsTo15500Hz, kBandsTo15500Hz, kBandCount, false, 0.5},
    {224, kBandCount, kBandCount, kBandCount, false, 0.5},
};

// The profile of the range that holds `kbitPerSecond`; below the lowest
// range, that range's.
constexpr const RateProfile& rateProfile(unsigned kbitPerSecond) {
    std::size_t at = 0;
    while (at + 1 < sizeof kRateProfiles / sizeof kRateProfiles[0] && kRateProfiles[at + 1].from <= kbitPerSecond)
        ++at;
    return kRateProfiles[at];
}

}  // namespace zarn
