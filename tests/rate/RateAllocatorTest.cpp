// The allocator's candidates for a band: the whole parts of its estimate,
// negative ones included, and codings the format can hold.

#include "rate/RateAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "rate/FastLog.h"
#include "stream/ZarnFormat.h"

namespace zarn {
namespace {

// Truncating is one too high below zero, and a hand-made floor that takes
// −trunc(1 − x) is one too low at negative integers.
TEST(RateAllocatorFloor, IsTheFloorAtNegativeIntegersAndEverywhereElse) {
    for (const double x : {-7.0, -3.0, -2.0, -1.0, -0.0, 0.0, 1.0, 2.0, 14.0, 30.0}) {
        EXPECT_EQ(floorToInt(x), static_cast<int>(x)) << x;
    }
    for (const double x : {-7.5, -2.25, -1.0000001, -0.999, -1e-12, 1e-12, 0.5, 2.999, 14.5}) {
        EXPECT_EQ(floorToInt(x), static_cast<int>(std::floor(x))) << x;
    }
    // The power takes the whole part with it: at a negative integer, the
    // fraction is 0 and the power exact.
    for (const int k : {-20, -3, -1, 0, 1, 7}) EXPECT_EQ(fastExp2(k), std::ldexp(1.0, k)) << k;
    EXPECT_NEAR(fastExp2(-2.5) / std::exp2(-2.5), 1.0, 1e-6);
}

// Over estimates of g + e anywhere (negative ones and exact integers too)
// and every exponent a band's peak may set: the two codings at e* either
// side of the estimate, the third one exponent higher with a bit less at
// the nearer whole number, all within the format's bits and exponents.
TEST(RateAllocatorCandidates, StraddleTheEstimateWithinTheFormatsLimits) {
    for (int top = 0; top <= kMaxExponent; ++top) {
        for (double estimate = -6.0; estimate <= 36.0; estimate += 0.25) {
            SCOPED_TRACE(testing::Message() << "e* = " << top << ", g + e = " << estimate);
            const auto c = RateAllocator::candidatesAt(estimate, top);
            const int below = static_cast<int>(std::floor(estimate)) - top;
            EXPECT_EQ(c[0].bits, std::clamp(below, 1, kMaxBits - 1));
            EXPECT_EQ(c[1].bits, c[0].bits + 1);
            EXPECT_EQ(c[0].exponent, top);
            EXPECT_EQ(c[1].exponent, top);
            if (top == kMaxExponent) {
                EXPECT_TRUE(c[2].bits == c[1].bits && c[2].exponent == c[1].exponent);
                continue;
            }
            const int nearest = static_cast<int>(std::floor(estimate + 0.5)) - top;
            EXPECT_EQ(c[2].exponent, top + 1);
            EXPECT_EQ(c[2].bits, std::clamp(nearest, 2, kMaxBits) - 1);
            for (const BandCoding& coding : c) {
                EXPECT_GE(coding.bits, 1);
                EXPECT_LE(coding.bits, kMaxBits);
                EXPECT_LE(coding.exponent, kMaxExponent);
            }
        }
    }
}

}  // namespace
}  // namespace zarn
