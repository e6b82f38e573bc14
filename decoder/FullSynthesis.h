#pragma once

#include "common/Types.h"
#include "dsp/Fft.h"

namespace zarn {

// The full decoder's inverse transform: the fast one.
class FullDecoderSteps {
public:
    void mirror(double* re, double* im) const { fft_.mirror(re, im); }
    void inverse(const double* re, const double* im, double* y) { fft_.inverse(re, im, y); }

private:
    Fft fft_{kBlockLength};
};

}  // namespace zarn
