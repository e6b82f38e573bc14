// The direct transforms of zarnbasic, per frame, on the same inputs as the
// fast ones: windowed blocks, and full spectra read from a 15-bit Zarn file.

#include "bench/DftSweeps.h"
#include "bench/FrameCorpus.h"
#include "bench/VectorPaths.h"
#include "reduced/Dft.h"

namespace zarn::bench {
namespace {

constexpr auto kLength = static_cast<std::int16_t>(kBlockLength);

void DftForward(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::reduced);
    Dft dft;
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
    Dft dft;
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

// A whole batch per call, as the programs hand it over; frames per second and
// audio seconds count each frame of it.
void DftForwardBatch(benchmark::State& state) {
    const auto& frames = encoderFrames(Program::reduced);
    Dft dft;
    alignas(64) std::array<std::array<double, kCodedBins>, Dft::kBatch> re{}, im{};
    const double* x[Dft::kBatch];
    double* outRe[Dft::kBatch];
    double* outIm[Dft::kBatch];
    std::size_t next = 0;
    for (auto _ : state) {
        for (std::size_t f = 0; f < Dft::kBatch; ++f) {
            x[f] = frames[next].windowed.data();
            outRe[f] = re[f].data();
            outIm[f] = im[f].data();
            if (++next == frames.size()) next = 0;
        }
        dft.forward(x, outRe, outIm, Dft::kBatch);
        keep(re.data());
        keep(im.data());
    }
    countFrames(state, Dft::kBatch);
}
[[maybe_unused]] const bool forwardBatchRegistered =
    onEveryVectorPath("DftForwardBatch", DftForwardBatch, benchmark::kMicrosecond);

void DftInverseBatch(benchmark::State& state) {
    const auto& frames = decoderFrames(Program::reduced);
    Dft dft;
    alignas(64) std::array<Block, Dft::kBatch> y;
    const double* re[Dft::kBatch];
    const double* im[Dft::kBatch];
    double* out[Dft::kBatch];
    std::size_t next = 0;
    for (auto _ : state) {
        for (std::size_t f = 0; f < Dft::kBatch; ++f) {
            re[f] = frames[next].full.re.data();
            im[f] = frames[next].full.im.data();
            out[f] = y[f].data();
            if (++next == frames.size()) next = 0;
        }
        dft.inverse(re, im, out, Dft::kBatch);
        keep(y.data());
    }
    countFrames(state, Dft::kBatch);
}
[[maybe_unused]] const bool inverseBatchRegistered =
    onEveryVectorPath("DftInverseBatch", DftInverseBatch, benchmark::kMicrosecond);
[[maybe_unused]] const bool sweepsReported = reportDftInverseSweeps();

// The batch inverse on the widest path under each tuning, named
// DftInverseTuned/tuning, to weigh one maker's sweeps on another's cores;
// throughput.sh leaves these out and times what the programs run.
[[maybe_unused]] const bool tunedRegistered = [] {
    for (Tuning tuning : kTunings) {
        benchmark::RegisterBenchmark((std::string("DftInverseTuned/") + tuningName(tuning)).c_str(),
                                     [tuning](benchmark::State& state) {
                                         useTuning(tuning);
                                         DftInverseBatch(state);
                                         useTuning(detectedTuning());
                                     })
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
}  // namespace zarn::bench
