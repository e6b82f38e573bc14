// Any bytes as a Zarn stream, through the reader and either program's frame
// decoder, in memory. The first byte chooses: its lowest bit the program
// (zarnconv's synthesis or zarnbasic's), the rest how many frames are read
// and decoded at a time (1 up to the program's batch). Every input must end
// in decoded samples or in one of the system's own failures, a bad frame
// after good ones included, without a sanitizer report.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "fuzz/FuzzSupport.h"
#include "reduced/ReducedSynthesis.h"
#include "stream/FrameReader.h"

namespace {

template <class Synthesis>
void decodeAll(zarn::FrameReader& reader, unsigned choice) {
    using namespace zarn;
    constexpr std::size_t kBatch = FrameDecoder<Synthesis>::kBatch;
    FrameDecoder<Synthesis> core;
    std::array<EncodedFrame, kBatch> frames;
    std::array<Sample, kBatch * kHop> hops{};
    while (const std::size_t count = reader.readFrames(frames.data(), 1 + choice % kBatch)) {
        core.decodeBatch(frames.data(), count, hops.data());
    }
    core.finish(hops.data());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zarn::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zarn;
    if (size == 0) return 0;
    try {
        FrameReader reader(data + 1, size - 1);
        if (data[0] & 1) {
            decodeAll<ReducedSynthesis>(reader, data[0] >> 1);
        } else {
            decodeAll<FullSynthesis>(reader, data[0] >> 1);
        }
    } catch (const fuzz::Stopped&) {
    }
    return 0;
}
