#pragma once
// Constants of the Zarn frame layout shared by its writer and reader.

#include <cstdint>

namespace zarn {

constexpr std::uint16_t kFrameTag = 0xFFF;
constexpr int kFrameTagBits = 12;
constexpr int kSideFieldBits = 4;         // each allocation and scale entry
constexpr std::int32_t kFrameHeaderBits = 212;  // tag, 25 allocations, 25 scales

// The imaginary part of DC and Nyquist is zero for a real signal and not stored.
inline bool storesImaginary(std::size_t bin) { return bin > 0 && bin < 256; }

}  // namespace zarn
