#pragma once

#include <cstdint>

#include "common/BinaryOutput.h"
#include "common/Types.h"

namespace zarn {

// Creates a Zarn file and appends frames to it.
//
// A frame is one bit stream packed most significant bit first into 16-bit
// words, each stored low byte first: a 12-bit tag 0xFFF, 25 four-bit
// allocations, 25 four-bit scale exponents, then for every band with g > 0 bits
// the top g + 1 bits of each rounded component (real, then imaginary except at
// bins 0 and 256), and 1 to 16 zero bits of padding to the next word.
class ZarnWriter {
public:
    // Creates or truncates `path`; ends the process if it cannot be opened.
    explicit ZarnWriter(const char* path);

    // Appends the low `count` bits of `value` (count 1..16), most significant
    // first. `value` must fit in `count` bits.
    void putBits(int count, std::uint16_t value);

    // Appends one frame; reads re at bins 0..256 and im at bins 1..255.
    void writeFrame(const BitAllocation& allocation, const ScaleExponents& scale,
                    const double* re, const double* im);

    // Closes the file; every frame written so far is whole.
    void close() { output_.close(); }

    // True once any write to the file or its close failed.
    bool failed() const { return output_.failed(); }

private:
    void emitWord(std::uint16_t word) {
        output_.putByte(static_cast<std::uint8_t>(word & 0xFF));
        output_.putByte(static_cast<std::uint8_t>(word >> 8));
    }

    std::uint16_t accumulator_ = 0;  // bits of the incomplete word, right-aligned
    std::uint8_t pending_ = 0;       // bits held in accumulator_, 0..15; a full word leaves at once
    std::int32_t frameBits_ = 0;     // bits of the current frame so far; sizes the padding
    BinaryOutput output_;            // the Zarn file
};

}  // namespace zarn
