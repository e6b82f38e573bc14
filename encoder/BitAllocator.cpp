#include "encoder/BitAllocator.h"

#include <array>
#include <cmath>

#include "common/BandKernels.h"
#include "common/BandTable.h"
#include "common/Lanes.h"
#include "encoder/LevelBracket.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

constexpr double kLevelFloor = -4.98325;  // keeps x above −1, so silent bands truncate to 0 bits

std::uint8_t bitsForLevel(double level) {
    double x = level * 0.16610928695429153;  // ÷ 6.020133 dB per bit
    if (x - std::trunc(x) > 0) x += 1.0;
    if (x > 15.0) x = 15.0;
    return static_cast<std::uint8_t>(x);
}

// The band's bits the long way: the largest level of its bins, one by one.
std::uint8_t bitsByLevels(const double* re, const double* im, std::size_t first, std::size_t end) {
    double level = kLevelFloor;
    for (std::size_t bin = first; bin < end; ++bin) {
        const double binLevel = levelOfPower(re[bin] * re[bin] + im[bin] * im[bin]);
        if (binLevel > level) level = binLevel;
    }
    return bitsForLevel(level);
}

// Bracket g − 1 separates the powers that earn at least g bits from those that
// do not, for g = 1 … 15.
const std::array<LevelBracket, kMaxBits>& bitBrackets() {
    static const auto brackets = [] {
        std::array<LevelBracket, kMaxBits> result;
        for (int g = 1; g <= kMaxBits; ++g) {
            result[g - 1] = LevelBracket::find([g](double level) {
                return bitsForLevel(level > kLevelFloor ? level : kLevelFloor) >= g;
            });
        }
        return result;
    }();
    return brackets;
}

}  // namespace

BitAllocator::BitAllocator() { bitBrackets(); }

void BitAllocator::allocate(BitAllocation& allocation, const double* re, const double* im) const {
    const auto& brackets = bitBrackets();
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        // The loudest bin decides the band's bits. A power that is not a
        // number never wins, just as its level never raises the band's.
        const double largest = BandKernels<kPortableLanes>::largest(Powers{re, im}, first, end);
        // Most bands of a scaled spectrum are loud enough for every bit.
        if (brackets[kMaxBits - 1].classify(largest) == LevelBracket::Outcome::above) {
            allocation[band] = kMaxBits;
            continue;
        }
        std::uint8_t bits = 0;
        for (const LevelBracket& bracket : brackets) {
            const LevelBracket::Outcome outcome = bracket.classify(largest);
            if (outcome == LevelBracket::Outcome::below) break;
            if (outcome == LevelBracket::Outcome::evaluate) {
                bits = bitsByLevels(re, im, first, end);
                break;
            }
            ++bits;
        }
        allocation[band] = bits;
    }
}

}  // namespace zarn
