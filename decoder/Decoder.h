#pragma once

#include <cstddef>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/Types.h"
#include "decoder/StreamDecoder.h"
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
    StreamDecoder<Synthesis> stream;
    refuseSameFile(zarnInput, waveOutput);
    WaveWriter writer(waveOutput);

    const auto write = [&writer](const Sample* samples, std::size_t count) {
        writer.writeSamples(samples, count);
        return true;
    };
    decodeAll(reader, stream, write);

    // Success is only announced for a file that reached the disk whole, its
    // final header included.
    writer.finish();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + waveOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
