#include "container/OggZarnEncoder.h"

#include <algorithm>

#include "stream/FramePacking.h"

namespace zarn {

namespace {

bool silent(const EncodedFrame& frame) {
    return std::all_of(frame.allocation.begin(), frame.allocation.end(), [](auto bits) { return bits == 0; });
}

}  // namespace

bool OggZarnEncoder::valid(const Settings& settings) {
    const unsigned channels = settings.channels;
    return channels >= 1 && channels <= kMaxChannels &&
           settings.kbitPerSecond >= JointRateEncoder::kLowestBitrate * channels &&
           settings.kbitPerSecond <= JointRateEncoder::kHighestBitrate * channels && settings.originalRate != 0;
}

OggZarnEncoder::OggZarnEncoder(const Settings& settings, PageSink sink, void* user)
    : writer_(settings.serial, sink, user),
      encoder_(std::make_unique<JointRateEncoder>(settings.channels, settings.kbitPerSecond,
                                                  JointRateEncoder::Choice::byEstimate,
                                                  JointRateEncoder::HeldOver::sound)) {
    header_.channels = static_cast<std::uint8_t>(settings.channels);
    header_.coupling = settings.channels >= 2 ? Coupling::frontPair : Coupling::separate;
    header_.originalRate = settings.originalRate;
}

OggZarnEncoder::Status OggZarnEncoder::begin(const std::uint8_t* comments, std::size_t commentBytes) {
    if (begun_ || failed_) return Status::state;
    const Status status = writer_.begin(header_, comments, commentBytes);
    failed_ = status != Status::ok;
    begun_ = true;
    return status;
}

OggZarnEncoder::Status OggZarnEncoder::write(const Sample* interleaved, std::size_t frames) {
    if (!begun_ || failed_) return Status::state;
    if (interleaved == nullptr && frames > 0) return Status::argument;
    const std::size_t channels = header_.channels;
    while (frames > 0) {
        // A full hop goes out once a sample after it has come: only then is
        // it known not to end the stream.
        if (filled_ == kHop) {
            const Status status = encodeHop(false);
            if (status != Status::ok) return status;
            filled_ = 0;
        }
        const std::size_t take = std::min(frames, kHop - filled_);
        for (std::size_t i = 0; i < take; ++i)
            for (std::size_t c = 0; c < channels; ++c) hop_[c][filled_ + i] = interleaved[i * channels + c];
        interleaved += take * channels;
        frames -= take;
        filled_ += take;
        samples_ += take;
    }
    return Status::ok;
}

OggZarnEncoder::Status OggZarnEncoder::finish() {
    if (!begun_ || failed_) return Status::state;
    if (samples_ > 0) {
        for (std::size_t c = 0; c < header_.channels; ++c) std::fill(hop_[c].begin() + filled_, hop_[c].end(), 0);
        const Status status = encodeHop(true);
        if (status != Status::ok) return status;
    }
    const Status status = writer_.finish(samples_);
    failed_ = true;  // nothing may follow
    return status;
}

OggZarnEncoder::Status OggZarnEncoder::encodeHop(bool last) {
    const Sample* from[kMaxChannels] = {};
    for (std::size_t c = 0; c < header_.channels; ++c) from[c] = hop_[c].data();
    const HopCoupling coupling = encoder_->encode(from, last, frames_.data());
    const auto begin = frames_.begin(), end = frames_.begin() + header_.channels;
    Status status;
    if (std::all_of(begin, end, silent)) {
        status = writer_.silentHop();
        ++silentHops_;
    } else {
        FrameBytes bytes[kMaxChannels];
        for (std::size_t c = 0; c < header_.channels; ++c)
            bytes[c] = {packed_[c].data(), packFrame(frames_[c], packed_[c].data())};
        status = writer_.hop(bytes, coupling == HopCoupling::midSide);
    }
    failed_ = status != Status::ok;
    return status;
}

}  // namespace zarn
