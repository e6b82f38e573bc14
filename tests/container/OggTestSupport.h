#pragma once
// Streams written and read whole for the container's tests: frames from the
// library's encoders, Ogg Zarn in memory with each page's place, and
// everything a reader gives, fed in pieces of a chosen size.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/OggZarnReader.h"
#include "container/OggZarnWriter.h"
#include "lib/zarn.h"
#include "stream/FramePacking.h"

namespace zarn::test {

using Bytes = std::vector<std::uint8_t>;

inline int appendBytes(void* to, const std::uint8_t* bytes, std::size_t size) {
    static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), bytes, bytes + size);
    return 0;
}

// A bare stream cut into its frames.
inline std::vector<Bytes> framesOf(const Bytes& stream) {
    std::vector<Bytes> frames;
    EncodedFrame scratch;
    for (std::size_t at = 0; at < stream.size();) {
        const Unpacked unpacked = unpackFrame(stream.data() + at, stream.size() - at, scratch);
        if (unpacked.outcome != Unpacked::Outcome::frame) {
            ADD_FAILURE() << "the encoder's stream does not parse at byte " << at;
            break;
        }
        frames.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                            stream.begin() + static_cast<std::ptrdiff_t>(at + unpacked.bytes));
        at += unpacked.bytes;
    }
    return frames;
}

// A tone of its own per channel, encoded at 128 kbit/s as a bare stream.
inline Bytes encodeChannel(std::size_t samples, unsigned channel) {
    std::vector<std::int16_t> tone(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        tone[i] = static_cast<std::int16_t>(8000.0 * std::sin(0.01 * (channel + 1) * static_cast<double>(i)));
    }
    Bytes stream;
    int error = 0;
    zarn_encoder* encoder = zarn_encoder_create(ZARN_ENCODER_BITRATE, appendBytes, &stream, &error);
    EXPECT_NE(encoder, nullptr);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, 128), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, tone.data(), tone.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    return stream;
}

// Ogg Zarn in memory, with where each page starts and its granule.
struct OggFile {
    Bytes bytes;
    std::vector<std::size_t> pageStarts;
    std::vector<std::int64_t> granules;
    std::vector<std::size_t> pageBodies;
};

inline bool keepPage(void* file, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
                     std::size_t bodySize) {
    auto& out = *static_cast<OggFile*>(file);
    out.pageStarts.push_back(out.bytes.size());
    out.pageBodies.push_back(bodySize);
    std::int64_t granule = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | header[6 + i];
    out.granules.push_back(granule);
    out.bytes.insert(out.bytes.end(), header, header + headerSize);
    out.bytes.insert(out.bytes.end(), body, body + bodySize);
    return true;
}

inline Bytes commentsOf(const std::vector<std::string_view>& comments, std::string_view vendor = "Zarn test") {
    Bytes bytes(commentHeaderBytes(vendor, comments.data(), comments.size()));
    HeaderError error;
    EXPECT_EQ(writeComments(vendor, comments.data(), comments.size(), bytes.data(), bytes.size(), error), bytes.size());
    return bytes;
}

// Writes channels[c][hop] as one stream; a hop whose frames are all empty is a silent hop.
inline OggFile writeOgg(const std::vector<std::vector<Bytes>>& channels, std::uint64_t samples, int serial = 7,
                        const std::vector<std::string_view>& tags = {}) {
    OggFile file;
    OggZarnWriter writer(serial, keepPage, &file);
    Identification header;
    header.channels = static_cast<std::uint8_t>(channels.size());
    const Bytes comments = commentsOf(tags);
    EXPECT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const std::size_t hops = channels.empty() ? 0 : channels[0].size();
    for (std::size_t hop = 0; hop < hops; ++hop) {
        std::vector<FrameBytes> frames;
        bool silent = true;
        for (const auto& channel : channels) {
            frames.push_back({channel[hop].data(), channel[hop].size()});
            silent = silent && channel[hop].empty();
        }
        EXPECT_EQ(silent ? writer.silentHop() : writer.hop(frames.data()), OggZarnWriter::Status::ok);
    }
    EXPECT_EQ(writer.finish(samples), OggZarnWriter::Status::ok);
    return file;
}

