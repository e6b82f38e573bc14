#include "encoder/Quantiser.h"

#include <cmath>

namespace zarn {

void Quantiser::quantise(double* re, double* im, ScaleExponents& scale) const {
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

void Quantiser::dequantise(double* re, double* im, const ScaleExponents& scale) const {
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

}  // namespace zarn
