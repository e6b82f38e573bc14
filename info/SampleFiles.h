#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "common/Types.h"

namespace zarn {

// An original that cannot be compared with a Zarn file: the line that says
// why, naming the file.
class OriginalRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The original as the encoder took it, and what was done to make it so.
struct OriginalSamples {
    std::vector<Sample> samples;  // mono, 16 bits, kSampleRate per second
    // "FLAC, stereo, 48 kHz, 16 bit; mixed down to mono, converted to
    // 44.1 kHz, dithered to 16 bits": the file as found, then the steps, in
    // the user's language.
    std::string description;
};

// Every channel of the original, in the container's order (Vorbis's, into
// which WAVE's is turned), each as the encoder takes it.
struct OriginalChannels {
    std::vector<std::vector<Sample>> channels;  // 16 bits, kSampleRate per second
    std::string description;                    // as OriginalSamples's, without a mix-down
};

// The samples of the two signals that are compared: the original as the
// encoder reads it, and the Zarn file as the codec's own decoder renders it.
class SampleFiles {
public:
    // Every sample of a sound file as `zarn` hands it to the encoder: any
    // format libsndfile reads, channels mixed to their mean, another rate
    // converted and wider samples dithered to 16 bits, just as `zarn` does
    // by default, so that the samples are the very ones it encoded. Throws
    // OriginalRefused for a file that cannot be read as sound.
    static OriginalSamples readOriginal(const std::string& path);

    // Each channel of a sound file kept apart and treated as readOriginal
    // treats the mix: converted to kSampleRate with libsoxr and dithered to
    // 16 bits, unless it is 16 bits at that rate already.
    static OriginalChannels readOriginalChannels(const std::string& path);

    // Every sample that the full decoder makes of `zarnPath`, decoded in
    // memory with the codec's own frame decoder.
    static std::vector<Sample> decode(const std::string& zarnPath);
};

}  // namespace zarn
