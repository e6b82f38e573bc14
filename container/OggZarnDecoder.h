#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "container/OggZarnHeaders.h"
#include "container/OggZarnReader.h"
#include "container/PageSeeker.h"
#include "decoder/CoupledDecoder.h"

namespace zarn {

// Ogg Zarn to interleaved 16-bit samples: the reader's hops decoded with
// the front pair turned back from mid/side, the pre-skip dropped and the end
// trimmed to the last granule, so that each link gives exactly its length.
// Bytes are fed as they come (next, then finish), or pulled from a file
// through a ByteSource (pull), which can also seek to a sample.
//
// Damage (bytes that are no page, a hole, a packet that does not parse, a
// granule out of line, a stream cut short) is a result of its own with its
// place in samples. Told to decode through it, the decoder puts a silent
// hop in place of each one lost, so that every sample after it is where
// the stream says; otherwise it stops there, with every sample before. A
// gap of more than kMostFilledHops is not filled: the samples after it come
// at their place, and position() jumps there.
//
// Everything is made at creation; nothing is allocated afterwards.
class OggZarnDecoder {
public:
    enum class Result {
        needMore,  // every byte given is taken; more are needed
        header,    // a link's headers are read: identification(), comments() (until the next call)
        samples,   // samples() holds frames() interleaved frames from sample position() on
        damaged,   // damage(), at damageAt() for damageSamples(); stopped unless decoding through
        linkEnd,   // the link's last sample is out: length()
        end,       // the input ends: no more results
        failed,    // stopped: failure() tells the first cause, and every call gives this again
    };

    enum class Damage {
        none,
        lostSync,    // bytes that were no valid page (a bad CRC, a cut)
        hole,        // pages missing: damageSamples() lost, where known
        badPacket,   // a hop whose packet does not parse: silent in its place
        badGranule,  // a granule against the count of packets; the count is kept
        truncated,   // the link ends without its last page
        badHeader,   // a link whose headers do not read: it is skipped
    };

    enum class Failure {
        none,
        damage,   // damage() while not decoding through
        noRoom,   // libogg could not make its buffers
        source,   // the ByteSource failed to read or seek
    };

    // About a minute: the longest run of lost hops made up as silence.
    static constexpr std::uint64_t kMostFilledHops = 10336;

    explicit OggZarnDecoder(bool throughDamage = false);

    // The next result, taking bytes from the front of [bytes, bytes + size)
    // as needed and advancing both.
    Result next(const std::uint8_t*& bytes, std::size_t& size);
    // After next() gave needMore on the input's last bytes: the results that
    // remain (the last hop, damage at the end), then `end`.
    Result finish();
    // The next result, reading from `source` as needed; its end is the
    // input's end.
    Result pull(const ByteSource& source);
    // Positions a file of `size` bytes, read by pull() from its first link's
    // start at offset 0, so that the next samples begin at sample `sample`
    // of that link (none when it lies past the end): pages found by
    // bisection, then one hop decoded unheard before the target's. False
    // before the headers are read, and when the source fails (then the
    // decoder has failed too).
    bool seek(const ByteSource& source, std::uint64_t size, std::uint64_t sample);

    const Identification& identification() const { return reader_.identification(); }
    const CommentHeader& comments() const { return reader_.comments(); }
    // After `header`: whether the link's identification differs from the
    // link's before it (false for the first).
    bool headerChanged() const { return headerChanged_; }
    unsigned channels() const { return reader_.channels(); }

    const Sample* samples() const { return out_.data(); }
    std::size_t frames() const { return frames_; }
    // The link's sample, per channel, of samples()'s first frame.
    std::uint64_t position() const { return position_; }

    Damage damage() const { return damage_; }
    std::uint64_t damageAt() const { return damageAt_; }
    std::uint64_t damageSamples() const { return damageSamples_; }
    Failure failure() const { return failure_; }

    bool lengthKnown() const { return lengthKnown_; }
    std::uint64_t length() const { return length_; }

private:
    using Outcome = OggZarnReader::Outcome;

    Result fail(Failure failure);
    Result damaged(Damage damage, std::uint64_t at, std::uint64_t samples);
    // Each gives true with a result for the caller, false to read on.
    // The reader's outcome:
    bool take(Outcome outcome, Result& result);
    bool takeHop(Result& result);
    // What waits from results before: lost hops, a hop behind them, the
    // link's last hop and its end.
    bool pending(Result& result);
    // Decodes `frames` as the next packet's hop.
    bool decodeHop(const EncodedFrame* frames, bool midSide, Result& result);
    // Decodes a silent hop in place of one lost.
    bool decodeSilentHop(Result& result);
    // Hands out what is to be heard of the timeline's hop from `at`, which
    // planar_ holds.
    bool emit(std::uint64_t at, Result& result);
    // Where the link's output sample of timeline sample `t` is.
    std::uint64_t outputOf(std::uint64_t t) const;

    OggZarnReader reader_;
    PageSeeker seeker_;
    CoupledDecoder decoder_{1};
    bool throughDamage_;

    std::array<EncodedFrame, kMaxChannels> hop_{};     // the reader's hop, unpacked
    std::array<EncodedFrame, kMaxChannels> silent_{};  // every band off: a lost hop
    std::array<std::array<Sample, kHopSamples>, kMaxChannels> planar_{};
    std::array<Sample, kHopSamples * kMaxChannels> out_{};
    std::size_t frames_ = 0;
    std::uint64_t position_ = 0;

    // The link's timeline: packets decoded, and what of it is heard.
    bool inLink_ = false;          // headers read, the link's last hop not yet out
    std::uint64_t nextIndex_ = 0;  // the packet index the next hop decoded has
    std::uint64_t heardFrom_ = 0;  // timeline samples before this are dropped: the pre-skip, or to a seek
    bool hopWaiting_ = false;      // hop_ waits behind silentLeft_ lost hops
    bool hopMidSide_ = false;
    std::uint64_t silentLeft_ = 0;  // lost hops still to be played as silence
    std::uint64_t silentDecoded_ = 0;  // lost hops decoded in a row, since the last hop that was not
    bool indexSet_ = false;         // nextIndex_ is known: not after a seek until a hop tells it
    bool holeOpen_ = false;         // a hole is reported and its hops not yet placed
    bool endWaiting_ = false;       // the link ended: its last hop is to be flushed
    bool linkEndWaiting_ = false;   // then linkEnd is to be given
    bool sawHeaders_ = false;
    Identification previous_{};
    bool headerChanged_ = false;

    bool lengthKnown_ = false;
    std::uint64_t length_ = 0;

    Damage damage_ = Damage::none;
    std::uint64_t damageAt_ = 0;
    std::uint64_t damageSamples_ = 0;
    Failure failure_ = Failure::none;
    bool finished_ = false;  // finish() has told the reader's last word

    // What pull() has read from its source and not yet given.
    std::array<std::uint8_t, OggZarnReader::kFeedBytes> input_{};
    const std::uint8_t* inputAt_ = nullptr;
    std::size_t inputLeft_ = 0;
    bool sourceEnded_ = false;
};

}  // namespace zarn
