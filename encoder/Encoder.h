#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include "common/Console.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/Types.h"
#include "dsp/FrameWindow.h"
#include "encoder/Quantiser.h"
#include "stream/ZarnWriter.h"
#include "wave/WaveReader.h"

namespace zarn {

// WAVE PCM to Zarn: 512-sample Blocks at a hop of 256, windowed, transformed,
// scaled per band, given bits and packed, one frame per Block.
//
// `Steps` is what distinguishes the two programs: it owns the transform and
// anything else with state, and supplies
//   static constexpr std::size_t kSpectrumSize;   // doubles per Spectrum array
//   void forward(const double* block, double* re, double* im);
//   void removeInaudible(double* re, double* im); // may do nothing
//   void allocate(BitAllocation&, const double* re, const double* im);
// It is created after the FrameWindow and before the ZarnWriter.
template <class Steps>
class Encoder {
public:
    // Converts the WAVE file `waveInput` into the Zarn file `zarnOutput`, or
    // ends the process with one message line.
    static void encode(const char* waveInput, const char* zarnOutput);
};

template <class Steps>
void Encoder<Steps>::encode(const char* waveInput, const char* zarnOutput) {
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konvertering fra WAVE PCM til Zarn startes");
    writeEmptyLine(std::cout);

    WaveReader reader(waveInput);
    FrameWindow window;
    Steps steps;
    const Quantiser quantiser;
    refuseSameFile(waveInput, zarnOutput);
    ZarnWriter writer(zarnOutput);

    std::array<Sample, kHop> samples{};  // the samples read for this frame
    HalfBlock previousHalf{};  // the last 256 samples read, unwindowed
    Block block{};
    std::array<double, Steps::kSpectrumSize> re{};
    std::array<double, Steps::kSpectrumSize> im{};
    ScaleExponents scale{};
    BitAllocation allocation{};
    std::uint64_t samplesRequested = 0;

    do {
        samplesRequested += kHop;
        reader.readSamples(samples.data(), kHop);
        for (std::size_t i = 0; i < kHop; ++i) {
            block[i] = previousHalf[i];
            const double v = static_cast<int>(samples[i]);
            block[kHop + i] = v;
            previousHalf[i] = v;
        }
        window.applyWindow(block.data(), static_cast<std::int32_t>(kBlockLength));
        steps.forward(block.data(), re.data(), im.data());
        steps.removeInaudible(re.data(), im.data());
        quantiser.quantise(re.data(), im.data(), scale);
        steps.allocate(allocation, re.data(), im.data());
        writer.writeFrame(allocation, scale, re.data(), im.data());
    } while (static_cast<std::int64_t>(reader.sampleCount() - samplesRequested) > 0);

    // Success is only announced for a file that reached the disk whole.
    writer.close();
    if (writer.failed()) fail(std::cerr, std::string("Fejl ved skrivning til ") + zarnOutput);
    writeEmptyLine(std::cout);
    writeLine(std::cout, "Konverteringen er fuldendt");
}

}  // namespace zarn
