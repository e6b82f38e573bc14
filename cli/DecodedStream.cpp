#include "cli/DecodedStream.h"

#include <algorithm>
#include <numeric>

#include "cli/ChannelOrder.h"
#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

constexpr std::uint64_t kCoded = ZARN_SAMPLE_RATE;

}  // namespace

std::uint64_t DecodedStream::seekStart(std::uint64_t frame, int rate) {
    const std::uint64_t step = kCoded / std::gcd(kCoded, static_cast<std::uint64_t>(rate));
    return frame / step * step;
}

std::uint64_t DecodedStream::outputFrame(std::uint64_t frame, int rate) {
    return (frame * static_cast<std::uint64_t>(rate) + kCoded / 2) / kCoded;
}

std::uint64_t DecodedStream::codedFrame(std::uint64_t frame, int rate) {
    const auto r = static_cast<std::uint64_t>(rate);
    return (frame * kCoded + r / 2) / r;
}

DecodedStream::DecodedStream(DecodedOutput& output, const std::string& input, const std::string& outputName,
                             unsigned channels, int rate, bool dither, const Span& span, std::uint64_t start)
    : output_(output),
      outputName_(outputName),
      channels_(channels),
      rate_(rate),
      span_(span),
      dither_(dither),
      written_(start * static_cast<std::uint64_t>(rate) / ZARN_SAMPLE_RATE),
      buffers_(std::make_unique<Buffers>()) {
    if (rate != ZARN_SAMPLE_RATE) resampler_.emplace(ZARN_SAMPLE_RATE, input, channels, rate);
}

bool DecodedStream::emit(const std::int16_t* frames, std::size_t count) noexcept {
    const std::uint64_t from = written_;
    written_ += count;
    std::uint64_t first = std::max(from, span_.skip);
    std::uint64_t last = written_;
    if (span_.until) last = std::min(last, *span_.until);
    if (first >= last) return true;
    given_ += last - first;
    if (output_.write(frames + (first - from) * channels_, static_cast<std::size_t>(last - first))) return true;
    if (!failure_) failure_.emplace(outputName(outputName_), output_.cause());
    return false;
}

bool DecodedStream::convert(const std::int16_t* frames, std::size_t count) noexcept {
    try {
        const std::size_t values = count * channels_;
        for (std::size_t i = 0; i < values; ++i) buffers_->wide[i] = frames[i];
        const double* in = frames == nullptr ? nullptr : buffers_->wide.data();
        std::size_t left = count;
        for (;;) {
            std::size_t taken = 0;
            const std::size_t made = resampler_->process(in, left, &taken, buffers_->converted.data(), 2 * kChunk);
            if (in != nullptr) {
                in += taken * channels_;
                left -= taken;
            }
            dither_.quantise(buffers_->converted.data(), made * channels_, buffers_->narrowed.data());
            if (!emit(buffers_->narrowed.data(), made)) return false;
            if (in != nullptr ? left == 0 && made == 0 : made == 0) return true;
        }
    } catch (const FileFailure& failure) {
        if (!failure_) failure_.emplace(failure);
        return false;
    }
}

bool DecodedStream::write(const std::int16_t* frames, std::size_t count) noexcept {
    if (failure_) return false;
    while (count > 0 && !done()) {
        const std::size_t part = std::min(count, kChunk);
        reorderChannels(frames, buffers_->ordered.data(), part, channels_, true);
        if (!(resampler_ ? convert(buffers_->ordered.data(), part) : emit(buffers_->ordered.data(), part))) return false;
        frames += part * channels_;
        count -= part;
    }
    return true;
}

void DecodedStream::finish(std::uint64_t length, std::optional<std::uint64_t> exact) {
    if (failure_) throw *failure_;
    const std::uint64_t end = exact.value_or(outputFrame(length, rate_));
    if (resampler_ && !done()) {
        // What the conversion still holds, cut at the output's length.
        const std::optional<std::uint64_t> until = span_.until;
        span_.until = until ? std::min(*until, end) : end;
        convert(nullptr, 0);
        span_.until = until;
        if (failure_) throw *failure_;
    }
    // A conversion that gives a frame or two fewer than the length is made
    // up with silence, so that the length is the sound's.
    buffers_->narrowed.fill(0);
    while (written_ < end && !done()) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(end - written_, kChunk));
        if (!emit(buffers_->narrowed.data(), part)) throw *failure_;
    }
}

}  // namespace zarn::cli
