#include "encoder/Quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/BandKernels.h"
#include "common/BandTable.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

// 2^e for every exponent a band can have.
const std::array<double, 16> kPowersOfTwo = [] {
    std::array<double, 16> powers{};
    for (int e = 0; e < 16; ++e) powers[e] = std::ldexp(1.0, e);
    return powers;
}();

// The largest e ≤ 15 with m·2^e < 32768, which doubling m until it reaches
// 32768 would find. Doubling is exact, so m·2^e < 2^15 holds exactly when m's
// binary exponent (m = g·2^y, 1 ≤ g < 2) is below 15 − e: e = 14 − y, within
// 0..15. Zero, subnormal and tiny m give 15; infinity and NaN give 0, as the
// comparison with 32768 fails at once for them.
std::uint8_t exponentFor(double m) {
    if (!(m < 32768.0)) return 0;
    std::uint64_t bits;
    std::memcpy(&bits, &m, sizeof bits);
    const int y = static_cast<int>((bits >> 52) & 0x7FF) - 1023;  // −1023 for zero and subnormals
    return static_cast<std::uint8_t>(std::clamp(14 - y, 0, 15));
}

// The scaling on N lanes, band by band.
struct QuantiseKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(double* re, double* im, std::uint8_t* scale) {
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const std::size_t first = kBands.first[band], end = kBands.end[band];
            scale[band] = exponentFor(BandKernels<N>::largest(Magnitudes{re, im}, first, end));
            // One multiplication by 2^e equals e doublings: scaling up by a
            // power of two only moves the exponent, and these values cannot
            // overflow.
            scaleBand(re, im, re, im, first, end, kPowersOfTwo[scale[band]]);
        }
    }
};

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    // Four lanes at most: most bands are narrower than eight bins, and
    // AVX-512 measured no faster than AVX.
    runOnVectorPath<QuantiseKernel, 4>(re, im, scale.data());
}

}  // namespace zarn
