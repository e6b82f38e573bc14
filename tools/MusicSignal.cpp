#include "tools/MusicSignal.h"

#include <cmath>
#include <cstring>
#include <random>

#include "common/Types.h"
#include "wave/WaveHeader.h"

namespace zarn {

std::vector<std::int16_t> makeMusicSignal(std::size_t sampleCount, std::uint32_t seed) {
    constexpr double kPi = 3.14159265358979323846;
    // A short progression of chords; each note is a tone with three overtones.
    static const double kChords[][3] = {
        {220.00, 277.18, 329.63}, {246.94, 293.66, 369.99},
        {196.00, 246.94, 293.66}, {261.63, 329.63, 392.00}};
    constexpr double kNoteSeconds = 0.5;
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 120.0);

    std::vector<std::int16_t> samples(sampleCount);
    for (std::size_t i = 0; i < sampleCount; ++i) {
        const double t = i / static_cast<double>(kSampleRate);
        const auto note = static_cast<std::size_t>(t / kNoteSeconds);
        const double inNote = t - note * kNoteSeconds;
        // Fast attack, exponential decay: every note starts with a transient.
        const double envelope = std::min(1.0, inNote * 200.0) * std::exp(-3.0 * inNote);
        double value = 0.0;
        for (double frequency : kChords[note % 4]) {
            for (int harmonic = 1; harmonic <= 4; ++harmonic) {
                value += std::sin(2 * kPi * frequency * harmonic * t) / (harmonic * harmonic);
            }
        }
        value = 3500.0 * envelope * value + noise(random);
        value = std::max(-32768.0, std::min(32767.0, std::round(value)));
        samples[i] = static_cast<std::int16_t>(value);
    }
    return samples;
}

std::vector<std::uint8_t> makeWaveFile(const std::vector<std::int16_t>& samples) {
    const WaveHeader header = waveHeader(2 * samples.size());
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    bytes.resize(header.size() + 2 * samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        storeLittle16(&bytes[header.size() + 2 * i], static_cast<std::uint16_t>(samples[i]));
    }
    return bytes;
}

}  // namespace zarn
