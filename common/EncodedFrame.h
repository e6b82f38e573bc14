#pragma once

#include <array>

#include "common/Types.h"

namespace zarn {

// One frame as it is stored: what the frame encoder produces, the writer
// packs, the reader unpacks and the frame decoder consumes.
//
// Each component is the rounded 16-bit value with its low 15 − g bits
// cleared, g being its band's allocation: exactly what the stored top g + 1
// bits say. Bands without bits, and the imaginary parts of bins 0 and 256,
// which are never stored, hold 0.
struct EncodedFrame {
    BitAllocation allocation{};
    ScaleExponents scale{};
    std::array<Sample, kCodedBins> re{};
    std::array<Sample, kCodedBins> im{};

    friend bool operator==(const EncodedFrame& a, const EncodedFrame& b) {
        return a.allocation == b.allocation && a.scale == b.scale && a.re == b.re && a.im == b.im;
    }
    friend bool operator!=(const EncodedFrame& a, const EncodedFrame& b) { return !(a == b); }
};

}  // namespace zarn
