#pragma once
// One frame to its bytes and back, in memory. The file writer and reader are
// thin layers over these; nothing else packs or parses a frame.

#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"

namespace zarn {

// Writes `frame` as frameBytes(frame.allocation) bytes to `out`, which has
// room for kMaxFrameBytes, and returns that count. The frame must hold what
// EncodedFrame says: fields at its allocation, nothing more.
std::size_t packFrame(const EncodedFrame& frame, std::uint8_t* out);

struct Unpacked {
    enum class Outcome {
        frame,     // a whole frame was read
        cutShort,  // the bytes end inside the frame
        badTag,    // the bytes do not begin with the frame tag
    };
    Outcome outcome;
    std::size_t bytes;  // the frame's length, known once its header is whole; else 0
    unsigned tag;       // the 12 bits found where the tag belongs
};

// Reads the frame that starts at `bytes`, of which `available` are there.
// `frame` is filled as far as the bytes go; it is whole only for a frame.
// A frame cut short tells its length when its header is there.
Unpacked unpackFrame(const std::uint8_t* bytes, std::size_t available, EncodedFrame& frame);

}  // namespace zarn
