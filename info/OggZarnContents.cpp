#include "info/OggZarnContents.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "common/Fatal.h"
#include "container/OggZarnDecoder.h"
#include "container/OggZarnReader.h"
#include "stream/FramePacking.h"
#include "text/Translation.h"

namespace zarn {

namespace {

using text::format;
using text::tr;

std::vector<std::uint8_t> wholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) fail(std::cerr, tr("Cannot open the Zarn file for reading"));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) fail(std::cerr, format(tr("%s: cannot be read to its end"), path.c_str()));
    return bytes;
}

OggZarnContents::Damage::Kind kindOf(OggZarnDecoder::Damage damage) {
    using Kind = OggZarnContents::Damage::Kind;
    switch (damage) {
        case OggZarnDecoder::Damage::lostSync: return Kind::lostSync;
        case OggZarnDecoder::Damage::hole: return Kind::hole;
        case OggZarnDecoder::Damage::badPacket: return Kind::badPacket;
        case OggZarnDecoder::Damage::badGranule: return Kind::badGranule;
        case OggZarnDecoder::Damage::truncated: return Kind::truncated;
        case OggZarnDecoder::Damage::none:
        case OggZarnDecoder::Damage::badHeader: break;
    }
    return Kind::badHeader;
}

}  // namespace

bool OggZarnContents::looksLikeOgg(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 4> start{};
    return file.read(start.data(), start.size()) && std::memcmp(start.data(), "OggS", start.size()) == 0;
}

OggZarnContents::OggZarnContents(const std::string& path) {
    const std::vector<std::uint8_t> bytes = wholeFile(path);
    fileBytes_ = bytes.size();
    readFrames(bytes);
    if (tables_.empty()) fail(std::cerr, format(tr("%s: holds no Zarn stream that can be read"), path.c_str()));
    decode(bytes);
}

std::size_t OggZarnContents::hopsOf(Hop kind) const {
    return static_cast<std::size_t>(std::count(hops_.begin(), hops_.end(), kind));
}

// The first stream's frames hop by hop, with each hop the decoder plays as
// silence (lost, or a packet that does not parse) standing as the silent
// frame, so that the tables keep the decoded sound's time.
void OggZarnContents::readFrames(const std::vector<std::uint8_t>& bytes) {
    using Outcome = OggZarnReader::Outcome;
    const auto reader = std::make_unique<OggZarnReader>();
    if (!reader->ready()) fail(std::cerr, tr("Not enough memory"));
    EncodedFrame frame;
    EncodedFrame silent;
    unpackFrame(kSilentFrame.data(), kSilentFrame.size(), silent);
    std::size_t streams = 0;
    bool inFirst = false;
    const auto addLost = [&](std::uint64_t count) {
        for (std::uint64_t i = 0; i < count; ++i) {
            for (FrameTable& table : tables_) table.add(silent, 0);
            hops_.push_back(Hop::lost);
            packetBytes_.push_back(0);
        }
    };
    const auto take = [&](Outcome outcome) {
        if (outcome == Outcome::identification) {
            ++streams;
            inFirst = streams == 1;
            if (inFirst) {
                identification_ = reader->identification();
                tables_.assign(identification_.channels, FrameTable());
            } else {
                ++laterStreams_;
            }
        }
        if (!inFirst) return;
        if (outcome == Outcome::comments) {
            vendor_ = std::string(reader->comments().vendor());
            auto cursor = reader->comments().comments();
            for (std::string_view comment; cursor.next(comment);) tags_.emplace_back(comment);
        } else if (outcome == Outcome::hop) {
            // Hops lost where the hole could not say how many.
            if (reader->hopIndexKnown() && reader->hopIndex() > hops_.size()) addLost(reader->hopIndex() - hops_.size());
            std::uint32_t packet = identification_.coupling == Coupling::frontPair ? 1 : 0;
            for (unsigned c = 0; c < reader->channels(); ++c) {
                const FrameBytes bytes = reader->frame(c);
                unpackFrame(bytes.bytes, bytes.size, frame);
                tables_[c].add(frame, static_cast<std::uint32_t>(bytes.size));
                packet += static_cast<std::uint32_t>(bytes.size);
            }
            const bool coupled = identification_.coupling == Coupling::frontPair;
            hops_.push_back(reader->silent() ? Hop::empty
                            : !coupled       ? Hop::separate
                            : reader->midSide() ? Hop::midSide
                                                : Hop::leftRight);
            packetBytes_.push_back(reader->silent() ? 0 : packet);
        } else if (outcome == Outcome::hole) {
            if (reader->lostHopsKnown()) addLost(reader->lostHops());
        } else if (outcome == Outcome::badPacket) {
            if (reader->hopIndexKnown() && reader->hopIndex() > hops_.size()) addLost(reader->hopIndex() - hops_.size());
            addLost(1);
        } else if (outcome == Outcome::endOfStream) {
            inFirst = false;
        }
    };
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    for (Outcome outcome; (outcome = reader->next(at, left)) != Outcome::needMore;) take(outcome);
    take(reader->finish());
}

