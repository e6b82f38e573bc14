#pragma once
// The 44-byte header that opens a WAVE PCM file, as far as this codec reads and
// writes it. Numbers are little-endian and assembled byte by byte.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/Types.h"

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

// The header of a mono, 16-bit WAVE PCM file at the codec's sample rate
// whose samples take `dataSize` bytes. The size fields are 32 bits wide;
// larger sizes wrap, as they must.
inline WaveHeader waveHeader(std::uint64_t dataSize) {
    WaveHeader header{};
    const auto storeTag = [&header](std::size_t at, const char* tag) {
        for (std::size_t i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(tag[i]);
    };
    storeTag(0, "RIFF");
    storeLittle32(&header[kWaveRiffSizeOffset], static_cast<std::uint32_t>(dataSize + 36));
    storeTag(8, "WAVE");
    storeTag(12, "fmt ");
    storeLittle32(&header[16], 16);                // format chunk size
    storeLittle16(&header[20], 1);                 // PCM
    storeLittle16(&header[22], 1);                 // channels
    storeLittle32(&header[24], kSampleRate);       // samples per second
    storeLittle32(&header[28], 2 * kSampleRate);   // bytes per second
    storeLittle16(&header[32], 2);                 // block alignment
    storeLittle16(&header[kWaveBitsPerSampleOffset], 16);
    storeTag(36, "data");
    storeLittle32(&header[kWaveDataSizeOffset], static_cast<std::uint32_t>(dataSize));
    return header;
}

}  // namespace zarn
