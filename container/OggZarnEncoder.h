#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "container/OggZarnHeaders.h"
#include "container/OggZarnWriter.h"
#include "rate/JointRateEncoder.h"

namespace zarn {

// Sound to Ogg Zarn: interleaved 16-bit samples at 44100 Hz, 1 to 8
// channels in the container's channel order, coded together by the joint
// rate encoder at one bit rate over all of them and written hop by hop
// through a page sink.
//
// Silence costs only what the container needs: a hop in which every
// channel's frame has every band off goes out as an empty packet, and a hop
// whose Blocks hold nothing at all (digital silence, once the sound before
// it has faded out of the overlap) is left out of the rate control, so
// that the bit rate is held over the sound alone and no frame is padded to
// hold it over a pause.
//
// The newest hop is held back until a sample after it comes or finish(),
// since only then is it known whether it ends the stream. Everything is
// made at creation; nothing is allocated afterwards.
class OggZarnEncoder {
public:
    struct Settings {
        unsigned channels = 1;
        // Over all channels: JointRateEncoder's range for each.
        unsigned kbitPerSecond = 192;
        // The rate the sound had before it was brought to 44100 Hz, for the
        // identification header.
        std::uint32_t originalRate = 44100;
        int serial = 0;
    };
    using Status = OggZarnWriter::Status;

    // Whether `settings` can be encoded: a channel count from 1 to 8, a bit
    // rate within range for it, an original rate that is not 0.
    static bool valid(const Settings& settings);

    // `settings` must be valid().
    OggZarnEncoder(const Settings& settings, PageSink sink, void* user);

    // Writes both headers; `comments` is a comment header as writeComments
    // builds it.
    Status begin(const std::uint8_t* comments, std::size_t commentBytes);
    // Encodes `frames` interleaved frames (one sample per channel each),
    // any number per call, 0 included.
    Status write(const Sample* interleaved, std::size_t frames);
    // Encodes what is left and ends the stream at exactly the samples
    // written.
    Status finish();

    const Identification& identification() const { return header_; }
    // Samples per channel taken so far.
    std::uint64_t samples() const { return samples_; }
    // Audio packets written, and of them the empty ones.
    std::uint64_t hops() const { return writer_.hops(); }
    std::uint64_t silentHops() const { return silentHops_; }

private:
    // Codes the hop in hop_ (the stream's `last` or not) and hands its
    // packet to the writer.
    Status encodeHop(bool last);

    Identification header_;
    OggZarnWriter writer_;
    std::unique_ptr<JointRateEncoder> encoder_;
    std::array<std::array<Sample, kHop>, kMaxChannels> hop_{};  // per channel, the hop being gathered
    std::size_t filled_ = 0;                                    // samples per channel in hop_
    std::array<EncodedFrame, kMaxChannels> frames_{};
    std::array<std::array<std::uint8_t, kMaxFrameBytes>, kMaxChannels> packed_{};
    std::uint64_t samples_ = 0;
    std::uint64_t silentHops_ = 0;
    bool begun_ = false;
    bool failed_ = false;
};

}  // namespace zarn
