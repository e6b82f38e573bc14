#pragma once

#include <array>
#include <cstddef>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/EncodedFrame.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/Types.h"
#include "decoder/FrameDecoder.h"
#include "stream/ZarnReader.h"
#include "wave/WaveWriter.h"

namespace zarn {

// Zarn to WAVE PCM: the frame decoder between a Zarn reader and a WAVE
// writer. `Synthesis` is the program's, as for FrameDecoder.
template <class Synthesis>
class Decoder {
public:
    // Converts the Zarn file `zarnInput` into the WAVE file `waveOutput`, or
    // ends the process with one message line.
    static void decode(const char* zarnInput, const char* waveOutput);
};

template <class Synthesis>
void Decoder<Synthesis>::decode(const char* zarnInput, const char* waveOutput) {
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konvertering fra Zarn til WAVE PCM startes");
    writeEmptyLine(std::cout);

    ZarnReader reader(zarnInput);
    FrameDecoder<Synthesis> core;
    refuseSameFile(zarnInput, waveOutput);
    WaveWriter writer(waveOutput);

    // Frames go through the core a batch at a time. A bad frame ends the
    // process only when it comes first in a batch, after every frame before
    // it is decoded and written, so the output holds what it would hold
    // frame by frame.
    constexpr std::size_t kBatch = FrameDecoder<Synthesis>::kBatch;
    std::array<EncodedFrame, kBatch> frames;
    std::array<Sample, kBatch * kHop> hops{};
    while (const std::size_t count = reader.readFrames(frames.data(), kBatch)) {
        writer.writeSamples(hops.data(), kHop * core.decodeBatch(frames.data(), count, hops.data()));
    }
    core.finish(hops.data());
    writer.writeSamples(hops.data(), kHop);

    // Success is only announced for a file that reached the disk whole, its
    // final header included.
    writer.finish();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + waveOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
