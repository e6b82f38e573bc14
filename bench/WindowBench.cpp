// The encoder's framing and window, and the decoder's overlap-add, per frame.
// The overlap-add works in place, so each iteration starts from a fresh copy
// of its input; CopyBlock measures that copy alone.

#include "bench/FrameCorpus.h"
#include "dsp/FrameWindow.h"

namespace zarn::bench {
namespace {

void FrameWindowed(benchmark::State& state) {
    const std::vector<Sample>& samples = signal();
    const std::size_t hops = samples.size() / kHop;
    const FrameWindow window;
    alignas(64) HalfBlock previous{};
    alignas(64) Block work;
    std::size_t next = 0;
    for (auto _ : state) {
        window.frameWindowed(previous.data(), samples.data() + next * kHop, work.data());
        keep(&work);
        if (++next == hops) next = 0;
    }
    countFrames(state);
}
BENCHMARK(FrameWindowed);

void OverlapAdd(benchmark::State& state) {
    const auto& frames = decoderFrames(Program::full);
    FrameWindow window;
    alignas(64) Block work;
    std::size_t next = 0;
    for (auto _ : state) {
        work = frames[next].inverse;
        window.overlapAdd(work.data(), static_cast<std::uint32_t>(kBlockLength));
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK(OverlapAdd);

BENCHMARK(copyBlockBaseline)->Name("CopyBlock");

}  // namespace
}  // namespace zarn::bench
