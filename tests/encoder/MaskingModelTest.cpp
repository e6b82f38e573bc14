#include "encoder/MaskingModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "tests/support/BandTestUtil.h"

namespace zarn {
namespace {

using test::kFirstBin;
using test::sameBits;
using test::Spectrum;

// A bin's power as the model measures it.
double power(double re, double im) {
    const double magnitude = std::sqrt(re * re + im * im);
    return magnitude * magnitude * 0.0038910505836575876;
}

// Puts a bin of (about) power p into the spectrum, turning it through the real
// and imaginary parts and both signs as the bin number goes.
void setPower(Spectrum& s, std::size_t bin, double p) {
    const double v = std::sqrt(p * 257);
    switch (bin % 3) {
        case 0: s.re[bin] = v; break;
        case 1: s.im[bin] = -v; break;
        default: s.re[bin] = -v; s.im[bin] = 0.0; break;
    }
}

Spectrum apply(double attenuation, const Spectrum& in) {
    Spectrum s = in;
    MaskingModel(attenuation).apply(s.re.data(), s.im.data());
    return s;
}

struct RampCase {
    const char* what;
    double attenuation;
    std::size_t first;            // bin of powers[0]
    std::vector<double> powers;   // every other bin is zero
    std::set<std::size_t> removed;
};

TEST(MaskingModel, RemovesWhatLiesStrictlyUnderTheTriangle) {
    std::vector<double> wide(77, 0.001);
    wide[20] = 100.0;  // bin 200 of band 24: 20 bins from the lower end, 56 from the upper
    std::set<std::size_t> wideRemoved;
    for (std::size_t bin = 181; bin <= 219; ++bin) {
        if (bin != 200) wideRemoved.insert(bin);
    }
    const std::vector<RampCase> cases = {
        {"worked example: peak 29, slope 5", 1.0, 27, {1, 1, 10, 2, 3}, {28, 30}},
        {"attenuation lowers the triangle", 0.25, 27, {1, 1, 10, 2, 3}, {28}},
        {"peak next to the lower end", 1.0, 27, {0.1, 10, 1, 1, 0.1}, {}},
        {"peak next to the upper end", 1.0, 27, {0.1, 1, 1, 10, 0.1}, {}},
        {"of equal maxima the later is the peak", 1.0, 32, {0.1, 4, 4, 1, 0.1}, {35}},
        {"silent inner bins", 1.0, 27, {5, 0, 0, 0, 5}, {}},
        {"the nearer end sets the slope on both sides", 1.0, 180, wide, wideRemoved},
        {"a band of four bins cannot mask", 1.0, 23, {0.5, 10, 1, 0.5}, {}},
    };
    for (const RampCase& c : cases) {
        SCOPED_TRACE(c.what);
        Spectrum in;
        for (std::size_t i = 0; i < c.powers.size(); ++i) setPower(in, c.first + i, c.powers[i]);
        const Spectrum out = apply(c.attenuation, in);
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            const bool removed = c.removed.count(bin) > 0;
            EXPECT_TRUE(sameBits(out.re[bin], removed ? 0.0 : in.re[bin]) &&
                        sameBits(out.im[bin], removed ? 0.0 : in.im[bin]))
                << "bin " << bin << (removed ? " should be removed" : " should stay");
        }
    }
}

TEST(MaskingModel, ABinExactlyOnTheTriangleSurvives) {
    // Band 14, peak 29, two bins to either end: the triangle at bins 28 and 30
    // is half the peak's power. Search for a peak whose half is the exact power
    // of some bin, put that bin at 28 and the next lower power at 30.
    for (double peakRe = 1000.0; peakRe < 1100.0; peakRe += 0.37) {
        const double p = power(peakRe, 0.0), s = p / 2;
        const double onTriangle = ((28 - 29) * s + p) * 1.0;
        ASSERT_EQ(onTriangle, ((30 - 29) * -s + p) * 1.0);
        const double guess = std::sqrt(onTriangle * 257);
        const auto atMost = [&](double re) { return power(re, 0.0) <= onTriangle; };
        const double on = test::lastWhere(guess * 0.999, guess * 1.001, atMost);
        if (power(on, 0.0) != onTriangle) continue;
        const double under = test::lastWhere(guess * 0.999, on, [&](double re) { return power(re, 0.0) < onTriangle; });

        Spectrum in;
        in.re[28] = on;
        in.re[29] = peakRe;
        in.re[30] = under;
        const Spectrum out = apply(1.0, in);
        EXPECT_EQ(out.re[28], on) << "on the triangle";
        EXPECT_EQ(out.re[29], peakRe) << "the peak itself";
        EXPECT_EQ(out.re[30], 0.0) << "one step under the triangle";
        return;
    }
    FAIL() << "no bin found whose power is exactly on the triangle";
}

TEST(MaskingModel, KeepsNothingFromFrameToFrameAndOnlyZeroesBins) {
    // Random frames through one model must come out as through a new model
    // each; no band below 13 changes, the loudest inner bin of a band always
    // stays, and a bin is either kept as it was or zeroed.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> octave(-8, 12);
    MaskingModel reused(1.0);
    for (int frame = 0; frame < 20; ++frame) {
        SCOPED_TRACE(testing::Message() << "frame " << frame);
        Spectrum in;
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            in.re[bin] = std::ldexp(unit(random), octave(random));
            in.im[bin] = std::ldexp(unit(random), octave(random));
        }
        Spectrum out = in;
        reused.apply(out.re.data(), out.im.data());
        const Spectrum fresh = apply(1.0, in);
        EXPECT_EQ(0, std::memcmp(&out, &fresh, sizeof out));

        int removed = 0;
        for (std::size_t band = 0; band < kBandCount; ++band) {
            std::size_t loudest = kFirstBin[band] + 1;
            for (std::size_t bin = kFirstBin[band]; bin < kFirstBin[band + 1]; ++bin) {
                const bool kept = sameBits(out.re[bin], in.re[bin]) && sameBits(out.im[bin], in.im[bin]);
                const bool zeroed = out.re[bin] == 0.0 && out.im[bin] == 0.0;
                EXPECT_TRUE(kept || zeroed) << "bin " << bin;
                if (band <= 12) {
                    EXPECT_TRUE(kept) << "bin " << bin;
                }
                removed += !kept;
                const bool inner = bin > kFirstBin[band] && bin + 1 < kFirstBin[band + 1];
                if (inner && power(in.re[bin], in.im[bin]) >= power(in.re[loudest], in.im[loudest])) loudest = bin;
            }
            if (band >= 13) {
                EXPECT_EQ(out.re[loudest], in.re[loudest]) << "peak " << loudest;
            }
        }
        EXPECT_GT(removed, 0);
    }
}

TEST(MaskingModelDeathTest, AttenuationAboveOneEndsTheProcess) {
    for (const double attenuation : {1.5, std::nextafter(1.0, 2.0), std::numeric_limits<double>::infinity()}) {
        EXPECT_EXIT(MaskingModel{attenuation}, testing::ExitedWithCode(1),
                    "^Daempning til maskering skal v\xE6re mindre eller lig 1\n$")
            << attenuation;
    }
    MaskingModel accepted(1.0);
    Spectrum s;
    setPower(s, 29, 10.0);
    accepted.apply(s.re.data(), s.im.data());  // the peak stands exactly on the triangle's top
    EXPECT_NE(s.re[29], 0.0);
}

}  // namespace
}  // namespace zarn
