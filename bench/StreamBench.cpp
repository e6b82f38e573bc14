// Packing and unpacking frames in memory, per frame, for each program's frames
// (zarnbasic's carry every bin at 15 bits): packFrame on what the frame
// encoder stored, and the reader on the whole stream of the signal.

#include <array>

#include "bench/FrameCorpus.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "stream/ZarnReader.h"

namespace zarn::bench {
namespace {

void FramePacker(benchmark::State& state, Program program) {
    const auto& frames = encoderFrames(program);
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(packFrame(frames[next].stored, bytes.data()));
        keep(bytes.data());
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK_CAPTURE(FramePacker, zarnconv, Program::full);
BENCHMARK_CAPTURE(FramePacker, zarnbasic, Program::reduced);

void FrameReader(benchmark::State& state, Program program) {
    StreamFrames frames(program);
    for (auto _ : state) keep(&frames.next(state));
    countFrames(state);
}
BENCHMARK_CAPTURE(FrameReader, zarnconv, Program::full);
BENCHMARK_CAPTURE(FrameReader, zarnbasic, Program::reduced);

}  // namespace
}  // namespace zarn::bench
