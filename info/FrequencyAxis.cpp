#include "info/FrequencyAxis.h"

#include <algorithm>
#include <cmath>

#include "common/Types.h"

namespace zarn {

namespace {

constexpr double kLowestLogBin = FrequencyAxis::kLowestLogHz / kHzPerBin;
constexpr auto kTopBin = static_cast<double>(kNyquistBin);

// The linear axis gives every bin, DC and Nyquist too, a whole share of the
// height, so it reaches half a bin beyond both.
constexpr double kLinearBins = static_cast<double>(kCodedBins);

}  // namespace

double FrequencyAxis::fraction(double hz) const {
    const double bin = hz / kHzPerBin;
    if (logarithmic_) return std::log(bin / kLowestLogBin) / std::log(kTopBin / kLowestLogBin);
    return (bin + 0.5) / kLinearBins;
}

double FrequencyAxis::binAt(double fraction) const {
    if (logarithmic_) return kLowestLogBin * std::pow(kTopBin / kLowestLogBin, fraction);
    return fraction * kLinearBins - 0.5;
}

std::pair<std::size_t, std::size_t> FrequencyAxis::rowBins(int row, int rows) const {
    const double low = binAt(static_cast<double>(row) / rows);
    const double high = binAt(static_cast<double>(row + 1) / rows);
    auto bin = [](double position) {
        return static_cast<std::size_t>(std::clamp(position, 0.0, kTopBin + 1.0));
    };
    std::size_t first = bin(std::ceil(low));
    // The top row of the logarithmic axis ends on the Nyquist bin's centre
    // and keeps it.
    std::size_t end = row + 1 == rows ? kCodedBins : bin(std::ceil(high));
    if (first >= end) {
        first = std::min(bin(std::round(binAt((row + 0.5) / rows))), kNyquistBin);
        end = first + 1;
    }
    return {first, end};
}

std::vector<FrequencyAxis::Tick> FrequencyAxis::ticks() const {
    if (!logarithmic_) return {{0, "0"}, {5000, "5"}, {10000, "10"}, {15000, "15"}, {20000, "20"}};
    return {{50, "50"},  {100, "100"}, {200, "200"}, {500, "500"},  {1000, "1k"},
            {2000, "2k"}, {5000, "5k"}, {10000, "10k"}, {20000, "20k"}};
}

}  // namespace zarn
