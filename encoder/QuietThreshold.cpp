#include "encoder/QuietThreshold.h"

#include <array>
#include <cstdint>

#include "common/BandTable.h"
#include "common/Lanes.h"
#include "common/VectorDispatch.h"
#include "common/Types.h"
#include "encoder/LevelWindow.h"

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
struct BinWindows {
    std::array<double, kCodedBins> removeBelow;
    std::array<double, kCodedBins> keepAbove;

    BinWindows() {
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double threshold = kThresholdDb[band];
            const LevelWindow window =
                LevelWindow::find([threshold](double level) { return !(level <= threshold); });
            for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
                removeBelow[bin] = window.low();
                keepAbove[bin] = window.high();
            }
        }
    }
};

const BinWindows& binWindows() {
    static const BinWindows windows;
    return windows;
}

// One bin the long way, for powers too close to the threshold to decide
// otherwise (and for NaN).
inline void decideByLevel(double* re, double* im, std::size_t bin, const BinWindows& windows) {
    const double p = re[bin] * re[bin] + im[bin] * im[bin];
    if (p > windows.keepAbove[bin]) return;
    if (p < windows.removeBelow[bin] || levelOfPower(p) <= kThresholdDb[kBands.bandOf[bin]]) {
        re[bin] = 0.0;
        im[bin] = 0.0;
    }
}

// Nearly every bin is decided by its power alone, in one sweep that leaves
// the others as they are and only notes that there were any. Returns the
// bins swept; the rest are left.
struct Sweep {
    template <int N>
    static ZARN_ALWAYS_INLINE std::size_t run(double* re, double* im, const BinWindows* windows, bool* undecidedFound) {
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
            L::load(removeBelow, &windows->removeBelow[bin]);
            L::load(keepAbove, &windows->keepAbove[bin]);
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

QuietThreshold::QuietThreshold() { binWindows(); }

void QuietThreshold::apply(double* re, double* im) const {
    const BinWindows& windows = binWindows();
    bool undecided = false;
    const std::size_t swept = runOnVectorPath<Sweep, 4>(re, im, &windows, &undecided);
    for (std::size_t bin = swept; bin < kCodedBins; ++bin) decideByLevel(re, im, bin, windows);
    // The rest the long way. A bin the sweep decided is decided the same way
    // again: a kept one is still above its window, a removed one is now zero.
    if (!undecided) return;
    for (std::size_t bin = 0; bin < swept; ++bin) decideByLevel(re, im, bin, windows);
}

}  // namespace zarn
