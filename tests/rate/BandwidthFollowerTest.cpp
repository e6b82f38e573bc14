// The rate encoder's cut-off: which cut-offs each bit rate may choose, and
// that it moves only after seconds of music that asks for it, and back only
// well past where it left.

#include "rate/BandwidthFollower.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>

#include "rate/BandFields.h"

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
        energy[band] = std::exp2(level) * kLambda * kComponentLayout.count[band] / weights.weight[band];
    }
    for (std::size_t f = 0; f < frames; ++f) follower.observe(energy, weights, kLambda);
}

TEST(BandwidthFollower, RatesWithOneCutOffKeepIt) {
    for (const unsigned rate : {64u, 96u, 111u, 224u, 256u, 320u}) {
        BandwidthFollower follower(rate);
        const std::size_t bands = rate < 112 ? 20 : kBandCount;
        for (const double level : {-20.0, 0.0, 10.0}) {
            feed(follower, level, kTwoSeconds);
            EXPECT_EQ(follower.bands(), bands) << rate << " kbit/s, level " << level;
        }
    }
}

TEST(BandwidthFollower, At128ABandLessForMarginalBandsAndBackOnlyWellAbove) {
    BandwidthFollower follower(128);
    EXPECT_EQ(follower.bands(), 23u);
    feed(follower, 0.0, 10);  // a stream's start is a plain mean: it settles in frames
    EXPECT_EQ(follower.bands(), 22u);
    feed(follower, 1.4, 4 * kTwoSeconds);  // what the freed bits lift it to
    EXPECT_EQ(follower.bands(), 22u);
    feed(follower, 3.0, kTwoSeconds);
    EXPECT_EQ(follower.bands(), 23u);
    feed(follower, 0.6, 4 * kTwoSeconds);
    EXPECT_EQ(follower.bands(), 23u);
    feed(follower, -0.5, kTwoSeconds);
    EXPECT_EQ(follower.bands(), 22u);
    feed(follower, 10.0, 4 * kTwoSeconds);  // never more than 12 kHz here
    EXPECT_EQ(follower.bands(), 23u);
}

TEST(BandwidthFollower, At192ABandMoreForWellWorthBandsAndBackOnlyWellBelow) {
    for (const unsigned rate : {144u, 192u, 223u}) {
        BandwidthFollower follower(rate);
        EXPECT_EQ(follower.bands(), 24u);
        feed(follower, 3.0, 10);
        EXPECT_EQ(follower.bands(), kBandCount);
        feed(follower, 1.8, 4 * kTwoSeconds);
        EXPECT_EQ(follower.bands(), kBandCount);
        feed(follower, 0.0, kTwoSeconds);
        EXPECT_EQ(follower.bands(), 24u);
        feed(follower, -10.0, 4 * kTwoSeconds);  // never fewer than 15.5 kHz here
        EXPECT_EQ(follower.bands(), 24u);
    }
}

// Digital silence counts as bands barely worth coding, not as minus
// infinity: music comes back to the usual cut-off within seconds.
TEST(BandwidthFollower, SilenceDoesNotHoldTheCutOffDown) {
    BandwidthFollower follower(128);
    BandWeights weights;
    weights.weight.fill(1.0);
    const std::array<double, kBandCount> silence{};
    for (std::size_t f = 0; f < 10 * kTwoSeconds; ++f) follower.observe(silence, weights, kLambda);
    EXPECT_EQ(follower.bands(), 22u);
    feed(follower, 4.0, 2 * kTwoSeconds);
    EXPECT_EQ(follower.bands(), 23u);
}

}  // namespace
}  // namespace zarn
