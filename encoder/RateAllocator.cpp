#include "encoder/RateAllocator.h"

#include <algorithm>
#include <cmath>

#include "common/BandKernels.h"
#include "encoder/FastLog.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

// log2(6 / ln 2): the best step's square is 6λ / (weight · ln 2).
constexpr double kLog2StepFactor = 3.1137301553744785;

std::size_t frameBitsOf(const BandCodings& codings) {
    BitAllocation allocation{};
    for (std::size_t band = 0; band < kBandCount; ++band) allocation[band] = codings[band].bits;
    return frameBits(allocation);
}

}  // namespace

std::size_t RateAllocator::choose(const BandComponents& components, const BandWeights& weights, double lambda,
                                  std::size_t bands, BandCodings& codings) {
    const double log2Lambda = fastLog2(lambda);
    // The candidates of every band that may be worth coding, measured in one
    // pass over the frame.
    BandCandidates& candidates = candidates_;
    candidates.count = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        codings[band] = BandCoding{};  // off
        const double weight = weights.weight[band], energy = components.energy[band];
        const double count = kComponentLayout.count[band];
        // Off costs 2 · weight · energy (all error, all level lost), and
        // every coding at least 2 · λ bits a component.
        if (band >= bands || components.peak[band] == 0.0 || weight * energy <= lambda * count) continue;

        const int top = scaleExponentFor(components.peak[band]);
        const double steps = 15.0 - 0.5 * (kLog2StepFactor + log2Lambda - weights.log2Weight[band]);  // g + e
        // The two whole numbers of bits either side of the estimate at e*,
        // and the nearer of them one exponent higher with a bit less: the
        // same step, the largest components clipped (at e* = 15, the nearer
        // once more).
        const int below = (steps >= 0 ? static_cast<int>(steps) : -static_cast<int>(1.0 - steps)) - top;
        const int lower = std::clamp(below, 1, 14);
        const int nearer = std::clamp(steps - (below + top) < 0.5 ? below : below + 1, 2, 15);
        BandCoding* mine = choices_.data() + BandCandidates::kPerBand * candidates.count;
        mine[0] = {static_cast<std::uint8_t>(lower), static_cast<std::uint8_t>(top)};
        mine[1] = {static_cast<std::uint8_t>(lower + 1), static_cast<std::uint8_t>(top)};
        mine[2] = top < 15 ? BandCoding{static_cast<std::uint8_t>(nearer - 1), static_cast<std::uint8_t>(top + 1)}
                           : mine[1];
        candidates.add(band, mine);
    }
    quantisationErrors(components, candidates);

    // Every candidate's cost in flat loops, which the compiler vectorises
    // (square roots included), then the cheapest of each band.
    for (std::size_t at = 0; at < candidates.count; ++at) {
        const std::size_t band = candidates.band[at];
        rootEnergy_[at] = std::sqrt(components.energy[band]);
        offCost_[at] = 2.0 * weights.weight[band] * components.energy[band];  // all error, all level lost
    }
    for (std::size_t i = 0; i < kPer * candidates.count; ++i) {
        const std::size_t at = i / kPer, band = candidates.band[at];
        const double loss = rootEnergy_[at] - std::sqrt(candidates.kept[at][i % kPer]);
        cost_[i] = weights.weight[band] * (candidates.errors[at][i % kPer] + loss * loss) +
                  lambda * (choices_[i].bits + 1) * kComponentLayout.count[band];
    }
    for (std::size_t at = 0; at < candidates.count; ++at) {
        double best = offCost_[at];
        for (std::size_t c = 0; c < kPer; ++c) {
            if (cost_[kPer * at + c] < best) {
                best = cost_[kPer * at + c];
                codings[candidates.band[at]] = choices_[kPer * at + c];
            }
        }
    }
    return frameBitsOf(codings);
}

std::size_t padWithZeros(const BandComponents& components, BandCodings& codings, std::size_t extra) {
    for (std::size_t band = 0; band < kBandCount && extra > 0; ++band) {
        if (codings[band].bits != 0 || components.peak[band] != 0.0) continue;
        const std::size_t count = kComponentLayout.count[band];
        const std::size_t bits = std::min<std::size_t>(extra / count, 16);
        if (bits < 2) continue;
        codings[band].bits = static_cast<std::uint8_t>(bits - 1);  // g + 1 bits a component
        extra -= bits * count;
    }
    return frameBitsOf(codings);
}

}  // namespace zarn
