#pragma once
// Plain, step-by-step evaluations of every per-frame kernel, kept as the
// oracle for the fast versions in the programs: each fast kernel must give the
// same bits as its literal twin here.

#include <cstdint>
#include <vector>

#include "common/Types.h"

namespace zarn::literal {

// Recursive FFT, twiddles evaluated at every butterfly. `forward` writes bins
// 0..256 of re and im; `inverse` writes y (real part) and imOut (imaginary).
void fftForward(const double* x, double* re, double* im);
void fftInverse(const double* re, const double* im, double* y, double* imOut);

void applyWindow(double* x, std::int32_t n);
void quietThreshold(double* re, double* im);
// The masking model at attenuation 1.0.
void mask(double* re, double* im);
void allocate(BitAllocation& allocation, const double* re, const double* im);
void quantise(double* re, double* im, ScaleExponents& scale);
void dequantise(double* re, double* im, const ScaleExponents& scale);

// One value as a sample: std::round's halves away from zero, the 16-bit
// limits beyond them, 0 for NaN.
Sample roundToSample(double x);

// The bytes of one frame: each component rounded, then packed one bit at a
// time.
std::vector<std::uint8_t> frameBytes(const BitAllocation& allocation, const ScaleExponents& scale,
                                     const double* re, const double* im);

void dftForward(const double* x, double* re, double* im, std::int16_t n);
void dftInverse(const double* re, const double* im, double* y, std::int16_t n);

}  // namespace zarn::literal
