#pragma once

#include <cassert>
#include <cstddef>

#include "common/BandKernels.h"
#include "common/BandTable.h"
#include "common/EncodedFrame.h"
#include "stream/ZarnFormat.h"

namespace zarn {

// The frame's components as doubles in bins 0..256 of re and im, each band
// divided by 2^e, which undoes the quantiser's scaling. One multiplication by
// 2^−e is exact: a 16-bit integer times 2^−15 is never subnormal.
inline void dequantise(const EncodedFrame& frame, double* re, double* im) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        assert(frame.scale[band] <= kMaxExponent && "exponents are 4-bit fields");
        scaleBand(frame.re.data(), frame.im.data(), re, im, kBands.first[band], kBands.end[band],
                  kPowerOfTwo(-frame.scale[band]));
    }
}

}  // namespace zarn
