#pragma once
// Where decoded samples go: a 16-bit mono 44.1 kHz WAVE file, or the FLAC,
// AIFF, Ogg Vorbis or MP3 that the output's name asks for, through
// libsndfile.
// A WAVE that cannot be rewritten at the end (a pipe), or whose samples
// take more than the header's 32-bit fields hold (4 GiB, 13.5 hours), says
// in its size fields that its size is unknown (0xFFFFFFFF), as other
// programs write them to a pipe; readers then read up to the end of the
// stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/OutputFile.h"
#include "wave/WaveHeader.h"

namespace zarn::cli {

class DecodedOutput {
public:
    virtual ~DecodedOutput() = default;
    // Never throws, so the decoder's callback may call it; false once a
    // write failed.
    virtual bool write(const std::int16_t* samples, std::size_t count) noexcept = 0;
    // Completes the file's header or trailer; throws FileFailure.
    virtual void finish() = 0;
    // Why the last write failed.
    virtual std::string cause() const = 0;
};

// The header of a WAVE whose samples take `dataBytes`, or whose size is not
// known: the sizes where they fit, else unknown.
WaveHeader decodedWaveHeader(std::optional<std::uint64_t> dataBytes);

// Chooses the format by `file`'s name (see OutputFormat.h); writes to `file`.
std::unique_ptr<DecodedOutput> openDecodedOutput(OutputFile& file);

}  // namespace zarn::cli
