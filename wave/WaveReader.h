#pragma once

#include <cstddef>
#include <cstdint>

#include "common/BinaryInput.h"
#include "common/Types.h"
#include "wave/WaveHeader.h"

namespace zarn {

// Reads WAVE PCM input as one sequence of 16-bit Samples.
//
// Of the header only the bits per sample is used: the file is taken to be 44
// header bytes and then sample data up to its end, and the sample count is how
// many samples of the header's width fit there. Channels are not told apart.
// Sizes are 64-bit, so files beyond 512 MiB count correctly.
class WaveReader {
public:
    // Opens and checks `path`; ends the process if it cannot be read, is shorter
    // than 45 bytes, or declares 0 bits per sample.
    explicit WaveReader(const char* path);
    // Reads and checks a WAVE file of `size` bytes at `bytes`, which must
    // outlive the reader; ends the process as above if it is not one.
    WaveReader(const std::uint8_t* bytes, std::size_t size);

    // Fills out[0..count) with the next `count` Samples of the data, little-
    // endian pairs of bytes; 0 once the sample count is used up, and for bytes
    // the file no longer has.
    void readSamples(Sample* out, std::size_t count);

    // How many samples the file holds by its size; fixed at opening.
    std::uint64_t sampleCount() const { return sampleCount_; }

private:
    void readHeader();

    std::uint64_t sampleCount_ = 0;  // whole samples of the declared width after the header
    std::uint64_t samplesRead_ = 0;  // samples handed out so far
    BinaryInput input_;              // the WAVE file, closed with the reader
};

}  // namespace zarn
