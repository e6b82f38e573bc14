#pragma once

#include "common/EncodedFrame.h"

namespace zarn {

// Fills frame.re and frame.im from bins 0..256 of a scaled spectrum, as the
// frame will store them under frame.allocation: each component rounded to a
// Sample, then cut to its band's top g + 1 bits; 0 in bands without bits and
// for the imaginary parts of bins 0 and 256.
void storeComponents(const double* re, const double* im, EncodedFrame& frame);

}  // namespace zarn
