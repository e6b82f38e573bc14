#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "common/Types.h"

namespace zarn::test {

// The signal-to-noise ratio of `decoded` against `original`, in dB.
inline double snrDb(const std::vector<Sample>& original, const std::vector<Sample>& decoded) {
    double signal = 0.0, noise = 0.0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        const double d = static_cast<double>(original[i]) - decoded[i];
        signal += static_cast<double>(original[i]) * original[i];
        noise += d * d;
    }
    return 10.0 * std::log10(signal / noise);
}

}  // namespace zarn::test
