#pragma once

#include <cstdint>

#include "common/Types.h"

namespace zarn {

// The transform of Fft (dsp/Fft.h) for real blocks, at about half its cost:
// the 512 samples go through a 256-point complex FFT as z[n] = x[2n] +
// i·x[2n+1], and one more pass separates the even and odd halves' spectra
// and combines them. Same conventions and scaling as Fft, but not the same
// bits: results agree with Fft's to rounding (about 1e-15 of the spectrum's
// largest magnitude), so this is for callers that need no bit-exact output.
//
// Unlike Fft::inverse, the inverse takes bins 0..256 alone and completes the
// spectrum by conjugate symmetry itself; no mirror() first.
//
// A RealFft holds no state: forward and inverse may follow each other on one
// object in any order.
class RealFft {
public:
    // `length` is the transform length in real samples, which must be 512
    // (kBlockLength). Builds the twiddles now rather than inside the first
    // frame.
    explicit RealFft(std::uint32_t length);

    // Bins 0..256 of the block x, scaled by 1/512: re[k] + i·im[k] =
    // (1/512)·Σ x[m]·e^(−2πi·k·m/512). im[0] and im[256] are exactly 0; bins
    // above 256 are left untouched.
    void forward(const double* x, double* re, double* im) const;

    // y[m] = Re Σ_{k=0}^{511} X[k]·e^(+2πi·k·m/512), unscaled, where X[k] =
    // re[k] + i·im[k] for k ≤ 256 and X[512 − k] is the conjugate of X[k].
    // Reads bins 0..256 only; im[0] and im[256] are taken as 0, whatever
    // they hold.
    void inverse(const double* re, const double* im, double* y) const;
};

}  // namespace zarn
