#include "wave/WaveWriter.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "common/Fatal.h"

namespace zarn {

namespace {

void storeTag(std::uint8_t* bytes, const char* tag) { std::memcpy(bytes, tag, 4); }

}  // namespace

WaveWriter::WaveWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) {
        fail(std::cout, std::string("Det er ikke muligt at aabne ") + path + " til skrivning!");
    }
    storeTag(&header_[0], "RIFF");
    storeLittle32(&header_[kWaveRiffSizeOffset], 0);
    storeTag(&header_[8], "WAVE");
    storeTag(&header_[12], "fmt ");
    storeLittle32(&header_[16], 16);     // format chunk size
    storeLittle16(&header_[20], 1);      // PCM
    storeLittle16(&header_[22], 1);      // channels
    storeLittle32(&header_[24], 44100);  // samples per second
    storeLittle32(&header_[28], 88200);  // bytes per second
    storeLittle16(&header_[32], 2);      // block alignment
    storeLittle16(&header_[kWaveBitsPerSampleOffset], 16);
    storeTag(&header_[36], "data");
    storeLittle32(&header_[kWaveDataSizeOffset], 0);
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
    // The header's fields are 32 bits wide; larger outputs wrap as they must.
    const auto dataSize = static_cast<std::uint32_t>(2 * sampleCount_);
    storeLittle32(&header_[kWaveRiffSizeOffset], dataSize + 36);
    storeLittle32(&header_[kWaveDataSizeOffset], dataSize);
    output_.rewriteStart(header_.data(), header_.size());
    output_.close();
}

}  // namespace zarn
