#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "common/Types.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "reduced/Dft.h"
#include "tests/support/BandTestUtil.h"
#include "tests/support/TransformChecks.h"

namespace zarn {
namespace {

constexpr std::int16_t kN = 512;

using test::Spectrum;

Spectrum dftForward(const Block& x) {
    Spectrum s = test::filledSpectrum(test::kUnwritten);
    Dft().forward(x.data(), s.re.data(), s.im.data(), kN);
    return s;
}

TEST(Dft, PureBlocksGiveOneBinAndNothingPastNyquist) { test::expectOneBinPerPureBlock(dftForward, 1e-9); }

TEST(Dft, InverseIsUnscaled) {
    Spectrum s;
    s.re[0] = 1234.5;
    Block y;
    y.fill(test::kUnwritten);
    Dft().inverse(s.re.data(), s.im.data(), y.data(), kN);
    for (int i = 0; i < kN; ++i) ASSERT_DOUBLE_EQ(y[i], 1234.5) << "sample " << i;
}

// The direct transform forms angles up to 2π·256·511/512 ≈ 1604 rad, which a
// double carries to about 2e-13 rad; on full-scale 16-bit input that moves a
// bin by at most ~6e-9. Anything above 1e-8 is a fault, not rounding.
constexpr double kAgreement = 1e-8;

TEST(Dft, AgreesWithTheFftBothWays) {
    std::mt19937 random(31337);
    for (int b = 0; b < 6; ++b) {
        Block x = test::noiseBlock(random, true);
        // One block with a strong Nyquist component, which bin 256 alone carries.
        for (int m = 0; b == 0 && m < kN; ++m) x[m] = (m % 2 == 0 ? 9000.0 : -9000.0) + x[m] / 100;
        Spectrum fast;
        Fft(kN).forward(x.data(), fast.re.data(), fast.im.data());
        Spectrum direct = dftForward(x);
        for (int k = 0; k <= 256; ++k) {
            ASSERT_NEAR(direct.re[k], fast.re[k], kAgreement) << "block " << b << ", bin " << k;
            ASSERT_NEAR(direct.im[k], fast.im[k], kAgreement) << "block " << b << ", bin " << k;
        }
        EXPECT_NEAR(direct.im[256], 0.0, kAgreement);

        // Both inverses of one full spectrum, and both give the block back.
        Fft decoder(kN);
        mirror(fast.re.data(), fast.im.data());
        Block fastBack, directBack;
        decoder.inverse(fast.re.data(), fast.im.data(), fastBack.data());
        mirror(direct.re.data(), direct.im.data());
        Dft().inverse(direct.re.data(), direct.im.data(), directBack.data(), kN);
        for (int m = 0; m < kN; ++m) {
            // 512 terms of up to 16384 with angles up to ~3200 rad: 1e-6 is
            // still about 2^-45 of full scale.
            ASSERT_NEAR(directBack[m], x[m], 1e-6) << "block " << b << ", sample " << m;
            ASSERT_NEAR(fastBack[m], directBack[m], 1e-6) << "block " << b << ", sample " << m;
        }
    }
}

}  // namespace
}  // namespace zarn
