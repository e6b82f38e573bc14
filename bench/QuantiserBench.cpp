// Scaling per band, per frame, for each program's frames: quantise on what the
// encoder's removal steps left (everything, in zarnbasic), in place on a fresh
// copy (CopySpectrum measures that copy alone); dequantise on frames as the
// reader returns them.

#include <vector>

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "common/EncodedFrame.h"
#include "decoder/Dequantise.h"
#include "encoder/Quantiser.h"

namespace zarn::bench {
namespace {

void Quantise(benchmark::State& state, Program program) {
    const auto& frames = encoderFrames(program);
    const Quantiser quantiser;
    // Work buffers 64-byte aligned: one 8 bytes off a 16-byte boundary makes
    // vector accesses straddle cache lines, which doubled the window's time.
    alignas(64) Spectrum work;
    ScaleExponents scale;
    std::size_t next = 0;
    for (auto _ : state) {
        copyCodedBins(frames[next].masked, work);
        quantiser.quantise(work.re.data(), work.im.data(), scale);
        keep(&work);
        keep(&scale);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
// Dispatched, so once per vector path.
void QuantiseFull(benchmark::State& state) { Quantise(state, Program::full); }
void QuantiseReduced(benchmark::State& state) { Quantise(state, Program::reduced); }
[[maybe_unused]] const bool quantiseFullRegistered = onEveryVectorPath("Quantise/zarnconv", QuantiseFull);
[[maybe_unused]] const bool quantiseReducedRegistered = onEveryVectorPath("Quantise/zarnbasic", QuantiseReduced);

// The stored 16-bit components to scaled doubles in one pass.
void Dequantise(benchmark::State& state, Program program) {
    const auto& frames = decoderFrames(program);
    alignas(64) Spectrum work;
    std::size_t next = 0;
    for (auto _ : state) {
        dequantise(frames[next].stored, work.re.data(), work.im.data());
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK_CAPTURE(Dequantise, zarnconv, Program::full);
BENCHMARK_CAPTURE(Dequantise, zarnbasic, Program::reduced);

BENCHMARK(copySpectrumBaseline)->Name("CopySpectrum");

}  // namespace
}  // namespace zarn::bench
