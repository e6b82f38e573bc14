#include "encoder/RateAllocator.h"

#include <algorithm>
#include <cmath>

#include "encoder/FastLog.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

constexpr double kLn2 = 0.6931471805599453;

// The best coding of one band, and what it costs.
BandCoding chooseBand(const BandComponents& components, std::size_t band, double weight, double lambda) {
    const double* x = components.band(band);
    const std::size_t count = kComponentLayout.count[band], padded = kComponentLayout.padded[band];
    const double peak = components.peak[band], energy = components.energy[band];
    BandCoding best;  // off
    if (peak == 0.0) return best;
    double bestCost = weight * energy;

    const int top = bandExponent(peak);
    const double stepExponent = 0.5 * fastLog2(6.0 * lambda / (weight * kLn2));
    const int estimate = std::clamp(static_cast<int>(std::lround(15.0 - stepExponent)) - top, 1, 15);

    // The estimate and its neighbours at e*; then the best of them one
    // exponent higher with a bit less: the same step, the largest
    // components clipped.
    std::array<FieldScale, 3> scales{};
    std::array<double, 3> errors{};
    const int lowest = std::max(estimate - 1, 1), highest = std::min(estimate + 1, 15);
    const std::size_t count3 = static_cast<std::size_t>(highest - lowest + 1);
    for (int g = lowest; g <= highest; ++g) scales[static_cast<std::size_t>(g - lowest)] = FieldScale::of(g, top);
    quantisationErrors(x, padded, scales.data(), count3, errors.data());
    const auto consider = [&](int g, int e, double error) {
        const double cost = weight * error + lambda * static_cast<double>((g + 1) * static_cast<int>(count));
        if (cost < bestCost) {
            bestCost = cost;
            best = {static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(e)};
        }
    };
    for (int g = lowest; g <= highest; ++g) consider(g, top, errors[static_cast<std::size_t>(g - lowest)]);
    if (best.bits > 1 && top < 15) {
        const int g = best.bits - 1;
        const FieldScale clipped = FieldScale::of(g, top + 1);
        double error = 0.0;
        quantisationErrors(x, padded, &clipped, 1, &error);
        consider(g, top + 1, error);
    }
    return best;
}

}  // namespace

namespace {

std::size_t frameBitsOf(const BandCodings& codings) {
    BitAllocation allocation{};
    for (std::size_t band = 0; band < kBandCount; ++band) allocation[band] = codings[band].bits;
    return frameBits(allocation);
}

}  // namespace

std::size_t chooseCodings(const BandComponents& components, const std::array<double, kBandCount>& weights,
                          double lambda, std::size_t bands, BandCodings& codings) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        codings[band] = band < bands ? chooseBand(components, band, weights[band], lambda) : BandCoding{};
    }
    return frameBitsOf(codings);
}

}  // namespace zarn
