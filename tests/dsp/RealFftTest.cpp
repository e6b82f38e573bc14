#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/Types.h"
#include "common/VectorDispatch.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "dsp/RealFft.h"
#include "tests/support/BandTestUtil.h"
#include "tests/support/EveryVectorPath.h"
#include "tests/support/TransformChecks.h"

namespace zarn {
namespace {

constexpr int kN = 512;

// RealFft rounds differently from Fft, by a few ulps of the largest value
// per level; 1e-12 of it is far above that (about 1e-15) and far below any
// wrong twiddle, sign or index.
constexpr double kRelativeTolerance = 1e-12;

using test::Spectrum;

// Random 16-bit blocks with and without the window, impulses, and pure
// tones at the bins where the split treats something specially: 0, 128 and
// 256 meet themselves, 1 and 255 meet each other across the ends.
std::vector<Block> testBlocks() {
    std::vector<Block> blocks;
    std::mt19937 random(20240912);
    for (int b = 0; b < 6; ++b) blocks.push_back(test::noiseBlock(random, b % 2 == 1));
    for (int at : {0, 1, 2, 255, 256, 257, 511}) {
        Block impulse{};
        impulse[at] = at % 2 == 0 ? 32767.0 : -32768.0;
        blocks.push_back(impulse);
    }
    for (int bin : {0, 1, 3, 127, 128, 129, 255, 256}) {
        Block cosine, sine;
        for (int m = 0; m < kN; ++m) {
            cosine[m] = 20000 * std::cos(kTwoPi * bin * m / kN);
            sine[m] = 20000 * std::sin(kTwoPi * bin * m / kN);
        }
        blocks.push_back(cosine);
        if (bin != 0 && bin != 256) blocks.push_back(sine);
    }
    return blocks;
}

double largestMagnitude(const double* a, const double* b, int count) {
    double largest = 0;
    for (int i = 0; i < count; ++i) largest = std::max({largest, std::abs(a[i]), std::abs(b[i])});
    return largest;
}

class RealFftOnEveryPath : public test::OnEveryVectorPath {
protected:
    const RealFft realFft{kN};
    const Fft fft{kN};
};

TEST_P(RealFftOnEveryPath, ForwardMatchesFftOnBins0To256AndWritesNoOthers) {
    const auto blocks = testBlocks();
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        Spectrum expected = test::filledSpectrum(test::kUnwritten), s = expected;
        fft.forward(blocks[b].data(), expected.re.data(), expected.im.data());
        realFft.forward(blocks[b].data(), s.re.data(), s.im.data());
        const double tolerance =
            kRelativeTolerance * std::max(1.0, largestMagnitude(expected.re.data(), expected.im.data(), 257));
        for (int k = 0; k <= 256; ++k) {
            ASSERT_NEAR(s.re[k], expected.re[k], tolerance) << "bin " << k;
            ASSERT_NEAR(s.im[k], expected.im[k], tolerance) << "bin " << k;
        }
        // Exactly +0: the encoder stores these bins' imaginary parts nowhere.
        EXPECT_TRUE(test::sameBits(s.im[0], 0.0));
        EXPECT_TRUE(test::sameBits(s.im[256], 0.0));
        for (int k = 257; k < kN; ++k) {
            ASSERT_EQ(s.re[k], test::kUnwritten) << "bin " << k << " was written";
            ASSERT_EQ(s.im[k], test::kUnwritten) << "bin " << k << " was written";
        }
    }
}

TEST_P(RealFftOnEveryPath, InverseMatchesMirrorAndFftFromBins0To256Alone) {
    // Spectra of the test blocks, random ones, and single bins. RealFft gets
    // NaN above bin 256 and junk in the imaginary parts of bins 0 and 256,
    // none of which it may read; Fft gets the mirrored spectrum with those
    // parts 0.
    std::vector<Spectrum> spectra;
    for (const Block& x : testBlocks()) {
        Spectrum s{};
        fft.forward(x.data(), s.re.data(), s.im.data());
        spectra.push_back(s);
    }
    std::mt19937 random(31);
    std::uniform_real_distribution<double> value(-16384, 16384);
    for (int b = 0; b < 4; ++b) {
        Spectrum s{};
        for (int k = 0; k <= 256; ++k) s.re[k] = value(random), s.im[k] = value(random);
        spectra.push_back(s);
    }
    for (int bin : {0, 1, 2, 127, 128, 129, 255, 256}) {
        Spectrum s{};
        s.re[bin] = 3000.5;
        s.im[bin] = -1234.25;
        spectra.push_back(s);
    }
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        SCOPED_TRACE("spectrum " + std::to_string(i));
        Spectrum given = spectra[i], full = spectra[i];
        full.im[0] = full.im[256] = 0.0;
        mirror(full.re.data(), full.im.data());
        given.im[0] = 1e6;
        given.im[256] = -1e6;
        std::fill(given.re.begin() + 257, given.re.end(), std::numeric_limits<double>::quiet_NaN());
        std::fill(given.im.begin() + 257, given.im.end(), std::numeric_limits<double>::quiet_NaN());

        Block expected, y;
        fft.inverse(full.re.data(), full.im.data(), expected.data());
        realFft.inverse(given.re.data(), given.im.data(), y.data());
        const double tolerance = kRelativeTolerance * std::max(1.0, largestMagnitude(expected.data(), y.data(), kN));
        for (int m = 0; m < kN; ++m) ASSERT_NEAR(y[m], expected[m], tolerance) << "sample " << m;
    }
}

TEST_P(RealFftOnEveryPath, InverseOfForwardGivesTheBlockBack) {
    // The forward scaling by 1/512 and the unscaled inverse cancel.
    for (const Block& x : testBlocks()) {
        Spectrum s{};
        realFft.forward(x.data(), s.re.data(), s.im.data());
        Block y;
        realFft.inverse(s.re.data(), s.im.data(), y.data());
        const double tolerance = kRelativeTolerance * largestMagnitude(x.data(), x.data(), kN);
        for (int m = 0; m < kN; ++m) ASSERT_NEAR(y[m], x[m], tolerance) << "sample " << m;
    }
}

ZARN_ON_EVERY_VECTOR_PATH(RealFftOnEveryPath);

TEST(RealFft, PureBlocksGiveOneBinAndNothingPastNyquist) {
    const RealFft realFft(kN);
    test::expectOneBinPerPureBlock(
        [&](const Block& x) {
            Spectrum s = test::filledSpectrum(test::kUnwritten);
            realFft.forward(x.data(), s.re.data(), s.im.data());
            return s;
        },
        1e-10);
}

}  // namespace
}  // namespace zarn
