#pragma once
// The 44-byte header that opens a WAVE PCM file, as far as this codec reads and
// writes it. Numbers are little-endian and assembled byte by byte.

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarn {

constexpr std::size_t kWaveHeaderSize = 44;
using WaveHeader = std::array<std::uint8_t, kWaveHeaderSize>;

constexpr std::size_t kWaveRiffSizeOffset = 4;
constexpr std::size_t kWaveBitsPerSampleOffset = 34;
constexpr std::size_t kWaveDataSizeOffset = 40;

inline std::uint16_t readLittle16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline void storeLittle16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void storeLittle32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace zarn
