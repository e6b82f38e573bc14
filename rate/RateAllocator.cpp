#include "rate/RateAllocator.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/BandKernels.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "rate/FastLog.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

// log2(6 / ln 2): the best step's square is 6λ / (weight · ln 2).
constexpr double kLog2StepFactor = 3.1137301553744785;

BitAllocation allocationOf(const BandCodings& codings) {
    BitAllocation allocation{};
    for (std::size_t band = 0; band < kBandCount; ++band) allocation[band] = codings[band].bits;
    return allocation;
}

std::size_t frameBitsOf(const BandCodings& codings) { return frameBits(allocationOf(codings)); }

// Every measured band's cheapest choice, N bands side by side: the index of
// its cheapest candidate, or kPerBand where off costs least. Which one wins
// is anyone's guess, so the choice is made by masks, not branches.
struct ChoiceKernel {
    static constexpr std::size_t C = BandCandidates::kPerBand;

    template <int N>
    static ZARN_ALWAYS_INLINE void run(const BandCandidates* candidates, const RateAllocator::Prices* prices,
                                       double* chosen) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        for (std::size_t at = 0; at < candidates->count; at += N) {
            Real weight, energy, perBit;
            L::load(weight, prices->weight.data() + at);
            L::load(energy, prices->energy.data() + at);
            L::load(perBit, prices->perBit.data() + at);
            Real rootEnergy = energy;
            squareRoot(rootEnergy);
            Real best = weight * 2.0 * energy;  // off: all error, all level lost
            Real pick = Real{} + static_cast<double>(C);
            for (std::size_t c = 0; c < C; ++c) {
                Real error, kept, paid;
                L::load(error, candidates->errors[c].data() + at);
                L::load(kept, candidates->kept[c].data() + at);
                L::load(paid, prices->paid[c].data() + at);
                squareRoot(kept);
                const Real loss = rootEnergy - kept;
                const Real cost = weight * (error + loss * loss) + perBit * paid;
                const auto cheaper = cost < best;
                best = cheaper ? cost : best;
                pick = cheaper ? Real{} + static_cast<double>(c) : pick;
            }
            L::store(chosen + at, pick);
        }
    }
};

}  // namespace

std::size_t RateAllocator::choose(const BandComponents& components, const BandWeights& weights, double lambda,
                                  std::size_t bands, BandCodings& codings) {
    propose(components, weights, lambda, bands, codings);
    quantisationErrors(components, candidates_);
    pickCheapest(codings);
    // A frame's padding fills it up to a whole word, so bits up to the last
    // one of it come free, and the frame keeps its size.
    const BitAllocation allocation = allocationOf(codings);
    refine(kWordBits - 1 - unpaddedFrameBits(allocation) % kWordBits, codings);
    return frameBits(allocation);
}

std::array<BandCoding, RateAllocator::kPer> RateAllocator::candidatesAt(double bitsPlusExponent, int top) {
    const int below = floorToInt(bitsPlusExponent) - top;
    const int lower = std::clamp(below, 1, kMaxBits - 1);
    const int nearer = std::clamp(bitsPlusExponent - (below + top) < 0.5 ? below : below + 1, 2, kMaxBits);
    const auto coding = [](int bits, int exponent) {
        return BandCoding{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(exponent)};
    };
    const BandCoding finer = coding(lower + 1, top);
    return {coding(lower, top), finer, top < kMaxExponent ? coding(nearer - 1, top + 1) : finer};
}

void RateAllocator::propose(const BandComponents& components, const BandWeights& weights, double lambda,
                            std::size_t bands, BandCodings& codings) {
    const double log2Lambda = fastLog2(lambda);
    candidates_.count = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        codings[band] = BandCoding{};  // off
        const double weight = weights.weight[band], energy = components.energy[band];
        errors_[band] = energy;
        const double count = kStoredComponents[band];
        // Off costs 2 · weight · energy (all error, all level lost), and
        // every coding at least 2 · λ bits a component.
        if (band >= bands || components.peak[band] == 0.0 || weight * energy <= lambda * count) continue;

        // The best step's g + e: Δ = 2^(15 − g − e).
        const double bitsPlusExponent =
            fieldShift(0) - 0.5 * (kLog2StepFactor + log2Lambda - weights.log2Weight[band]);
        const std::size_t at = candidates_.count;
        BandCoding* mine = choices_.data() + kPer * at;
        const auto proposed = candidatesAt(bitsPlusExponent, scaleExponentFor(components.peak[band]));
        std::copy(proposed.begin(), proposed.end(), mine);
        candidates_.add(band, mine);
        prices_.weight[at] = weight;
        prices_.energy[at] = energy;
        prices_.perBit[at] = lambda * count;
        for (std::size_t c = 0; c < kPer; ++c) prices_.paid[c][at] = mine[c].bits + 1;  // bits a component
    }
}

