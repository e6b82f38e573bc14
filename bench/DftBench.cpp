// The direct transforms of zarnbasic, per frame, on the same inputs as the
// fast ones: windowed blocks, and full spectra read from a 15-bit Zarn file.

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "reduced/Dft.h"

namespace zarn::bench {
namespace {

constexpr auto kLength = static_cast<std::int16_t>(kBlockLength);

void DftForward(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::reduced);
    const Dft dft;
    // Work buffers 64-byte aligned: one 8 bytes off a 16-byte boundary makes
    // vector accesses straddle cache lines, which doubled the window's time.
    alignas(64) std::array<double, kCodedBins> re{};  // all the encoder gives it
    alignas(64) std::array<double, kCodedBins> im{};
    std::size_t next = 0;
    for (auto _ : state) {
        dft.forward(frames[next].windowed.data(), re.data(), im.data(), kLength);
        keep(re.data());
        keep(im.data());
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
[[maybe_unused]] const bool forwardRegistered = onEveryVectorPath("DftForward", DftForward, benchmark::kMicrosecond);

void DftInverse(benchmark::State& state) {
    const auto& frames = decoderFrames(Program::reduced);
    const Dft dft;
    alignas(64) Block y;
    std::size_t next = 0;
    for (auto _ : state) {
        dft.inverse(frames[next].full.re.data(), frames[next].full.im.data(), y.data(), kLength);
        keep(&y);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
[[maybe_unused]] const bool inverseRegistered = onEveryVectorPath("DftInverse", DftInverse, benchmark::kMicrosecond);

}  // namespace
}  // namespace zarn::bench
