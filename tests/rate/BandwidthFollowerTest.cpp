// The rate encoder's cut-off: which cut-offs each bit rate may choose, and
// that it moves only after seconds of music that asks for it, and back only
// well past where it left.

#include "rate/BandwidthFollower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <random>
#include <vector>

#include "rate/RateEncoder.h"
#include "rate/RateProfile.h"
#include "stream/ZarnFormat.h"

namespace zarn {
namespace {

constexpr double kLambda = 3.0;
constexpr std::size_t kTwoSeconds = 344;

// Frames whose every band stands 2^level above the cost of coding it.
void feed(BandwidthFollower& follower, double level, std::size_t frames) {
    BandWeights weights;
    std::array<double, kBandCount> energy{};
    for (std::size_t band = 0; band < kBandCount; ++band) {
        weights.weight[band] = 0.5;
        energy[band] = std::exp2(level) * kLambda * kStoredComponents[band] / weights.weight[band];
    }
    for (std::size_t f = 0; f < frames; ++f) follower.observe(energy, weights, kLambda);
}

// The rates of each range, from its first to its last.
std::vector<unsigned> ratesOf(std::size_t profile) {
    const unsigned from = kRateProfiles[profile].from;
    const unsigned end = profile + 1 < std::size(kRateProfiles) ? kRateProfiles[profile + 1].from
                                                                : RateEncoder::kHighestBitrate + 1;
    return {from, (from + end) / 2, end - 1};
}

TEST(BandwidthFollower, RatesWithOneCutOffKeepIt) {
    for (std::size_t at = 0; at < std::size(kRateProfiles); ++at) {
        if (kRateProfiles[at].fewer != kRateProfiles[at].more) continue;
        for (const unsigned rate : ratesOf(at)) {
            BandwidthFollower follower(rateProfile(rate));
            for (const double level : {-20.0, 0.0, 10.0}) {
                feed(follower, level, kTwoSeconds);
                EXPECT_EQ(follower.bands(), kRateProfiles[at].usual) << rate << " kbit/s, level " << level;
            }
        }
    }
}

TEST(BandwidthFollower, At128ABandLessForMarginalBandsAndBackOnlyWellAbove) {
    const RateProfile& profile = rateProfile(128);
    ASSERT_LT(profile.fewer, profile.usual);
    ASSERT_EQ(profile.usual, profile.more);
    BandwidthFollower follower(profile);
    EXPECT_EQ(follower.bands(), profile.usual);
    feed(follower, 0.0, 10);  // a stream's start is a plain mean: it settles in frames
    EXPECT_EQ(follower.bands(), profile.fewer);
    feed(follower, 1.4, 4 * kTwoSeconds);  // what the freed bits lift it to
    EXPECT_EQ(follower.bands(), profile.fewer);
    feed(follower, 3.0, kTwoSeconds);
    EXPECT_EQ(follower.bands(), profile.usual);
    feed(follower, 0.6, 4 * kTwoSeconds);
    EXPECT_EQ(follower.bands(), profile.usual);
    feed(follower, -0.5, kTwoSeconds);
    EXPECT_EQ(follower.bands(), profile.fewer);
    feed(follower, 10.0, 4 * kTwoSeconds);  // never more than the usual cut-off here
    EXPECT_EQ(follower.bands(), profile.usual);
}

TEST(BandwidthFollower, At192ABandMoreForWellWorthBandsAndBackOnlyWellBelow) {
    const std::size_t at = static_cast<std::size_t>(&rateProfile(192) - kRateProfiles);
    const RateProfile& profile = kRateProfiles[at];
    ASSERT_EQ(profile.fewer, profile.usual);
    ASSERT_LT(profile.usual, profile.more);
    for (const unsigned rate : ratesOf(at)) {
        BandwidthFollower follower(rateProfile(rate));
        EXPECT_EQ(follower.bands(), profile.usual);
        feed(follower, 3.0, 10);
        EXPECT_EQ(follower.bands(), profile.more);
        feed(follower, 1.8, 4 * kTwoSeconds);
        EXPECT_EQ(follower.bands(), profile.more);
        feed(follower, 0.0, kTwoSeconds);
        EXPECT_EQ(follower.bands(), profile.usual);
        feed(follower, -10.0, 4 * kTwoSeconds);  // never fewer than the usual cut-off here
        EXPECT_EQ(follower.bands(), profile.usual);
    }
}

// Music whose measure wanders and leaps anywhere between the thresholds
// and beyond them: once the start has settled, the cut-off changes seldom
// (never twice within half a second), and it is always one of the profile's.
TEST(BandwidthFollower, TheCutOffChangesSeldomWhateverTheMusic) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> anywhere(-3.0, 6.0), step(-0.3, 0.3);
    constexpr std::size_t kSecond = kTwoSeconds / 2;
    for (std::size_t at = 0; at < std::size(kRateProfiles); ++at) {
        const RateProfile& profile = kRateProfiles[at];
        if (profile.fewer == profile.more) continue;
        BandwidthFollower follower(profile);
        feed(follower, 1.5, kTwoSeconds);
        std::size_t bands = follower.bands(), last = 0, changes = 0, shortest = 600 * kSecond;
        double level = 1.5;
        for (std::size_t frame = 1; frame <= 600 * kSecond; ++frame) {
            level = frame % (3 * kSecond) == 0 ? anywhere(random) : std::clamp(level + step(random), -3.0, 6.0);
            feed(follower, level, 1);
            const std::size_t now = follower.bands();
            ASSERT_TRUE(now == profile.fewer || now == profile.usual || now == profile.more) << now;
            if (now == bands) continue;
            shortest = std::min(shortest, frame - last);
            last = frame, bands = now, ++changes;
        }
        EXPECT_GT(changes, 0u) << "profile from " << profile.from << " kbit/s";
        EXPECT_GE(shortest, kSecond / 2) << "profile from " << profile.from << " kbit/s, " << changes << " changes";
    }
}

// Digital silence counts as bands barely worth coding, not as minus
// infinity: music comes back to the usual cut-off within seconds.
TEST(BandwidthFollower, SilenceDoesNotHoldTheCutOffDown) {
    const RateProfile& profile = rateProfile(128);
    BandwidthFollower follower(profile);
    BandWeights weights;
    weights.weight.fill(1.0);
    const std::array<double, kBandCount> silence{};
    for (std::size_t f = 0; f < 10 * kTwoSeconds; ++f) follower.observe(silence, weights, kLambda);
    EXPECT_EQ(follower.bands(), profile.fewer);
    feed(follower, 4.0, 2 * kTwoSeconds);
    EXPECT_EQ(follower.bands(), profile.usual);
}

}  // namespace
}  // namespace zarn
