#pragma once
// The two header packets that begin every Ogg Zarn stream, built and read
// byte by byte: the identification header (channels, coupling, the rate the
// sound had, the pre-skip) and the comment header in the Vorbis comment
// form. Reading never trusts a length: each is checked against what is left
// of the packet before it is used.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "stream/ZarnFormat.h"

namespace zarn {

// What this version writes, and the least a reader takes: version 1.0's
// header, without the length at the original rate that 1.1 adds.
constexpr std::size_t kIdentificationBytes = 25;
constexpr std::size_t kIdentificationBaseBytes = 17;
constexpr std::uint8_t kMappingVersion = 0x11;  // major 1, minor 1
// The length at the original rate when the writer could not tell it.
constexpr std::uint64_t kLengthUnknown = ~std::uint64_t{0};
constexpr unsigned kMaxChannels = 8;
// Samples per channel in a hop, and the decoder's latency of one hop: the
// first packet's hop is the encoder's silent run-in.
constexpr std::uint32_t kHopSamples = 256;
constexpr std::uint16_t kPreSkip = 256;
// A packet: the coupling byte and every channel's largest frame.
constexpr std::size_t kMaxAudioPacketBytes = 1 + kMaxChannels * kMaxFrameBytes;

enum class Coupling : std::uint8_t {
    separate = 0,   // every channel coded on its own
    frontPair = 1,  // the front pair may be mid/side, hop by hop
};

struct Identification {
    std::uint8_t version = kMappingVersion;
    std::uint8_t channels = 1;
    Coupling coupling = Coupling::separate;
    std::uint32_t originalRate = 44100;
    std::uint16_t preSkip = kPreSkip;
    // Samples per channel at originalRate, where the writer knew them at
    // the start or came back to write them; a decoder at that rate gives
    // exactly this many. Not part of the stream's form, so left out of ==.
    std::uint64_t originalLength = kLengthUnknown;

    friend bool operator==(const Identification& a, const Identification& b) {
        return a.version == b.version && a.channels == b.channels && a.coupling == b.coupling &&
               a.originalRate == b.originalRate && a.preSkip == b.preSkip;
    }
};

enum class HeaderError {
    none,
    notThisHeader,  // the magic is not there: another codec's stream, or another packet
    cutShort,       // the packet ends before the header's fields do
    version,        // a major version this reader does not know
    channels,       // 0 or more than kMaxChannels
    coupling,       // a reserved coupling, or a pair coupled in a mono stream
    rate,           // an original rate of 0
    preSkip,        // less than the decoder's latency
    pastEnd,        // a length or count that runs past the packet's end
    badComment,     // a comment without '=', or a NAME outside ASCII 0x20-0x7D
    tooLarge,       // the header does not fit the buffer it is built in
};

// Where the front pair lies: channels 0 and 1 for 2 and 4 channels, 0 and 2
// for 3 and 5 to 8, where the centre sits between them in Vorbis order.
constexpr unsigned frontRightChannel(unsigned channels) { return channels == 2 || channels == 4 ? 1 : 2; }

// kFromWave[channels - 1][i]: the WAVE channel (WAVE_FORMAT_EXTENSIBLE's
// order, as libsndfile gives it) that the stream's channel i is.
constexpr std::array<std::array<std::uint8_t, kMaxChannels>, kMaxChannels> kFromWave{{
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 4, 5, 3},
    {0, 2, 1, 5, 6, 4, 3},
    {0, 2, 1, 6, 7, 4, 5, 3},
}};

HeaderError checkIdentification(const Identification& header);
std::array<std::uint8_t, kIdentificationBytes> writeIdentification(const Identification& header);
// Where the length at the original rate lies in the header, for a writer
// that comes back to it.
constexpr std::size_t kOriginalLengthOffset = 17;
void writeOriginalLength(std::uint8_t* at, std::uint64_t length);
// Reads and checks the header; a 1.0 header of 17 bytes has no length at
// the original rate, and bytes after the 25th are a later minor version's
// and are ignored.
HeaderError readIdentification(const std::uint8_t* bytes, std::size_t size, Identification& header);

// NAME of a "NAME=value" comment: ASCII 0x20 to 0x7D without '=', at least one.
bool validCommentName(std::string_view name);
// The NAME and value of a comment that validCommentName accepts; compared
// without regard to ASCII case.
bool commentNameIs(std::string_view comment, std::string_view name);
std::string_view commentValue(std::string_view comment);

// The comment header's size for this vendor and these comments.
std::size_t commentHeaderBytes(std::string_view vendor, const std::string_view* comments, std::size_t count);
// Builds the comment header into `out` (room for `capacity` bytes) and
// returns its size, or 0 with the reason in `error` when a comment is
// malformed or it does not fit.
std::size_t writeComments(std::string_view vendor, const std::string_view* comments, std::size_t count,
                          std::uint8_t* out, std::size_t capacity, HeaderError& error);

// A comment header that has been checked whole: its vendor and each of its
// comments are views into the packet, which must outlive it.
class CommentHeader {
public:
    HeaderError read(const std::uint8_t* bytes, std::size_t size);

    std::string_view vendor() const { return vendor_; }
    std::uint32_t count() const { return count_; }
    // Comments in order: first() and then next() until it gives false.
    class Cursor {
    public:
        bool next(std::string_view& comment);

    private:
        friend class CommentHeader;
        const std::uint8_t* at_ = nullptr;  // the next comment's length field
        std::uint32_t left_ = 0;            // comments not yet given
    };
    Cursor comments() const;

private:
    std::string_view vendor_;
    const std::uint8_t* first_ = nullptr;  // the first comment's length field
    std::uint32_t count_ = 0;
};

}  // namespace zarn
