#include "wave/WaveReader.h"

#include <iostream>
#include <string>

#include "common/Fatal.h"

namespace zarn {

WaveReader::WaveReader(const char* path) : input_(path) {
    if (!input_.isOpen()) {
        fail(std::cout, std::string("Det er ikke muligt at aabne ") + path + " til laesning!");
    }
    const std::uint64_t fileSize = input_.size();
    if (fileSize < kWaveHeaderSize + 1) fail(std::cout, "Filen er ikke af typen PCM WAVE");
    input_.read(header_.data(), header_.size());
    samplesRead_ = 0;
    const std::uint16_t bitsPerSample = readLittle16(&header_[kWaveBitsPerSampleOffset]);
    // A width of 0 would divide by zero; such a header describes no PCM at all.
    if (bitsPerSample == 0) fail(std::cout, "Filen er ikke af typen PCM WAVE");
    sampleCount_ = (fileSize * 8 - kWaveHeaderSize * 8) / bitsPerSample;
}

}  // namespace zarn
