#include "encoder/QuietThreshold.h"

#include <array>
#include <cmath>

#include "common/Types.h"

namespace zarn {

namespace {

// Threshold in quiet per band, in dB, used exactly as measured (band 10 lies
// above band 9).
constexpr std::array<double, kBandCount> kThresholdDb = {
    18.7104,  12.4279,  9.48203,  7.72302,  6.56034,  5.71652,   4.54787,
    3.73927,  3.09649,  2.52837,  2.97067,  1.06549,  0.0224146, -1.58687,
    -3.59372, -4.85223, -4.98325, -4.54257, -1.50408, 1.15247,   2.4992,
    4.24211,  8.80713,  21.3449,  57.5484};

}  // namespace

void QuietThreshold::apply(double* re, double* im) const {
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            const double level = 20 * std::log10(std::sqrt(re[bin] * re[bin] + im[bin] * im[bin]));
            if (level <= kThresholdDb[band]) {
                re[bin] = 0.0;
                im[bin] = 0.0;
            }
        }
    }
}

}  // namespace zarn
