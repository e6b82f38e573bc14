#pragma once
// Base-2 logarithm and power to about five decimal places, for the rate
// encoder's estimates: several times quicker than the C library's, and the
// same bits on every machine, since they are plain arithmetic. And the
// floor they take whole parts with.

#include <cstdint>
#include <cstring>

namespace zarn {

// ⌊x⌋ for |x| < 2^31: truncation, one less where it rounded a negative
// non-integer up.
inline int floorToInt(double x) {
    const int whole = static_cast<int>(x);
    return whole > x ? whole - 1 : whole;
}

// log2 x for a normal x > 0: its binary exponent plus log2 of its
// mantissa m in [1, 2), from the series of atanh in t = (m − 1)/(m + 1),
// |t| ≤ 1/3.
inline double fastLog2(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
    double m;
    std::memcpy(&m, &bits, sizeof m);
    const double t = (m - 1.0) / (m + 1.0), t2 = t * t;
    const double series = t * (1.0 + t2 * (1.0 / 3.0 + t2 * (1.0 / 5.0 + t2 * (1.0 / 7.0 + t2 * (1.0 / 9.0)))));
    return exponent + 2.8853900817779268 * series;  // 2/ln 2
}

// 2^y for −1000 < y < 1000: 2 to the whole part, set in the exponent bits,
// times the Taylor series of 2^f for the fraction f in [0, 1).
inline double fastExp2(double y) {
    const int whole = floorToInt(y);
    const double f = (y - whole) * 0.6931471805599453;  // ln 2
    const double fraction =
        1.0 + f * (1.0 + f * (0.5 + f * (1.0 / 6.0 + f * (1.0 / 24.0 + f * (1.0 / 120.0 +
                                                                            f * (1.0 / 720.0 + f * (1.0 / 5040.0)))))));
    const std::uint64_t bits = static_cast<std::uint64_t>(whole + 1023) << 52;
    double power;
    std::memcpy(&power, &bits, sizeof power);
    return fraction * power;
}

}  // namespace zarn
