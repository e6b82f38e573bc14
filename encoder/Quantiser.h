#pragma once

#include "common/Types.h"

namespace zarn {

// Block floating point per band: each band is multiplied by the largest power
// of two 2^e (e ≤ 15) that keeps its largest component below 32768. Scaling by
// powers of two only changes exponents, so the decoder's dequantise() undoes
// it exactly; precision is lost later, when the frame writer keeps the top
// bits.
class Quantiser {
public:
    // Scales bins 0..256 of re and im in place and records each band's exponent.
    void quantise(double* re, double* im, ScaleExponents& scale) const;
};

}  // namespace zarn
