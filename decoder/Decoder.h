#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/RoundToSample.h"
#include "common/Types.h"
#include "dsp/FrameWindow.h"
#include "encoder/Quantiser.h"
#include "stream/ZarnReader.h"
#include "wave/WaveWriter.h"

namespace zarn {

// Zarn to WAVE PCM: each frame is scaled back, completed by conjugate symmetry,
// inverse-transformed and overlap-added into 256 Samples. The first frame's
// first half is the encoder's leading zeros and is dropped; the last frame's
// second half is written at the end, so the output lines up with the input.
//
// `Steps` owns the inverse transform and supplies
//   void mirror(double* re, double* im);
//   void inverse(const double* re, const double* im, double* y);
// It is created after the ZarnReader and before the FrameWindow.
template <class Steps>
class Decoder {
public:
    // Converts the Zarn file `zarnInput` into the WAVE file `waveOutput`, or
    // ends the process with one message line.
    static void decode(const char* zarnInput, const char* waveOutput);
};

template <class Steps>
void Decoder<Steps>::decode(const char* zarnInput, const char* waveOutput) {
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konvertering fra Zarn til WAVE PCM startes");
    writeEmptyLine(std::cout);

    ZarnReader reader(zarnInput);
    Steps steps;
    FrameWindow window;
    const Quantiser quantiser;
    refuseSameFile(zarnInput, waveOutput);
    WaveWriter writer(waveOutput);

    SpectrumPart re{};
    SpectrumPart im{};
    Block output{};
    ScaleExponents scale{};
    std::array<Sample, kHop> samples{};  // one hop of finished output, rounded
    std::uint64_t frameIndex = 0;

    while (reader.readFrame(scale, re.data(), im.data())) {
        quantiser.dequantise(re.data(), im.data(), scale);
        steps.mirror(re.data(), im.data());
        steps.inverse(re.data(), im.data(), output.data());
        window.overlapAdd(output.data(), static_cast<std::uint32_t>(kBlockLength));
        if (frameIndex > 0) {
            roundToSamples(output.data(), samples.data(), kHop);
            writer.writeSamples(samples.data(), kHop);
        }
        ++frameIndex;
    }
    roundToSamples(output.data() + kHop, samples.data(), kHop);
    writer.writeSamples(samples.data(), kHop);

    // Success is only announced for a file that reached the disk whole, its
    // final header included.
    writer.finish();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + waveOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
