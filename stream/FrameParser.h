#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "stream/ZarnFormat.h"

namespace zarn {

// Cuts a Zarn stream that arrives in pieces of any size into its frames: the
// one place that decides where a frame starts and ends. Frames that lie
// whole in a piece are read where they lie; only a frame split between
// pieces is gathered into a buffer of its own.
//
// A frame is judged only once a header's worth of bytes (27) is there: fewer
// at the end of the stream are an unfinished frame, whatever they hold.
class FrameParser {
public:
    enum class Outcome {
        frame,     // `frame` holds the next frame
        needMore,  // every byte was taken; the next frame needs more
        badTag,    // the next frame lacks the tag; nothing of it was taken
    };

    // Takes bytes from the front of [bytes, bytes + size), advancing both,
    // until a frame is whole or they run out.
    Outcome next(const std::uint8_t*& bytes, std::size_t& size, EncodedFrame& frame);

    // Bytes held of a frame not yet whole: 0 when the stream so far ends
    // between frames.
    std::size_t pending() const { return partialSize_; }
    // Bytes of the stream taken as whole frames: where the next frame starts.
    std::uint64_t position() const { return position_; }
    // The 12 bits that stood where the tag belonged, after badTag.
    unsigned badTag() const { return badTag_; }

private:
    // Bytes that hold a header's bits: from these on, a frame is judged.
    static constexpr std::size_t kJudgedBytes = (kFrameHeaderBits + 7) / 8;

    Outcome nextFromPartial(const std::uint8_t*& bytes, std::size_t& size, EncodedFrame& frame);

    std::array<std::uint8_t, kMaxFrameBytes> partial_;  // the start of a frame split between pieces
    std::size_t partialSize_ = 0;        // how many bytes of it partial_ holds
    std::size_t needed_ = kJudgedBytes;  // bytes it must reach before it is tried again
    std::uint64_t position_ = 0;         // bytes taken as whole frames
    unsigned badTag_ = 0;                // what stood where the tag belonged
};

}  // namespace zarn
