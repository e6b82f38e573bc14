#pragma once
// Any sound libsndfile reads, as the codec takes it: mono, 16 bits, 44100
// samples per second. Channels are mixed to their mean, another rate is
// converted with libsoxr, and whatever is then wider than 16 bits gets TPDF
// dither (or plain rounding). Mono 16-bit input at 44100 per second is read
// as shorts and passed on untouched, so its samples stay the file's own.

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

class MonoSource {
public:
    static constexpr std::size_t kBlock = 32768;  // samples per read(): 64 KiB of output

    MonoSource(SoundInput& input, bool dither);

    // Up to kBlock samples into `out`; 0 once everything has come out.
    std::size_t read(std::int16_t* out);

    // Frames of the input read so far, for the progress line.
    std::uint64_t inputFramesRead() const { return framesRead_; }
    // What is done to the input, for the user: "mixed down to mono,
    // converted to 44.1 kHz, dithered to 16 bits"; empty when nothing is.
    std::string steps() const;

private:
    // Values per read of interleaved input: a whole number of frames of
    // up to libsndfile's 1024 channels.
    static constexpr std::size_t kInputValues = 1 << 16;

    struct Buffers {
        std::array<double, kInputValues> input;  // interleaved, then mixed in place to mono at the front
        std::array<double, kBlock> resampled;
    };

    // Reads and mixes the next block into buffers_->input; returns its frames.
    std::size_t fill();
    std::size_t readResampled(std::int16_t* out);

    SoundInput& input_;
    const bool direct_;            // mono, narrow and at the codec's rate: read as shorts
    const std::size_t readFrames_; // frames per read of input
    std::optional<Resampler> resampler_;
    TpdfDither dither_;
    std::unique_ptr<Buffers> buffers_;  // allocated once per file, unused when direct_
    std::size_t pendingAt_ = 0;     // the first mono sample not yet given to the resampler
    std::size_t pendingCount_ = 0;  // mono samples from pendingAt_ not yet given
    bool inputEnded_ = false;       // the input has no more frames; the resampler is being flushed
    std::uint64_t framesRead_ = 0;
    const bool ditherWanted_;
};

}  // namespace zarn::cli
