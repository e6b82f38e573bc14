#pragma once

#include "common/Types.h"
#include "dsp/Fft.h"
#include "encoder/BitAllocator.h"
#include "encoder/EncoderStages.h"
#include "encoder/MaskingModel.h"
#include "encoder/QuietThreshold.h"

namespace zarn {

// What zarnconv's frame encoder does between the window and the quantiser, and
// after it: the fast transform, removal of what the threshold in quiet and the
// masking model call inaudible, and bits measured per band.
class FullAnalysis {
public:
    // The transform writes bins 0..256; the arrays are full-length so that the
    // transform's untouched upper bins stay within them.
    static constexpr std::size_t kSpectrumSize = kBlockLength;

    // The fast transform is as quick one frame at a time.
    static constexpr std::size_t kBatch = 1;

    void forward(const double* const* blocks, double* const* re, double* const* im, std::size_t count) const {
        for (std::size_t f = 0; f < count; ++f) fft_.forward(blocks[f], re[f], im[f]);
    }

    template <class Watch>
    void removeInaudible(double* re, double* im, Watch& watch) {
        quietThreshold_.apply(re, im);
        watch.spectrum(EncoderStage::audible, re, im);
        masking_.apply(re, im);
        watch.spectrum(EncoderStage::masked, re, im);
    }

    void allocate(BitAllocation& allocation, const double* re, const double* im) const {
        allocator_.allocate(allocation, re, im);
    }

private:
    Fft fft_{kBlockLength};
    MaskingModel masking_{1.0};
    QuietThreshold quietThreshold_;
    BitAllocator allocator_;
};

}  // namespace zarn
