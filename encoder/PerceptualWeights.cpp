#include "encoder/PerceptualWeights.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/BandTable.h"
#include "encoder/FastLog.h"

namespace zarn {

namespace {

// Bark of a frequency in Hz.
double barkOf(double hz) { return 13.0 * std::atan(0.00076 * hz) + 3.5 * std::atan((hz / 7500.0) * (hz / 7500.0)); }

// How far a band masks its neighbours, in dB per Bark: steeply towards lower
// frequencies, gently towards higher ones.
constexpr double kSlopeBelow = 27.0;
constexpr double kSlopeAbove = 12.0;
// How far under the masker's own power per bin the mask lies, in dB: between
// what tones (about 15–20 dB) and noise (about 6 dB) leave.
constexpr double kMaskOffset = 12.0;
// The weight's power of the mask.
constexpr double kWeightPower = -0.5;
// The least mask: a power per bin far below anything audible, which keeps
// the weight of an empty band finite.
constexpr double kFloor = 1e-3;

}  // namespace

// Below this share a masker is left out: 70 dB under its own level.
constexpr double kNegligible = 1e-7;

PerceptualWeights::PerceptualWeights() {
    std::array<double, kBandCount> bark{};
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const double centre = 0.5 * (kBands.first[band] + kBands.last(band)) * kHzPerBin;
        bark[band] = barkOf(centre);
    }
    for (std::size_t b = 0; b < kBandCount; ++b) {
        maskers_[b] = {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b)};
        for (std::size_t j = 0; j < kBandCount; ++j) {
            const double distance = bark[b] - bark[j];  // from the masker j up to band b
            const double db = distance < 0 ? kSlopeBelow * distance : -kSlopeAbove * distance;
            // The masker's energy spread over its own bins.
            const double share = std::pow(10.0, (db - kMaskOffset) / 10.0) / kBands.width(j);
            spread_[b][j] = share;
            if (share * kBands.width(j) < kNegligible) continue;
            maskers_[b].first = std::min<std::uint8_t>(maskers_[b].first, static_cast<std::uint8_t>(j));
            maskers_[b].second = std::max<std::uint8_t>(maskers_[b].second, static_cast<std::uint8_t>(j));
        }
    }
}

void PerceptualWeights::weigh(const std::array<double, kBandCount>& energy, BandWeights& weights) const {
    for (std::size_t b = 0; b < kBandCount; ++b) {
        double mask = 0.0;
        for (std::size_t j = maskers_[b].first; j <= maskers_[b].second; ++j) mask += spread_[b][j] * energy[j];
        weights.log2Weight[b] = kWeightPower * fastLog2(mask > kFloor ? mask : kFloor);
        weights.weight[b] = fastExp2(weights.log2Weight[b]);
    }
}

}  // namespace zarn
