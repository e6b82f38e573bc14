#include "cli/MonoSource.h"

#include <algorithm>

#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {

MonoSource::MonoSource(SoundInput& input, bool dither)
    : input_(input),
      direct_(input.channels() == 1 && input.sampleRate() == ZARN_SAMPLE_RATE && input.narrow()),
      readFrames_(std::min(kBlock, kInputValues / static_cast<std::size_t>(input.channels()))),
      dither_(dither),
      ditherWanted_(dither) {
    if (direct_) return;
    buffers_ = std::make_unique<Buffers>();
    if (input.sampleRate() != ZARN_SAMPLE_RATE) {
        resampler_.emplace(static_cast<double>(input.sampleRate()), input.name());
    }
}

std::string MonoSource::steps() const {
    std::string done;
    const auto add = [&done](const std::string& step) { done += done.empty() ? step : ", " + step; };
    if (input_.channels() > 1) add(text::tr("mixed down to mono"));
    if (resampler_) add(text::format(text::tr("converted to %s"), rateName(ZARN_SAMPLE_RATE).c_str()));
    // Narrow mono input at 44.1 kHz never reaches here, and every other
    // input leaves doubles that need rounding to 16 bits.
    if (!direct_) add(ditherWanted_ ? text::tr("dithered to 16 bits") : text::tr("rounded to 16 bits"));
    return done;
}

std::size_t MonoSource::fill() {
    double* values = buffers_->input.data();
    const std::size_t frames = input_.readDoubles(values, readFrames_);
    framesRead_ += frames;
    const std::size_t channels = static_cast<std::size_t>(input_.channels());
    if (channels > 1) {
        // In place: frame i's mean goes to index i, which its own values
        // and every later frame's lie at or after.
        for (std::size_t i = 0; i < frames; ++i) {
            double sum = 0.0;
            for (std::size_t c = 0; c < channels; ++c) sum += values[i * channels + c];
            values[i] = sum / static_cast<double>(channels);
        }
    }
    return frames;
}

std::size_t MonoSource::read(std::int16_t* out) {
    if (direct_) {
        const std::size_t frames = input_.readShorts(out, kBlock);
        framesRead_ += frames;
        return frames;
    }
    if (resampler_) return readResampled(out);
    const std::size_t frames = fill();
    dither_.quantise(buffers_->input.data(), frames, out);
    return frames;
}

std::size_t MonoSource::readResampled(std::int16_t* out) {
    double* resampled = buffers_->resampled.data();
    for (;;) {
        if (pendingCount_ == 0 && !inputEnded_) {
            pendingAt_ = 0;
            pendingCount_ = fill();
            inputEnded_ = pendingCount_ == 0;
        }
        std::size_t produced = 0;
        if (inputEnded_) {
            produced = resampler_->process(nullptr, 0, nullptr, resampled, kBlock);
            if (produced == 0) return 0;
        } else {
            std::size_t taken = 0;
            produced = resampler_->process(buffers_->input.data() + pendingAt_, pendingCount_, &taken, resampled,
                                           kBlock);
            pendingAt_ += taken;
            pendingCount_ -= taken;
        }
        if (produced > 0) {
            dither_.quantise(resampled, produced, out);
            return produced;
        }
    }
}

}  // namespace zarn::cli
