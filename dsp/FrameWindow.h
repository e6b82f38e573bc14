#pragma once

#include <cstdint>

#include "common/Types.h"

namespace zarn {

// The periodic Hann analysis window and the decoder's overlap-add.
//
// Hann windows at half overlap sum to exactly one, so adding the first half of
// each inverse-transformed Block to the second half of the one before gives the
// input back; there is no synthesis window.
class FrameWindow {
public:
    FrameWindow();

    // The Block of `previous` (the hop before, as doubles) and `hop`, framed
    // and windowed in one pass: out[i] = x[i]·0.5·(1 − cos(2π·i/512)), x being
    // the Block, each product formed as (1 − cos(2π·i/512))·x[i]·0.5.
    void frameWindowed(const double* previous, const Sample* hop, double* out) const;
    // The same, then `hop` as doubles into `previous`: the next Block's first
    // half, in the same pass.
    void frameWindowedKeeping(double* previous, const Sample* hop, double* out) const;

    // Adds tail into y[0..n/2) and keeps y[n/2..n) as the next tail.
    void overlapAdd(double* y, std::uint32_t n);

private:
    HalfBlock tail_;  // second half of the previous inverse-transformed Block
};

}  // namespace zarn
