#include "container/OggZarnReader.h"

#include <algorithm>
#include <cstring>

#include "stream/FramePacking.h"

namespace zarn {

const std::array<std::uint8_t, kMinFrameBytes> kSilentFrame = [] {
    // packFrame may use all of the largest frame's room, whatever it writes.
    std::array<std::uint8_t, kMaxFrameBytes> packed{};
    packFrame(EncodedFrame{}, packed.data());
    std::array<std::uint8_t, kMinFrameBytes> frame{};
    std::copy(packed.begin(), packed.begin() + kMinFrameBytes, frame.begin());
    return frame;
}();

bool isSilentFrame(const FrameBytes& frame) {
    return frame.size == kSilentFrame.size() && std::memcmp(frame.bytes, kSilentFrame.data(), frame.size) == 0;
}

namespace {

// The largest page: its header with 255 lacing values, and 255 × 255 bytes.
constexpr std::size_t kMaxPageBytes = 27 + 255 + 255 * 255;
// What a stream's buffer must hold at most: a packet begun on earlier pages
// and the page taken in after it.
constexpr std::size_t kStreamBufferBytes = kMaxPageBytes + kMaxAudioPacketBytes;

}  // namespace

OggZarnReader::OggZarnReader() {
    const bool sync = ogg_sync_init(&sync_) == 0;
    const bool stream = ogg_stream_init(&stream_, 0) == 0;
    if (!sync || !stream) return;
    // libogg grows its buffers only when asked for more than they hold, and
    // a reset keeps them: so both are made their largest here, the stream's
    // by one packet of that size and as many lacing values as a page and an
    // open packet can need.
    if (ogg_sync_buffer(&sync_, static_cast<long>(kMaxPageBytes + 2 * kFeedBytes)) == nullptr) return;
    static const std::array<unsigned char, 8192> kZeros{};
    std::array<ogg_iovec_t, kStreamBufferBytes / kZeros.size() + 1> pieces{};
    for (ogg_iovec_t& piece : pieces) {
        piece.iov_base = const_cast<unsigned char*>(kZeros.data());
        piece.iov_len = kZeros.size();
    }
    if (ogg_stream_iovecin(&stream_, pieces.data(), static_cast<int>(pieces.size()), 0, 0) != 0) return;
    ogg_stream_reset(&stream_);
    ready_ = ogg_sync_check(&sync_) == 0 && ogg_stream_check(&stream_) == 0;
}

OggZarnReader::~OggZarnReader() {
    ogg_stream_clear(&stream_);
    ogg_sync_clear(&sync_);
}

std::size_t OggZarnReader::bufferBytes() const {
    return static_cast<std::size_t>(sync_.storage) + static_cast<std::size_t>(stream_.body_storage) +
           static_cast<std::size_t>(stream_.lacing_storage) * (sizeof(int) + sizeof(ogg_int64_t));
}

void OggZarnReader::restart() {
    ogg_sync_reset(&sync_);
    ogg_stream_reset(&stream_);
    queueHead_ = queueSize_ = 0;
    endPending_ = startPending_ = false;
    nextKnown_ = false;
    expectedPage_ = -1;
    openBytes_ = 0;
    if (phase_ == Phase::ended) phase_ = Phase::audio;
    if (phase_ != Phase::audio) phase_ = Phase::lookingForStream;
}

OggZarnReader::Outcome OggZarnReader::finish() const {
    // libogg judges nothing shorter than a page header, so the bytes it still
    // holds may be junk it would have skipped had more come: a page is cut
    // short only where they hold the start of a capture pattern, however
    // the input was cut.
    const unsigned char* left = sync_.data + sync_.returned;
    const std::size_t leftBytes = static_cast<std::size_t>(sync_.fill - sync_.returned);
    bool pageOpen = false;
    for (std::size_t at = 0; at < leftBytes && !pageOpen; ++at) {
        pageOpen = std::memcmp(left + at, "OggS", std::min<std::size_t>(4, leftBytes - at)) == 0;
    }
    const bool streamOpen = phase_ != Phase::lookingForStream && phase_ != Phase::ended;
    return pageOpen || streamOpen || queueSize_ > 0 ? Outcome::truncated : Outcome::done;
}

void OggZarnReader::push(Outcome outcome, const ogg_packet* packet) {
    Entry& entry = queue_[queueSize_++];
    entry = Entry{};
    entry.outcome = outcome;
    if (packet != nullptr) entry.packet = *packet;
}

OggZarnReader::Outcome OggZarnReader::next(const std::uint8_t*& bytes, std::size_t& size) {
    if (!ready_) return Outcome::truncated;
    for (;;) {
        if (queueHead_ < queueSize_) {
            const Entry& entry = queue_[queueHead_++];
            if (queueHead_ == queueSize_) queueHead_ = queueSize_ = 0;
            index_ = entry.index;
            indexKnown_ = entry.known;
            if (entry.outcome == Outcome::hop) return split(entry);
            if (entry.outcome == Outcome::hole) {
                lost_ = entry.index;
                lostKnown_ = entry.known;
            }
            return entry.outcome;
        }
        if (endPending_) {
            endPending_ = false;
            phase_ = Phase::ended;
            return Outcome::endOfStream;
        }
        if (startPending_) {
            startPending_ = false;
            startStream(pendingPage_);
            continue;
        }
        ogg_page page;
        const int paged = ogg_sync_pageout(&sync_, &page);
        if (paged < 0) return Outcome::lostSync;
        if (paged > 0) {
            Outcome immediate = Outcome::needMore;
            if (takePage(page, immediate)) return immediate;
            continue;
        }
        if (size == 0) return Outcome::needMore;
        const std::size_t take = std::min(size, kFeedBytes);
        char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(take));
        if (buffer == nullptr) return Outcome::truncated;
        std::memcpy(buffer, bytes, take);
        ogg_sync_wrote(&sync_, static_cast<long>(take));
        bytes += take;
        size -= take;
    }
}

