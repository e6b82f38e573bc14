#pragma once

#include <cstdint>

namespace zarn {

// Direct O(n²) discrete Fourier transform, the reduced build's stand-in for the
// FFT, with the same conventions: forward X[k] = (1/n)·Σ x[m]·e^(−2πi·k·m/n)
// for bins 0..n/2 only; inverse y[i] = Re Σ X[j]·e^(+2πi·i·j/n), unscaled, over
// a full spectrum that mirror() completes by conjugate symmetry.
//
// n is the transform length, which must be 512 (kBlockLength): the codec has
// no other, and the tables behind the sums are built for that length alone.
class Dft {
public:
    // Writes exactly n/2 + 1 entries of re and im.
    void forward(const double* x, double* re, double* im, std::int16_t n) const;
    // Writes n entries of y; there is no imaginary result.
    void inverse(const double* re, const double* im, double* y, std::int16_t n) const;
    // Fills bins n−1 .. n/2+1 from bins 1 .. n/2−1 as complex conjugates.
    void mirror(double* re, double* im, std::int16_t n) const;
};

}  // namespace zarn
