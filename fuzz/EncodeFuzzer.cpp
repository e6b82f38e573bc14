// Any bytes as a WAVE file, through the reader and the full encoder pipeline
// with its perceptual steps. Every input must end in a finished output or in
// one of the system's own failures, without a sanitizer report.

#include <cstddef>
#include <cstdint>

#include "encoder/Encoder.h"
#include "encoder/FullEncoderSteps.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zarn::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* input = zarn::fuzz::writeScratchFile(data, size);
    try {
        zarn::Encoder<zarn::FullEncoderSteps>::encode(input, "/dev/null");
    } catch (const zarn::fuzz::Stopped&) {
    }
    return 0;
}
