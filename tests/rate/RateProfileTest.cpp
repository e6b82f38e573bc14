// The bit rates' profiles: every rate the encoder holds has one, and what
// they choose fits together.

#include "rate/RateProfile.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>

#include "rate/HighBandSegments.h"
#include "rate/RateEncoder.h"

namespace zarn {
namespace {

TEST(RateProfiles, CoverEveryRateWithoutGapsOrOverlaps) {
    ASSERT_EQ(kRateProfiles[0].from, RateEncoder::kLowestBitrate);
    for (std::size_t at = 1; at < std::size(kRateProfiles); ++at) {
        EXPECT_LT(kRateProfiles[at - 1].from, kRateProfiles[at].from);
    }
    EXPECT_LE(kRateProfiles[std::size(kRateProfiles) - 1].from, RateEncoder::kHighestBitrate);
    // Each rate gets the profile of the range it lies in: the last one that
    // starts at or below it.
    for (unsigned rate = RateEncoder::kLowestBitrate; rate <= RateEncoder::kHighestBitrate; ++rate) {
        const RateProfile& profile = rateProfile(rate);
        EXPECT_LE(profile.from, rate);
        const auto next = &profile - kRateProfiles + 1;
        if (next < static_cast<std::ptrdiff_t>(std::size(kRateProfiles))) {
            EXPECT_GT(kRateProfiles[next].from, rate);
        }
    }
}

// The cut-offs are in order, never fall as the rate rises, and leave the
// follower its measured bands below the usual one; where the high bands
// come in segments, every cut-off codes some of them.
TEST(RateProfiles, CutOffsAreInOrderAndRiseWithTheRate) {
    for (std::size_t at = 0; at < std::size(kRateProfiles); ++at) {
        const RateProfile& profile = kRateProfiles[at];
        SCOPED_TRACE(testing::Message() << "profile from " << profile.from << " kbit/s");
        EXPECT_LE(profile.fewer, profile.usual);
        EXPECT_LE(profile.usual, profile.more);
        EXPECT_LE(profile.more, kBandCount);
        EXPECT_GE(profile.fewer, 6u);
        EXPECT_GT(profile.reservoirFrames, 0.0);
        if (profile.segmented) {
            EXPECT_GT(profile.fewer, HighBandSegments::kFirstBand);
        }
        if (at > 0) {
            EXPECT_LE(kRateProfiles[at - 1].fewer, profile.fewer);
            EXPECT_LE(kRateProfiles[at - 1].usual, profile.usual);
            EXPECT_LE(kRateProfiles[at - 1].more, profile.more);
        }
    }
}

}  // namespace
}  // namespace zarn
