#pragma once

#include <cstdint>

#include "common/Types.h"

namespace zarn {

// Radix-2 decimation-in-time FFT of length 512.
//
// Conventions: forward X[k] = (1/N)·Σ x[m]·e^(−2πi·k·m/N), written for bins
// 0..N/2 only (Nyquist included; bins above it are left untouched). The inverse
// is unscaled, y[m] = Re Σ X[k]·e^(+2πi·k·m/N), and needs the full spectrum,
// which mirror() (dsp/Mirror.h) completes by conjugate symmetry. Real and
// imaginary parts live in separate arrays.
//
// An Fft holds no state: every run starts from its arguments alone, so forward
// and inverse may follow each other on one object in any order.
class Fft {
public:
    // `length` is the transform length, which must be 512 (kBlockLength); the
    // codec has no other. Builds the twiddles now rather than inside the first
    // frame.
    explicit Fft(std::uint32_t length);

    // Bins 0..256 of the windowed block x.
    void forward(const double* x, double* re, double* im) const;
    // Real part of the unscaled inverse of a full 512-bin spectrum into y.
    void inverse(const double* re, const double* im, double* y) const;
};

}  // namespace zarn
