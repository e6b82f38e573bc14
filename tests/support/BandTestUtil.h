#pragma once
// Blocks, spectra and exact decision boundaries for the per-frame steps.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "common/Types.h"

namespace zarn::test {

// First bin of each band, with 257 after the last: written out here rather
// than taken from the code, so that a slip in the code's table shows.
constexpr std::array<std::size_t, kBandCount + 1> kFirstBin = {
    0, 2, 3, 4, 5, 6, 7, 9, 11, 13, 15, 17, 20, 23, 27, 32, 37, 43, 52, 62, 75, 90, 111, 140, 180, 257};

// Each band's threshold in quiet, in dB.
constexpr std::array<double, kBandCount> kQuietThresholdDb = {
    18.7104,  12.4279,  9.48203,  7.72302,  6.56034,  5.71652,   4.54787, 3.73927, 3.09649,
    2.52837,  2.97067,  1.06549,  0.0224146, -1.58687, -3.59372, -4.85223, -4.98325, -4.54257,
    -1.50408, 1.15247,  2.4992,   4.24211,  8.80713,  21.3449,   57.5484};

struct Spectrum {
    SpectrumPart re{};
    SpectrumPart im{};
};

// Every bin at `value`: one no step computes shows which bins were written.
inline Spectrum filledSpectrum(double value) {
    Spectrum s;
    s.re.fill(value);
    s.im.fill(value);
    return s;
}

// Full-scale 16-bit noise, under the encoder's window if asked.
inline Block noiseBlock(std::mt19937& random, bool windowed) {
    std::uniform_int_distribution<int> sample(-32768, 32767);
    Block x;
    for (std::size_t m = 0; m < kBlockLength; ++m) {
        x[m] = sample(random) * (windowed ? 0.5 * (1 - std::cos(kTwoPi * m / kBlockLength)) : 1.0);
    }
    return x;
}

// Identical bits, except that any NaN matches any NaN: which NaN an operation
// returns depends on the order the compiler puts its operands in, and no
// output byte depends on it (a NaN rounds to sample 0, never wins a band's
// maximum and never decides a threshold).
inline bool sameBits(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool sameBits(const double* a, const double* b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!sameBits(a[i], b[i])) return false;
    }
    return true;
}

// The level in dB exactly as the encoder measures it, from a bin's power.
inline double levelDb(double power) { return 20 * std::log10(std::sqrt(power)); }

// The largest positive double in [lo, hi] for which `holds` is true, given that
// it holds at lo, not at hi, and changes once in between. Positive doubles are
// ordered like their bit patterns, so this bisects over every double there is.
template <class Predicate>
double lastWhere(double lo, double hi, Predicate holds) {
    std::uint64_t a, b;
    std::memcpy(&a, &lo, sizeof a);
    std::memcpy(&b, &hi, sizeof b);
    while (b - a > 1) {
        const std::uint64_t middle = a + (b - a) / 2;
        double x;
        std::memcpy(&x, &middle, sizeof x);
        (holds(x) ? a : b) = middle;
    }
    double result;
    std::memcpy(&result, &a, sizeof result);
    return result;
}

// Values at every corner of rounding to a sample: halves and the doubles on
// either side of them, the 16-bit ends and beyond them, signed zeros,
// subnormals, NaN and infinities.
inline std::vector<double> roundingCorners() {
    return {0.0, -0.0, 0.5, -0.5, 0.49999999999999994, -0.49999999999999994, 1.5, -1.5, 2.5, -2.5,
            32766.5, 32767.0, 32767.4, 32767.5, 32767.6, 32768.0, 40000.0, 65535.5, 2147483648.0,
            -32767.5, -32768.0, -32768.4, -32768.5, -32769.0, -40000.0, -65536.5, -2147483649.0,
            1e300, -1e300, HUGE_VAL, -HUGE_VAL, NAN, -NAN,
            4.9e-324, -4.9e-324, 2.2250738585072014e-308, -1e-310};
}

struct Bin {
    double re, im;
};

// A bin whose power re·re + im·im is exactly p, so that a decision can be
// tested at any power, not only at the squares of doubles: the real part
// takes the largest square up to p, the imaginary part the few ulps left.
inline Bin binWithPower(double p) {
    const double up = HUGE_VAL;
    double re = std::sqrt(p);
    for (int tries = 0; tries < 4 && re * re > p; ++tries) re = std::nextafter(re, 0.0);
    for (int tries = 0; tries < 4 && std::nextafter(re, up) * std::nextafter(re, up) <= p; ++tries) {
        re = std::nextafter(re, up);
    }
    double im = std::sqrt(p - re * re);
    for (int tries = 0; tries < 8 && re * re + im * im < p; ++tries) im = std::nextafter(im, up);
    for (int tries = 0; tries < 8 && re * re + im * im > p; ++tries) im = std::nextafter(im, 0.0);
    return {re, im};
}

}  // namespace zarn::test
