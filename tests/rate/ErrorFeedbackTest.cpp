// The error feedback moves rounding error out of the first half of a
// decoded Block, the half that stays in the output, into the second, which
// the next Block corrects; and it moves nothing where there is no error.

#include "rate/ErrorFeedback.h"

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

struct HalfErrors {
    double first = 0.0;
    double second = 0.0;
};

// The decoded Block's error in each half, from the stored spectrum.
HalfErrors halfErrors(const Block& block, const SpectrumPart& re, const SpectrumPart& im) {
    const RealFft fft(kBlockLength);
    Block decoded{};
    fft.inverse(re.data(), im.data(), decoded.data());
    HalfErrors errors;
    for (std::size_t n = 0; n < kBlockLength; ++n) {
        const double e = decoded[n] - block[n];
        (n < kHop ? errors.first : errors.second) += e * e;
    }
    return errors;
}

TEST(ErrorFeedback, MovesTheRoundingErrorIntoTheSecondHalf) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 3000.0);
    const RealFft fft(kBlockLength);
    for (const int bits : {1, 3, 8}) {
        SCOPED_TRACE(testing::Message() << bits << " bits in every band");
        double plainFirst = 0.0, fedFirst = 0.0, plainSecond = 0.0, fedSecond = 0.0;
        for (int trial = 0; trial < 20; ++trial) {
            Block block;
            for (double& x : block) x = noise(random);
            SpectrumPart re{}, im{};
            fft.forward(block.data(), re.data(), im.data());
            // Each band at the largest exponent that holds its peak, as the
            // encoder chooses it.
            BandComponents components;
            components.gather(re.data(), im.data());
            BandCodings codings{};
            for (std::size_t band = 0; band < kBandCount; ++band) {
                codings[band] = {static_cast<std::uint8_t>(bits), scaleExponentFor(components.peak[band])};
            }

            EncodedFrame frame;
            SpectrumPart plainRe{}, plainIm{};
            storePart(re.data(), codings, Part::real, frame.re.data(), plainRe.data());
            storePart(im.data(), codings, Part::imaginary, frame.im.data(), plainIm.data());
            const HalfErrors plain = halfErrors(block, plainRe, plainIm);

            ErrorFeedback feedback;
            SpectrumPart shifted{}, fedRe{}, fedIm{};
            feedback.offset(Part::imaginary, im.data(), re.data(), plainRe.data(), shifted.data());
            storePart(shifted.data(), codings, Part::imaginary, frame.im.data(), fedIm.data());
            feedback.offset(Part::real, re.data(), im.data(), fedIm.data(), shifted.data());
            storePart(shifted.data(), codings, Part::real, frame.re.data(), fedRe.data());
            const HalfErrors fed = halfErrors(block, fedRe, fedIm);

            plainFirst += plain.first, plainSecond += plain.second;
            fedFirst += fed.first, fedSecond += fed.second;
        }
        // Plain rounding leaves the halves alike; the feedback clears the
        // first of nearly 3 dB (measured: 2.7 at 1 bit, 3.0 at 3 and 8), and
        // the second takes it.
        EXPECT_NEAR(10 * std::log10(plainFirst / plainSecond), 0.0, 0.5);
        EXPECT_GT(10 * std::log10(plainFirst / fedFirst), 2.0);
        EXPECT_GT(fedSecond, plainSecond);
    }
}

TEST(ErrorFeedback, LeavesTargetsAloneWhereTheOtherPartIsExact) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> any(-1000.0, 1000.0);
    SpectrumPart target{}, other{}, shifted{};
    for (std::size_t k = 0; k < kCodedBins; ++k) target[k] = any(random), other[k] = any(random);
    ErrorFeedback feedback;
    for (const Part part : {Part::real, Part::imaginary}) {
        feedback.offset(part, target.data(), other.data(), other.data(), shifted.data());
        for (std::size_t k = 0; k < kCodedBins; ++k) ASSERT_EQ(shifted[k], target[k]) << "bin " << k;
    }
}

// The imaginary parts of bins 0 and 256 are never stored: whatever the
// target held there, it is no error to offset.
TEST(ErrorFeedback, IgnoresTheImaginaryPartsThatAreNeverStored) {
    SpectrumPart target{}, other{}, decoded{}, shifted{};
    other[0] = 5.0, other[kNyquistBin] = -7.0;
    ErrorFeedback feedback;
    feedback.offset(Part::real, target.data(), other.data(), decoded.data(), shifted.data());
    for (std::size_t k = 0; k < kCodedBins; ++k) ASSERT_EQ(shifted[k], 0.0) << "bin " << k;
}

}  // namespace
}  // namespace zarn
