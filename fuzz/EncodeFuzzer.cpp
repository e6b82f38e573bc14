// Any bytes as a WAVE file, through the reader and the full frame encoder with
// its perceptual steps, in memory. Every input must end in frames or in one of
// the system's own failures, without a sanitizer report; and every frame must
// unpack to exactly what was packed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/EncodedFrame.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "fuzz/FuzzSupport.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "wave/WaveReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zarn::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zarn;
    try {
        WaveReader reader(data, size);
        FrameEncoder<FullAnalysis> core;
        std::array<Sample, kHop> hop{};
        EncodedFrame frame, unpacked;
        std::array<std::uint8_t, kMaxFrameBytes> bytes{};
        const std::uint64_t frames = FrameEncoder<FullAnalysis>::frameCount(reader.sampleCount());
        for (std::uint64_t f = 0; f < frames; ++f) {
            reader.readSamples(hop.data(), kHop);
            core.encode(hop.data(), frame);
            const std::size_t length = packFrame(frame, bytes.data());
            const Unpacked result = unpackFrame(bytes.data(), length, unpacked);
            if (length != frameBytes(frame.allocation) || result.outcome != Unpacked::Outcome::frame ||
                result.bytes != length || unpacked != frame) {
                std::abort();
            }
        }
    } catch (const fuzz::Stopped&) {
    }
    return 0;
}
