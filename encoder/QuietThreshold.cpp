#include "encoder/QuietThreshold.h"

#include <array>
#include <cstdint>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "common/Types.h"
#include "encoder/LevelBracket.h"

namespace zarn {

namespace {

// Threshold in quiet per band, in dB, used exactly as measured (band 10 lies
// above band 9).
constexpr std::array<double, kBandCount> kThresholdDb = {
    18.7104,  12.4279,  9.48203,  7.72302,  6.56034,  5.71652,   4.54787,
    3.73927,  3.09649,  2.52837,  2.97067,  1.06549,  0.0224146, -1.58687,
    -3.59372, -4.85223, -4.98325, -4.54257, -1.50408, 1.15247,   2.4992,
    4.24211,  8.80713,  21.3449,  57.5484};

// Per bin, the powers below which its level is certainly at or under its
// band's threshold (the bin goes), and above which it is certainly over it
// (the bin stays); between them the level is evaluated.
struct BinBrackets {
    std::array<double, kCodedBins> removeBelow;
    std::array<double, kCodedBins> keepAbove;

    BinBrackets() {
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double threshold = kThresholdDb[band];
            const LevelBracket bracket =
                LevelBracket::find([threshold](double level) { return !(level <= threshold); });
            for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
                removeBelow[bin] = bracket.low();
                keepAbove[bin] = bracket.high();
            }
        }
    }
};

const BinBrackets& binBrackets() {
    static const BinBrackets brackets;
    return brackets;
}

// One bin the long way, for powers too close to the threshold to decide
// otherwise (and for NaN).
inline void decideByLevel(double* re, double* im, std::size_t bin, const BinBrackets& brackets) {
    const double p = re[bin] * re[bin] + im[bin] * im[bin];
    if (p > brackets.keepAbove[bin]) return;
    if (p < brackets.removeBelow[bin] || levelOfPower(p) <= kThresholdDb[kBands.bandOf[bin]]) {
        re[bin] = 0.0;
        im[bin] = 0.0;
    }
}

// Nearly every bin is decided by its power alone, in one pass that leaves
// the others as they are and only notes that there were any. Returns the
// bins passed over; the rest are left.
struct DecideByPower {
    template <int N>
    static ZARN_ALWAYS_INLINE std::size_t run(double* re, double* im, const BinBrackets* brackets,
                                              bool* undecidedFound) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        const Real zero = {};
        Real one;
        L::splat(one, 1.0);
        // WATCHOUT: g++ turns a comparison mask carried from one iteration to
        // the next (or negated) into per-lane scalar code with conditional
        // moves; a count in doubles stays in vector registers.
        Real undecided = {};  // counts the bins left in each lane
        std::size_t bin = 0;
        for (; bin + N <= kCodedBins; bin += N) {
            Real r, m, removeBelow, keepAbove;
            L::load(r, re + bin);
            L::load(m, im + bin);
            L::load(removeBelow, &brackets->removeBelow[bin]);
            L::load(keepAbove, &brackets->keepAbove[bin]);
            const Real p = r * r + m * m;
            const typename L::Mask remove = p < removeBelow;
            undecided = undecided + ((remove | (p > keepAbove)) ? zero : one);
            L::store(re + bin, remove ? zero : r);
            L::store(im + bin, remove ? zero : m);
        }
        *undecidedFound = L::any(undecided > zero);
        return bin;
    }
};

}  // namespace

QuietThreshold::QuietThreshold() { binBrackets(); }

void QuietThreshold::apply(double* re, double* im) const {
    const BinBrackets& brackets = binBrackets();
    bool undecided = false;
    const std::size_t passed = runOnVectorPath<DecideByPower, 4>(re, im, &brackets, &undecided);
    for (std::size_t bin = passed; bin < kCodedBins; ++bin) decideByLevel(re, im, bin, brackets);
    // The rest the long way. A bin the pass decided is decided the same way
    // again: a kept one is still above its bracket, a removed one is now zero.
    if (!undecided) return;
    for (std::size_t bin = 0; bin < passed; ++bin) decideByLevel(re, im, bin, brackets);
}

}  // namespace zarn
