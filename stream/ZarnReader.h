#pragma once

#include <cstdint>

#include "common/BinaryInput.h"
#include "common/Types.h"

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

    // Takes the next `count` bits (1..16) into `out`, left-aligned with zeros
    // below. False when a needed word is not wholly in the file.
    bool getBits(int count, std::uint16_t& out);

    // Reads the next frame into scale and bins 0..256 of re and im. Every bin of
    // a band without bits reads as 0.0, so nothing of an earlier frame is
    // decoded twice. False when no further whole frame is there; the arrays may
    // then be partly overwritten.
    bool readFrame(ScaleExponents& scale, double* re, double* im);

private:
    std::uint16_t accumulator_ = 0;  // unread bits of the current word, left-aligned
    std::uint8_t available_ = 0;     // unread bits in accumulator_, 0..15
    std::uint64_t fileBits_ = 0;     // file length in bits, measured at opening
    std::int32_t frameBits_ = 0;     // bits of the current frame so far; sizes the padding
    BinaryInput input_;              // the Zarn file
};

}  // namespace zarn
