#include "rate/EdgeBalance.h"

#include <cmath>

#include "common/BandTable.h"
#include "rate/RateProfile.h"

namespace zarn {

namespace {

// How much each bin's real part counts in a real block's samples: bins 0
// and 256 once, the others twice (with their mirror images).
double countOf(std::size_t bin) { return bin == 0 || bin == kNyquistBin ? 1.0 : 2.0; }

struct Move {
    std::uint16_t bin;
    double direction;  // ±1: the field it moves by
    double step;
    double errorCost;  // what the move adds to weight · error²
};

}  // namespace

void balanceEdges(const double* exact, const BandCodings& codings, const BandWeights& weights,
                  const BandComponents& components, std::size_t movable, double* decoded, Sample* fields) {
    // The error sums of the even bins' real parts and of the odd bins'; the
    // Block's error at 0 is their sum and at 256 their difference, so
    // error² at both is 2 · (sum² of each).
    std::array<double, 2> sum{};
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) sum[bin % 2] += countOf(bin) * (decoded[bin] - exact[bin]);

    std::array<Move, kCodedBins> moves;
    std::size_t count = 0;
    for (std::size_t band = 0; band < movable; ++band) {
        const BandCoding coding = codings[band];
        if (coding.bits == 0 || components.holdsNothing(band)) continue;
        const FieldScale scale = FieldScale::of(coding.bits, coding.exponent);
        for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
            const double field = decoded[bin] * scale.toField, aim = exact[bin] * scale.toField;
            const double direction = aim > field ? 1.0 : -1.0;
            const double other = field + direction;
            if (aim == field || other < scale.low || other > scale.high || std::fabs(other - aim) >= edgeBalance::kReach)
                continue;
            const double error = decoded[bin] - exact[bin];
            const double cost = weights.weight[band] * (2.0 * direction * error * scale.step + scale.step * scale.step);
            moves[count++] = Move{static_cast<std::uint16_t>(bin), direction, scale.step, cost};
        }
    }

    const double mu = edgeBalance::kEdgeWeight * weights.weight[kBandsTo6400Hz];
    for (int change = 0; change < edgeBalance::kMostChanges; ++change) {
        double best = 0.0;
        std::size_t chosen = count;
        for (std::size_t m = 0; m < count; ++m) {
            const Move& move = moves[m];
            const double by = move.direction * countOf(move.bin) * move.step;
            const double was = sum[move.bin % 2];
            const double gain = move.errorCost + 2.0 * mu * ((was + by) * (was + by) - was * was);
            if (gain < best) best = gain, chosen = m;
        }
        if (chosen == count) return;
        Move& move = moves[chosen];
        const std::size_t bin = move.bin;
        const BandCoding coding = codings[kBands.bandOf[bin]];
        const double field = decoded[bin] * FieldScale::of(coding.bits, coding.exponent).toField + move.direction;
        decoded[bin] = field * move.step;
        fields[bin] = static_cast<Sample>(static_cast<int>(field * kPowerOfTwo(fieldShift(coding.bits))));
        sum[bin % 2] += move.direction * countOf(bin) * move.step;
        move = moves[--count];  // each value moves once
    }
}

}  // namespace zarn
