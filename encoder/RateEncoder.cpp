#include "encoder/RateEncoder.h"

#include <cmath>

#include "decoder/Dequantise.h"
#include "dsp/Mirror.h"

namespace zarn {

RateEncoder::RateEncoder(unsigned kbitPerSecond, Aim aim)
    : aim_(aim), control_(kbitPerSecond), bandwidth_(kbitPerSecond) {
    for (std::size_t i = 0; i < kHop; ++i)
        falling_[i] = 0.5 * (1.0 - std::cos(kTwoPi * static_cast<double>(kHop + i) / kBlockLength));
}

void RateEncoder::setBitrate(unsigned kbitPerSecond) {
    control_ = RateControl(kbitPerSecond);
    bandwidth_ = BandwidthFollower(kbitPerSecond);
}

void RateEncoder::encode(const Sample* hop, bool last, EncodedFrame& frame) {
    for (std::size_t i = 0; i < kHop; ++i) {
        const double x = hop[i];
        target_[i] = aim_ == Aim::whatTheDecoderLacks ? previousHop_[i] - decodedTail_[i]
                                                      : previousHop_[i] * (1.0 - falling_[i]);
        target_[kHop + i] = last ? x : x * falling_[i];
        previousHop_[i] = x;
    }
    fft_.forward(target_.data(), re_.data(), im_.data());

    components_.gather(re_.data(), im_.data());
    weights_.weigh(components_.energy, bandWeights_);
    const double lambda = control_.lambda();
    std::size_t bits = allocator_.choose(components_, bandWeights_, lambda, bandwidth_.bands(), codings_);
    if (const std::size_t extra = control_.unsaved(bits)) bits = padWithZeros(components_, codings_, extra);
    control_.spent(bits);
    bandwidth_.observe(components_.energy, bandWeights_, lambda);
    storeFields(re_.data(), im_.data(), codings_, frame);
    decodeTail(frame);
}

void RateEncoder::decodeTail(const EncodedFrame& frame) {
    SpectrumPart re, im;
    dequantise(frame, re.data(), im.data());
    mirror(re.data(), im.data());
    fft_.inverse(re.data(), im.data(), decoded_.data());
    for (std::size_t i = 0; i < kHop; ++i) decodedTail_[i] = decoded_[kHop + i];
}

}  // namespace zarn
