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

    // Reads up to `capacity` whole frames into frames[0..), allocations
    // included, and returns how many: fewer only where the stream ends or a
    // frame lacks the tag, 0 at the end. A frame without the tag ends the
    // process once it is the first one asked for, so a caller first gets,
    // and can finish, every frame before it. frames[count] may be partly
    // overwritten.
    std::size_t readFrames(EncodedFrame* frames, std::size_t capacity);

    // The stream's length in bytes, measured at opening.
    std::uint64_t size() const { return input_.size(); }

private:
    void refuseTooSmall() const;
    [[noreturn]] static void failBadTag(unsigned tag);

    BinaryInput input_;  // the Zarn stream; its position is the next frame's start
};

}  // namespace zarn
