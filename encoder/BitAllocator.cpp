#include "encoder/BitAllocator.h"

#include <array>
#include <cmath>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "encoder/LevelWindow.h"

namespace zarn {

namespace {

constexpr double kLevelFloor = -4.98325;  // keeps x above −1, so silent bands truncate to 0 bits
constexpr int kMaxBits = 15;

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

// Window g − 1 separates the powers that earn at least g bits from those that
// do not, for g = 1 … 15.
const std::array<LevelWindow, kMaxBits>& bitWindows() {
    static const auto windows = [] {
        std::array<LevelWindow, kMaxBits> result;
        for (int g = 1; g <= kMaxBits; ++g) {
            result[g - 1] = LevelWindow::find([g](double level) {
                return bitsForLevel(level > kLevelFloor ? level : kLevelFloor) >= g;
            });
        }
        return result;
    }();
    return windows;
}

// The largest power re² + im² of bins [first, end), the loudest bin, which
// decides the band's bits. A power that is not a number never wins, just as
// its level never raises the band's; the largest of the others is the same
// in any order, so the lanes hold independent maxima.
double largestPower(const double* re, const double* im, std::size_t first, std::size_t end) {
    using L = Lanes<kPortableLanes>;
    L::Real largest = {};
    std::size_t bin = first;
    for (; bin + L::count <= end; bin += L::count) {
        L::Real r, m;
        L::load(r, re + bin);
        L::load(m, im + bin);
        const L::Real p = r * r + m * m;
        largest = p > largest ? p : largest;  // as MAXPD: a NaN p keeps the maximum so far
    }
    double result = 0.0;
    for (int i = 0; i < L::count; ++i) {
        if (largest[i] > result) result = largest[i];
    }
    for (; bin < end; ++bin) {
        const double p = re[bin] * re[bin] + im[bin] * im[bin];
        if (p > result) result = p;
    }
    return result;
}

}  // namespace

BitAllocator::BitAllocator() { bitWindows(); }

void BitAllocator::allocate(BitAllocation& allocation, const double* re, const double* im) const {
    const auto& windows = bitWindows();
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        const double largest = largestPower(re, im, first, end);
        // Most bands of a scaled spectrum are loud enough for every bit.
        if (windows[kMaxBits - 1].classify(largest) == LevelWindow::Outcome::above) {
            allocation[band] = kMaxBits;
            continue;
        }
        std::uint8_t bits = 0;
        for (const LevelWindow& window : windows) {
            const LevelWindow::Outcome outcome = window.classify(largest);
            if (outcome == LevelWindow::Outcome::below) break;
            if (outcome == LevelWindow::Outcome::evaluate) {
                bits = bitsByLevels(re, im, first, end);
                break;
            }
            ++bits;
        }
        allocation[band] = bits;
    }
}

}  // namespace zarn
