// The fast transforms of zarnconv, per frame: the forward one on windowed
// blocks, the inverse on dequantised, mirrored spectra read from a Zarn file.
// Beside them RealFft, which the rate encoder runs on the same inputs; its
// inverse reads bins 0..256 alone and needs no mirror(), so it compares with
// FftMirror and FftInverse together.

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "dsp/RealFft.h"

namespace zarn::bench {
namespace {

// Either transform's forward and inverse, on the same frames.
template <class Transform>
void Forward(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    const Transform fft(kBlockLength);
    // Work buffers 64-byte aligned: one 8 bytes off a 16-byte boundary makes
    // vector accesses straddle cache lines, which doubled the window's time.
    alignas(64) Spectrum out;
    std::size_t next = 0;
    for (auto _ : state) {
        fft.forward(frames[next].windowed.data(), out.re.data(), out.im.data());
        keep(&out);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}

template <class Transform>
void Inverse(benchmark::State& state) {
    const auto& frames = decoderFrames(Program::full);
    const Transform fft(kBlockLength);
    alignas(64) Block y;
    std::size_t next = 0;
    for (auto _ : state) {
        fft.inverse(frames[next].full.re.data(), frames[next].full.im.data(), y.data());
        keep(&y);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}

void FftMirror(benchmark::State& state) {
    // Mirroring only rewrites bins 257..511 from 1..255, so repeating it on
    // the same spectrum needs no fresh copy.
    auto frames = decoderFrames(Program::full);
    std::size_t next = 0;
    for (auto _ : state) {
        Spectrum& s = frames[next].full;
        mirror(s.re.data(), s.im.data());
        keep(&s);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK(FftMirror);

[[maybe_unused]] const bool registered =
    onEveryVectorPath("FftForward", Forward<Fft>) && onEveryVectorPath("FftInverse", Inverse<Fft>) &&
    onEveryVectorPath("RealFftForward", Forward<RealFft>) && onEveryVectorPath("RealFftInverse", Inverse<RealFft>);

}  // namespace
}  // namespace zarn::bench
