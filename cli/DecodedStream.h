#pragma once
// What becomes of decoded samples on their way to the output: the channels
// put back in WAVE's order, the rate brought from 44.1 kHz to the one asked
// for (with dither to 16 bits), and only the span asked for written, so that
// a decoding is exactly as long as the sound it was made from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/DecodedOutput.h"
#include "cli/FileFailure.h"
#include "cli/Resampler.h"
#include "cli/TpdfDither.h"
#include "container/OggZarnHeaders.h"

namespace zarn::cli {

// Frames of the output, at its rate: from `skip` on, before `until`.
struct Span {
    std::uint64_t skip = 0;
    std::optional<std::uint64_t> until;
};

class DecodedStream {
public:
    // `start` is the 44.1 kHz frame the first frame given lies at, after a
    // seek; it must be a whole number of output frames (seekStart()).
    // `input` and `outputName` name the files for failures.
    DecodedStream(DecodedOutput& output, const std::string& input, const std::string& outputName, unsigned channels,
                  int rate, bool dither, const Span& span, std::uint64_t start = 0);

    // The last 44.1 kHz frame at or before `frame` that a stream of `rate`
    // can start from with its output frames whole.
    static std::uint64_t seekStart(std::uint64_t frame, int rate);
    // The output frame that the 44.1 kHz frame `frame` lies at (rounded).
    static std::uint64_t outputFrame(std::uint64_t frame, int rate);
    // The 44.1 kHz frame that output frame `frame` lies at (rounded).
    static std::uint64_t codedFrame(std::uint64_t frame, int rate);

    // `count` interleaved 44.1 kHz frames in Ogg Zarn's channel order. Never
    // throws; false once the output or the conversion failed (failure()).
    bool write(const std::int16_t* frames, std::size_t count) noexcept;
    // The stream has ended after `length` 44.1 kHz frames in all (counted
    // from the stream's start, not from `start`): what the conversion holds
    // comes out, to exactly the output's length, or to `exact` frames where
    // the stream tells its length at the output's rate. Throws FileFailure.
    void finish(std::uint64_t length, std::optional<std::uint64_t> exact = std::nullopt);
    // True once the span is written: nothing more is needed.
    bool done() const { return span_.until && written_ >= *span_.until; }
    // Output frames from the stream's start the output has reached.
    std::uint64_t position() const { return written_; }
    // Frames the output was given: the span's.
    std::uint64_t given() const { return given_; }

    const std::optional<FileFailure>& failure() const { return failure_; }

private:
    static constexpr std::size_t kChunk = 4096;  // frames per step

    // Writes the part of `count` output frames at `frames` that lies in the span.
    bool emit(const std::int16_t* frames, std::size_t count) noexcept;
    bool convert(const std::int16_t* frames, std::size_t count) noexcept;

    DecodedOutput& output_;
    std::string outputName_;
    unsigned channels_;
    int rate_;
    Span span_;
    std::optional<Resampler> resampler_;
    TpdfDither dither_;
    std::uint64_t written_ = 0;  // output frames from the stream's start passed on or dropped
    std::uint64_t given_ = 0;    // of them, passed on
    std::optional<FileFailure> failure_;
    // A megabyte for eight channels: made once per file, off the stack.
    struct Buffers {
        std::array<std::int16_t, kChunk * kMaxChannels> ordered;
        std::array<double, kChunk * kMaxChannels> wide;
        std::array<double, 2 * kChunk * kMaxChannels> converted;
        std::array<std::int16_t, 2 * kChunk * kMaxChannels> narrowed;
    };
    std::unique_ptr<Buffers> buffers_;
};

}  // namespace zarn::cli
