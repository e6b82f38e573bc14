#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "common/Types.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "reduced/Dft.h"
#include "reduced/FixedAllocator.h"

namespace zarn {
namespace {

constexpr std::int16_t kN = 512;
constexpr double kSentinel = -777.25;

struct Spectrum {
    SpectrumPart re, im;
    Spectrum() {
        re.fill(kSentinel);
        im.fill(kSentinel);
    }
};

Spectrum dftForward(const Block& x) {
    Spectrum s;
    Dft().forward(x.data(), s.re.data(), s.im.data(), kN);
    return s;
}

Block windowedNoise(std::mt19937& random) {
    std::uniform_int_distribution<int> sample(-32768, 32767);
    Block x;
    for (int m = 0; m < kN; ++m) x[m] = sample(random) * (0.5 * (1 - std::cos(kTwoPi * m / kN)));
    return x;
}

TEST(Dft, PureBlocksGiveOneBinAndNothingPastNyquist) {
    const struct {
        const char* name;
        double (*sample)(int m);
        int bin;
        double re, im;
    } cases[] = {
        {"constant", [](int) { return -2500.0; }, 0, -2500.0, 0.0},
        {"cosine at bin 8", [](int m) { return std::cos(kTwoPi * 8 * m / kN); }, 8, 0.5, 0.0},
        {"sine at bin 3", [](int m) { return 100 * std::sin(kTwoPi * 3 * m / kN); }, 3, 0.0, -50.0},
        {"alternating", [](int m) { return m % 2 == 0 ? 300.0 : -300.0; }, 256, 300.0, 0.0},
    };
    for (const auto& c : cases) {
        Block x;
        for (int m = 0; m < kN; ++m) x[m] = c.sample(m);
        const Spectrum s = dftForward(x);
        for (int k = 0; k <= 256; ++k) {
            EXPECT_NEAR(s.re[k], k == c.bin ? c.re : 0.0, 1e-9) << c.name << ", bin " << k;
            EXPECT_NEAR(s.im[k], k == c.bin ? c.im : 0.0, 1e-9) << c.name << ", bin " << k;
        }
        // sin(0) is exactly 0, so the DC bin of a real block has no imaginary part.
        EXPECT_EQ(s.im[0], 0.0) << c.name;
        // The encoder's spectrum arrays end at bin 256.
        for (int k = 257; k < kN; ++k) {
            ASSERT_EQ(s.re[k], kSentinel) << c.name << ": bin " << k << " was written";
            ASSERT_EQ(s.im[k], kSentinel) << c.name << ": bin " << k << " was written";
        }
    }
}

TEST(Dft, InverseIsUnscaled) {
    Spectrum s;
    s.re.fill(0.0);
    s.im.fill(0.0);
    s.re[0] = 1234.5;
    Block y;
    y.fill(kSentinel);
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
        Block x = windowedNoise(random);
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

TEST(FixedAllocator, FifteenBitsInEveryBandWhateverWasThere) {
    BitAllocation zeros{}, full, mixed;
    full.fill(255);
    for (std::size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<std::uint8_t>(i * 37);
    BitAllocation expected;
    expected.fill(15);
    for (BitAllocation* allocation : {&zeros, &full, &mixed}) {
        FixedAllocator().allocate(*allocation);
        EXPECT_EQ(*allocation, expected);
    }
}

}  // namespace
}  // namespace zarn
