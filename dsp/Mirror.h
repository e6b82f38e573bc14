#pragma once

#include <cstddef>

#include "common/Types.h"

namespace zarn {

// Completes a spectrum of a real signal for the inverse transforms: bins
// 511 .. 257 from bins 1 .. 255 as complex conjugates. Bins 0 and 256 are
// their own mirror images.
inline void mirror(double* re, double* im) {
    for (std::size_t j = 1; j < kBlockLength / 2; ++j) {
        re[kBlockLength - j] = re[j];
        im[kBlockLength - j] = im[j] * -1.0;
    }
}

}  // namespace zarn
