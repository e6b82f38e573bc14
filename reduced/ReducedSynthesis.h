#pragma once

#include "common/Types.h"
#include "reduced/Dft.h"

namespace zarn {

// zarnbasic's way back from a dequantised spectrum to a Block: the direct
// inverse transform.
class ReducedSynthesis {
public:
    void mirror(double* re, double* im) const {
        dft_.mirror(re, im, static_cast<std::int16_t>(kBlockLength));
    }
    void inverse(const double* re, const double* im, double* y) const {
        dft_.inverse(re, im, y, static_cast<std::int16_t>(kBlockLength));
    }

private:
    Dft dft_;
};

}  // namespace zarn
