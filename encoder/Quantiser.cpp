#include "encoder/Quantiser.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

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

// The scaling on N lanes, band by band, each band's bins known while
// compiling: the 25 bands unrolled, every loop of fixed length, the
// overlapping last vectors fixed. Walked at run time, the bounds and the
// loops' set-up cost more than the arithmetic in the many narrow bands.
struct QuantiseKernel {
    template <int N, std::size_t Band>
    static ZARN_ALWAYS_INLINE void scaleOne(double* re, double* im, std::uint8_t* scale) {
        constexpr std::size_t first = kBands.first[Band], end = kBands.end[Band];
        const std::uint8_t e = scaleExponentFor(BandKernels<N>::largest(Magnitudes{re, im}, first, end));
        scale[Band] = e;
        // One multiplication by 2^e equals e doublings: scaling up by a
        // power of two only moves the exponent, and these values cannot
        // overflow.
        scaleBand(re, im, re, im, first, end, kPowersOfTwo[e]);
    }

    template <int N, std::size_t... Band>
    static ZARN_ALWAYS_INLINE void scaleAll(double* re, double* im, std::uint8_t* scale,
                                            std::index_sequence<Band...>) {
        (scaleOne<N, Band>(re, im, scale), ...);
    }

    template <int N>
    static ZARN_ALWAYS_INLINE void run(double* re, double* im, std::uint8_t* scale) {
        scaleAll<N>(re, im, scale, std::make_index_sequence<kBandCount>{});
    }
};

}  // namespace

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
    // Four lanes at most: most bands are narrower than eight bins, and
    // AVX-512 measured no faster than AVX.
    runOnVectorPath<QuantiseKernel, 4>(re, im, scale.data());
}

}  // namespace zarn
