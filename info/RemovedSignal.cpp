#include "info/RemovedSignal.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zarn {

RemovedSignal::RemovedSignal(const std::vector<Sample>& original, const std::vector<Sample>& decoded)
    : samples_(std::min(original.size(), decoded.size())) {
    constexpr int kLowest = std::numeric_limits<Sample>::min();
    constexpr int kHighest = std::numeric_limits<Sample>::max();
    double squares = 0.0;
    for (std::size_t i = 0; i < samples_.size(); ++i) {
        samples_[i] = static_cast<Sample>(std::clamp(original[i] - decoded[i], kLowest, kHighest));
        squares += static_cast<double>(samples_[i]) * samples_[i];
    }
    // log10(0) is minus infinity, as digital silence should read.
    const double meanSquare = samples_.empty() ? 0.0 : squares / static_cast<double>(samples_.size());
    levelDbfs_ = 10.0 * std::log10(meanSquare / (32768.0 * 32768.0));
}

}  // namespace zarn
