#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "common/Types.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "tests/support/BandTestUtil.h"
#include "tests/support/TransformChecks.h"

namespace zarn {
namespace {

constexpr int kN = 512;
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// cos and sin of 2π·k·m/N in long double, the index product reduced modulo N
// so that every angle is exact before the cosine.
long double cosAt(int k, int m) { return std::cos(2 * kPi * ((k * m) % kN) / kN); }
long double sinAt(int k, int m) { return std::sin(2 * kPi * ((k * m) % kN) / kN); }

using test::noiseBlock;
using test::Spectrum;

Spectrum forward(const Block& x) {
    Spectrum s = test::filledSpectrum(test::kUnwritten);
    Fft(kN).forward(x.data(), s.re.data(), s.im.data());
    return s;
}

TEST(Fft, ForwardMatchesTheDefiningSumOnBins0To256Only) {
    // Bins of a 16-bit block stay within 32768; a radix-2 transform loses a
    // few ulps of that per level (about 1e-12 here), so 1e-9 is far above
    // rounding and far below any real fault.
    std::mt19937 random(20240611);
    for (int b = 0; b < 6; ++b) {
        const Block x = noiseBlock(random, b % 2 == 1);
        const Spectrum s = forward(x);
        for (int k = 0; k <= 256; ++k) {
            long double re = 0, im = 0;
            for (int m = 0; m < kN; ++m) {
                re += x[m] * cosAt(k, m);
                im -= x[m] * sinAt(k, m);
            }
            ASSERT_NEAR(s.re[k], static_cast<double>(re / kN), 1e-9) << "block " << b << ", bin " << k;
            ASSERT_NEAR(s.im[k], static_cast<double>(im / kN), 1e-9) << "block " << b << ", bin " << k;
        }
        // A real block's DC and Nyquist bins have no imaginary part at all.
        EXPECT_EQ(s.im[0], 0.0);
        EXPECT_EQ(s.im[256], 0.0);
        for (int k = 257; k < kN; ++k) {
            ASSERT_EQ(s.re[k], test::kUnwritten) << "bin " << k << " was written";
            ASSERT_EQ(s.im[k], test::kUnwritten) << "bin " << k << " was written";
        }
    }
}

TEST(Fft, PureBlocksGiveOneBinAndNothingPastNyquist) { test::expectOneBinPerPureBlock(forward, 1e-10); }

TEST(Fft, InverseIsTheUnscaledRealPartOfTheConjugateSum) {
    // Not a mirrored spectrum, so the imaginary input counts with its sign.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-16384, 16384);
    Spectrum s;
    for (int k = 0; k < kN; ++k) {
        s.re[k] = value(random);
        s.im[k] = value(random);
    }
    Block y;
    Fft(kN).inverse(s.re.data(), s.im.data(), y.data());
    for (int m = 0; m < kN; ++m) {
        long double sum = 0;
        for (int k = 0; k < kN; ++k) sum += s.re[k] * cosAt(k, m) - s.im[k] * sinAt(k, m);
        // Sums of 512 terms up to 16384: 1e-6 is still ~2^-44 of their size.
        ASSERT_NEAR(y[m], static_cast<double>(sum), 1e-6) << "sample " << m;
    }
}

TEST(Fft, ForwardMirrorInverseGivesTheBlockBack) {
    std::mt19937 random(99);
    std::vector<Block> blocks = {noiseBlock(random, true), noiseBlock(random, false)};
    Block alternating;
    for (int m = 0; m < kN; ++m) alternating[m] = m % 2 == 0 ? 12345.0 : -12345.0;
    blocks.push_back(alternating);
    for (const Block& x : blocks) {
        Spectrum s = forward(x);
        Fft decoder(kN);
        mirror(s.re.data(), s.im.data());
        Block y;
        decoder.inverse(s.re.data(), s.im.data(), y.data());
        for (int m = 0; m < kN; ++m) ASSERT_NEAR(y[m], x[m], 1e-8) << "sample " << m;
    }
}

TEST(Mirror, ConjugatesBins1To255IntoTheUpperHalf) {
    test::expectMirrorConjugates([](double* re, double* im) { mirror(re, im); });
}

TEST(Fft, OneObjectGivesTheSameResultsInAnyOrderOfRuns) {
    // forward once read a scratch array as its zero imaginary input that
    // inverse had filled, and gave wrong bins ever after.
    std::mt19937 random(5);
    const Block first = noiseBlock(random, true), second = noiseBlock(random, true);
    const Fft shared(kN);
    Spectrum before = test::filledSpectrum(test::kUnwritten), after = before;
    shared.forward(first.data(), before.re.data(), before.im.data());
    mirror(before.re.data(), before.im.data());
    Block y, fresh;
    shared.inverse(before.re.data(), before.im.data(), y.data());
    Fft(kN).inverse(before.re.data(), before.im.data(), fresh.data());
    EXPECT_EQ(0, std::memcmp(y.data(), fresh.data(), sizeof y));

    shared.forward(second.data(), after.re.data(), after.im.data());
    const Spectrum expected = forward(second);
    EXPECT_EQ(0, std::memcmp(after.re.data(), expected.re.data(), sizeof after.re));
    EXPECT_EQ(0, std::memcmp(after.im.data(), expected.im.data(), sizeof after.im));
}

}  // namespace
}  // namespace zarn
