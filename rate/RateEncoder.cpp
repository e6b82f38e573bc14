#include "rate/RateEncoder.h"

#include "rate/RateProfile.h"

namespace zarn {

namespace {

RateControl rateControlFor(unsigned kbitPerSecond) {
    return RateControl(kbitPerSecond, rateProfile(kbitPerSecond).reservoirFrames);
}

}  // namespace

RateEncoder::RateEncoder(unsigned kbitPerSecond, Aim aim)
    : channel_(kbitPerSecond, aim), control_(rateControlFor(kbitPerSecond)) {}

void RateEncoder::setBitrate(unsigned kbitPerSecond) {
    control_ = rateControlFor(kbitPerSecond);
    channel_.setProfile(kbitPerSecond);
}

void RateEncoder::encode(const Sample* hop, bool last, EncodedFrame& frame) {
    channel_.aim(hop, last);
    channel_.gather();
    channel_.weigh(channel_.errors());
    const double lambda = control_.lambda();
    std::size_t bits = channel_.allocate(lambda);
    if (const std::size_t extra = control_.unsaved(bits)) bits = channel_.pad(extra);
    control_.spent(bits);
    channel_.finish(lambda, last, frame);
}

}  // namespace zarn
