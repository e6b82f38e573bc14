// Whether this machine's C library gives the cos and sin results the golden
// hashes were made with. A failure here names the group, the arguments and
// the bits that differ, so that a golden mismatch beside it can be put down
// to the library rather than the codec.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>

#include "common/Types.h"
#include "tests/golden/MathsLibrary.h"

namespace zarn::test {
namespace {

TEST(MathsLibrary, GivesTheResultsOfAKnownLibrary) {
    const MathsVerdict verdict = judgeMathsLibrary();
    ASSERT_NE(verdict.library, nullptr) << verdict.report;
    std::cout << "maths library: " << verdict.library << "\n";
}

// glibc's cos and sin err by less than one ulp, and rarely at all; so does
// the reference, or the report above would list every argument. Either
// failing shows here: many departures, or one of more than an ulp.
TEST(MathsLibrary, DepartsFromCorrectRoundingRarelyAndByAnUlpAtMost) {
    for (const MathsGroup& group : surveyMaths()) {
        SCOPED_TRACE(group.name);
        std::size_t departures = 0, decided = 0;
        for (std::size_t i = 0; i < group.arguments.size(); ++i) {
            double reference;
            if (!correctlyRounded(group.function, group.arguments[i], reference)) continue;
            ++decided;
            if (reference == group.values[i] && std::signbit(reference) == std::signbit(group.values[i]))
                continue;
            ++departures;
            EXPECT_EQ(std::nextafter(reference, group.values[i]), group.values[i]) << group.describe(i);
        }
        EXPECT_GE(decided + 2, group.arguments.size());
        EXPECT_LE(departures * 100, group.arguments.size()) << departures << " departures";
    }
}

// Values whose bits follow from the definitions alone.
TEST(MathsLibrary, ReferenceIsExactWhereTheAnswerIsKnown) {
    double value;
    ASSERT_TRUE(correctlyRounded(MathsFunction::cos, 0.0, value));
    EXPECT_EQ(value, 1.0);
    ASSERT_TRUE(correctlyRounded(MathsFunction::sin, -0.0, value));
    EXPECT_TRUE(value == 0 && std::signbit(value));
    // Near a zero of the function the result is the distance to it: π/2 as a
    // double lies 6.123233995736766e-17 below the true π/2.
    ASSERT_TRUE(correctlyRounded(MathsFunction::cos, 0x1.921fb54442d18p+0, value));
    EXPECT_EQ(value, 0x1.1a62633145c07p-54);
    ASSERT_TRUE(correctlyRounded(MathsFunction::sin, 0x1.921fb54442d18p+1, value));
    EXPECT_EQ(value, 0x1.1a62633145c07p-53);
    // Powers of ten, and log10(2) to the last bit.
    for (int k = 0; k <= 22; ++k) {
        ASSERT_TRUE(correctlyRounded(MathsFunction::log10, std::pow(10.0, k), value)) << k;
        EXPECT_EQ(value, k);
    }
    ASSERT_TRUE(correctlyRounded(MathsFunction::log10, 2.0, value));
    EXPECT_EQ(value, 0x1.34413509f79ffp-2);
    // Symmetry: sin is odd and cos even, at a large argument of the tables.
    const double x = static_cast<double>(511 * 511) * kTwoPi / 512;
    double plus, minus;
    ASSERT_TRUE(correctlyRounded(MathsFunction::sin, x, plus) &&
                correctlyRounded(MathsFunction::sin, -x, minus));
    EXPECT_EQ(plus, -minus);
    ASSERT_TRUE(correctlyRounded(MathsFunction::cos, x, plus) &&
                correctlyRounded(MathsFunction::cos, -x, minus));
    EXPECT_EQ(plus, minus);
}

}  // namespace
}  // namespace zarn::test
