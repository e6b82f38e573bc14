#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <ogg/ogg.h>

#include "common/EncodedFrame.h"
#include "container/OggZarnHeaders.h"
#include "container/OggZarnWriter.h"

namespace zarn {

// The frame of a silent channel: every band off. An empty packet stands for
// one of these in every channel.
extern const std::array<std::uint8_t, kMinFrameBytes> kSilentFrame;
bool isSilentFrame(const FrameBytes& frame);

// Reads Ogg Zarn as its bytes arrive, in pieces of any size: the headers of
// each stream of a chain, then each hop's packet cut into its channels'
// bare frames, each with its index in the stream (from the pages' granule
// positions), then the stream's end with its exact length. Damage is told
// apart from the end and from each other kind: bytes that are no page (a
// bad CRC among them), pages lost (a hole, with the hops lost where the next
// granule tells), packets whose frames do not parse, granules that go
// backwards, a stream cut short.
//
// libogg's buffers are made at creation, large enough for the largest page
// and the largest audio packet spanning pages; bytes are taken at most
// kFeedBytes at a time, and only when no page is whole. Only a comment
// header larger than those makes libogg's stream buffer grow (once per
// stream, up to kMaxHeaderBytes); an audio packet longer than any valid one
// is dropped as damage before it is gathered.
class OggZarnReader {
public:
    enum class Outcome {
        needMore,        // every byte given is taken; more are needed
        identification,  // a stream begins: identification() holds its header
        comments,        // comments() holds its comment header
        hop,             // a hop's frames: channels(), frame(), midSide(), hopIndex()
        hole,            // pages are missing: lostHops() hops, where known
        lostSync,        // bytes that were no valid page were skipped (a bad CRC, a cut, a join mid-page)
        badHeader,       // a header that does not read: headerError(); that stream is skipped
        badPacket,       // a packet that is no hop's frames; hopIndex() where known
        badGranule,      // a granule that contradicts the count of packets; the count is kept
        endOfStream,     // the stream's last page is read: length()
        truncated,       // the stream ends without its last page (at finish, or where a new one begins)
        done,            // from finish(): the input ends cleanly
    };

    static constexpr std::size_t kFeedBytes = 4096;
    static constexpr std::size_t kMaxHeaderBytes = std::size_t{1} << 20;

    OggZarnReader();
    ~OggZarnReader();
    OggZarnReader(const OggZarnReader&) = delete;
    OggZarnReader& operator=(const OggZarnReader&) = delete;

    // False when libogg could not make its buffers: nothing can be read.
    bool ready() const { return ready_; }

    // The next result, taking bytes from the front of [bytes, bytes + size)
    // as needed and advancing both. What a result points to (comments,
    // frames) lasts until the next call.
    Outcome next(const std::uint8_t*& bytes, std::size_t& size);
    // After next() gave needMore on the input's last bytes: `done`, or
    // `truncated` when a page or the stream is unfinished.
    Outcome finish() const;
    // Forgets the bytes and pages read, keeping the stream's headers: the
    // bytes that follow come from elsewhere in the same stream (a seek).
    // Positions start again from the next granule read.
    void restart();

    const Identification& identification() const { return identification_; }
    const CommentHeader& comments() const { return comments_; }
    HeaderError headerError() const { return headerError_; }
    // The serial number of the stream being read, to find its pages.
    int serial() const { return stream_.serialno; }

    unsigned channels() const { return identification_.channels; }
    FrameBytes frame(unsigned channel) const { return frames_[channel]; }
    bool silent() const { return silent_; }
    bool midSide() const { return midSide_; }
    bool hopIndexKnown() const { return indexKnown_; }
    std::uint64_t hopIndex() const { return index_; }

    bool lostHopsKnown() const { return lostKnown_; }
    std::uint64_t lostHops() const { return lost_; }

    // The bytes libogg holds for this reader, to show that they stay as made.
    std::size_t bufferBytes() const;

    // After endOfStream: the exact length in samples per channel, when the
    // last granule could give it.
    bool lengthKnown() const { return lengthKnown_; }
    std::uint64_t length() const { return length_; }

private:
    enum class Phase { lookingForStream, identificationHeader, commentHeader, audio, ended };

    struct Entry {
        Outcome outcome = Outcome::hop;
        ogg_packet packet{};
        std::uint64_t index = 0;  // the hop's, or the lost hops' count for a hole
        bool known = false;       // whether `index` is
    };

    bool takePage(ogg_page& page, Outcome& immediate);
    void startStream(ogg_page& page);
    bool openPacketTooLong(const ogg_page& page);
    void pullPackets(const ogg_page& page);
    Outcome split(const Entry& entry);
    void push(Outcome outcome, const ogg_packet* packet = nullptr);

    ogg_sync_state sync_;
    ogg_stream_state stream_;
    bool ready_ = false;
    Phase phase_ = Phase::lookingForStream;

    // What the latest header and hop results hold.
    Identification identification_;
    CommentHeader comments_;
    HeaderError headerError_ = HeaderError::none;
    std::array<FrameBytes, kMaxChannels> frames_{};
    bool silent_ = false;
    bool midSide_ = false;
    std::uint64_t index_ = 0;
    bool indexKnown_ = false;
    std::uint64_t lost_ = 0;
    bool lostKnown_ = false;
    std::uint64_t length_ = 0;
    bool lengthKnown_ = false;

    // The current page's results, handed out before another page is taken
    // in, since its packets point into libogg's buffer: at most one per
    // lacing value, a hole and a header result more.
    std::array<Entry, 260> queue_{};
    std::size_t queueHead_ = 0;
    std::size_t queueSize_ = 0;
    bool endPending_ = false;        // endOfStream follows the queue
    bool startPending_ = false;      // a new stream's first page waits in pendingPage_ (after truncated)
    ogg_page pendingPage_{};

    std::uint64_t nextIndex_ = 0;    // the index the next hop packet has
    bool nextKnown_ = false;         // whether nextIndex_ is known: not before a granule after a join
    std::int64_t expectedPage_ = -1; // the page sequence number expected next; -1 after a join
    std::size_t openBytes_ = 0;      // bytes of a packet begun and not yet ended, for the length limit
    EncodedFrame scratch_;           // where a frame is unpacked to find its end
};

}  // namespace zarn
