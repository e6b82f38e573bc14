#pragma once

#include "common/Types.h"
#include "dsp/Fft.h"

namespace zarn {

// zarnconv's way back from a dequantised spectrum to a Block: the fast
// inverse transform.
class FullSynthesis {
public:
    void mirror(double* re, double* im) const { fft_.mirror(re, im); }
    void inverse(const double* re, const double* im, double* y) const { fft_.inverse(re, im, y); }

private:
    Fft fft_{kBlockLength};
};

}  // namespace zarn
