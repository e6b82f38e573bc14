#pragma once

#include <array>
#include <cstddef>

#include "common/Types.h"
#include "rate/BandCoding.h"

namespace zarn {

// Rounding error moved into the half of a Block that the next Block puts
// right. Each component's rounding error shows in the decoded Block as a
// sinusoid over all of it; the next Block corrects the second half at no
// cost in bits, and only the first half is heard. Over the first half the
// error of a real part at bin k and that of an imaginary part at bin j
// overlap by cot(π(j − k)/512)/256 of their size for odd j − k (not at all
// for even j − k, nor real with real), so each imaginary part can be
// rounded towards the value that offsets, there, the error the real parts
// made, and then each real part against the imaginary parts' error.
//
// The overlap is taken over the nearest four odd distances either side, and
// at 0.6 of its size: the whole of it, or the whole first-half error fed back
// component by component, overshoots. On one Block, with the bits fixed,
// the first half's error falls by nearly 3 dB. Measured (mean grade over
// five recordings, against the same encoder without it): 0.04 better at
// 192 kbit/s, 0.06 at 160, 0.07 at 96, 0.02 at 128, 0.03 and 0.04 at 256
// and 320, and 0.02 worse at 64.
class ErrorFeedback {
public:
    ErrorFeedback();

    // shifted[k] = target[k] moved to offset the error (decoded − stored)
    // that the other part of the spectrum made: `part` is the part that
    // `target` and `shifted` are, `otherTarget` and `otherDecoded` the other
    // part's targets and stored values, bins 0..256 each.
    void offset(Part part, const double* target, const double* otherTarget, const double* otherDecoded,
                double* shifted);

    static constexpr int kTaps = 4;                // odd distances 1, 3, 5, 7
    static constexpr std::ptrdiff_t kReach = 2 * kTaps - 1;  // the farthest

private:
    // The other part's error, extended past bins 0 and 256 by the
    // spectrum's symmetry.
    static constexpr std::size_t kPad = 8;
    static_assert(kPad >= kReach, "the taps reach no further than the padding");
    alignas(64) std::array<double, kPad + kCodedBins + kPad> error_{};
    std::array<double, kTaps> taps_{};  // 0.6 · cot(π d/512)/256 for d = 1, 3, 5, 7
};

}  // namespace zarn
