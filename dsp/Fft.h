#pragma once

#include <array>
#include <cstdint>

#include "common/Types.h"

namespace zarn {

// Radix-2 decimation-in-time FFT of length 512.
//
// Conventions: forward X[k] = (1/N)·Σ x[m]·e^(−2πi·k·m/N), written for bins
// 0..N/2 only (Nyquist included; bins above it are left untouched). The inverse
// is unscaled, y[m] = Re Σ X[k]·e^(+2πi·k·m/N), and needs the full spectrum,
// which mirror() completes by conjugate symmetry. Real and imaginary parts live
// in separate arrays.
class Fft {
public:
    // Sets the length to 512 and zeroes the first `count` scratch entries.
    explicit Fft(std::uint32_t count);

    // Bins 0..256 of the windowed block x. Needs scratch still all zero, so an
    // Fft that has run inverse() must not run forward() again.
    void forward(const double* x, double* re, double* im);
    // Real part of the unscaled inverse of a full 512-bin spectrum into y.
    void inverse(const double* re, const double* im, double* y);
    // Fills bins 511..257 from bins 1..255 as complex conjugates.
    void mirror(double* re, double* im) const;

    // Forward transform of n (a power of two up to 512) complex values. At the
    // full length only bins 0..n/2 are written, scaled by 1/n; below it every
    // bin is written, unscaled.
    void transform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                   double* outIm) const;
    // Unscaled inverse of n complex values (the imaginary input is negated at
    // the full length); every output is written.
    void inverseTransform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                          double* outIm) const;

private:
    std::uint32_t length;                  // N, always 512
    std::array<double, kBlockLength> scratch;  // zero imaginary input of forward(); imaginary output of inverse()
};

}  // namespace zarn
