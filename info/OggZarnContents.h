#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Types.h"
#include "container/OggZarnHeaders.h"
#include "info/FrameTable.h"

namespace zarn {

// What an Ogg Zarn file holds, read whole: its first stream's headers, every
// hop's packet cut into each channel's frames, and every channel's samples
// as the container's decoder gives them. Damage does not end the reading:
// the decoder decodes through it, each lost or broken hop stands in the
// tables as the silent frame, and every damage is kept with its place.
class OggZarnContents {
public:
    // How a hop was coded or what became of it.
    enum class Hop : std::uint8_t { leftRight, midSide, separate, empty, lost };

    struct Damage {
        enum class Kind { lostSync, hole, badPacket, badGranule, truncated, badHeader };
        Kind kind;
        std::uint64_t at;       // the sample, per channel, where it lies
        std::uint64_t samples;  // how many it took out, where known (a hole)
        bool samplesKnown;
    };

    // Whether `path` begins as an Ogg file does; a bare stream's frame tag
    // can never begin so.
    static bool looksLikeOgg(const std::string& path);

    // Ends the process with one line when the file cannot be read or holds
    // no Zarn stream.
    explicit OggZarnContents(const std::string& path);

    const Identification& identification() const { return identification_; }
    unsigned channels() const { return identification_.channels; }
    const std::string& vendor() const { return vendor_; }
    const std::vector<std::string>& tags() const { return tags_; }
    std::uint64_t fileBytes() const { return fileBytes_; }
    // Streams after the first one, which are not looked into.
    std::size_t laterStreams() const { return laterStreams_; }

    bool lengthKnown() const { return lengthKnown_; }
    // Samples per channel: the last granule's, or those decoded where it
    // is missing.
    std::uint64_t length() const { return length_; }

    std::size_t hopCount() const { return hops_.size(); }
    Hop hop(std::size_t index) const { return hops_[index]; }
    std::size_t hopsOf(Hop kind) const;
    // Bytes of the hop's packet, 0 for an empty or a lost one.
    std::uint32_t packetBytes(std::size_t index) const { return packetBytes_[index]; }

    // One frame per hop, as that channel's frames taken out as a bare stream
    // would hold them.
    const FrameTable& channel(unsigned channel) const { return tables_[channel]; }
    const std::vector<Sample>& decoded(unsigned channel) const { return decoded_[channel]; }

    const std::vector<Damage>& damage() const { return damage_; }

private:
    void readFrames(const std::vector<std::uint8_t>& bytes);
    void decode(const std::vector<std::uint8_t>& bytes);

    Identification identification_;
    std::string vendor_;
    std::vector<std::string> tags_;
    std::uint64_t fileBytes_ = 0;
    std::size_t laterStreams_ = 0;
    bool lengthKnown_ = false;
    std::uint64_t length_ = 0;
    std::vector<Hop> hops_;
    std::vector<std::uint32_t> packetBytes_;
    std::vector<FrameTable> tables_;
    std::vector<std::vector<Sample>> decoded_;
    std::vector<Damage> damage_;
};

// The speaker of a channel in the container's order, for the user.
std::string channelName(unsigned channels, unsigned channel);

}  // namespace zarn
