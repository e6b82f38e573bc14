// Any bytes as Ogg Zarn through the container's reader, cut into pieces
// where the input says, as StreamFuzzer cuts a bare stream: the first byte
// gives how many of the next bytes (1 to 8) are piece sizes, used in turn;
// the rest is the stream. However it is cut, the reader must give the same
// results, hops and lengths as in one piece (runs of skipped bytes may be
// told in more or fewer steps, so a run counts once), and every hop's
// frames must be whole frames lying inside the packet; a difference aborts.
// With the first byte's top bit set, every page's CRC is made right first,
// so that mutations reach the headers and packets behind the check.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "container/OggZarnReader.h"
#include "fuzz/MendChecksums.h"
#include "stream/FramePacking.h"

namespace {

using zarn::OggZarnReader;
using Outcome = OggZarnReader::Outcome;

struct Reading {
    std::vector<std::uint64_t> trace;  // each result, and a hop's index and frame lengths

    void note(const OggZarnReader& reader, Outcome outcome) {
        if (outcome == Outcome::lostSync && !trace.empty() && trace.back() == static_cast<std::uint64_t>(outcome)) return;
        trace.push_back(static_cast<std::uint64_t>(outcome));
        if (outcome == Outcome::endOfStream) trace.push_back(reader.lengthKnown() ? reader.length() : ~0ull);
        if (outcome == Outcome::hole) trace.push_back(reader.lostHopsKnown() ? reader.lostHops() : ~0ull);
        if (outcome != Outcome::hop) return;
        if (reader.channels() < 1 || reader.channels() > zarn::kMaxChannels) std::abort();
        trace.push_back(reader.hopIndexKnown() ? reader.hopIndex() : ~0ull);
        zarn::EncodedFrame frame;
        for (unsigned channel = 0; channel < reader.channels(); ++channel) {
            const zarn::FrameBytes bytes = reader.frame(channel);
            const zarn::Unpacked unpacked = zarn::unpackFrame(bytes.bytes, bytes.size, frame);
            if (unpacked.outcome != zarn::Unpacked::Outcome::frame || unpacked.bytes != bytes.size) std::abort();
            trace.push_back(bytes.size);
        }
    }
};

Reading read(const std::uint8_t* stream, std::size_t size, const std::uint8_t* cuts, std::size_t cutCount) {
    Reading reading;
    OggZarnReader reader;
    if (!reader.ready()) std::abort();
    for (std::size_t at = 0, cut = 0; at < size; ++cut) {
        // Up to past the largest page's header, so that every kind of cut comes up.
        const std::size_t piece = cutCount == 0 ? size : 1 + cuts[cut % cutCount] * 3u;
        std::size_t left = piece < size - at ? piece : size - at;
        const std::uint8_t* bytes = stream + at;
        at += left;
        for (Outcome outcome; (outcome = reader.next(bytes, left)) != Outcome::needMore;) reading.note(reader, outcome);
    }
    reading.trace.push_back(static_cast<std::uint64_t>(reader.finish()));
    return reading;
}


}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t cutCount = 1 + data[0] % 8;
    if (size < 1 + cutCount) return 0;
    std::vector<std::uint8_t> bytes(data + 1 + cutCount, data + size);
    if (data[0] & 0x80) zarn::fuzz::mendChecksums(bytes);
    const std::uint8_t* stream = bytes.data();
    const std::size_t streamSize = bytes.size();
    if (read(stream, streamSize, data + 1, cutCount).trace != read(stream, streamSize, nullptr, 0).trace) std::abort();
    return 0;
}
