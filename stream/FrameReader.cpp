#include "stream/FrameReader.h"

namespace zarn {

std::size_t FrameReader::readFrames(EncodedFrame* frames, std::size_t capacity) {
    std::size_t count = 0;
    while (count < capacity) {
        if (unreadSize_ == 0) unreadSize_ = reader_.read(unread_);
        const bool atEnd = unreadSize_ == 0;
        const FrameParser::Outcome outcome = parser_.next(unread_, unreadSize_, frames[count]);
        if (outcome == FrameParser::Outcome::frame) {
            ++count;
        } else if (outcome == FrameParser::Outcome::badTag) {
            if (count == 0) ZarnReader::failBadTag(parser_.badTag());
            break;
        } else if (atEnd) {
            break;
        }
    }
    return count;
}

}  // namespace zarn
