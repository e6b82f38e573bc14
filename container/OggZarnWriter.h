#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <ogg/ogg.h>

#include "common/EncodedFrame.h"
#include "container/OggZarnHeaders.h"

namespace zarn {

// One channel's frame of a hop, as the bare stream stores it.
struct FrameBytes {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

// Receives each page as it is finished: its header and body, valid only
// during the call. Returns false to make the writer fail.
using PageSink = bool (*)(void* user, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
                          std::size_t bodySize);

// Writes one Ogg Zarn stream through a page sink: the two headers, then one
// packet per hop, then, at finish, the last page with the exact length.
//
// The newest packet is held back until the next hop or finish, since only
// then is it known whether it ends the stream, and the last page's granule
// is the trimmed length. A page is closed before a packet that would take
// its body past kPageBodyBytes, and after kPageHops packets, so that a seek
// never reads more than about a second past its target; a packet never
// spans pages. libogg's buffers are made at creation and do not grow after
// the comment header: a page's body and lacing stay within their first size.
class OggZarnWriter {
public:
    enum class Status {
        ok,
        output,    // the sink refused a page: nothing more is written
        argument,  // headers that do not check, or frames that are not one whole frame per channel
        state,     // out of order: hops before begin, anything after finish or a failure
    };

    static constexpr std::size_t kPageBodyBytes = 4096;
    static constexpr std::uint32_t kPageHops = 172;  // about a second of hops

    OggZarnWriter(int serial, PageSink sink, void* user);
    ~OggZarnWriter();
    OggZarnWriter(const OggZarnWriter&) = delete;
    OggZarnWriter& operator=(const OggZarnWriter&) = delete;

    // Writes the identification header on a page of its own, then the
    // comment header (made by writeComments) on the pages after it.
    Status begin(const Identification& header, const std::uint8_t* comments, std::size_t commentBytes);
    // One hop: `frames` holds the header's channel count of frames, in
    // channel order; `midSide` is the coupling byte's choice, for a stream
    // with coupling 1 only.
    Status hop(const FrameBytes* frames, bool midSide = false);
    // A hop in which every channel is silent: an empty packet.
    Status silentHop();
    // Ends the stream at `samples` per channel, which must lie within the
    // last hop's span (0 to 256 for one hop); a stream without hops gets one
    // silent hop.
    Status finish(std::uint64_t samples);

    std::uint64_t hops() const { return hops_; }
    // The bytes libogg holds for this writer, to show that they stay as made.
    std::size_t bufferBytes() const {
        return static_cast<std::size_t>(stream_.body_storage) +
               static_cast<std::size_t>(stream_.lacing_storage) * (sizeof(int) + sizeof(ogg_int64_t));
    }

private:
    Status fail(Status status);
    Status submitHeld(bool last, std::int64_t granule);
    bool flushPages();

    ogg_stream_state stream_;
    PageSink sink_;
    void* user_;
    Identification header_;
    std::array<std::uint8_t, kMaxAudioPacketBytes> held_{};  // the newest packet, not yet given to libogg
    std::size_t heldBytes_ = 0;
    bool holding_ = false;           // whether held_ holds a packet
    std::uint64_t hops_ = 0;         // packets taken, the held one included
    std::size_t pageBytes_ = 0;      // body bytes given to libogg since the last page
    std::uint32_t pageHops_ = 0;     // packets given since the last page
    bool begun_ = false;             // the headers are written
    bool done_ = false;              // finished, or failed: only destruction follows
    EncodedFrame scratch_;           // where a given frame is unpacked to check it
};

}  // namespace zarn