struct ReadHop {
    std::uint64_t index = 0;
    bool known = false;
    bool silent = false;
    std::vector<Bytes> frames;
};

// Everything a reader gives, in order: outcomes, hops, header and lengths.
struct ReadBack {
    std::vector<OggZarnReader::Outcome> outcomes;
    std::vector<ReadHop> hops;
    std::vector<Identification> identifications;
    std::vector<std::vector<std::string>> tags;
    std::vector<std::uint64_t> lengths;
    std::vector<std::uint64_t> lost;
    OggZarnReader::Outcome end = OggZarnReader::Outcome::done;

    std::size_t count(OggZarnReader::Outcome outcome) const {
        std::size_t n = 0;
        for (const auto o : outcomes) n += o == outcome;
        return n;
    }
};

inline void collect(OggZarnReader& reader, OggZarnReader::Outcome outcome, ReadBack& read) {
    using Outcome = OggZarnReader::Outcome;
    read.outcomes.push_back(outcome);
    if (outcome == Outcome::identification) read.identifications.push_back(reader.identification());
    if (outcome == Outcome::comments) {
        std::vector<std::string> tags;
        auto cursor = reader.comments().comments();
        for (std::string_view comment; cursor.next(comment);) tags.emplace_back(comment);
        read.tags.push_back(tags);
    }
    if (outcome == Outcome::hop) {
        ReadHop hop{reader.hopIndex(), reader.hopIndexKnown(), reader.silent(), {}};
        for (unsigned c = 0; c < reader.channels(); ++c) {
            const FrameBytes frame = reader.frame(c);
            hop.frames.emplace_back(frame.bytes, frame.bytes + frame.size);
        }
        read.hops.push_back(hop);
    }
    if (outcome == Outcome::hole) read.lost.push_back(reader.lostHopsKnown() ? reader.lostHops() : ~0ull);
    if (outcome == Outcome::endOfStream) read.lengths.push_back(reader.lengthKnown() ? reader.length() : ~0ull);
}

inline void feed(OggZarnReader& reader, const std::uint8_t* bytes, std::size_t size, std::size_t piece, ReadBack& read) {
    for (std::size_t at = 0; at < size;) {
        const std::size_t take = std::min(piece, size - at);
        const std::uint8_t* p = bytes + at;
        std::size_t left = take;
        for (OggZarnReader::Outcome outcome; (outcome = reader.next(p, left)) != OggZarnReader::Outcome::needMore;) {
            collect(reader, outcome, read);
        }
        at += take;
    }
}

inline ReadBack readOgg(const Bytes& bytes, std::size_t piece = 1 << 20) {
    ReadBack read;
    OggZarnReader reader;
    EXPECT_TRUE(reader.ready());
    feed(reader, bytes.data(), bytes.size(), piece, read);
    read.end = reader.finish();
    return read;
}

// A file in memory, read and sought through the callbacks the seeker and
// the decoder pull with.
struct Memory {
    const Bytes* bytes;
    std::size_t at = 0;
};

inline long readMemory(void* user, std::uint8_t* buffer, std::size_t size) {
    auto& memory = *static_cast<Memory*>(user);
    const std::size_t take = std::min(size, memory.bytes->size() - memory.at);
    std::memcpy(buffer, memory.bytes->data() + memory.at, take);
    memory.at += take;
    return static_cast<long>(take);
}

inline int seekMemory(void* user, std::int64_t offset) {
    auto& memory = *static_cast<Memory*>(user);
    if (offset < 0 || static_cast<std::uint64_t>(offset) > memory.bytes->size()) return -1;
    memory.at = static_cast<std::size_t>(offset);
    return 0;
}

}  // namespace zarn::test
