#include "rate/CoupledDecoder.h"

#include <cstdint>

#include "common/RoundToSample.h"
#include "decoder/Dequantise.h"
#include "dsp/Mirror.h"

namespace zarn {

bool CoupledDecoder::decode(const EncodedFrame* frames, Coupling coupling, Sample* const* hops) {
    for (std::size_t c = 0; c < channels_; ++c) {
        dequantise(frames[c], re_.data(), im_.data());
        mirror(re_.data(), im_.data());
        fft_.inverse(re_.data(), im_.data(), blocks_[c].data());
    }
    if (channels_ >= 2 && coupling == Coupling::midSide) {
        Block& mid = blocks_[0];
        Block& side = blocks_[JointRateEncoder::secondOfPair(channels_)];
        for (std::size_t i = 0; i < kBlockLength; ++i) {
            const double m = mid[i], s = side[i];
            mid[i] = m + s;
            side[i] = m - s;
        }
    }
    for (std::size_t c = 0; c < channels_; ++c) {
        windows_[c].overlapAdd(blocks_[c].data(), static_cast<std::uint32_t>(kBlockLength));
        if (started_) roundToSamples(blocks_[c].data(), hops[c], kHop);
    }
    const bool output = started_;
    started_ = true;
    return output;
}

void CoupledDecoder::finish(Sample* const* hops) const {
    for (std::size_t c = 0; c < channels_; ++c) roundToSamples(blocks_[c].data() + kHop, hops[c], kHop);
}

}  // namespace zarn
