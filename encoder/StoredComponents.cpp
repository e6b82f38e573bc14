#include "encoder/StoredComponents.h"

#include <cstdint>

#include "common/BandTable.h"
#include "common/RoundToSample.h"

namespace zarn {

void storeComponents(const double* re, const double* im, EncodedFrame& frame) {
    // Every bin is rounded in one sweep; most bands keep all 16 bits.
    roundToSamples(re, frame.re.data(), kCodedBins);
    roundToSamples(im, frame.im.data(), kCodedBins);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = frame.allocation[band];
        if (b == 15) continue;
        const auto keep = static_cast<std::uint16_t>(b == 0 ? 0 : 0xFFFFu << (15 - b));
        for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
            frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(frame.re[bin]) & keep);
            frame.im[bin] = static_cast<Sample>(static_cast<std::uint16_t>(frame.im[bin]) & keep);
        }
    }
    frame.im[0] = 0;
    frame.im[kNyquistBin] = 0;
}

}  // namespace zarn
