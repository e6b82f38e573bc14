#include "stream/ZarnWriter.h"

#include <cstdint>
#include <iostream>

#include "common/Fatal.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace zarn {

ZarnWriter::ZarnWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til skrivning");
}

void ZarnWriter::writeFrame(const EncodedFrame& frame) {
    std::uint8_t bytes[kMaxFrameBytes];
    output_.putBytes(bytes, packFrame(frame, bytes));
}

}  // namespace zarn
