#pragma once
// Where decoded samples go: a 16-bit WAVE file, or the FLAC, AIFF, Ogg
// Vorbis or MP3 that the output's name asks for, through libsndfile, with
// the channels, rate and tags the stream had. Mono at 44.1 kHz without tags
// is zarn's own WAVE, written as it comes; the rest is libsndfile's, which
// writes a WAVE of more than two channels as WAVE_FORMAT_EXTENSIBLE with
// their speakers, and the tags where the format holds them.
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
#include <utility>
#include <vector>

#include "cli/OutputFile.h"
#include "wave/WaveHeader.h"

namespace zarn::cli {

// What the output holds besides its samples.
struct SoundShape {
    unsigned channels = 1;
    int rate = 44100;
    std::vector<std::pair<int, std::string>> tags;  // libsndfile's SF_STR_* and the value
};

class DecodedOutput {
public:
    virtual ~DecodedOutput() = default;
    // `count` interleaved frames in WAVE's channel order. Never throws, so
    // the decoder's callback may call it; false once a write failed.
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
std::unique_ptr<DecodedOutput> openDecodedOutput(OutputFile& file, const SoundShape& shape = {});

}  // namespace zarn::cli
