// Any bytes as a Zarn file, through the reader and the full decoder pipeline.
// Every input must end in a finished output or in one of the system's own
// failures, without a sanitizer report.

#include <cstddef>
#include <cstdint>

#include "decoder/Decoder.h"
#include "decoder/FullDecoderSteps.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zarn::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* input = zarn::fuzz::writeScratchFile(data, size);
    try {
        zarn::Decoder<zarn::FullDecoderSteps>::decode(input, "/dev/null");
    } catch (const zarn::fuzz::Stopped&) {
    }
    return 0;
}
