#pragma once
// Any sound libsndfile reads, as the Ogg Zarn encoder takes it: every
// channel, in the container's order, at 44100 samples per second and 16
// bits. Another rate is converted with libsoxr, and the stream is made
// exactly round(frames · 44100 / rate) long, so that a decoder can give
// back the original's length; whatever is wider than 16 bits gets TPDF
// dither (or plain rounding). 16-bit input at 44100 per second is read as
// shorts and only reordered, so its samples stay the file's own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/Resampler.h"
#include "cli/SoundInput.h"
#include "cli/TpdfDither.h"

namespace zarn::cli {

class ChannelSource {
public:
    static constexpr std::size_t kBlock = 32768;  // values per read(): 64 KiB of output

    // `input` has 1 to 8 channels.
    ChannelSource(SoundInput& input, bool dither);

    // Up to kBlock / channels frames into `out`, interleaved; 0 once
    // everything has come out.
    std::size_t read(std::int16_t* out);

    unsigned channels() const { return channels_; }
    std::uint64_t inputFramesRead() const { return framesRead_; }
    // What is done to the input, for the user: "converted to 44.1 kHz,
    // dithered to 16 bits"; empty when nothing is.
    std::string steps() const;

private:
    struct Buffers {
        std::array<double, kBlock> input;  // interleaved, the file's order
        std::array<double, kBlock> ordered;
        std::array<double, kBlock> resampled;
        std::array<std::int16_t, kBlock> shorts;
    };

    std::size_t readResampled(std::int16_t* out);
    // Of `produced` frames, those within the stream's length; the rest are
    // the conversion's tail past it.
    std::size_t withinLength(std::size_t produced);

    SoundInput& input_;
    const unsigned channels_;
    const bool direct_;  // narrow and at the codec's rate: read as shorts
    const std::size_t readFrames_;
    std::optional<Resampler> resampler_;
    TpdfDither dither_;
    std::unique_ptr<Buffers> buffers_;
    std::size_t pendingAt_ = 0;     // the first frame of buffers_->ordered not yet given to the resampler
    std::size_t pendingCount_ = 0;  // frames from pendingAt_ not yet given
    bool inputEnded_ = false;
    std::uint64_t framesRead_ = 0;
    std::uint64_t framesOut_ = 0;   // 44.1 kHz frames handed out
    const bool ditherWanted_;
};

}  // namespace zarn::cli
