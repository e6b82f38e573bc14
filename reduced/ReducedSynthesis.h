#pragma once

#include "common/Types.h"
#include "reduced/Dft.h"

namespace zarn {

// zarnbasic's way back from a dequantised spectrum to a Block: the direct
// inverse transform.
class ReducedSynthesis {
public:
    // A batch shares each pass over the direct transform's tables.
    static constexpr std::size_t kBatch = Dft::kBatch;

    void inverse(const double* const* re, const double* const* im, double* const* y, std::size_t count) {
        dft_.inverse(re, im, y, count);
    }

private:
    Dft dft_{Dft::Directions::inverse};
};

}  // namespace zarn
