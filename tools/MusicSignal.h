#pragma once

#include <cstdint>
#include <vector>

namespace zarn {

// A music-like test signal, 44100 samples per second: a few harmonic tones
// with note envelopes over a soft noise floor, deterministic for a seed.
std::vector<std::int16_t> makeMusicSignal(std::size_t sampleCount, std::uint32_t seed = 1);

// The bytes of a mono, 16-bit, 44100 Hz WAVE file holding `samples`.
std::vector<std::uint8_t> makeWaveFile(const std::vector<std::int16_t>& samples);

}  // namespace zarn
