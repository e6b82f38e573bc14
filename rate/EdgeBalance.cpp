#include "rate/EdgeBalance.h"

#include <cmath>

#include "common/BandTable.h"
#include "rate/RateProfile.h"

namespace zarn {

namespace {

// How much each bin's real part counts in a real block's samples: bins 0
// and 256 once, the others twice (with their mirror images).
constexpr std::array<double, kCodedBins> makeCounts() {
    std::array<double, kCodedBins> counts{};
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) counts[bin] = bin == 0 || bin == kNyquistBin ? 1.0 : 2.0;
    return counts;
}
constexpr std::array<double, kCodedBins> kCounts = makeCounts();

struct Move {
    std::uint16_t bin;
    double by;         // what the move adds to its parity's error sum
    double change;     // what it adds to the decoded value: ± a step
    double errorCost;  // what it adds to weight · error²
};

// The moves of the even bins or of the odd ones, and the error sum they
// change: a move of one parity leaves the other's gains as they were.
struct Parity {
    std::array<Move, kCodedBins / 2 + 2> moves;  // one past the last kept, written over
    std::size_t count = 0;
    double sum = 0.0;
    std::size_t best = 0;  // the move that gains most, if count > 0
    double bestGain = 0.0;

    void findBest(double mu) {
        bestGain = 0.0;
        best = count;
        for (std::size_t m = 0; m < count; ++m) {
            const Move& move = moves[m];
            const double gain = move.errorCost + 2.0 * mu * move.by * (2.0 * sum + move.by);
            if (gain < bestGain) bestGain = gain, best = m;
        }
    }
};

}  // namespace

void balanceEdges(const double* exact, const BandCodings& codings, const BandWeights& weights,
                  const BandComponents& components, std::size_t movable, double* decoded, Sample* fields) {
    // The Block's error at 0 is the even bins' error sum plus the odd bins',
    // at 256 the one less the other, so error² at both is 2 · (sum² of
    // each). Four running sums, in a fixed order, so that the additions
    // need not wait on each other.
    std::array<double, 4> partial{};
    std::size_t bin = 0;
    for (; bin + 4 <= kCodedBins; bin += 4) {
        for (std::size_t lane = 0; lane < 4; ++lane)
            partial[lane] += kCounts[bin + lane] * (decoded[bin + lane] - exact[bin + lane]);
    }
    for (; bin < kCodedBins; ++bin) partial[bin % 4] += kCounts[bin] * (decoded[bin] - exact[bin]);
    std::array<Parity, 2> parity;
    parity[0].sum = partial[0] + partial[2];
    parity[1].sum = partial[1] + partial[3];

    // A value r steps from its field moves to the field on its other side,
    // |r| − 1 from it, where that is under kReach: 1 − kReach < |r| <
    // 1 + kReach. Its error grows from |r| to 1 − |r| steps (or shrinks,
    // where the error feedback had moved it past the halfway).
    for (std::size_t band = 0; band < movable; ++band) {
        const BandCoding coding = codings[band];
        if (coding.bits == 0 || components.holdsNothing(band)) continue;
        const FieldScale scale = FieldScale::of(coding.bits, coding.exponent);
        const double squaredStep = weights.weight[band] * scale.step * scale.step;
        for (std::size_t at = kBands.first[band]; at < kBands.end[band]; ++at) {
            const double field = decoded[at] * scale.toField;
            const double r = exact[at] * scale.toField - field;
            const double size = std::fabs(r);
            const double direction = r > 0.0 ? 1.0 : -1.0;
            const double other = field + direction;
            // Written always, kept where it qualifies: which values do is
            // anyone's guess, and a branch on it costs more than the move.
            Parity& mine = parity[at % 2];
            mine.moves[mine.count] = Move{static_cast<std::uint16_t>(at), direction * kCounts[at] * scale.step,
                                          direction * scale.step, squaredStep * (1.0 - 2.0 * size)};
            mine.count += static_cast<std::size_t>((size > 1.0 - edgeBalance::kReach) &
                                                   (size < 1.0 + edgeBalance::kReach) & (other >= scale.low) &
                                                   (other <= scale.high));
        }
    }

    const double mu = edgeBalance::kEdgeWeight * weights.weight[kBandsTo6400Hz];
    parity[0].findBest(mu);
    parity[1].findBest(mu);
    for (int change = 0; change < edgeBalance::kMostChanges; ++change) {
        Parity& p = parity[1].bestGain < parity[0].bestGain ? parity[1] : parity[0];
        if (p.best == p.count) return;  // no move gains in either
        const Move move = p.moves[p.best];
        const BandCoding coding = codings[kBands.bandOf[move.bin]];
        decoded[move.bin] += move.change;  // exact: both are whole multiples of the step
        const double field = decoded[move.bin] * FieldScale::of(coding.bits, coding.exponent).toField;
        fields[move.bin] = static_cast<Sample>(static_cast<int>(field * kPowerOfTwo(fieldShift(coding.bits))));
        p.sum += move.by;
        p.moves[p.best] = p.moves[--p.count];  // each value moves once
        p.findBest(mu);
    }
}

}  // namespace zarn
