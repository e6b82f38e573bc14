#pragma once

#include "common/Types.h"

namespace zarn {

// The reduced build's allocation: every band gets the full 15 bits, whatever
// the spectrum, so every frame keeps each rounded 16-bit component whole.
class FixedAllocator {
public:
    void allocate(BitAllocation& allocation) const { allocation.fill(15); }
};

}  // namespace zarn
