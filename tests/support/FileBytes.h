#pragma once
// The bytes of both file formats as the tests build and expect them: files
// cut and joined, the WAVE header a decoder must write, the samples behind
// it, and the smallest Zarn frames. Written out here rather than taken from
// the code, so that a slip in the code shows.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zarn::test {

// The first `count` bytes of `bytes`.
inline Bytes prefix(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

// `parts` one after the other.
inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// `bytes` with the `width` bytes at `offset` holding `value`, low byte first.
inline Bytes withField(Bytes bytes, std::size_t offset, std::size_t width, std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

// The header a decoder writes before it knows the length, and leaves behind
// when it ends early: mono, 16 bits, 44100 samples a second, both sizes 0.
inline Bytes provisionalHeader() {
    return {'R', 'I', 'F', 'F', 0,    0,    0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
            ' ', 16,  0,   0,   0,    1,    0,   1,   0,   0x44, 0xAC, 0,  0,   0x88, 0x58,
            1,   0,   2,   0,   16,   0,    'd', 'a', 't', 'a', 0,   0,   0,   0};
}

// The header of a finished file of `count` samples: both sizes filled in,
// modulo 2^32 as the fields are 32 bits.
inline Bytes finishedHeader(std::uint64_t count) {
    const auto data = static_cast<std::uint32_t>(2 * count);
    return withField(withField(provisionalHeader(), 4, 4, data + 36), 40, 4, data);
}

// The samples after a 44-byte header, low byte first; an odd last byte is
// ignored.
inline std::vector<std::int16_t> samplesOf(const Bytes& wave) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < wave.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(wave[i] | (wave[i + 1] << 8)));
    }
    return samples;
}

// A frame of silence as the encoder writes it: every band at 0 bits and
// every scale exponent 15. The tag, the allocations, the scales and 12 bits
// of padding: 28 bytes.
inline Bytes silentFrameBytes() {
    return {0xF0, 0xFF,  // the tag and band 0's allocation
            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
            0x00, 0xF0};  // the last scale, then the padding
}

// A frame with every band at 0 bits and every scale exponent 0: the tag and
// 26 zero bytes.
inline Bytes zeroFrameBytes() {
    Bytes frame(28, 0);
    frame[0] = 0xF0;
    frame[1] = 0xFF;
    return frame;
}

}  // namespace zarn::test
