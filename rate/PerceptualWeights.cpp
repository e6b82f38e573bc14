#include "rate/PerceptualWeights.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "rate/FastLog.h"

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
// The weight's power of the mask where a few bands stand out (the mask's
// flatness at kPeaky or below), and where it is spread evenly (kEven and
// above); between them the power lies on the line. Measured at 128 kbit/s
// in mono, a power of −0.65 for all music lifted an orchestra from −1.46
// to −1.10 in grade but took bells from −0.86 to −2.47 and a guitar down
// too, and −0.35 the other way round; the bells, guitar and solo piano
// have masks of mean flatness −8 to −10.6, dense music and the orchestra
// −2.5 to −6.5. Following it took the orchestra to −1.18, and twenty-two
// recordings from −0.63 to −0.59 in the mean (the bells 0.08 and the
// guitar 0.15 worse); in stereo fourteen pairs from −0.50 to −0.46 at 256
// kbit/s and from −0.31 to −0.29 at 320.
constexpr double kWeightPower = -0.5;
constexpr double kEvenWeightPower = -0.7;
constexpr double kPeaky = -8.0;
constexpr double kEven = -5.5;
// A frame whose mask is under this a bin in the mean is too quiet to tell
// its flatness by: the last loud frame's holds.
constexpr double kLoudEnough = 1e3;
// The least mask: a power per bin far below anything audible, which keeps
// the weight of an empty band finite.
constexpr double kFloor = 1e-3;
// How much more an error in the lowest band counts than one in the middle
// band, and one there than one in the highest, as a power of two; the bands
// between lie on the line. Measured, the band-level mask lets the low bands'
// error rise too far against the high bands': this tilt gained 0.02 to 0.045
// in grade from 96 to 256 kbit/s, the solo piano most; twice as steep lost.
constexpr double kTilt = 0.75;

}  // namespace

// Below this share a masker is left out: 70 dB under its own level.
constexpr double kNegligible = 1e-7;

PerceptualWeights::PerceptualWeights() {
    std::array<double, kBandCount> bark{};
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const double centre = 0.5 * (kBands.first[band] + kBands.last(band)) * kHzPerBin;
        bark[band] = barkOf(centre);
    }
    for (std::size_t j = 0; j < kBandCount; ++j) {
        for (std::size_t b = 0; b < kBandCount; ++b) {
            const double distance = bark[b] - bark[j];  // from the masker j up to band b
            const double db = distance < 0 ? kSlopeBelow * distance : -kSlopeAbove * distance;
            const double share = std::pow(10.0, (db - kMaskOffset) / 10.0);
            // The masker's energy spread over its own bins.
            spread_[j][b] = share < kNegligible ? 0.0 : share / kBands.width(j);
        }
    }
    constexpr double kMiddle = 0.5 * (kBandCount - 1);
    for (std::size_t band = 0; band < kBandCount; ++band)
        tilt_[band] = kTilt * (kMiddle - static_cast<double>(band)) / kMiddle;
}

namespace {

// mask = Σ_j rows[j] · energy[j], a row of `width` at a time.
struct MaskKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* rows, std::size_t width, const double* energy, double* mask) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        for (std::size_t b = 0; b < width; b += N) {
            Real sum = {};
            for (std::size_t j = 0; j < kBandCount; ++j) {
                Real row;
                L::load(row, rows + j * width + b);
                sum += row * (Real{} + energy[j]);  // a broadcast: energies are never −0
            }
            L::store(mask + b, sum);
        }
    }
};

}  // namespace

void PerceptualWeights::weigh(const std::array<double, kBandCount>& energy, BandWeights& weights) {
    std::array<double, kRow> mask;
    runOnVectorPath<MaskKernel>(spread_[0].data(), kRow, energy.data(), mask.data());
    double meanLog2 = 0.0, total = 0.0;
    for (std::size_t b = 0; b < kBandCount; ++b) {
        const double floored = mask[b] > kFloor ? mask[b] : kFloor;
        weights.log2Weight[b] = fastLog2(floored);
        meanLog2 += weights.log2Weight[b];
        total += floored;
    }
    meanLog2 /= kBandCount;
    if (total > kLoudEnough * kBandCount) flatness_ = meanLog2 - fastLog2(total / kBandCount);
    const double even = std::clamp((flatness_ - kPeaky) / (kEven - kPeaky), 0.0, 1.0);
    const double power = kWeightPower + even * (kEvenWeightPower - kWeightPower);
    // The power's change leaves the frame's mean weight where it was, so
    // that it moves the bits between the bands, not between the frames.
    for (std::size_t b = 0; b < kBandCount; ++b)
        weights.log2Weight[b] = power * (weights.log2Weight[b] - meanLog2) + kWeightPower * meanLog2 + tilt_[b];
    for (std::size_t b = 0; b < kBandCount; ++b) weights.weight[b] = fastExp2(weights.log2Weight[b]);
}

}  // namespace zarn
