#include "tests/reference/LiteralKernels.h"

#include <cmath>

#include "tests/support/BandTestUtil.h"
#include "tests/support/ReferencePacker.h"

namespace zarn::literal {

namespace {

constexpr std::uint32_t length = kBlockLength;
constexpr std::uint32_t kHalfCapacity = kBlockLength / 2;

inline void twiddle(std::uint32_t k, std::uint32_t n, double oRe, double oIm, double& tRe,
                    double& tIm) {
    const double c = std::cos((kTwoPi * k) / n);
    const double s = std::sin((k * -kTwoPi) / n);
    tRe = c * oRe - s * oIm;
    tIm = s * oRe + c * oIm;
}

void transform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
               double* outIm) {
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

void inverseTransform(std::uint32_t n, const double* inRe, const double* inIm, double* outRe,
                      double* outIm) {
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

}  // namespace

void fftForward(const double* x, double* re, double* im) {
    double zeros[kBlockLength] = {};
    transform(length, x, zeros, re, im);
}

void fftInverse(const double* re, const double* im, double* y, double* imOut) {
    inverseTransform(length, re, im, y, imOut);
}

void applyWindow(double* x, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) x[i] = (1 - std::cos((i * kTwoPi) / n)) * x[i] * 0.5;
}

void quietThreshold(double* re, double* im) {
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            const double level = 20 * std::log10(std::sqrt(re[bin] * re[bin] + im[bin] * im[bin]));
            if (level <= test::kQuietThresholdDb[band]) {
                re[bin] = 0.0;
                im[bin] = 0.0;
            }
        }
    }
}

void mask(double* re, double* im) {
    const double attenuation = 1.0;
    double power[kCodedBins];
    for (std::size_t i = 0; i < kCodedBins; ++i) {
        const double magnitude = std::sqrt(re[i] * re[i] + im[i] * im[i]);
        power[i] = magnitude * magnitude * 0.0038910505836575876;
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const auto first = static_cast<std::int32_t>(test::kFirstBin[band]);
        const auto last = static_cast<std::int32_t>(test::kFirstBin[band + 1]) - 1;
        if (last - first <= 2) continue;
        double best = 0.0;
        std::int32_t peak = first;
        for (std::int32_t i = first; i <= last; ++i) {
            if (power[i] >= best && i != first && i != last) {
                best = power[i];
                peak = i;
            }
        }
        if (peak == first || peak == last) continue;
        const double p = power[peak];
        const std::int32_t dl = peak - first, dr = last - peak;
        const double slope = dl <= dr ? p / dl : p / dr;
        auto ramp = [&](double rampSlope, std::int32_t from, std::int32_t to) {
            for (std::int32_t i = from; i <= to; ++i) {
                const double threshold = ((i - peak) * rampSlope + power[peak]) * attenuation;
                if (threshold > power[i]) {
                    re[i] = 0.0;
                    im[i] = 0.0;
                }
            }
        };
        ramp(slope, first, peak);
        ramp(-slope, peak, last);
    }
}

void allocate(BitAllocation& allocation, const double* re, const double* im) {
    allocation.fill(0);
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        double level = -4.98325;
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            const double binLevel = 20 * std::log10(std::sqrt(re[bin] * re[bin] + im[bin] * im[bin]));
            if (binLevel > level) level = binLevel;
        }
        double x = level * 0.16610928695429153;
        if (x - std::trunc(x) > 0) x += 1.0;
        if (x > 15.0) x = 15.0;
        allocation[band] = static_cast<std::uint8_t>(x);
    }
}

void quantise(double* re, double* im, ScaleExponents& scale) {
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t end = first + kBandWidths[band];
        double m = 0.0;
        for (std::size_t bin = first; bin < end; ++bin) {
            if (std::fabs(re[bin]) > m) m = std::fabs(re[bin]);
            if (std::fabs(im[bin]) > m) m = std::fabs(im[bin]);
        }
        std::uint8_t e = 0;
        for (;;) {
            m = m * 2;
            if (!(m < 32768.0)) break;
            ++e;
            if (e >= 15) break;
        }
        scale[band] = e;
        for (std::size_t bin = first; bin < end; ++bin) {
            for (std::uint8_t i = 0; i < e; ++i) {
                re[bin] = re[bin] * 2;
                im[bin] = im[bin] * 2;
            }
        }
        first = end;
    }
}

void dequantise(double* re, double* im, const ScaleExponents& scale) {
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t end = first + kBandWidths[band];
        for (std::size_t bin = first; bin < end; ++bin) {
            for (std::uint8_t i = 0; i < scale[band]; ++i) {
                re[bin] = re[bin] * 0.5;
                im[bin] = im[bin] * 0.5;
            }
        }
        first = end;
    }
}

Sample roundToSample(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 32767.0) return 32767;
    if (x <= -32768.0) return -32768;
    return static_cast<Sample>(std::round(x));
}

std::vector<std::uint8_t> frameBytes(const BitAllocation& allocation, const ScaleExponents& scale,
                                     const double* re, const double* im) {
    EncodedFrame frame;
    frame.allocation = allocation;
    frame.scale = scale;
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        frame.re[bin] = roundToSample(re[bin]);
        frame.im[bin] = roundToSample(im[bin]);
    }
    return test::referenceFrameBytes(frame);
}

void dftForward(const double* x, double* re, double* im, std::int16_t n) {
    const int half = n / 2;
    for (int k = 0; k <= half; ++k) {
        re[k] = 0.0;
        im[k] = 0.0;
        for (int m = 0; m < n; ++m) {
            const double theta = static_cast<double>(k * m) * -kTwoPi / n;
            re[k] = re[k] + x[m] * std::cos(theta);
            im[k] = im[k] + x[m] * std::sin(theta);
        }
        re[k] = re[k] * (1.0 / n);
        im[k] = im[k] * (1.0 / n);
    }
}

void dftInverse(const double* re, const double* im, double* y, std::int16_t n) {
    for (int i = 0; i < n; ++i) {
        y[i] = 0.0;
        for (int j = 0; j < n; ++j) {
            const double theta = static_cast<double>(i * j) * kTwoPi / n;
            y[i] = y[i] + (std::cos(theta) * re[j] - std::sin(theta) * im[j]);
        }
    }
}

}  // namespace zarn::literal