// The first stream decoded through its damage: its samples per channel,
// every damage with its place, and its length.
void OggZarnContents::decode(const std::vector<std::uint8_t>& bytes) {
    using Result = OggZarnDecoder::Result;
    const auto decoder = std::make_unique<OggZarnDecoder>(true);
    decoded_.assign(channels(), std::vector<Sample>());
    std::size_t links = 0;
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    bool finishing = false;
    for (;;) {
        const Result result = finishing ? decoder->finish() : decoder->next(at, left);
        if (result == Result::needMore) {
            if (finishing) break;
            finishing = true;
            continue;
        }
        if (result == Result::header && ++links > 1) break;
        if (result == Result::damaged) {
            // A later stream's header is no concern of the first's.
            if (decoder->damage() == OggZarnDecoder::Damage::badHeader && links != 1) continue;
            const bool known = decoder->damage() != OggZarnDecoder::Damage::hole || decoder->damageSamples() > 0;
            damage_.push_back({kindOf(decoder->damage()), decoder->damageAt(), decoder->damageSamples(), known});
        }
        if (result == Result::samples && links == 1 && decoder->channels() == channels()) {
            for (unsigned c = 0; c < channels(); ++c) {
                std::vector<Sample>& out = decoded_[c];
                if (decoder->position() > out.size()) out.resize(decoder->position(), 0);
                for (std::size_t i = 0; i < decoder->frames(); ++i) out.push_back(decoder->samples()[i * channels() + c]);
            }
        }
        if (result == Result::linkEnd) {
            lengthKnown_ = decoder->lengthKnown();
            break;
        }
        if (result == Result::end) break;
        if (result == Result::failed) {
            if (decoder->failure() == OggZarnDecoder::Failure::noRoom) fail(std::cerr, tr("Not enough memory"));
            break;
        }
    }
    length_ = lengthKnown_ ? decoder->length() : decoded_.empty() ? 0 : decoded_[0].size();
    for (std::vector<Sample>& channel : decoded_) channel.resize(length_, 0);
}

std::string channelName(unsigned channels, unsigned channel) {
    using text::N_;
    static const char* const kMono = N_("mono");
    static const char* const kLeft = N_("left");
    static const char* const kRight = N_("right");
    static const char* const kFrontLeft = N_("front left");
    static const char* const kFrontRight = N_("front right");
    static const char* const kCentre = N_("centre");
    static const char* const kRearLeft = N_("rear left");
    static const char* const kRearRight = N_("rear right");
    static const char* const kSideLeft = N_("side left");
    static const char* const kSideRight = N_("side right");
    static const char* const kRearCentre = N_("rear centre");
    static const char* const kLfe = N_("LFE");
    // The container's order, Vorbis's, for each channel count.
    static const std::array<std::array<const char*, 8>, 8> kNames{{
        {kMono},
        {kLeft, kRight},
        {kLeft, kCentre, kRight},
        {kFrontLeft, kFrontRight, kRearLeft, kRearRight},
        {kFrontLeft, kCentre, kFrontRight, kRearLeft, kRearRight},
        {kFrontLeft, kCentre, kFrontRight, kRearLeft, kRearRight, kLfe},
        {kFrontLeft, kCentre, kFrontRight, kSideLeft, kSideRight, kRearCentre, kLfe},
        {kFrontLeft, kCentre, kFrontRight, kSideLeft, kSideRight, kRearLeft, kRearRight, kLfe},
    }};
    if (channels == 0 || channels > kNames.size() || channel >= channels) return "";
    return tr(kNames[channels - 1][channel]);
}

}  // namespace zarn
