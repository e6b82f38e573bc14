#pragma once

#include <cstddef>
#include <cstdint>

#include "common/BinaryInput.h"
#include "common/EncodedFrame.h"

namespace zarn {

// Reads a Zarn file frame by frame (the layout is described at ZarnWriter).
//
// Trailing bytes too few for a frame header, and a frame cut short by the end
// of the file, end the stream quietly; a frame that does not start with the
// tag ends the process.
class ZarnReader {
public:
    // Opens `path`; ends the process if it cannot be read or is shorter than a
    // frame header (27 bytes).
    explicit ZarnReader(const char* path);
    // Reads a Zarn stream of `size` bytes at `bytes`, which must outlive the
    // reader; ends the process if it is shorter than a frame header.
    ZarnReader(const std::uint8_t* bytes, std::size_t size);

    // Reads the next frame, its allocation included. False when no further
    // whole frame is there; `frame` may then be partly overwritten.
    bool readFrame(EncodedFrame& frame);

    enum class Next { frame, end, badTag };

    // readFrame(), with a frame that lacks the tag reported instead of fatal,
    // so that a caller can first finish the frames before it; failBadTag()
    // then ends the process as readFrame() would have.
    Next next(EncodedFrame& frame);
    [[noreturn]] void failBadTag() const;

    // The stream's length in bytes, measured at opening.
    std::uint64_t size() const { return input_.size(); }

private:
    void refuseTooSmall() const;

    BinaryInput input_;   // the Zarn stream; its position is the next frame's start
    unsigned badTag_ = 0;  // what stood where the tag belonged, once next() found none
};

}  // namespace zarn
