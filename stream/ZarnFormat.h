#pragma once
// The Zarn frame layout, shared by its writer, its reader and anything that
// measures frames: field widths, which components a frame stores, and how
// many bits a frame takes.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/BandTable.h"
#include "common/Types.h"

namespace zarn {

constexpr std::uint16_t kFrameTag = 0xFFF;
constexpr int kFrameTagBits = 12;
constexpr int kSideFieldBits = 4;  // each allocation and scale entry
constexpr std::uint32_t kFrameHeaderBits = kFrameTagBits + 2 * kBandCount * kSideFieldBits;

// A band's bits g and exponent e, each a 4-bit side field.
constexpr int kMaxBits = 15;
constexpr int kMaxExponent = 15;
// A word: a stored component is read as the top g + 1 bits of one, which
// makes it f·2^(15 − g), and a frame is padded to whole words.
constexpr int kWordBits = 16;
static_assert(kMaxBits < (1 << kSideFieldBits) && kMaxExponent < (1 << kSideFieldBits), "4-bit side fields");
static_assert(kMaxBits + 1 == kWordBits, "a band's field fills a word at most");

// 2^k for |k| ≤ kMaxBits + kMaxExponent: every step 2^(15 − g − e) a band
// can have, its inverse, and the shift of its fields. Each halving and
// doubling is exact.
struct PowersOfTwo {
    static constexpr int kReach = kMaxBits + kMaxExponent;
    std::array<double, 2 * kReach + 1> values{};
    constexpr PowersOfTwo() {
        values[kReach] = 1.0;
        for (int k = 1; k <= kReach; ++k) {
            values[kReach + k] = values[kReach + k - 1] * 2.0;
            values[kReach - k] = values[kReach - k + 1] * 0.5;
        }
    }
    constexpr double operator()(int k) const { return values[static_cast<std::size_t>(kReach + k)]; }
};
inline constexpr PowersOfTwo kPowerOfTwo{};

// The imaginary part of DC and Nyquist is zero for a real signal and not stored.
constexpr bool storesImaginary(std::size_t bin) { return bin > 0 && bin < kNyquistBin; }

// Components a band stores when it has bits: one real per bin, one imaginary
// per bin but DC and Nyquist.
constexpr std::uint32_t storedComponents(std::size_t band) {
    std::uint32_t count = 0;
    for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) count += storesImaginary(bin) ? 2 : 1;
    return count;
}

// storedComponents of every band, looked up rather than counted afresh.
inline constexpr std::array<std::uint16_t, kBandCount> kStoredComponents = [] {
    std::array<std::uint16_t, kBandCount> counts{};
    for (std::size_t band = 0; band < kBandCount; ++band) counts[band] = static_cast<std::uint16_t>(storedComponents(band));
    return counts;
}();

// A frame's header and fields in bits, before its padding: a band with
// g > 0 bits stores each component in g + 1 bits.
constexpr std::uint32_t unpaddedFrameBits(const BitAllocation& allocation) {
    std::uint32_t bits = kFrameHeaderBits;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        if (allocation[band] > 0) bits += (allocation[band] + 1u) * kStoredComponents[band];
    }
    return bits;
}

// A frame's length in bits, padding included: the frame is padded with 1 to
// 16 zero bits to the next word, a whole word when it already ends on one.
constexpr std::uint32_t frameBits(const BitAllocation& allocation) {
    const std::uint32_t bits = unpaddedFrameBits(allocation);
    return bits + (kWordBits - bits % kWordBits);
}

constexpr std::size_t frameBytes(const BitAllocation& allocation) { return frameBits(allocation) / 8; }

constexpr BitAllocation uniformAllocation(std::uint8_t bits) {
    BitAllocation allocation{};
    for (std::uint8_t& entry : allocation) entry = bits;
    return allocation;
}

// The largest frame, every band at 15 bits; every frame fits a buffer this size.
constexpr std::size_t kMaxFrameBytes = frameBytes(uniformAllocation(kMaxBits));
// The smallest frame: the header and its padding.
constexpr std::size_t kMinFrameBytes = frameBytes(uniformAllocation(0));

static_assert(kFrameHeaderBits == 212, "tag, 25 allocations and 25 scales");
static_assert(kMaxFrameBytes == 1052, "16 × 512 component bits, 212 header bits, 12 padding bits");
static_assert(kMinFrameBytes == 28, "the header and 12 bits of padding");

}  // namespace zarn
