#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/EncodedFrame.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/Types.h"
#include "encoder/FrameEncoder.h"
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
    FrameEncoder<Analysis> core;
    refuseSameFile(waveInput, zarnOutput);
    ZarnWriter writer(zarnOutput);

    // Hops go through the core a batch at a time; reading cannot fail half-way
    // (missing bytes read as silence), so the file is the same as frame by frame.
    constexpr std::size_t kBatch = FrameEncoder<Analysis>::kBatch;
    std::array<Sample, kBatch * kHop> hops{};
    std::array<EncodedFrame, kBatch> frames;
    const std::uint64_t frameCount = FrameEncoder<Analysis>::frameCount(reader.sampleCount());
    for (std::uint64_t done = 0; done < frameCount;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBatch, frameCount - done));
        reader.readSamples(hops.data(), count * kHop);
        core.encodeBatch(hops.data(), count, frames.data());
        for (std::size_t f = 0; f < count; ++f) writer.writeFrame(frames[f]);
        done += count;
    }

    // Success is only announced for a file that reached the disk whole.
    writer.close();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + zarnOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
