#pragma once
// A sound file as libsndfile reads it, from a name or from standard input
// ("-"): every format the installed libsndfile knows, WAVE from a pipe among
// them, since libsndfile reads WAVE without seeking.

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <string>

#include "cli/OutputFile.h"

namespace zarn::cli {

class SoundInput {
public:
    // Throws FileFailure when `name` cannot be read or is no sound file
    // libsndfile knows.
    explicit SoundInput(const std::string& name);
    ~SoundInput();
    SoundInput(const SoundInput&) = delete;
    SoundInput& operator=(const SoundInput&) = delete;

    const std::string& name() const { return name_; }
    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    // Frames (one sample per channel) in the file, where known.
    std::optional<std::uint64_t> frames() const;
    FileIdentity identity() const { return identity_; }

    // True when every sample fits 16 bits as libsndfile hands out shorts, so
    // reading shorts gives the very values of the file.
    bool narrow() const;
    // "WAVE, stereo, 48 kHz, 24 bit", for the user.
    std::string description() const;

    // Up to `count` frames, interleaved; fewer only at the end. Throw
    // FileFailure when the file cannot be read further.
    std::size_t readShorts(std::int16_t* frames, std::size_t count);
    // As 16-bit units: full scale is +-32768.
    std::size_t readDoubles(double* frames, std::size_t count);

private:
    std::size_t checked(sf_count_t read);

    std::string name_;
    int descriptor_ = -1;  // ours to close, except standard input
    bool ownsDescriptor_ = true;
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    FileIdentity identity_{};
};

// A sample rate for the user, in kHz as the locale writes numbers: 44100 ->
// "44.1 kHz" ("44,1 kHz" in Danish).
std::string rateName(int rate);

}  // namespace zarn::cli
