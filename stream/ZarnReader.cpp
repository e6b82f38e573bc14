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

bool ZarnReader::readFrame(EncodedFrame& frame) {
    const Next outcome = next(frame);
    if (outcome == Next::badTag) failBadTag();
    return outcome == Next::frame;
}

ZarnReader::Next ZarnReader::next(EncodedFrame& frame) {
    if (8 * (input_.size() - input_.position()) < kFrameHeaderBits) return Next::end;
    // Frames start on word boundaries and the largest one fits the input's
    // window, so only the end of the stream holds fewer bytes than a frame.
    const std::size_t atHand = input_.fill(kMaxFrameBytes);
    const Unpacked unpacked = unpackFrame(input_.unread(), atHand, frame);
    if (unpacked.outcome == Unpacked::Outcome::badTag) {
        badTag_ = unpacked.tag;
        return Next::badTag;
    }
    if (unpacked.outcome == Unpacked::Outcome::cutShort) return Next::end;
    input_.consume(unpacked.bytes);
    return Next::frame;
}

void ZarnReader::failBadTag() const {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%x", badTag_);
    fail(std::cout, std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")");
}

}  // namespace zarn
