#include "container/OggZarnDecoder.h"

#include <algorithm>

#include "stream/FramePacking.h"

namespace zarn {

OggZarnDecoder::OggZarnDecoder(bool throughDamage) : throughDamage_(throughDamage) {
    if (!reader_.ready() || !seeker_.ready()) failure_ = Failure::noRoom;
}

OggZarnDecoder::Result OggZarnDecoder::fail(Failure failure) {
    if (failure_ == Failure::none) failure_ = failure;
    return Result::failed;
}

OggZarnDecoder::Result OggZarnDecoder::damaged(Damage damage, std::uint64_t at, std::uint64_t samples) {
    damage_ = damage;
    damageAt_ = at;
    damageSamples_ = samples;
    // A link of a version this decoder does not know is passed over, as the
    // mapping asks: the next link of a chain may be one it knows.
    const bool skipped = damage == Damage::badHeader && reader_.headerError() == HeaderError::version;
    if (!throughDamage_ && !skipped) failure_ = Failure::damage;
    return Result::damaged;
}

std::uint64_t OggZarnDecoder::outputOf(std::uint64_t t) const {
    const std::uint64_t preSkip = identification().preSkip;
    return t > preSkip ? t - preSkip : 0;
}

bool OggZarnDecoder::emit(std::uint64_t at, Result& result) {
    const std::uint64_t preSkip = identification().preSkip;
    std::uint64_t end = at + kHopSamples;
    if (lengthKnown_) end = std::min(end, preSkip + length_);
    const std::uint64_t from = std::max(at, heardFrom_);
    if (from >= end) return false;
    const unsigned channels = this->channels();
    frames_ = static_cast<std::size_t>(end - from);
    const std::size_t skip = static_cast<std::size_t>(from - at);
    for (std::size_t i = 0; i < frames_; ++i) {
        for (unsigned c = 0; c < channels; ++c) out_[i * channels + c] = planar_[c][skip + i];
    }
    position_ = from - preSkip;
    result = Result::samples;
    return true;
}

bool OggZarnDecoder::decodeSilentHop(Result& result) {
    if (silentDecoded_ < 2) return decodeHop(silent_.data(), false, result);
    // Two silent hops in a row leave the decoder holding nothing of the
    // sound before: every hop of silence after them decodes to the zeros
    // that planar_ still holds from the second, and leaves the decoder as it
    // was, so a long gap costs no transforms.
    return emit(nextIndex_++ * kHopSamples, result);
}

bool OggZarnDecoder::decodeHop(const EncodedFrame* frames, bool midSide, Result& result) {
    silentDecoded_ = frames == silent_.data() ? silentDecoded_ + 1 : 0;
    Sample* to[kMaxChannels] = {};
    for (unsigned c = 0; c < kMaxChannels; ++c) to[c] = planar_[c].data();
    const std::uint64_t index = nextIndex_++;
    // The first hop after the link's start or a seek only begins a Block:
    // its hop is the pre-skip, or the pre-roll before the target.
    if (!decoder_.decode(frames, midSide, to)) return false;
    return emit(index * kHopSamples, result);
}

bool OggZarnDecoder::pending(Result& result) {
    while (silentLeft_ > 0) {
        --silentLeft_;
        if (decodeSilentHop(result)) return true;
    }
    if (hopWaiting_) {
        hopWaiting_ = false;
        if (decodeHop(hop_.data(), hopMidSide_, result)) return true;
    }
    if (endWaiting_) {
        endWaiting_ = false;
        linkEndWaiting_ = true;
        inLink_ = false;
        Sample* to[kMaxChannels] = {};
        for (unsigned c = 0; c < kMaxChannels; ++c) to[c] = planar_[c].data();
        decoder_.finish(to);
        if (emit(nextIndex_ * kHopSamples, result)) return true;
    }
    if (linkEndWaiting_) {
        linkEndWaiting_ = false;
        result = Result::linkEnd;
        return true;
    }
    return false;
}

bool OggZarnDecoder::takeHop(Result& result) {
    if (!inLink_) return false;
    const bool known = reader_.hopIndexKnown();
    const std::uint64_t index = reader_.hopIndex();
    if (!indexSet_) {
        // After a seek the pages tell where the reading begins.
        if (!known) return false;
        nextIndex_ = index;
        indexSet_ = true;
    }
    for (unsigned c = 0; c < channels(); ++c) {
        const FrameBytes frame = reader_.frame(c);
        unpackFrame(frame.bytes, frame.size, hop_[c]);
    }
    hopMidSide_ = reader_.midSide();
    hopWaiting_ = true;
    if (known && index > nextIndex_) {
        // Packets lost: as many silent hops as the pages say, so that this
        // one lands where it belongs. A longer gap than any damage leaves is
        // a granule that lies (a few bytes could claim years of silence):
        // one silent hop ends the Block before it, and the samples after it
        // come where the pages put them, without the silence between.
        const std::uint64_t lost = index - nextIndex_;
        const std::uint64_t at = outputOf(nextIndex_ * kHopSamples);
        if (lost > kMostFilledHops) nextIndex_ = index - 1;
        silentLeft_ = index - nextIndex_;
        const bool reported = holeOpen_;
        holeOpen_ = false;
        if (!reported) {
            result = damaged(Damage::hole, at, lost * kHopSamples);
            return true;
        }
    }
    holeOpen_ = false;
    return pending(result);
}

bool OggZarnDecoder::take(Outcome outcome, Result& result) {
    switch (outcome) {
        case Outcome::needMore:
        case Outcome::done:
            return false;
        case Outcome::identification:
            headerChanged_ = sawHeaders_ && !(identification() == previous_);
            previous_ = identification();
            sawHeaders_ = true;
            return false;
        case Outcome::comments:
            decoder_.restart(channels());
            silentDecoded_ = 0;
            inLink_ = true;
            indexSet_ = true;
            nextIndex_ = 0;
            heardFrom_ = identification().preSkip;
            lengthKnown_ = false;
            length_ = 0;
            silentLeft_ = 0;
            holeOpen_ = hopWaiting_ = endWaiting_ = linkEndWaiting_ = false;
            result = Result::header;
            return true;
        case Outcome::hop:
            return takeHop(result);
        case Outcome::hole:
            if (!inLink_) return false;
            holeOpen_ = true;
            result = damaged(Damage::hole, outputOf(nextIndex_ * kHopSamples),
                             reader_.lostHopsKnown() ? reader_.lostHops() * kHopSamples : 0);
            return true;
        case Outcome::lostSync:
            result = damaged(Damage::lostSync, inLink_ ? outputOf(nextIndex_ * kHopSamples) : 0, 0);
            return true;
        case Outcome::badHeader:
            inLink_ = false;
            result = damaged(Damage::badHeader, 0, 0);
            return true;
        case Outcome::badPacket: {
            if (!inLink_) return false;
            // The hop is lost: silent in its place, where its place is known.
            const std::uint64_t index =
                reader_.hopIndexKnown() && indexSet_ ? std::max(reader_.hopIndex(), nextIndex_) : nextIndex_;
            if (indexSet_) {
                // As for a hole: no more silence before it than damage leaves.
                if (index - nextIndex_ > kMostFilledHops) nextIndex_ = index;
                silentLeft_ = index + 1 - nextIndex_;
            }
            result = damaged(Damage::badPacket, outputOf(index * kHopSamples), kHopSamples);
            return true;
        }
        case Outcome::badGranule:
            if (!inLink_) return false;
            result = damaged(Damage::badGranule, outputOf(nextIndex_ * kHopSamples), 0);
            return true;
        case Outcome::endOfStream:
            if (!inLink_) return false;
            lengthKnown_ = reader_.lengthKnown();
            length_ = reader_.length();
            endWaiting_ = true;
            return pending(result);
        case Outcome::truncated:
            if (!inLink_) {
                result = damaged(Damage::truncated, 0, 0);
                return true;
            }
            // What the packets give, the last Block's second half with it.
            endWaiting_ = true;
            result = damaged(Damage::truncated, outputOf(nextIndex_ * kHopSamples), 0);
            return true;
    }
    return false;
}

OggZarnDecoder::Result OggZarnDecoder::next(const std::uint8_t*& bytes, std::size_t& size) {
    if (failure_ != Failure::none) return Result::failed;
    Result result = Result::needMore;
    if (pending(result)) return result;
    for (;;) {
        const Outcome outcome = reader_.next(bytes, size);
        if (outcome == Outcome::needMore) return Result::needMore;
        if (take(outcome, result)) return result;
        if (failure_ != Failure::none) return Result::failed;
    }
}

OggZarnDecoder::Result OggZarnDecoder::finish() {
    if (failure_ != Failure::none) return Result::failed;
    Result result = Result::end;
    if (pending(result)) return result;
    if (!finished_) {
        finished_ = true;
        if (reader_.finish() == Outcome::truncated && take(Outcome::truncated, result)) return result;
    }
    return Result::end;
}

OggZarnDecoder::Result OggZarnDecoder::pull(const ByteSource& source) {
    for (;;) {
        if (failure_ != Failure::none) return Result::failed;
        if (inputLeft_ == 0 && !sourceEnded_) {
            const long read = source.read(source.user, input_.data(), input_.size());
            if (read < 0) return fail(Failure::source);
            sourceEnded_ = read == 0;
            inputAt_ = input_.data();
            inputLeft_ = static_cast<std::size_t>(read);
        }
        // Pages the reader holds whole are read out before the end is told.
        const Result result = next(inputAt_, inputLeft_);
        if (result != Result::needMore) return result;
        if (sourceEnded_ && inputLeft_ == 0) return finish();
    }
}

bool OggZarnDecoder::seek(const ByteSource& source, std::uint64_t size, std::uint64_t sample) {
    if (failure_ != Failure::none) return false;
    // Only within a link whose headers are read; nothing changes otherwise.
    if (!sawHeaders_) return false;
    // The packet that finishes the target's hop is p; decoding begins with
    // p − 1, which completes on the page after the last of granule at most
    // 256 · (p − 1).
    const std::uint64_t target = identification().preSkip + sample;
    const std::uint64_t first = target / kHopSamples - 1;
    std::uint64_t offset = 0;
    if (seeker_.find(source, reader_.serial(), 0, size, static_cast<std::int64_t>(first * kHopSamples), offset) !=
            PageSeeker::Status::found ||
        source.seek(source.user, static_cast<std::int64_t>(offset)) != 0) {
        fail(Failure::source);
        return false;
    }
    reader_.restart();
    decoder_.restart(channels());
    silentDecoded_ = 0;
    inLink_ = true;
    indexSet_ = false;
    heardFrom_ = target;
    silentLeft_ = 0;
    holeOpen_ = hopWaiting_ = endWaiting_ = linkEndWaiting_ = false;
    inputLeft_ = 0;
    sourceEnded_ = finished_ = false;
    return true;
}

}  // namespace zarn
