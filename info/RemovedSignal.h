#pragma once

#include <vector>

#include "common/Types.h"

namespace zarn {

// What the codec threw away, to be listened to: the original minus its
// decoding, sample for sample over the shorter of the two, held at the 16-bit
// limits where the two lie further apart than a sample can say.
class RemovedSignal {
public:
    RemovedSignal(const std::vector<Sample>& original, const std::vector<Sample>& decoded);

    const std::vector<Sample>& samples() const { return samples_; }
    // The RMS of samples() against full scale, 32768, in dB; minus infinity
    // when every sample is 0 (or there are none).
    double levelDbfs() const { return levelDbfs_; }

private:
    std::vector<Sample> samples_;
    double levelDbfs_;
};

}  // namespace zarn
