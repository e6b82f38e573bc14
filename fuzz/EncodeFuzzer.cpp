// Any bytes as a WAVE file, through the reader and either program's frame
// encoder, in memory. The first byte chooses: its lowest bit the program
// (zarnconv's analysis with its perceptual steps, or zarnbasic's), the rest
// how many hops are encoded at a time (1 up to the program's batch). Every
// input must end in frames or in one of the system's own failures, without a
// sanitizer report; and every frame must unpack to exactly what was packed.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/EncodedFrame.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "fuzz/FuzzSupport.h"
#include "reduced/ReducedAnalysis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "wave/WaveReader.h"

namespace {

template <class Analysis>
void encodeAll(zarn::WaveReader& reader, unsigned choice) {
    using namespace zarn;
    constexpr std::size_t kBatch = FrameEncoder<Analysis>::kBatch;
    const std::size_t batch = 1 + choice % kBatch;
    FrameEncoder<Analysis> core;
    std::array<Sample, kBatch * kHop> hops{};
    std::array<EncodedFrame, kBatch> frames;
    EncodedFrame unpacked;
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    const std::uint64_t frameCount = FrameEncoder<Analysis>::frameCount(reader.sampleCount());
    for (std::uint64_t done = 0; done < frameCount;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(batch, frameCount - done));
        reader.readSamples(hops.data(), count * kHop);
        core.encodeBatch(hops.data(), count, frames.data());
        for (std::size_t f = 0; f < count; ++f) {
            const std::size_t length = packFrame(frames[f], bytes.data());
            const Unpacked result = unpackFrame(bytes.data(), length, unpacked);
            if (length != frameBytes(frames[f].allocation) || result.outcome != Unpacked::Outcome::frame ||
                result.bytes != length || unpacked != frames[f]) {
                std::abort();
            }
        }
        done += count;
    }
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
        WaveReader reader(data + 1, size - 1);
        if (data[0] & 1) {
            encodeAll<ReducedAnalysis>(reader, data[0] >> 1);
        } else {
            encodeAll<FullAnalysis>(reader, data[0] >> 1);
        }
    } catch (const fuzz::Stopped&) {
    }
    return 0;
}
