#include "stream/FrameParser.h"

#include <algorithm>
#include <cstring>

#include "stream/FramePacking.h"

namespace zarn {

FrameParser::Outcome FrameParser::next(const std::uint8_t*& bytes, std::size_t& size, EncodedFrame& frame) {
    if (partialSize_ > 0) return nextFromPartial(bytes, size, frame);
    if (size == 0) return Outcome::needMore;
    const Unpacked unpacked = unpackFrame(bytes, size, frame);
    if (unpacked.outcome == Unpacked::Outcome::frame) {
        bytes += unpacked.bytes;
        size -= unpacked.bytes;
        position_ += unpacked.bytes;
        return Outcome::frame;
    }
    if (unpacked.outcome == Unpacked::Outcome::badTag && size >= kJudgedBytes) {
        badTag_ = unpacked.tag;
        return Outcome::badTag;
    }
    // Less than a frame is left: kept until the next piece completes it.
    std::memcpy(partial_.data(), bytes, size);
    partialSize_ = size;
    needed_ = unpacked.bytes > 0 ? unpacked.bytes : std::max(size + 1, kJudgedBytes);
    bytes += size;
    size = 0;
    return Outcome::needMore;
}

FrameParser::Outcome FrameParser::nextFromPartial(const std::uint8_t*& bytes, std::size_t& size,
                                                  EncodedFrame& frame) {
    // First up to the header, which tells the frame's length, then up to
    // that length: each byte is copied once and each frame unpacked at most
    // twice, however finely the stream is cut.
    for (;;) {
        const std::size_t take = std::min(needed_ - partialSize_, size);
        std::memcpy(partial_.data() + partialSize_, bytes, take);
        partialSize_ += take;
        bytes += take;
        size -= take;
        if (partialSize_ < needed_) return Outcome::needMore;
        const Unpacked unpacked = unpackFrame(partial_.data(), partialSize_, frame);
        if (unpacked.outcome == Unpacked::Outcome::frame) {
            position_ += unpacked.bytes;
            partialSize_ = 0;
            needed_ = kJudgedBytes;
            return Outcome::frame;
        }
        if (unpacked.outcome == Unpacked::Outcome::badTag) {
            badTag_ = unpacked.tag;
            return Outcome::badTag;
        }
        // Its length once the header is whole; until then a byte more.
        needed_ = unpacked.bytes > 0 ? unpacked.bytes : partialSize_ + 1;
    }
}

}  // namespace zarn
