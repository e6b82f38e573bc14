// The joins' rounding: a decoded Block's error at samples 0 and 256, where
// the next Block's aim starts and stops correcting it, falls by a few moves
// of a field to its other neighbour; bands it must not touch stay as they
// were.

#include "rate/EdgeBalance.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "common/BandKernels.h"
#include "common/BandTable.h"
#include "dsp/RealFft.h"
#include "rate/BandCoding.h"
#include "rate/BandComponents.h"

namespace zarn {
namespace {

struct Stored {
    Block block{};
    SpectrumPart re{}, im{};
    BandComponents components;
    BandCodings codings{};
    BandWeights weights;
    EncodedFrame frame;
    SpectrumPart decodedRe{}, decodedIm{};

    // A Block of noise, every band coded with `bits` at the exponent that
    // holds its peak, all of them weighted alike.
    Stored(std::mt19937& random, int bits) {
        std::normal_distribution<double> noise(0.0, 3000.0);
        for (double& x : block) x = noise(random);
        const RealFft fft(kBlockLength);
        fft.forward(block.data(), re.data(), im.data());
        components.gather(re.data(), im.data());
        for (std::size_t band = 0; band < kBandCount; ++band) {
            codings[band] = {static_cast<std::uint8_t>(bits), scaleExponentFor(components.peak[band])};
            weights.weight[band] = 1.0;
            weights.log2Weight[band] = 0.0;
        }
        storePart(re.data(), codings, Part::real, frame.re.data(), decodedRe.data());
        storePart(im.data(), codings, Part::imaginary, frame.im.data(), decodedIm.data());
    }

    // The decoded Block's error.
    Block error() const {
        const RealFft fft(kBlockLength);
        Block decoded{};
        fft.inverse(decodedRe.data(), decodedIm.data(), decoded.data());
        for (std::size_t n = 0; n < kBlockLength; ++n) decoded[n] -= block[n];
        return decoded;
    }
};

double squared(double x) { return x * x; }

TEST(EdgeBalance, TakesTheErrorAtTheJoinsAwayByAFewNearlyHalfwayValues) {
    std::mt19937 random(5);
    for (const int bits : {2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << bits << " bits in every band");
        double joinsBefore = 0.0, joinsAfter = 0.0, allBefore = 0.0, allAfter = 0.0;
        for (int trial = 0; trial < 20; ++trial) {
            Stored stored(random, bits);
            const Block before = stored.error();
            const SpectrumPart rounded = stored.decodedRe;
            const auto imaginary = stored.frame.im;
            balanceEdges(stored.re.data(), stored.codings, stored.weights, stored.components, kBandCount,
                         stored.decodedRe.data(), stored.frame.re.data());
            const Block after = stored.error();

            int moved = 0;
            for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
                const BandCoding coding = stored.codings[kBands.bandOf[bin]];
                const FieldScale scale = FieldScale::of(coding.bits, coding.exponent);
                const double field = stored.decodedRe[bin] * scale.toField;
                // What a decoder reads is what the encoder takes it to read.
                ASSERT_EQ(stored.frame.re[bin], static_cast<Sample>(field * kPowerOfTwo(fieldShift(coding.bits))));
                if (stored.decodedRe[bin] == rounded[bin]) continue;
                ++moved;
                // One step, to the field on the value's other side, not far
                // from it.
                const double aim = stored.re[bin] * scale.toField, was = rounded[bin] * scale.toField;
                EXPECT_EQ(std::fabs(field - was), 1.0) << "bin " << bin;
                EXPECT_LT(std::fabs(field - aim), edgeBalance::kReach) << "bin " << bin;
                EXPECT_LT((field - aim) * (was - aim), 0.0) << "bin " << bin;
            }
            EXPECT_LE(moved, edgeBalance::kMostChanges);
            EXPECT_TRUE(stored.frame.im == imaginary) << "only real parts move";

            joinsBefore += squared(before[0]) + squared(before[kHop]);
            joinsAfter += squared(after[0]) + squared(after[kHop]);
            for (std::size_t n = 0; n < kBlockLength; ++n) allBefore += squared(before[n]), allAfter += squared(after[n]);
        }
        // The joins' error falls by far more than the Block's rises
        // (measured: 10 to 11 dB, against 0.04 dB).
        EXPECT_GT(10 * std::log10(joinsBefore / joinsAfter), 6.0);
        EXPECT_LT(10 * std::log10(allAfter / allBefore), 0.2);
    }
}

TEST(EdgeBalance, LeavesTheBandsPastTheMovableAndThoseThatHoldNothingAsTheyWere) {
    std::mt19937 random(9);
    for (int trial = 0; trial < 20; ++trial) {
        Stored stored(random, 3);
        // Band 3 holds nothing: what is left of digital silence stays silent.
        for (std::size_t bin = kBands.first[3]; bin < kBands.end[3]; ++bin) stored.re[bin] = stored.im[bin] = 0.0;
        stored.components.gather(stored.re.data(), stored.im.data());
        ASSERT_TRUE(stored.components.holdsNothing(3));
        storePart(stored.re.data(), stored.codings, Part::real, stored.frame.re.data(), stored.decodedRe.data());
        const EncodedFrame rounded = stored.frame;
        constexpr std::size_t kMovable = 12;
        balanceEdges(stored.re.data(), stored.codings, stored.weights, stored.components, kMovable,
                     stored.decodedRe.data(), stored.frame.re.data());
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            const std::size_t band = kBands.bandOf[bin];
            if (band == 3 || band >= kMovable) {
                ASSERT_EQ(stored.frame.re[bin], rounded.re[bin]) << "bin " << bin;
            }
        }
    }
}

}  // namespace
}  // namespace zarn
