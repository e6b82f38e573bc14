#pragma once

#include "common/Types.h"
#include "encoder/EncoderStages.h"
#include "reduced/Dft.h"
#include "reduced/FixedAllocator.h"

namespace zarn {

// What zarnbasic's frame encoder does instead: the direct transform, nothing
// removed as inaudible, and 15 bits in every band.
class ReducedAnalysis {
public:
    // The direct transform writes exactly bins 0..256 and nothing beyond.
    static constexpr std::size_t kSpectrumSize = kCodedBins;

    // A batch shares each pass over the direct transform's tables.
    static constexpr std::size_t kBatch = Dft::kBatch;

    void forward(const double* const* blocks, double* const* re, double* const* im, std::size_t count) {
        dft_.forward(blocks, re, im, count);
    }

    // Nothing is removed, so what is audible and what is unmasked is all of it.
    template <class Watch>
    void removeInaudible(double* re, double* im, Watch& watch) const {
        watch.spectrum(EncoderStage::audible, re, im);
        watch.spectrum(EncoderStage::masked, re, im);
    }

    void allocate(BitAllocation& allocation, const double*, const double*) const {
        allocator_.allocate(allocation);
    }

private:
    Dft dft_{Dft::Directions::forward};
    FixedAllocator allocator_;
};

}  // namespace zarn
