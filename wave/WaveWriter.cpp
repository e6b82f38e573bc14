#include "wave/WaveWriter.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "common/Fatal.h"

namespace zarn {

WaveWriter::WaveWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) {
        fail(std::cout, std::string("Det er ikke muligt at aabne ") + path + " til skrivning!");
    }
    // Both sizes stay 0 until the file is finished.
    header_ = waveHeader(0);
    storeLittle32(&header_[kWaveRiffSizeOffset], 0);
    output_.putBytes(header_.data(), header_.size());
}

void WaveWriter::writeSamples(const Sample* samples, std::size_t count) {
    constexpr std::size_t kChunk = 256;
    std::uint8_t bytes[2 * kChunk];
    for (std::size_t done = 0; done < count; done += kChunk) {
        const std::size_t piece = std::min(kChunk, count - done);
        for (std::size_t i = 0; i < piece; ++i) storeLittle16(bytes + 2 * i, static_cast<std::uint16_t>(samples[done + i]));
        output_.putBytes(bytes, 2 * piece);
    }
    sampleCount_ += count;
}

void WaveWriter::finish() {
    if (finished_) return;
    finished_ = true;
    header_ = waveHeader(2 * sampleCount_);
    output_.rewriteStart(header_.data(), header_.size());
    output_.close();
}

}  // namespace zarn
