#pragma once
// A sound file as libsndfile reads it, from a name or from standard input
// ("-"): every format the installed libsndfile knows, from a pipe as well.
// What the file's own decoding says is wrong with it is told apart from the
// end: a file that ends before its header's length is read to its end and
// the shortfall reported (truncated()); an MP3 whose decoder complains is
// damaged and fails. NaN samples, which no sound has, are read as silence.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/OutputFile.h"

namespace zarn::cli {

class SoundInput {
public:
    // Throws FileFailure when `name` cannot be read or is no sound file
    // libsndfile knows; for a name ending in .zarn, that failure says that
    // -d decodes it where `hintAtDecoding` (zarn's own inputs, not
    // zarninfo's originals).
    explicit SoundInput(const std::string& name, bool hintAtDecoding = true);
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
    // As 16-bit units: full scale is +-32768; a NaN is 0.
    std::size_t readDoubles(double* frames, std::size_t count);

    // Once the end is read: "expected 308700 samples, got 49152 samples"
    // when the file held fewer frames than its header promised; else empty.
    std::string truncated() const;
    // "NAME=value" for each tag the file holds that zarn carries.
    std::vector<std::string> tags() const;
    // The samples (of any channel) that were NaN.
    std::uint64_t nanSamples() const { return nanSamples_; }

private:
    class PipeReader;
    class Complaints;

    void openSound();
    void throwIfComplaints() const;
    std::size_t checked(sf_count_t read, std::size_t asked);
    std::optional<std::uint64_t> promisedFrames() const;
    bool allBytesRead() const;

    std::string name_;
    bool hintAtDecoding_;
    int descriptor_ = -1;  // ours to close, except standard input
    bool ownsDescriptor_ = true;
    bool streamed_ = false;                   // a pipe, a FIFO, a device: no seeking
    std::unique_ptr<PipeReader> pipe_;        // for FLAC on a pipe
    std::unique_ptr<Complaints> complaints_;  // what the MP3 decoder prints, held back
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    FileIdentity identity_{};
    std::optional<std::uint64_t> promised_;  // frames the header promises, where it tells
    std::uint64_t framesRead_ = 0;
    std::uint64_t nanSamples_ = 0;
    bool ended_ = false;
};

// A sample rate for the user, in kHz as the locale writes numbers: 44100 ->
// "44.1 kHz" ("44,1 kHz" in Danish).
std::string rateName(int rate);
// "mono", "stereo", "6 channels", for the user.
std::string channelsName(int channels);

}  // namespace zarn::cli
