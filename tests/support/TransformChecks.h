#pragma once
// What both transforms, the FFT and the direct DFT, must do with blocks
// whose spectra are known, and how both must mirror a spectrum.

#include <gtest/gtest.h>

#include <cmath>

#include "common/Types.h"
#include "tests/support/BandTestUtil.h"

namespace zarn::test {

// What a transform's output arrays hold before it runs: bins it must not
// write keep it.
constexpr double kUnwritten = -777.25;

// `forward(x)` gives the spectrum of block x in arrays that held kUnwritten
// before. A constant, a cosine, a sine and the alternating block each give
// their one bin, within `tolerance`, and nothing past bin 256 is written.
template <class Forward>
void expectOneBinPerPureBlock(Forward forward, double tolerance) {
    constexpr int kN = static_cast<int>(kBlockLength);
    const struct {
        const char* name;
        double (*sample)(int m);
        int bin;
        double re, im;
    } cases[] = {
        {"constant", [](int) { return -2500.0; }, 0, -2500.0, 0.0},
        {"cosine at bin 8", [](int m) { return std::cos(kTwoPi * 8 * m / kN); }, 8, 0.5, 0.0},
        // The forward kernel is e^(-i...): a sine lands on the negative imaginary axis.
        {"sine at bin 3", [](int m) { return 100 * std::sin(kTwoPi * 3 * m / kN); }, 3, 0.0, -50.0},
        {"alternating", [](int m) { return m % 2 == 0 ? 300.0 : -300.0; }, 256, 300.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Block x;
        for (int m = 0; m < kN; ++m) x[m] = c.sample(m);
        const Spectrum s = forward(x);
        for (int k = 0; k <= 256; ++k) {
            EXPECT_NEAR(s.re[k], k == c.bin ? c.re : 0.0, tolerance) << "bin " << k;
            EXPECT_NEAR(s.im[k], k == c.bin ? c.im : 0.0, tolerance) << "bin " << k;
        }
        // sin(0) is exactly 0, so the DC bin of a real block has no imaginary part.
        EXPECT_EQ(s.im[0], 0.0);
        // The encoder's spectrum arrays end at bin 256.
        for (int k = 257; k < kN; ++k) {
            ASSERT_EQ(s.re[k], kUnwritten) << "bin " << k << " was written";
            ASSERT_EQ(s.im[k], kUnwritten) << "bin " << k << " was written";
        }
    }
}

// `mirror(re, im)` keeps bins 0 to 256 and writes the conjugates of bins 1
// to 255 into bins 511 to 257.
template <class Mirror>
void expectMirrorConjugates(Mirror mirror) {
    constexpr int kN = static_cast<int>(kBlockLength);
    Spectrum s = filledSpectrum(kUnwritten);
    for (int k = 0; k <= 256; ++k) {
        s.re[k] = k + 0.25;
        s.im[k] = -3.0 * k - 0.5;
    }
    mirror(s.re.data(), s.im.data());
    for (int k = 0; k <= 256; ++k) {
        EXPECT_EQ(s.re[k], k + 0.25) << "bin " << k;
        EXPECT_EQ(s.im[k], -3.0 * k - 0.5) << "bin " << k;
    }
    for (int j = 1; j <= 255; ++j) {
        EXPECT_EQ(s.re[kN - j], s.re[j]) << "bin " << kN - j;
        EXPECT_EQ(s.im[kN - j], -s.im[j]) << "bin " << kN - j;
    }
}

}  // namespace zarn::test
