#include "encoder/QuietThreshold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/BandTestUtil.h"

namespace zarn {
namespace {

using test::kFirstBin;
using test::sameBits;
using test::Spectrum;

constexpr double kSentinel = 123.25;  // in bins 257..511, which must keep it

// Fills every bin of each band with power[band] exactly, turning the parts
// and their signs as the bin number goes.
Spectrum filled(const std::array<double, kBandCount>& power) {
    Spectrum s;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const test::Bin b = test::binWithPower(power[band]);
        EXPECT_EQ(b.re * b.re + b.im * b.im, power[band]) << "band " << band;
        for (std::size_t bin = kFirstBin[band]; bin < kFirstBin[band + 1]; ++bin) {
            const double sign = bin % 3 ? 1.0 : -1.0;
            s.re[bin] = sign * (bin % 2 ? b.re : b.im);
            s.im[bin] = bin % 2 ? b.im : b.re;
        }
    }
    for (std::size_t bin = kCodedBins; bin < kBlockLength; ++bin) s.re[bin] = s.im[bin] = kSentinel;
    return s;
}

// Checks that each band of `after` is all zero where `removed` says so, and
// bit for bit unchanged from `before` elsewhere.
void expectRemoved(const Spectrum& before, const Spectrum& after, const std::array<bool, kBandCount>& removed) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (std::size_t bin = kFirstBin[band]; bin < kFirstBin[band + 1]; ++bin) {
            const double re = removed[band] ? 0.0 : before.re[bin], im = removed[band] ? 0.0 : before.im[bin];
            EXPECT_TRUE(sameBits(after.re[bin], re) && sameBits(after.im[bin], im))
                << "band " << band << ", bin " << bin << ": " << after.re[bin] << ", " << after.im[bin];
        }
    }
    for (std::size_t bin = kCodedBins; bin < kBlockLength; ++bin) {
        EXPECT_EQ(after.re[bin], kSentinel);
        EXPECT_EQ(after.im[bin], kSentinel);
    }
}

TEST(QuietThreshold, RemovesUpToTheThresholdAndKeepsTheNextDoubleUp) {
    // The boundary power of each band found through the very expression the
    // encoder measures with; pow(10, T/10) can be a few ulps off.
    std::array<double, kBandCount> lastRemoved{}, firstKept{};
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const double t = test::kQuietThresholdDb[band], guess = std::pow(10.0, t / 10);
        lastRemoved[band] =
            test::lastWhere(guess * 0.999, guess * 1.001, [t](double p) { return test::levelDb(p) <= t; });
        firstKept[band] = std::nextafter(lastRemoved[band], std::numeric_limits<double>::infinity());
    }
    EXPECT_NEAR(std::sqrt(lastRemoved[24]), 754.08, 0.01);  // the top band keeps only bins above about 754

    std::array<bool, kBandCount> all{}, none{};
    all.fill(true);
    const Spectrum atThreshold = filled(lastRemoved), above = filled(firstKept);
    Spectrum s = atThreshold;
    QuietThreshold().apply(s.re.data(), s.im.data());
    expectRemoved(atThreshold, s, all);
    s = above;
    QuietThreshold().apply(s.re.data(), s.im.data());
    expectRemoved(above, s, none);
}

TEST(QuietThreshold, ZeroDecibelsIsHeardOnlyInTheMiddleBands) {
    std::array<double, kBandCount> ones{};
    ones.fill(1.0);
    std::array<bool, kBandCount> removed{};
    for (std::size_t band = 0; band < kBandCount; ++band) removed[band] = band <= 12 || band >= 19;
    const Spectrum before = filled(ones);
    Spectrum s = before;
    QuietThreshold().apply(s.re.data(), s.im.data());
    expectRemoved(before, s, removed);
}

TEST(QuietThreshold, LeavesABinWhoseLevelIsNotANumber) {
    Spectrum s;
    s.re[200] = std::numeric_limits<double>::quiet_NaN();
    s.im[200] = 5.0;
    QuietThreshold().apply(s.re.data(), s.im.data());
    EXPECT_TRUE(std::isnan(s.re[200]));
    EXPECT_EQ(s.im[200], 5.0);
}

}  // namespace
}  // namespace zarn
