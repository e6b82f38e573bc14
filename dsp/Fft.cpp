#include "dsp/Fft.h"

#include <algorithm>
#include <cmath>

namespace zarn {

namespace {

constexpr std::uint32_t kHalfCapacity = kBlockLength / 2;  // largest half-length of any level

// The twiddle e^(−2πi·k/n) applied to (oRe + i·oIm), evaluated afresh for every
// butterfly: no table and no recurrence, so every value is the library's own.
inline void twiddle(std::uint32_t k, std::uint32_t n, double oRe, double oIm, double& tRe,
                    double& tIm) {
    const double c = std::cos((kTwoPi * k) / n);
    const double s = std::sin((k * -kTwoPi) / n);
    tRe = c * oRe - s * oIm;
    tIm = s * oRe + c * oIm;
}

}  // namespace

Fft::Fft(std::uint32_t count) : length(kBlockLength) {
    std::fill_n(scratch.begin(), std::min<std::uint32_t>(count, kBlockLength), 0.0);
}

void Fft::forward(const double* x, double* re, double* im) {
    transform(length, x, scratch.data(), re, im);
}

void Fft::inverse(const double* re, const double* im, double* y) {
    inverseTransform(length, re, im, y, scratch.data());
}

void Fft::mirror(double* re, double* im) const {
    for (std::uint32_t j = 1; j < length / 2; ++j) {
        re[length - j] = re[j];
        im[length - j] = im[j] * -1.0;
    }
}

void Fft::transform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                    double* outIm) const {
    if (n <= 1) {
        outRe[0] = inRe[0];
        outIm[0] = inIm[0];
        return;
    }
    const std::uint32_t h = n / 2;
    double evenRe[kHalfCapacity], evenIm[kHalfCapacity], oddRe[kHalfCapacity], oddIm[kHalfCapacity];
    for (std::uint32_t i = 0; i < h; ++i) {
        evenRe[i] = inRe[2 * i];
        evenIm[i] = inIm[2 * i];
        oddRe[i] = inRe[2 * i + 1];
        oddIm[i] = inIm[2 * i + 1];
    }
    double eRe[kHalfCapacity], eIm[kHalfCapacity], oRe[kHalfCapacity], oIm[kHalfCapacity];
    transform(h, evenRe, evenIm, eRe, eIm);
    transform(h, oddRe, oddIm, oRe, oIm);

    const bool top = n >= length;
    const double scale = 1.0 / length;
    for (std::uint32_t k = 0; k < h; ++k) {
        double tRe, tIm;
        twiddle(k, n, oRe[k], oIm[k], tRe, tIm);
        outRe[k] = tRe + eRe[k];
        outIm[k] = tIm + eIm[k];
        if (!top) {
            outRe[k + h] = eRe[k] - tRe;
            outIm[k + h] = eIm[k] - tIm;
            continue;
        }
        outRe[k] = outRe[k] * scale;
        outIm[k] = outIm[k] * scale;
        if (k == 0) {
            // Only the Nyquist bin of the upper half is kept: a real block's
            // spectrum above it is the mirror image of the lower half.
            outRe[h] = (eRe[0] - tRe) * scale;
            outIm[h] = (eIm[0] - tIm) * scale;
        }
    }
}

void Fft::inverseTransform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                           double* outIm) const {
    if (n <= 1) {
        outRe[0] = inRe[0];
        outIm[0] = inIm[0];
        return;
    }
    const std::uint32_t h = n / 2;
    // The inverse is the forward transform of the conjugate: negate the
    // imaginary input at the top and run forward steps below it.
    const double imSign = n == length ? -1.0 : 1.0;
    double evenRe[kHalfCapacity], evenIm[kHalfCapacity], oddRe[kHalfCapacity], oddIm[kHalfCapacity];
    for (std::uint32_t i = 0; i < h; ++i) {
        evenRe[i] = inRe[2 * i];
        evenIm[i] = inIm[2 * i] * imSign;
        oddRe[i] = inRe[2 * i + 1];
        oddIm[i] = inIm[2 * i + 1] * imSign;
    }
    double eRe[kHalfCapacity], eIm[kHalfCapacity];
    transform(h, evenRe, evenIm, eRe, eIm);
    // The even inputs are consumed; the odd half's results can reuse them.
    double* oRe = evenRe;
    double* oIm = evenIm;
    transform(h, oddRe, oddIm, oRe, oIm);
    for (std::uint32_t k = 0; k < h; ++k) {
        double tRe, tIm;
        twiddle(k, n, oRe[k], oIm[k], tRe, tIm);
        outRe[k] = tRe + eRe[k];
        outIm[k] = tIm + eIm[k];
        outRe[k + h] = eRe[k] - tRe;
        outIm[k + h] = eIm[k] - tIm;
    }
}

}  // namespace zarn
