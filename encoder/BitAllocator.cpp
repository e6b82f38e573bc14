#include "encoder/BitAllocator.h"

#include <cmath>

namespace zarn {

void BitAllocator::allocate(BitAllocation& allocation, const double* re, const double* im) const {
    allocation.fill(0);
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        // The floor keeps x above −1, so silent bands truncate to 0 bits.
        double level = -4.98325;
        for (std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            const double binLevel = 20 * std::log10(std::sqrt(re[bin] * re[bin] + im[bin] * im[bin]));
            if (binLevel > level) level = binLevel;
        }
        double x = level * 0.16610928695429153;  // ÷ 6.020133 dB per bit
        if (x - std::trunc(x) > 0) x += 1.0;
        if (x > 15.0) x = 15.0;
        allocation[band] = static_cast<std::uint8_t>(x);
    }
}

}  // namespace zarn
