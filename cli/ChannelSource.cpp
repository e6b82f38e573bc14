#include "cli/ChannelSource.h"

#include <algorithm>

#include "cli/ChannelOrder.h"
#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {

ChannelSource::ChannelSource(SoundInput& input, bool dither)
    : input_(input),
      channels_(static_cast<unsigned>(input.channels())),
      direct_(input.sampleRate() == ZARN_SAMPLE_RATE && input.narrow()),
      readFrames_(kBlock / static_cast<std::size_t>(input.channels())),
      dither_(dither),
      buffers_(std::make_unique<Buffers>()),
      ditherWanted_(dither) {
    if (input.sampleRate() != ZARN_SAMPLE_RATE) {
        resampler_.emplace(static_cast<double>(input.sampleRate()), input.name(), channels_);
    }
}

std::string ChannelSource::steps() const {
    std::string done;
    const auto add = [&done](const std::string& step) { done += done.empty() ? step : ", " + step; };
    if (resampler_) add(text::format(text::tr("converted to %s"), rateName(ZARN_SAMPLE_RATE).c_str()));
    if (!direct_) add(ditherWanted_ ? text::tr("dithered to 16 bits") : text::tr("rounded to 16 bits"));
    return done;
}

std::size_t ChannelSource::read(std::int16_t* out) {
    if (direct_) {
        const std::size_t frames = input_.readShorts(buffers_->shorts.data(), readFrames_);
        framesRead_ += frames;
        reorderChannels(buffers_->shorts.data(), out, frames, channels_, false);
        return frames;
    }
    if (resampler_) return readResampled(out);
    const std::size_t frames = input_.readDoubles(buffers_->input.data(), readFrames_);
    framesRead_ += frames;
    reorderChannels(buffers_->input.data(), buffers_->ordered.data(), frames, channels_, false);
    dither_.quantise(buffers_->ordered.data(), frames * channels_, out);
    return frames;
}

std::size_t ChannelSource::withinLength(std::size_t produced) {
    if (!inputEnded_) return produced;
    const auto rate = static_cast<std::uint64_t>(input_.sampleRate());
    const std::uint64_t length = (framesRead_ * ZARN_SAMPLE_RATE + rate / 2) / rate;
    const std::uint64_t left = length > framesOut_ ? length - framesOut_ : 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(produced, left));
}

std::size_t ChannelSource::readResampled(std::int16_t* out) {
    double* resampled = buffers_->resampled.data();
    const std::size_t capacity = kBlock / channels_;
    for (;;) {
        if (pendingCount_ == 0 && !inputEnded_) {
            const std::size_t frames = input_.readDoubles(buffers_->input.data(), readFrames_);
            framesRead_ += frames;
            reorderChannels(buffers_->input.data(), buffers_->ordered.data(), frames, channels_, false);
            pendingAt_ = 0;
            pendingCount_ = frames;
            inputEnded_ = frames == 0;
        }
        std::size_t produced = 0;
        if (inputEnded_) {
            produced = withinLength(resampler_->process(nullptr, 0, nullptr, resampled, capacity));
            if (produced == 0) {
                // The conversion may give a frame fewer than the length:
                // silence makes it up.
                const std::size_t missing = withinLength(capacity);
                if (missing == 0) return 0;
                std::fill(out, out + missing * channels_, std::int16_t{0});
                framesOut_ += missing;
                return missing;
            }
        } else {
            std::size_t taken = 0;
            produced = resampler_->process(buffers_->ordered.data() + pendingAt_ * channels_, pendingCount_, &taken,
                                           resampled, capacity);
            pendingAt_ += taken;
            pendingCount_ -= taken;
        }
        if (produced > 0) {
            dither_.quantise(resampled, produced * channels_, out);
            framesOut_ += produced;
            return produced;
        }
    }
}

}  // namespace zarn::cli
