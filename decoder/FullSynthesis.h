#pragma once

#include "common/Types.h"
#include "dsp/Fft.h"

namespace zarn {

// zarnconv's way back from a dequantised spectrum to a Block: the fast
// inverse transform.
class FullSynthesis {
public:
    // The fast transform is as quick one frame at a time.
    static constexpr std::size_t kBatch = 1;

    void inverse(const double* const* re, const double* const* im, double* const* y, std::size_t count) const {
        for (std::size_t f = 0; f < count; ++f) fft_.inverse(re[f], im[f], y[f]);
    }

private:
    Fft fft_{kBlockLength};
};

}  // namespace zarn
