#include "encoder/QuietThreshold.h"

#include <array>

#include "common/Types.h"
#include "encoder/LevelWindow.h"

namespace zarn {

namespace {

// Threshold in quiet per band, in dB, used exactly as measured (band 10 lies
// above band 9).
constexpr std::array<double, kBandCount> kThresholdDb = {
    18.7104,  12.4279,  9.48203,  7.72302,  6.56034,  5.71652,   4.54787,
    3.73927,  3.09649,  2.52837,  2.97067,  1.06549,  0.0224146, -1.58687,
    -3.59372, -4.85223, -4.98325, -4.54257, -1.50408, 1.15247,   2.4992,
    4.24211,  8.80713,  21.3449,  57.5484};

// Per band, the powers whose level is certainly above the threshold (the bin
// survives) or certainly not (it goes).
const std::array<LevelWindow, kBandCount>& audibleWindows() {
    static const auto windows = [] {
        std::array<LevelWindow, kBandCount> result;
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double threshold = kThresholdDb[band];
            result[band] = LevelWindow::find([threshold](double level) { return !(level <= threshold); });
        }
        return result;
    }();
    return windows;
}

}  // namespace

QuietThreshold::QuietThreshold() { audibleWindows(); }

void QuietThreshold::apply(double* re, double* im) const {
    const auto& windows = audibleWindows();
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            const double p = re[bin] * re[bin] + im[bin] * im[bin];
            const LevelWindow::Outcome outcome = windows[band].classify(p);
            if (outcome == LevelWindow::Outcome::above) continue;
            if (outcome == LevelWindow::Outcome::below || levelOfPower(p) <= kThresholdDb[band]) {
                re[bin] = 0.0;
                im[bin] = 0.0;
            }
        }
    }
}

}  // namespace zarn
