#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/Types.h"
#include "encoder/StreamEncoder.h"
#include "stream/ZarnWriter.h"
#include "wave/WaveReader.h"

namespace zarn {

// WAVE PCM to Zarn: the frame encoder between a WAVE reader and a Zarn writer,
// one frame per hop of 256 input samples. `Analysis` is the program's, as for
// FrameEncoder.
template <class Analysis>
class Encoder {
public:
    // Converts the WAVE file `waveInput` into the Zarn file `zarnOutput`, or
    // ends the process with one message line.
    static void encode(const char* waveInput, const char* zarnOutput);
};

template <class Analysis>
void Encoder<Analysis>::encode(const char* waveInput, const char* zarnOutput) {
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konvertering fra WAVE PCM til Zarn startes");
    writeEmptyLine(std::cout);

    WaveReader reader(waveInput);
    StreamEncoder<Analysis> stream;
    refuseSameFile(waveInput, zarnOutput);
    ZarnWriter writer(zarnOutput);

    // Reading cannot fail half-way (missing bytes read as silence), so the
    // file is whole whatever happens.
    const auto write = [&writer](const std::uint8_t* bytes, std::size_t size) {
        writer.write(bytes, size);
        return true;
    };
    std::array<Sample, 16 * kHop> samples;
    for (std::uint64_t left = reader.sampleCount(); left > 0;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(samples.size(), left));
        reader.readSamples(samples.data(), count);
        stream.write(samples.data(), count, write);
        left -= count;
    }
    stream.finish(write);

    // Success is only announced for a file that reached the disk whole.
    writer.close();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + zarnOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
