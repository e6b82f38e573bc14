#include "encoder/BitAllocator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/reference/LiteralKernels.h"
#include "tests/support/BandTestUtil.h"

namespace zarn {
namespace {

using test::kFirstBin;
using test::Spectrum;

BitAllocation allocate(const Spectrum& s) {
    BitAllocation allocation;
    allocation.fill(99);  // every entry must be written
    BitAllocator().allocate(allocation, s.re.data(), s.im.data());
    return allocation;
}

BitAllocation allocateLiterally(const Spectrum& s) {
    BitAllocation allocation;
    literal::allocate(allocation, s.re.data(), s.im.data());
    return allocation;
}

// Bits for a band whose only non-zero bin has exactly the power `p`.
template <class Allocate>
int bitsFor(double p, Allocate allocate) {
    Spectrum s;
    const test::Bin b = test::binWithPower(p);
    EXPECT_EQ(b.re * b.re + b.im * b.im, p);
    s.re[200] = b.re;
    s.im[200] = -b.im;
    return allocate(s)[24];
}

TEST(BitAllocator, BitsFollowTheLargestMagnitude) {
    struct Case {
        double magnitude;
        int bits;
    };
    std::vector<Case> cases = {{0.0, 0},   {0.5, 0},    {0.9, 0},      {1.0, 0},
                               {std::nextafter(1.0, 2.0), 1},          {10.0, 4},
                               {100.0, 7}, {1000.0, 10}, {8192.0, 14}, {16384.0, 15},
                               {32767.0, 15}, {1e12, 15}};
    // The divisor lies just below 20·log10(2): a power of two is one bit more.
    for (int k = 1; k <= 14; ++k) cases.push_back({std::ldexp(1.0, k), k + 1});

    // The magnitude goes into every band at once, at the band's last bin, in
    // the real or the imaginary part and with either sign.
    for (const Case& c : cases) {
        for (int variant = 0; variant < 4; ++variant) {
            SCOPED_TRACE(testing::Message() << "magnitude " << c.magnitude << ", variant " << variant);
            Spectrum s;
            for (std::size_t band = 0; band < kBandCount; ++band) {
                const std::size_t last = kFirstBin[band + 1] - 1;
                (variant % 2 == 0 ? s.re : s.im)[last] = variant < 2 ? c.magnitude : -c.magnitude;
            }
            const BitAllocation allocation = allocate(s);
            for (std::size_t band = 0; band < kBandCount; ++band) {
                EXPECT_EQ(allocation[band], c.bits) << "band " << band;
            }
        }
    }
}

TEST(BitAllocator, MagnitudeJoinsRealAndImaginaryParts) {
    Spectrum s;
    s.re[3] = 1.0;  // band 2: |1 + i| = 1.414, 3 dB: neither part alone earns a bit
    s.im[3] = 1.0;
    s.re[4] = -1.5;  // band 3: |−1.5 + 1.5i| = 2.12, 6.5 dB: 2 bits, where 1.5 alone gets 1
    s.im[4] = 1.5;
    const BitAllocation allocation = allocate(s);
    EXPECT_EQ(allocation[2], 1);
    EXPECT_EQ(allocation[3], 2);
}

TEST(BitAllocator, OnlyTheLoudestBinOfABandCounts) {
    // Each band gets its own loudest magnitude, 2^(k mod 14 + 1), at a place
    // that moves through the band, among quieter bins that earn 0 or 1 bit.
    Spectrum s;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t first = kFirstBin[band], width = kFirstBin[band + 1] - first;
        for (std::size_t bin = first; bin < first + width; ++bin) {
            s.re[bin] = bin % 2 ? 0.7 : -1.0;
            s.im[bin] = bin % 3 ? 0.0 : 0.6;
        }
        const std::size_t loud = first + band % width;
        s.re[loud] = std::ldexp(band % 2 ? 1.0 : -1.0, static_cast<int>(band % 14 + 1));
        s.im[loud] = 0.0;
    }
    const BitAllocation allocation = allocate(s);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        EXPECT_EQ(allocation[band], band % 14 + 2) << "band " << band;
    }
}

TEST(BitAllocator, StepsExactlyWhereTheLevelPassesAWholeNumberOfBits) {
    // The boundary powers of the literal allocation, which carries the rule
    // out step by step in doubles.
    // Just below a whole number n of bits, x + 1.0 already rounds up to n + 1,
    // so the step lies an ulp before the ceiling's; a threshold taken from
    // pow() on the magnitude misses it by a few ulps more.
    for (int n = 0; n <= 14; ++n) {
        SCOPED_TRACE(testing::Message() << "step from " << n << " bits");
        const double guess = std::pow(10.0, n * 6.020133 / 10);
        const double last = test::lastWhere(guess * 0.999, guess * 1.001,
                                            [&](double p) { return bitsFor(p, allocateLiterally) <= n; });
        const double next = std::nextafter(last, std::numeric_limits<double>::infinity());
        EXPECT_EQ(bitsFor(last, allocate), n) << std::hexfloat << last;
        EXPECT_EQ(bitsFor(next, allocate), n + 1) << std::hexfloat << next;
        if (n == 14) {
            EXPECT_NEAR(std::sqrt(last), 16371.67, 0.01);
        }
    }
}

}  // namespace
}  // namespace zarn
