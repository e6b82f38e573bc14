#pragma once
// The plain way to pack the Zarn bit stream, kept as the oracle for the
// programs' packers: every field a row of single bits, and a frame's fields
// written one after the other.

#include <cstdint>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"

namespace zarn::test {

// Fields kept as single bits, most significant first, cut into 16-bit words
// that are stored low byte first.
class ReferencePacker {
public:
    void put(int count, unsigned value) {
        for (int bit = count - 1; bit >= 0; --bit) bits_.push_back((value >> bit) & 1u);
    }
    std::size_t size() const { return bits_.size(); }
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out;
        for (std::size_t start = 0; start + 16 <= bits_.size(); start += 16) {
            unsigned word = 0;
            for (std::size_t bit = start; bit < start + 16; ++bit) word = word << 1 | bits_[bit];
            out.push_back(static_cast<std::uint8_t>(word & 0xFF));
            out.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        return out;
    }

private:
    std::vector<bool> bits_;
};

// The bytes of `frame`: the tag, the 25 allocations, the 25 scales; in each
// band with b > 0 bits the top b + 1 bits of every real part and of every
// imaginary part but those of bins 0 and 256; then zeros to the next word, a
// whole word when the fields already end on one. The low bits of the
// components need not be cleared.
inline std::vector<std::uint8_t> referenceFrameBytes(const EncodedFrame& frame) {
    ReferencePacker packer;
    packer.put(12, 0xFFF);
    for (const std::uint8_t bits : frame.allocation) packer.put(4, bits);
    for (const std::uint8_t exponent : frame.scale) packer.put(4, exponent);
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = frame.allocation[band];
        for (const std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            if (b == 0) continue;
            packer.put(b + 1, static_cast<std::uint16_t>(frame.re[bin]) >> (15 - b));
            if (bin > 0 && bin < 256) packer.put(b + 1, static_cast<std::uint16_t>(frame.im[bin]) >> (15 - b));
        }
    }
    packer.put(16 - static_cast<int>(packer.size() % 16), 0);
    return packer.bytes();
}

}  // namespace zarn::test
