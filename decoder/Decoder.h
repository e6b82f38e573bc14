#pragma once

#include <cstddef>
#include <cstdint>
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

// Decodes the whole of `reader`'s stream through `stream` into `out`, as the
// programs do: a frame without the tag ends the process once every sample
// before it is out; an unfinished frame at the end is dropped quietly.
template <class Synthesis, class Out>
void decodeAll(ZarnReader& reader, StreamDecoder<Synthesis>& stream, Out& out) {
    const std::uint8_t* bytes = nullptr;
    while (const std::size_t size = reader.read(bytes)) {
        if (stream.write(bytes, size, out) == StreamDecoder<Synthesis>::Status::badTag) {
            ZarnReader::failBadTag(stream.badTag());
        }
    }
    stream.finish(out);
}

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
