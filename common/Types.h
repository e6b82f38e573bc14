#pragma once
// The shared vocabulary of the codec: sample and block sizes, the band layout
// and the two per-frame side tables.

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarn {

// A signed 16-bit PCM value; widened to double without scaling for processing.
using Sample = std::int16_t;

// Samples per second of every signal the codec reads and writes.
constexpr std::uint32_t kSampleRate = 44100;

constexpr std::size_t kBlockLength = 512;  // samples per Block and bins per full Spectrum
constexpr std::size_t kHop = 256;          // new samples per frame; half a Block
constexpr std::size_t kCodedBins = 257;    // bins 0..256: DC up to and including Nyquist
constexpr std::size_t kNyquistBin = 256;
constexpr std::size_t kBandCount = 25;

// The width of one bin of a Block's spectrum.
constexpr double kHzPerBin = kSampleRate / static_cast<double>(kBlockLength);

// 2π as the codec defines it; every angle is formed from this double.
constexpr double kTwoPi = 6.283185307179586;

using Block = std::array<double, kBlockLength>;
using HalfBlock = std::array<double, kHop>;

// One part (real or imaginary) of a Spectrum: bins 0..511, of which the
// encoder fills 0..256 and the decoder mirrors the rest.
using SpectrumPart = std::array<double, kBlockLength>;

// Bits per band, 0..15; a band with g > 0 stores each component in g + 1 bits.
using BitAllocation = std::array<std::uint8_t, kBandCount>;
// Power-of-two exponent per band, 0..15, by which the quantiser scaled it.
using ScaleExponents = std::array<std::uint8_t, kBandCount>;

// The 25 critical bands as widths in bins, walked from bin 0 upwards; they
// cover bins 0..256 exactly once.
constexpr std::array<std::uint8_t, kBandCount> kBandWidths = {
    2, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 4, 5, 5, 6, 9, 10, 13, 15, 21, 29, 40, 77};

}  // namespace zarn
