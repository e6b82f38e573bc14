#include "info/Sonogram.h"

#include <algorithm>
#include <cmath>

namespace zarn {

Sonogram::Sonogram(std::size_t frameCount, std::size_t columns)
    : frameCount_(frameCount), slots_(std::min(frameCount, columns)), power_(slots_ * kCodedBins, 0.0) {}

void Sonogram::add(std::size_t frame, const double* re, const double* im) {
    if (frame >= frameCount_) return;
    double* slot = &power_[spread(frame, frameCount_, slots_) * kCodedBins];
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        slot[bin] = std::max(slot[bin], re[bin] * re[bin] + im[bin] * im[bin]);
    }
}

double Sonogram::levelDb(std::size_t slot, std::size_t bin) const {
    return 10.0 * std::log10(power_[slot * kCodedBins + bin]);
}

}  // namespace zarn
