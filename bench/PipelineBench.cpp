// Each program's per-frame cores as a whole, in memory: a hop of samples to
// the packed frame, and the packed frame back to a hop of samples. The sum of
// the kernels' figures, less what the frame loop itself costs. The Batches
// variants hand the cores as many frames at once as the programs do, count
// per frame, and run on every vector path.

#include <array>

#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "rate/RateEncoder.h"
#include "reduced/ReducedAnalysis.h"
#include "reduced/ReducedSynthesis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace zarn::bench {
namespace {

template <class Analysis>
void EncodeFrames(benchmark::State& state) {
    const std::vector<Sample>& samples = signal();
    const std::size_t hops = samples.size() / kHop;
    FrameEncoder<Analysis> core;
    EncodedFrame frame;
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    std::size_t next = 0;
    for (auto _ : state) {
        core.encode(samples.data() + next * kHop, frame);
        benchmark::DoNotOptimize(packFrame(frame, bytes.data()));
        keep(bytes.data());
        if (++next == hops) next = 0;
    }
    countFrames(state);
}
BENCHMARK_TEMPLATE(EncodeFrames, FullAnalysis)->Name("EncodeFrames/zarnconv");
BENCHMARK_TEMPLATE(EncodeFrames, ReducedAnalysis)->Name("EncodeFrames/zarnbasic");

template <class Analysis>
void EncodeBatches(benchmark::State& state) {
    constexpr std::size_t kBatch = FrameEncoder<Analysis>::kBatch;
    const std::vector<Sample>& samples = signal();
    const std::size_t batches = samples.size() / (kBatch * kHop);
    FrameEncoder<Analysis> core;
    std::array<EncodedFrame, kBatch> frames;
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    std::size_t next = 0;
    for (auto _ : state) {
        core.encodeBatch(samples.data() + next * kBatch * kHop, kBatch, frames.data());
        for (const EncodedFrame& frame : frames) {
            benchmark::DoNotOptimize(packFrame(frame, bytes.data()));
            keep(bytes.data());
        }
        if (++next == batches) next = 0;
    }
    countFrames(state, kBatch);
}
[[maybe_unused]] const bool encodeBatchesRegistered =
    onEveryVectorPath("EncodeBatches/zarnconv", EncodeBatches<FullAnalysis>) &&
    onEveryVectorPath("EncodeBatches/zarnbasic", EncodeBatches<ReducedAnalysis>, benchmark::kMicrosecond);

// The rate encoder at a bit rate (the argument), a frame at a time as it
// must: its frames depend on the ones before. 1,000 x real time is 5.8 us
// a frame for the whole program.
void EncodeAtBitrate(benchmark::State& state) {
    const std::vector<Sample>& samples = signal();
    const std::size_t hops = samples.size() / kHop;
    RateEncoder core(static_cast<unsigned>(state.range(0)));
    UnwatchedEncoding nobody;
    EncodedFrame frame;
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    std::size_t next = 0;
    for (auto _ : state) {
        core.encodeBatch(samples.data() + next * kHop, 1, &frame, nobody, false);
        benchmark::DoNotOptimize(packFrame(frame, bytes.data()));
        keep(bytes.data());
        if (++next == hops) next = 0;
    }
    countFrames(state);
}
BENCHMARK(EncodeAtBitrate)->Name("EncodeFrames/bitrate")->Arg(64)->Arg(128)->Arg(192)->Arg(256)->Arg(320);

template <class Synthesis, Program program>
void DecodeFrames(benchmark::State& state) {
    StreamFrames frames(program);
    FrameDecoder<Synthesis> core;
    std::array<Sample, kHop> hop{};
    for (auto _ : state) {
        core.decode(frames.next(state), hop.data());
        keep(hop.data());
    }
    countFrames(state);
}
BENCHMARK_TEMPLATE(DecodeFrames, FullSynthesis, Program::full)->Name("DecodeFrames/zarnconv");
BENCHMARK_TEMPLATE(DecodeFrames, ReducedSynthesis, Program::reduced)->Name("DecodeFrames/zarnbasic");

template <class Synthesis, Program program>
void DecodeBatches(benchmark::State& state) {
    constexpr std::size_t kBatch = FrameDecoder<Synthesis>::kBatch;
    StreamFrames stream(program);
    FrameDecoder<Synthesis> core;
    std::array<EncodedFrame, kBatch> frames;
    std::array<Sample, kBatch * kHop> hops{};
    for (auto _ : state) {
        for (EncodedFrame& frame : frames) frame = stream.next(state);
        core.decodeBatch(frames.data(), kBatch, hops.data());
        keep(hops.data());
    }
    countFrames(state, kBatch);
}
[[maybe_unused]] const bool decodeBatchesRegistered =
    onEveryVectorPath("DecodeBatches/zarnconv", DecodeBatches<FullSynthesis, Program::full>) &&
    onEveryVectorPath("DecodeBatches/zarnbasic", DecodeBatches<ReducedSynthesis, Program::reduced>,
                      benchmark::kMicrosecond);

}  // namespace
}  // namespace zarn::bench
