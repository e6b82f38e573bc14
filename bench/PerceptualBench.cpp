// zarnconv's perceptual steps, per frame, each on what the step before left:
// the threshold in quiet on the transform's output, masking on what the
// threshold kept, and the bit allocation on the quantised spectrum. The first
// two work in place on a fresh copy; CopySpectrum measures that copy alone.

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "encoder/BitAllocator.h"
#include "encoder/MaskingModel.h"
#include "encoder/QuietThreshold.h"

namespace zarn::bench {
namespace {

void QuietThresholdApply(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    const QuietThreshold quiet;
    // Work buffers 64-byte aligned: one 8 bytes off a 16-byte boundary makes
    // vector accesses straddle cache lines, which doubled the window's time.
    alignas(64) Spectrum work;
    std::size_t next = 0;
    for (auto _ : state) {
        copyCodedBins(frames[next].transformed, work);
        quiet.apply(work.re.data(), work.im.data());
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
[[maybe_unused]] const bool quietRegistered = onEveryVectorPath("QuietThreshold", QuietThresholdApply);

void Masking(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    MaskingModel masking(1.0);
    alignas(64) Spectrum work;
    std::size_t next = 0;
    for (auto _ : state) {
        copyCodedBins(frames[next].audible, work);
        masking.apply(work.re.data(), work.im.data());
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
[[maybe_unused]] const bool maskingRegistered = onEveryVectorPath("Masking", Masking);

void Allocation(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::full);
    const BitAllocator allocator;
    BitAllocation allocation;
    std::size_t next = 0;
    for (auto _ : state) {
        allocator.allocate(allocation, frames[next].scaled.re.data(), frames[next].scaled.im.data());
        keep(&allocation);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK(Allocation);

BENCHMARK(copySpectrumBaseline)->Name("CopySpectrum");

}  // namespace
}  // namespace zarn::bench