void RateAllocator::pickCheapest(BandCodings& codings) {
    // Four lanes at most: the choice is made by masks.
    runOnVectorPath<ChoiceKernel, 4>(static_cast<const BandCandidates*>(&candidates_),
                                     static_cast<const Prices*>(&prices_), chosen_.data());
    for (std::size_t at = 0; at < candidates_.count; ++at) {
        const auto pick = static_cast<std::size_t>(chosen_[at]);
        if (pick < kPer) {
            codings[candidates_.band[at]] = choices_[kPer * at + pick];
            errors_[candidates_.band[at]] = candidates_.errors[pick][at];
        }
    }
}

void RateAllocator::refine(std::size_t room, BandCodings& codings) {
    // A bit more a component halves the band's step at the same exponent,
    // which leaves about a quarter of its error: the band that loses the
    // most weighted error for each bit it takes goes first, while there is
    // room for a band at all.
    while (room > 0) {
        std::size_t best = kBandCount;
        double bestGain = 0.0;
        for (std::size_t at = 0; at < candidates_.count; ++at) {
            const std::size_t band = candidates_.band[at];
            const std::size_t count = kStoredComponents[band];
            const int bits = codings[band].bits;
            if (bits == 0 || bits >= kMaxBits || count > room) continue;
            const double gain = prices_.weight[at] * errors_[band] / static_cast<double>(count);
            if (best == kBandCount || gain > bestGain) bestGain = gain, best = at;
        }
        if (best == kBandCount) return;
        const std::size_t band = candidates_.band[best];
        ++codings[band].bits;
        errors_[band] *= 0.25;
        room -= kStoredComponents[band];
    }
}

std::size_t padWithZeros(const BandComponents& components, BandCodings& codings, std::size_t extra,
                         std::size_t bands) {
    // Padded to the next word, the frame is `extra` bits longer once its
    // fields reach the word before the one that ends at or past that.
    const BitAllocation allocation = allocationOf(codings);
    const std::size_t longer = frameBits(allocation) + extra;
    const std::size_t reach = (longer + kWordBits - 1) / kWordBits * kWordBits - kWordBits;
    const std::size_t fields = unpaddedFrameBits(allocation);
    std::size_t missing = reach > fields ? reach - fields : 0;
    // A band takes the same bits for each of its components, so it leaves
    // less than its width of what is missing: widest first, the narrow bands
    // take up what the wide ones left.
    std::array<bool, kBandCount> padded{};
    for (std::size_t band = bands; band-- > 0 && missing > 0;) {
        if (codings[band].bits != 0 || !components.holdsNothing(band)) continue;
        const std::size_t count = kStoredComponents[band];
        const std::size_t bits = std::min<std::size_t>(missing / count, kMaxBits + 1);
        if (bits < 2) continue;
        codings[band].bits = static_cast<std::uint8_t>(bits - 1);  // g + 1 bits a component
        missing -= bits * count;
        padded[band] = true;
    }
    // The few bits still missing go in as the smallest step that holds them:
    // a bit more a component in a padded band, or two in a silent one. The
    // stream carries bits spent beyond its target over to the next frame,
    // but loses those it could not save, which left a silent stream 3 %
    // below its rate.
    std::size_t best = bands;
    std::size_t bestStep = 0;
    for (std::size_t band = 0; band < bands && missing > 0; ++band) {
        const std::size_t count = kStoredComponents[band];
        std::size_t step = 0;
        if (padded[band] && codings[band].bits < kMaxBits) step = count;
        if (codings[band].bits == 0 && components.holdsNothing(band)) step = 2 * count;
        if (step >= missing && (best == bands || step < bestStep)) best = band, bestStep = step;
    }
    if (best != bands) ++codings[best].bits;  // g + 1 bits a component: 2 where there were none
    return frameBitsOf(codings);
}

}  // namespace zarn
