#pragma once

#include "common/Types.h"

namespace zarn {

// Gives each band one bit per 6.020133 dB of its loudest bin, rounded up and
// limited to 15. The divisor is slightly below 20·log10(2), so every exact
// power of two 2^k gets k + 1 bits.
class BitAllocator {
public:
    BitAllocator();

    // Fills all 25 entries from bins 0..256 of the (scaled) spectrum.
    void allocate(BitAllocation& allocation, const double* re, const double* im) const;
};

}  // namespace zarn
