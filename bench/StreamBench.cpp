// Storing, packing and unpacking frames in memory, per frame, for each
// program's frames (zarnbasic's carry every bin at 15 bits): storeComponents
// on the scaled spectrum under the frame's allocation, packFrame on what the
// frame encoder stored, unpackFrame on those frames' bytes, and the reader on
// the whole stream of the signal.

#include <array>
#include <vector>

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "encoder/StoredComponents.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "stream/FrameReader.h"

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

// Rounds and masks; the rounding is dispatched, so once per vector path.
void StoreComponents(benchmark::State& state, Program program) {
    const auto& frames = encoderFrames(program);
    EncodedFrame work;
    std::size_t next = 0;
    for (auto _ : state) {
        work.allocation = frames[next].stored.allocation;
        storeComponents(frames[next].scaled.re.data(), frames[next].scaled.im.data(), work);
        keep(&work);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
void StoreComponentsFull(benchmark::State& state) { StoreComponents(state, Program::full); }
void StoreComponentsReduced(benchmark::State& state) { StoreComponents(state, Program::reduced); }
[[maybe_unused]] const bool storeFullRegistered = onEveryVectorPath("StoreComponents/zarnconv", StoreComponentsFull);
[[maybe_unused]] const bool storeReducedRegistered =
    onEveryVectorPath("StoreComponents/zarnbasic", StoreComponentsReduced);

// unpackFrame alone, on the packed corpus frames, without the reader's
// buffering around it.
void FrameUnpacker(benchmark::State& state, Program program) {
    const auto& frames = encoderFrames(program);
    std::vector<std::array<std::uint8_t, kMaxFrameBytes>> packed(frames.size());
    std::vector<std::size_t> sizes(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) sizes[i] = packFrame(frames[i].stored, packed[i].data());
    EncodedFrame frame;
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(unpackFrame(packed[next].data(), sizes[next], frame));
        keep(&frame);
        if (++next == frames.size()) next = 0;
    }
    countFrames(state);
}
BENCHMARK_CAPTURE(FrameUnpacker, zarnconv, Program::full);
BENCHMARK_CAPTURE(FrameUnpacker, zarnbasic, Program::reduced);

void FrameReader(benchmark::State& state, Program program) {
    StreamFrames frames(program);
    for (auto _ : state) keep(&frames.next(state));
    countFrames(state);
}
BENCHMARK_CAPTURE(FrameReader, zarnconv, Program::full);
BENCHMARK_CAPTURE(FrameReader, zarnbasic, Program::reduced);

}  // namespace
}  // namespace zarn::bench
