// Packing and unpacking frames, per frame, for each program's frames
// (zarnbasic's carry every bin at 15 bits): the writer appends to /dev/null,
// the reader reads a Zarn file of several thousand frames through the file
// system, as the programs do.

#include <optional>

#include "bench/FrameCorpus.h"
#include "stream/ZarnReader.h"
#include "stream/ZarnWriter.h"

namespace zarn::bench {
namespace {

void FrameWriter(benchmark::State& state, Program program) {
    const auto& frames = encoderFrames(program);
    ZarnWriter writer("/dev/null");
    std::size_t next = 0;
    for (auto _ : state) {
        const EncoderFrame& f = frames[next];
        writer.writeFrame(f.allocation, f.scale, f.scaled.re.data(), f.scaled.im.data());
        if (++next == frames.size()) next = 0;
    }
    writer.close();
    countFrames(state);
}
BENCHMARK_CAPTURE(FrameWriter, zarnconv, Program::full);
BENCHMARK_CAPTURE(FrameWriter, zarnbasic, Program::reduced);

void FrameReader(benchmark::State& state, Program program) {
    const char* path = zarnFile(program).c_str();
    std::optional<ZarnReader> reader;
    reader.emplace(path);
    Spectrum out;
    ScaleExponents scale;
    for (auto _ : state) {
        if (!reader->readFrame(scale, out.re.data(), out.im.data())) {
            // Once every few thousand frames: start the file again.
            state.PauseTiming();
            reader.reset();
            reader.emplace(path);
            state.ResumeTiming();
            reader->readFrame(scale, out.re.data(), out.im.data());
        }
        keep(&out);
    }
    countFrames(state);
}
BENCHMARK_CAPTURE(FrameReader, zarnconv, Program::full);
BENCHMARK_CAPTURE(FrameReader, zarnbasic, Program::reduced);

}  // namespace
}  // namespace zarn::bench
