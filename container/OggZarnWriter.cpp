#include "container/OggZarnWriter.h"

#include <cstring>

#include "stream/FramePacking.h"

namespace zarn {

OggZarnWriter::OggZarnWriter(int serial, PageSink sink, void* user) : sink_(sink), user_(user) {
    // libogg reports a failed allocation here only through the state it
    // leaves, which begin() checks.
    ogg_stream_init(&stream_, serial);
}

OggZarnWriter::~OggZarnWriter() { ogg_stream_clear(&stream_); }

OggZarnWriter::Status OggZarnWriter::fail(Status status) {
    done_ = true;
    return status;
}

bool OggZarnWriter::flushPages() {
    ogg_page page;
    // The largest body a page may have, so that libogg puts everything
    // pending on one page and never cuts a packet.
    while (ogg_stream_flush_fill(&stream_, &page, 255 * 255) != 0) {
        if (sink_ == nullptr || !sink_(user_, page.header, static_cast<std::size_t>(page.header_len), page.body,
                                       static_cast<std::size_t>(page.body_len))) {
            return false;
        }
    }
    pageBytes_ = 0;
    pageHops_ = 0;
    return true;
}

OggZarnWriter::Status OggZarnWriter::begin(const Identification& header, const std::uint8_t* comments,
                                           std::size_t commentBytes) {
    if (begun_ || done_) return fail(Status::state);
    if (ogg_stream_check(&stream_) != 0 || sink_ == nullptr) return fail(Status::argument);
    if (checkIdentification(header) != HeaderError::none) return fail(Status::argument);
    CommentHeader parsed;
    if (comments == nullptr || parsed.read(comments, commentBytes) != HeaderError::none) return fail(Status::argument);
    header_ = header;
    const auto identification = writeIdentification(header);
    ogg_packet packet{};
    packet.packet = const_cast<unsigned char*>(identification.data());
    packet.bytes = static_cast<long>(identification.size());
    packet.b_o_s = 1;
    packet.granulepos = 0;
    packet.packetno = 0;
    if (ogg_stream_packetin(&stream_, &packet) != 0 || !flushPages()) return fail(Status::output);
    packet.packet = const_cast<unsigned char*>(comments);
    packet.bytes = static_cast<long>(commentBytes);
    packet.b_o_s = 0;
    packet.packetno = 1;
    if (ogg_stream_packetin(&stream_, &packet) != 0 || !flushPages()) return fail(Status::output);
    begun_ = true;
    return Status::ok;
}

OggZarnWriter::Status OggZarnWriter::submitHeld(bool last, std::int64_t granule) {
    if (!holding_) return Status::ok;
    if (pageHops_ > 0 && (pageBytes_ + heldBytes_ > kPageBodyBytes || pageHops_ >= kPageHops) && !flushPages()) {
        return fail(Status::output);
    }
    ogg_packet packet{};
    packet.packet = held_.data();
    packet.bytes = static_cast<long>(heldBytes_);
    packet.e_o_s = last ? 1 : 0;
    packet.granulepos = granule;
    packet.packetno = static_cast<std::int64_t>(hops_ + 1);
    if (ogg_stream_packetin(&stream_, &packet) != 0) return fail(Status::output);
    pageBytes_ += heldBytes_;
    ++pageHops_;
    holding_ = false;
    if (last && !flushPages()) return fail(Status::output);
    return Status::ok;
}

OggZarnWriter::Status OggZarnWriter::hop(const FrameBytes* frames, bool midSide) {
    if (!begun_ || done_) return fail(Status::state);
    if (frames == nullptr || (midSide && header_.coupling != Coupling::frontPair)) return fail(Status::argument);
    // Checked before the held packet goes out, so that a refused hop leaves
    // nothing half-written.
    for (unsigned channel = 0; channel < header_.channels; ++channel) {
        const FrameBytes& frame = frames[channel];
        if (frame.bytes == nullptr) return fail(Status::argument);
        const Unpacked unpacked = unpackFrame(frame.bytes, frame.size, scratch_);
        if (unpacked.outcome != Unpacked::Outcome::frame || unpacked.bytes != frame.size) return fail(Status::argument);
    }
    const Status status = submitHeld(false, static_cast<std::int64_t>(hops_) * kHopSamples);
    if (status != Status::ok) return status;
    std::size_t at = 0;
    if (header_.coupling == Coupling::frontPair) held_[at++] = midSide ? 1 : 0;
    for (unsigned channel = 0; channel < header_.channels; ++channel) {
        std::memcpy(held_.data() + at, frames[channel].bytes, frames[channel].size);
        at += frames[channel].size;
    }
    heldBytes_ = at;
    holding_ = true;
    ++hops_;
    return Status::ok;
}

OggZarnWriter::Status OggZarnWriter::silentHop() {
    if (!begun_ || done_) return fail(Status::state);
    const Status status = submitHeld(false, static_cast<std::int64_t>(hops_) * kHopSamples);
    if (status != Status::ok) return status;
    heldBytes_ = 0;
    holding_ = true;
    ++hops_;
    return Status::ok;
}

OggZarnWriter::Status OggZarnWriter::finish(std::uint64_t samples) {
    if (!begun_ || done_) return fail(Status::state);
    if (hops_ == 0) {
        const Status status = silentHop();
        if (status != Status::ok) return status;
    }
    // The trim lies within the last hop, so that every page's granule but
    // the last counts whole packets and none goes backwards.
    const std::uint64_t span = hops_ * kHopSamples;
    if (samples > span || (hops_ > 1 && samples <= span - kHopSamples)) return fail(Status::argument);
    const Status status = submitHeld(true, static_cast<std::int64_t>(header_.preSkip + samples));
    done_ = true;
    return status;
}

}  // namespace zarn
