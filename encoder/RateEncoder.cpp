#include "encoder/RateEncoder.h"

#include <cmath>

#include "decoder/Dequantise.h"
#include "dsp/Mirror.h"

namespace zarn {

namespace {

// Below this rate the bands above 6.4 kHz stay off: a steady cut-off sounds
// better than bands that come and go from frame to frame, and the bits go
// where they are heard most.
constexpr unsigned kLowPassBelow = 112;
constexpr std::size_t kLowPassBands = 20;

}  // namespace

RateEncoder::RateEncoder(unsigned kbitPerSecond, Aim aim) : aim_(aim), control_(kbitPerSecond) {
    setBitrate(kbitPerSecond);
    for (std::size_t i = 0; i < kHop; ++i)
        falling_[i] = 0.5 * (1.0 - std::cos(kTwoPi * static_cast<double>(kHop + i) / kBlockLength));
}

void RateEncoder::setBitrate(unsigned kbitPerSecond) {
    control_ = RateControl(kbitPerSecond);
    bands_ = kbitPerSecond < kLowPassBelow ? kLowPassBands : kBandCount;
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
    std::size_t bits = chooseCodings(components_, bandWeights_, control_.lambda(), bands_, codings_);
    if (const std::size_t extra = control_.surplus(bits)) bits = spendSurplus(codings_, extra);
    control_.spent(bits);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        frame.allocation[band] = codings_[band].bits;
        frame.scale[band] = codings_[band].exponent;
        storeBand(re_.data(), im_.data(), band, codings_[band], frame.re, frame.im);
    }
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
