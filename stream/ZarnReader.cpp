#include "stream/ZarnReader.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "common/Fatal.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace zarn {

static_assert(kMaxFrameBytes <= BinaryInput::kWindow, "a whole frame fits the input's window");

ZarnReader::ZarnReader(const char* path) : input_(path) {
    if (!input_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til laesning");
    refuseTooSmall();
}

ZarnReader::ZarnReader(const std::uint8_t* bytes, std::size_t size) : input_(bytes, size) { refuseTooSmall(); }

void ZarnReader::refuseTooSmall() const {
    if (input_.size() * 8 < kFrameHeaderBits) {
        fail(std::cerr, "Fil stoerrelsen er for lille til at vaere af Zarn-formatet");
    }
}

std::size_t ZarnReader::readFrames(EncodedFrame* frames, std::size_t capacity) {
    std::size_t count = 0;
    for (; count < capacity; ++count) {
        if (8 * (input_.size() - input_.position()) < kFrameHeaderBits) break;
        // Frames start on word boundaries and the largest one fits the input's
        // window, so only the end of the stream holds fewer bytes than a frame.
        const std::size_t atHand = input_.fill(kMaxFrameBytes);
        const Unpacked unpacked = unpackFrame(input_.unread(), atHand, frames[count]);
        if (unpacked.outcome == Unpacked::Outcome::badTag) {
            if (count == 0) failBadTag(unpacked.tag);
            break;
        }
        if (unpacked.outcome == Unpacked::Outcome::cutShort) break;
        input_.consume(unpacked.bytes);
    }
    return count;
}

[[noreturn]] void ZarnReader::failBadTag(unsigned tag) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%x", tag);
    fail(std::cout, std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")");
}

}  // namespace zarn
