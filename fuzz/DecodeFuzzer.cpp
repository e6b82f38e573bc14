// Any bytes as a Zarn stream, through the reader and the full frame decoder,
// in memory. Every input must end in decoded samples or in one of the
// system's own failures, without a sanitizer report.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "fuzz/FuzzSupport.h"
#include "stream/FrameReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zarn::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zarn;
    try {
        FrameReader reader(data, size);
        FrameDecoder<FullSynthesis> core;
        EncodedFrame frame;
        std::array<Sample, kHop> hop{};
        while (reader.readFrames(&frame, 1)) core.decode(frame, hop.data());
        core.finish(hop.data());
    } catch (const fuzz::Stopped&) {
    }
    return 0;
}
