#pragma once

#include <cstddef>
#include <cstdint>

#include "common/BinaryInput.h"

namespace zarn {

// A Zarn stream from a file or from memory, opened and checked as the menu
// programs do, and handed out as bytes for a FrameParser or a StreamDecoder
// to cut into frames (the layout is described at ZarnWriter).
class ZarnReader {
public:
    // Opens `path`; ends the process if it cannot be read or is shorter than a
    // frame header (27 bytes).
    explicit ZarnReader(const char* path);
    // Reads a Zarn stream of `size` bytes at `bytes`, which must outlive the
    // reader; ends the process if it is shorter than a frame header.
    ZarnReader(const std::uint8_t* bytes, std::size_t size);

    // Points `bytes` at the stream's next bytes, up to 4 KiB of them, and
    // returns how many: 0 at the end. They stay valid until the next call.
    std::size_t read(const std::uint8_t*& bytes) {
        const std::size_t count = input_.fill(BinaryInput::kWindow);
        bytes = input_.unread();
        input_.consume(count);
        return count;
    }

    // The stream's length in bytes, measured at opening.
    std::uint64_t size() const { return input_.size(); }

    // Ends the process as a frame that lacks the tag does: `tag` is what
    // stood in its place.
    [[noreturn]] static void failBadTag(unsigned tag);

private:
    void refuseTooSmall() const;

    BinaryInput input_;  // the Zarn stream; its position is the next byte to hand out
};

}  // namespace zarn