void OggZarnReader::startStream(ogg_page& page) {
    ogg_stream_reset_serialno(&stream_, ogg_page_serialno(&page));
    phase_ = Phase::identificationHeader;
    nextIndex_ = 0;
    nextKnown_ = true;
    expectedPage_ = -1;
    openBytes_ = 0;
    lengthKnown_ = false;
    length_ = 0;
    pullPackets(page);
}

// True when `immediate` is a result to give at once.
bool OggZarnReader::takePage(ogg_page& page, Outcome& immediate) {
    const bool ours = phase_ != Phase::lookingForStream && ogg_page_serialno(&page) == stream_.serialno;
    if (ogg_page_bos(&page)) {
        // A stream's first page: the next link of a chain once this one has
        // ended (of any serial number: a file joined to itself repeats
        // its own), one alongside while the headers are read.
        if (phase_ == Phase::lookingForStream || phase_ == Phase::ended) {
            startStream(page);
            return false;
        }
        if (phase_ == Phase::audio) {
            pendingPage_ = page;
            startPending_ = true;
            immediate = Outcome::truncated;
            return true;
        }
        if (ours) startStream(page);
        return false;
    }
    if (!ours || phase_ == Phase::ended) return false;
    if (openPacketTooLong(page)) {
        // Dropped unread, so that libogg never gathers it; a fresh stream
        // state drops the rest of it from the pages that continue it.
        ogg_stream_reset(&stream_);
        nextKnown_ = false;
        openBytes_ = 0;
        immediate = Outcome::badPacket;
        indexKnown_ = false;
        return true;
    }
    pullPackets(page);
    return false;
}

bool OggZarnReader::openPacketTooLong(const ogg_page& page) {
    const std::int64_t number = ogg_page_pageno(&page);
    const bool contiguous = expectedPage_ >= 0 && number == expectedPage_;
    expectedPage_ = number + 1;
    std::size_t open = contiguous && ogg_page_continued(&page) ? openBytes_ : 0;
    const int segments = page.header[26];
    for (int segment = 0; segment < segments; ++segment) {
        const unsigned lacing = page.header[27 + segment];
        open += lacing;
        if (lacing < 255) open = 0;
    }
    openBytes_ = open;
    const std::size_t limit = phase_ == Phase::audio ? kMaxAudioPacketBytes : kMaxHeaderBytes;
    return open > limit;
}

