#include "wave/WaveReader.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "common/Fatal.h"

namespace zarn {

WaveReader::WaveReader(const char* path) : input_(path) {
    if (!input_.isOpen()) {
        fail(std::cout, std::string("Det er ikke muligt at aabne ") + path + " til laesning!");
    }
    readHeader();
}

WaveReader::WaveReader(const std::uint8_t* bytes, std::size_t size) : input_(bytes, size) { readHeader(); }

void WaveReader::readHeader() {
    const std::uint64_t fileSize = input_.size();
    if (fileSize < kWaveHeaderSize + 1) fail(std::cout, "Filen er ikke af typen PCM WAVE");
    WaveHeader header;
    input_.read(header.data(), header.size());
    const std::uint16_t bitsPerSample = readLittle16(&header[kWaveBitsPerSampleOffset]);
    // A width of 0 would divide by zero; such a header describes no PCM at all.
    if (bitsPerSample == 0) fail(std::cout, "Filen er ikke af typen PCM WAVE");
    sampleCount_ = (fileSize * 8 - kWaveHeaderSize * 8) / bitsPerSample;
}

void WaveReader::readSamples(Sample* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count && samplesRead_ < sampleCount_) {
        const std::size_t piece = static_cast<std::size_t>(
            std::min<std::uint64_t>({count - done, sampleCount_ - samplesRead_, BinaryInput::kWindow / 2}));
        std::uint8_t bytes[BinaryInput::kWindow];
        const std::size_t got = input_.read(bytes, 2 * piece);
        // Bytes the file no longer has read as 0, a lone last byte included.
        std::fill(bytes + got, bytes + 2 * piece, 0);
        for (std::size_t i = 0; i < piece; ++i) out[done + i] = static_cast<Sample>(readLittle16(bytes + 2 * i));
        samplesRead_ += piece;
        done += piece;
    }
    std::fill(out + done, out + count, 0);
}

}  // namespace zarn
