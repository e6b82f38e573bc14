#pragma once

#include <cassert>
#include <cstddef>

#include "common/BandTable.h"
#include "common/EncodedFrame.h"

namespace zarn {

// The frame's components as doubles, each band divided by 2^e in one
// multiplication by 2^−e: what converting them and the quantiser's way back
// give, in one pass. The quantiser halves e times only to round subnormal
// products alike; a 16-bit integer times 2^−15 is never subnormal.
inline void scaleBack(const EncodedFrame& frame, double* re, double* im) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        assert(frame.scale[band] <= 15 && "exponents are 4-bit fields");
        const double factor = 1.0 / static_cast<double>(1u << frame.scale[band]);
        for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
            re[bin] = frame.re[bin] * factor;
            im[bin] = frame.im[bin] * factor;
        }
    }
}

}  // namespace zarn
