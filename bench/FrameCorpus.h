#pragma once
// Inputs for the kernel benchmarks: frames of the music-like signal taken at
// every step of the two programs' frame encoders and decoders, exactly as
// each kernel meets them there.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "stream/FrameReader.h"

namespace zarn::bench {

// A spectrum as the transforms lay it out: bins 0..511, of which the encoder's
// steps read and write 0..256.
struct Spectrum {
    SpectrumPart re{};
    SpectrumPart im{};
};

// One frame of the full encoder, before and after each step.
struct EncoderFrame {
    Block raw{};            // 512 samples as read: the window's input
    Block windowed{};       // the forward transform's input
    Spectrum transformed;   // forward transform output: the threshold's input
    Spectrum audible;       // after the threshold in quiet: the masking model's input
    Spectrum masked;        // after masking: the quantiser's input
    Spectrum scaled;        // after quantising: the allocator's input
    EncodedFrame stored;    // the frame as the writer packs it
};

// One frame of the decoder, as read from a Zarn file and after each step.
struct DecoderFrame {
    EncodedFrame stored;    // as the reader leaves it: the dequantiser's input
    Spectrum full;          // dequantised and mirrored: the inverse transform's input
    Block inverse{};        // inverse transform output: the overlap-add's input
};

// Which program's frames: zarnconv's keep what the perceptual steps leave and
// measure their bits; zarnbasic's keep every bin at 15 bits.
enum class Program { full, reduced };

// A few dozen frames spread over a few seconds of music (attacks, decays and
// every chord), few enough that one step's inputs stay in the second-level
// cache, as a frame's do in the programs.
const std::vector<EncoderFrame>& encoderFrames(Program program);
const std::vector<DecoderFrame>& decoderFrames(Program program);

// The Zarn stream of the whole signal, several thousand consecutive frames,
// and the signal itself.
const std::vector<std::uint8_t>& zarnStream(Program program);
const std::vector<Sample>& signal();

// The frames of zarnStream(program), read one per call by the system's own
// reader in memory; at the end of the stream it starts again, untimed.
class StreamFrames {
public:
    explicit StreamFrames(Program program);
    const EncodedFrame& next(benchmark::State& state);

private:
    const std::vector<std::uint8_t>& stream_;
    std::optional<FrameReader> reader_;
    EncodedFrame frame_;
};

// Copies bins 0..256, all that the in-place spectral kernels touch.
inline void copyCodedBins(const Spectrum& from, Spectrum& to) {
    std::copy_n(from.re.begin(), kCodedBins, to.re.begin());
    std::copy_n(from.im.begin(), kCodedBins, to.im.begin());
}

// Makes the compiler assume that `data` was read and may have changed, so a
// kernel whose result nobody uses is still run in full.
inline void keep(const void* data) {
    benchmark::DoNotOptimize(data);
    benchmark::ClobberMemory();
}

// Frames per second, and audio seconds handled per CPU second (× real time,
// shown as audio_s=…/s); each benchmark iteration handles
// `framesPerIteration` frames, so batched and single figures compare.
void countFrames(benchmark::State& state, std::size_t framesPerIteration = 1);

// The cost of copying one input into a work buffer, which the in-place kernels
// pay in every iteration: subtract it from theirs.
inline void copySpectrumBaseline(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    Spectrum work;
    std::size_t next = 0;
    for (auto _ : state) {
        copyCodedBins(frames[next].transformed, work);
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}

inline void copyBlockBaseline(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    Block work;
    std::size_t next = 0;
    for (auto _ : state) {
        work = frames[next].raw;
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}

}  // namespace zarn::bench