void OggZarnReader::pullPackets(const ogg_page& page) {
    ogg_stream_pagein(&stream_, const_cast<ogg_page*>(&page));
    std::size_t firstHop = queueSize_;
    bool hole = false;
    ogg_packet packet;
    for (int got; (got = ogg_stream_packetout(&stream_, &packet)) != 0;) {
        if (got < 0) {
            hole = true;
            push(Outcome::hole);
            firstHop = queueSize_;
            continue;
        }
        // The header packets are read at once, while they lie in libogg's
        // buffer; their results wait in the queue like any other.
        if (phase_ == Phase::identificationHeader) {
            headerError_ = readIdentification(packet.packet, static_cast<std::size_t>(packet.bytes), identification_);
            if (headerError_ != HeaderError::none) {
                push(Outcome::badHeader);
                phase_ = Phase::lookingForStream;
                return;
            }
            push(Outcome::identification);
            phase_ = Phase::commentHeader;
        } else if (phase_ == Phase::commentHeader) {
            headerError_ = comments_.read(packet.packet, static_cast<std::size_t>(packet.bytes));
            if (headerError_ != HeaderError::none) {
                push(Outcome::badHeader);
                phase_ = Phase::lookingForStream;
                return;
            }
            push(Outcome::comments);
            phase_ = Phase::audio;
            firstHop = queueSize_;
        } else {
            push(Outcome::hop, &packet);
        }
    }
    if (phase_ != Phase::audio) return;

    // Each hop's index: counted on from the page before where it was read
    // whole, else from this page's granule.
    const std::size_t hops = queueSize_ - firstHop;
    const std::int64_t granule = ogg_page_granulepos(&page);
    const bool last = ogg_page_eos(&page) != 0;
    const bool counted = nextKnown_ && !hole;
    bool known = counted;
    std::uint64_t first = nextIndex_;
    if (!counted && hops > 0) {
        if (last && granule >= identification_.preSkip) {
            const std::uint64_t length = static_cast<std::uint64_t>(granule) - identification_.preSkip;
            const std::uint64_t total = std::max<std::uint64_t>(1, (length + kHopSamples - 1) / kHopSamples);
            known = total >= hops;
            first = known ? total - hops : 0;
        } else if (!last && granule >= 0) {
            const std::uint64_t total = static_cast<std::uint64_t>(granule) / kHopSamples;
            known = total >= hops;
            first = known ? total - hops : 0;
        }
    } else if (counted && !last && granule >= 0 &&
               static_cast<std::uint64_t>(granule) / kHopSamples != nextIndex_ + hops) {
        // Inserted before this page's hops, which keep the count.
        for (std::size_t at = queueSize_; at > firstHop; --at) queue_[at] = queue_[at - 1];
        queue_[firstHop] = Entry{};
        queue_[firstHop].outcome = Outcome::badGranule;
        ++firstHop;
        ++queueSize_;
    }
    if (hole) {
        Entry& entry = queue_[queueHead_];
        entry.known = known && nextKnown_ && first >= nextIndex_;
        entry.index = entry.known ? first - nextIndex_ : 0;
    }
    for (std::size_t at = firstHop; at < queueSize_; ++at) {
        queue_[at].index = first + (at - firstHop);
        queue_[at].known = known;
    }
    if (hops > 0) {
        nextIndex_ = first + hops;
        nextKnown_ = known;
    }
    if (last) {
        endPending_ = true;
        lengthKnown_ = granule >= identification_.preSkip;
        length_ = lengthKnown_ ? static_cast<std::uint64_t>(granule) - identification_.preSkip : 0;
        if (!lengthKnown_) push(Outcome::badGranule);
        if (nextKnown_ && length_ > nextIndex_ * kHopSamples) {
            // More than the packets hold: the packets' span is what there is.
            length_ = nextIndex_ * kHopSamples;
            push(Outcome::badGranule);
        }
    }
}

OggZarnReader::Outcome OggZarnReader::split(const Entry& entry) {
    const std::uint8_t* bytes = entry.packet.packet;
    const std::size_t size = static_cast<std::size_t>(entry.packet.bytes);
    const unsigned channels = identification_.channels;
    midSide_ = false;
    silent_ = size == 0;
    if (silent_) {
        for (unsigned channel = 0; channel < channels; ++channel) frames_[channel] = {kSilentFrame.data(), kSilentFrame.size()};
        return Outcome::hop;
    }
    if (size > kMaxAudioPacketBytes) return Outcome::badPacket;
    std::size_t at = 0;
    if (identification_.coupling == Coupling::frontPair) {
        if (bytes[0] > 1) return Outcome::badPacket;
        midSide_ = bytes[0] == 1;
        at = 1;
    }
    for (unsigned channel = 0; channel < channels; ++channel) {
        const Unpacked unpacked = unpackFrame(bytes + at, size - at, scratch_);
        if (unpacked.outcome != Unpacked::Outcome::frame) return Outcome::badPacket;
        frames_[channel] = {bytes + at, unpacked.bytes};
        at += unpacked.bytes;
    }
    return at == size ? Outcome::hop : Outcome::badPacket;
}

}  // namespace zarn
