#pragma once

#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "stream/FrameParser.h"
#include "stream/ZarnReader.h"

namespace zarn {

// A Zarn stream read frame by frame, for tools that look at frames rather
// than decode them: a ZarnReader's bytes cut by a FrameParser.
//
// Trailing bytes too few for a frame header, and a frame cut short by the end
// of the stream, end it quietly; a frame that does not start with the tag
// ends the process.
class FrameReader {
public:
    explicit FrameReader(const char* path) : reader_(path) {}
    FrameReader(const std::uint8_t* bytes, std::size_t size) : reader_(bytes, size) {}

    // Reads up to `capacity` whole frames into frames[0..), allocations
    // included, and returns how many: fewer only where the stream ends or a
    // frame lacks the tag, 0 at the end. A frame without the tag ends the
    // process once it is the first one asked for, so a caller first gets,
    // and can finish, every frame before it. frames[count] may be partly
    // overwritten.
    std::size_t readFrames(EncodedFrame* frames, std::size_t capacity);

    // The stream's length in bytes, measured at opening.
    std::uint64_t size() const { return reader_.size(); }

private:
    ZarnReader reader_;     // the stream's bytes
    FrameParser parser_;    // cuts them into frames
    const std::uint8_t* unread_ = nullptr;  // bytes read but not yet parsed
    std::size_t unreadSize_ = 0;            // how many
};

}  // namespace zarn
