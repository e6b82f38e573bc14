#include "encoder/Quantiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "tests/support/BandTestUtil.h"

namespace zarn {
namespace {

using test::kFirstBin;
using test::sameBits;
using test::Spectrum;

constexpr double kSentinel = -777.5;  // in bins 257..511, which must keep it

TEST(Quantiser, ScalesEachBandByTheLargestPowerOfTwoThatStaysBelow32768) {
    struct Case {
        std::size_t band;
        std::size_t bin;
        double re, im;  // the band's largest component; its other bins are smaller
        int exponent;
    };
    const Case cases[] = {
        {0, 0, 0.0, 300.0, 6},                 // the imaginary part of bin 0 counts
        {1, 2, 16384.0, 0.0, 0},               // 16384 · 2 is not below 32768
        {2, 3, std::nextafter(16384.0, 0.0), 0.0, 1},
        {3, 4, 1.0, 0.0, 14},
        {4, 5, 0.75, 0.0, 15},
        {5, 6, -300.0, 0.0, 6},                // the sign never counts
        {6, 8, 1.0, -300.0, 6},
        // band 7 stays all zero
        {8, 11, 4.9e-324, 0.0, 15},
        {9, 14, 0.5, 0.0, 15},                 // 0.5 · 2^16 would still fit: 15 is the most
        {10, 16, 32767.0, 0.0, 0},
        {24, 256, -999.0, 1000.0, 5},          // and so does that of bin 256
    };
    Spectrum in;
    std::array<int, kBandCount> expected{};
    expected.fill(15);
    for (const Case& c : cases) {
        expected[c.band] = c.exponent;
        const double m = std::max(std::fabs(c.re), std::fabs(c.im));
        for (std::size_t bin = kFirstBin[c.band]; bin < kFirstBin[c.band + 1]; ++bin) {
            in.re[bin] = -m * 0.375;
            in.im[bin] = bin % 2 ? m * 0.8125 : -m * 0.5;
        }
        in.re[c.bin] = c.re;
        in.im[c.bin] = c.im;
    }
    // Bands 11 to 23 hold 2, 4, …, 8192 at their last bin: exponents 13 down to 1.
    for (std::size_t band = 11; band <= 23; ++band) {
        const double m = std::ldexp(1.0, static_cast<int>(band) - 10);
        expected[band] = 24 - static_cast<int>(band);
        for (std::size_t bin = kFirstBin[band]; bin < kFirstBin[band + 1]; ++bin) in.im[bin] = m * 0.625;
        in.re[kFirstBin[band + 1] - 1] = -m;
    }
    for (std::size_t bin = kCodedBins; bin < kBlockLength; ++bin) in.re[bin] = in.im[bin] = kSentinel;

    Spectrum out = in;
    ScaleExponents scale;
    scale.fill(99);
    Quantiser().quantise(out.re.data(), out.im.data(), scale);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        EXPECT_EQ(scale[band], expected[band]) << "band " << band;
        for (std::size_t bin = kFirstBin[band]; bin < kFirstBin[band + 1]; ++bin) {
            EXPECT_TRUE(sameBits(out.re[bin], std::ldexp(in.re[bin], expected[band])) &&
                        sameBits(out.im[bin], std::ldexp(in.im[bin], expected[band])))
                << "bin " << bin << ": " << out.re[bin] << ", " << out.im[bin];
        }
    }
    for (std::size_t bin = kCodedBins; bin < kBlockLength; ++bin) {
        EXPECT_EQ(out.re[bin], kSentinel);
        EXPECT_EQ(out.im[bin], kSentinel);
    }
}

}  // namespace
}  // namespace zarn
