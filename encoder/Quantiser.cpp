#include "encoder/Quantiser.h"

#include <array>
#include <cmath>

namespace zarn {

namespace {

// x·2^−e as e successive halvings would give it.
inline double halve(double x, double factor, std::uint8_t e) {
    const double once = x * factor;
    if (std::fabs(once) >= 0x1p-1022 || x == 0.0 || once != once) return once;
    for (std::uint8_t i = 0; i < e; ++i) x = x * 0.5;
    return x;
}

// 2^e and 2^−e for every exponent a band can have.
struct PowersOfTwo {
    std::array<double, 16> up;
    std::array<double, 16> down;
    PowersOfTwo() {
        for (int e = 0; e < 16; ++e) {
            up[e] = std::ldexp(1.0, e);
            down[e] = std::ldexp(1.0, -e);
        }
    }
};

const PowersOfTwo kPowers;

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t end = first + kBandWidths[band];
        double m = 0.0;
        for (std::size_t bin = first; bin < end; ++bin) {
            if (std::fabs(re[bin]) > m) m = std::fabs(re[bin]);
            if (std::fabs(im[bin]) > m) m = std::fabs(im[bin]);
        }
        // The largest e ≤ 15 with m·2^e < 32768, found by doubling.
        std::uint8_t e = 0;
        for (;;) {
            m = m * 2;
            if (!(m < 32768.0)) break;
            ++e;
            if (e >= 15) break;
        }
        scale[band] = e;
        // One multiplication by 2^e equals e doublings: scaling up by a power
        // of two only moves the exponent, and these values cannot overflow.
        const double factor = kPowers.up[e];
        for (std::size_t bin = first; bin < end; ++bin) {
            re[bin] = re[bin] * factor;
            im[bin] = im[bin] * factor;
        }
        first = end;
    }
}

void Quantiser::dequantise(double* re, double* im, const ScaleExponents& scale) const {
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t end = first + kBandWidths[band];
        const std::uint8_t e = scale[band];
        const double factor = kPowers.down[e];
        for (std::size_t bin = first; bin < end; ++bin) {
            // One multiplication by 2^−e equals e halvings unless the result is
            // subnormal, where each halving rounds; those take the long way.
            re[bin] = halve(re[bin], factor, e);
            im[bin] = halve(im[bin], factor, e);
        }
        first = end;
    }
}

}  // namespace zarn
