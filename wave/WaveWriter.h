#pragma once

#include <cstddef>
#include <cstdint>

#include "common/BinaryOutput.h"
#include "common/Types.h"
#include "wave/WaveHeader.h"

namespace zarn {

// Writes a mono, 16-bit, 44100 Hz WAVE PCM file. The header goes out at once
// with both size fields 0 and is rewritten with the real sizes on finish().
class WaveWriter {
public:
    // Creates or truncates `path`; ends the process if it cannot be opened.
    explicit WaveWriter(const char* path);
    // Finishes the file if finish() has not already done it.
    ~WaveWriter() { finish(); }

    // Appends `count` Samples, each as two bytes, low byte first.
    void writeSamples(const Sample* samples, std::size_t count);

    // Rewrites the header with the final sizes and closes the file.
    void finish();

    // True once any write to the file, the header rewrite or the close failed.
    bool failed() const { return output_.failed(); }

private:
    std::uint64_t sampleCount_ = 0;  // samples written so far
    WaveHeader header_{};            // the header image, written at opening and at finish
    BinaryOutput output_;            // the WAVE file
    bool finished_ = false;          // set by finish(), so that it runs once
};

}  // namespace zarn
