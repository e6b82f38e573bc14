#pragma once

#include <cstddef>
#include <cstdint>

#include "common/BinaryOutput.h"

namespace zarn {

// Creates a Zarn file and appends frames to it.
//
// A frame is one bit stream packed most significant bit first into 16-bit
// words, each stored low byte first: a 12-bit tag 0xFFF, 25 four-bit
// allocations, 25 four-bit scale exponents, then for every band with g > 0 bits
// the top g + 1 bits of each component (real, then imaginary except at bins 0
// and 256), and 1 to 16 zero bits of padding to the next word. There is no
// file header: a Zarn file is its frames, back to back.
class ZarnWriter {
public:
    // Creates or truncates `path`; ends the process if it cannot be opened.
    explicit ZarnWriter(const char* path);

    // Appends `size` bytes of whole frames.
    void write(const std::uint8_t* bytes, std::size_t size) { output_.putBytes(bytes, size); }

    // Closes the file; every frame written so far is whole.
    void close() { output_.close(); }

    // True once any write to the file or its close failed.
    bool failed() const { return output_.failed(); }

private:
    BinaryOutput output_;  // the Zarn file
};

}  // namespace zarn
