#pragma once

#include "common/Types.h"
#include "reduced/Dft.h"
#include "reduced/FixedAllocator.h"

namespace zarn {

// The reduced encoder's steps: the direct transform, nothing removed as
// inaudible, and 15 bits in every band.
class ReducedEncoderSteps {
public:
    // The direct transform writes exactly bins 0..256 and nothing beyond.
    static constexpr std::size_t kSpectrumSize = kCodedBins;

    void forward(const double* block, double* re, double* im) const {
        dft_.forward(block, re, im, static_cast<std::int16_t>(kBlockLength));
    }
    void removeInaudible(double*, double*) const {}
    void allocate(BitAllocation& allocation, const double*, const double*) const {
        allocator_.allocate(allocation);
    }

private:
    Dft dft_;
    FixedAllocator allocator_;
};

}  // namespace zarn
