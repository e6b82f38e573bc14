// Any bytes as Ogg Zarn through the container's decoder, as a player uses
// it: pushed in pieces where the input says, pulled from memory, and sought.
// The first byte holds the choices: its top bit mends every page's CRC
// first (as OggFuzzer does, so that mutations reach behind the check), the
// next decodes through damage, bits 0-2 give how many of the following
// bytes (0 to 7) are piece sizes and bits 3-5 how many byte pairs after
// them are seek targets (in 1/65536ths of the first link's length); the
// rest is the stream.
//
// However the stream is cut, pushed or pulled, the decoder must give the
// same results and the same samples (runs of bytes that are no page may be
// told in more or fewer steps, so a run counts once). A seek on a stream
// that decoded without damage must give the full decoding's samples from
// the target on. Every result's figures must be in range, and after
// `failed` every call must give `failed` again. A difference aborts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <ogg/ogg.h>

#include "container/OggZarnDecoder.h"
#include "fuzz/MendChecksums.h"

namespace {

using zarn::OggZarnDecoder;
using Result = OggZarnDecoder::Result;
using Damage = OggZarnDecoder::Damage;

// The most samples per channel that `bytes` of stream can give: a hop per
// byte (an empty packet takes one lacing value), the Block each link ends
// with, and the silence each report of damage may put in place of what is
// lost. A decoder that gives more is making sound up.
std::uint64_t mostFrames(std::size_t bytes, std::uint64_t links, std::uint64_t damages) {
    const std::uint64_t hops = bytes + 2 * links + damages * (OggZarnDecoder::kMostFilledHops + 1);
    return hops * zarn::kHopSamples;
}

struct Decoding {
    std::vector<std::uint64_t> trace;        // each result and its figures
    std::vector<zarn::Sample> samples;       // the first link's, interleaved
    std::uint64_t firstLength = 0;           // the first link's length, where told
    bool firstLengthKnown = false;
    bool clean = true;                       // no damage, one link, its length told
    unsigned channels = 0;
    std::uint64_t frames = 0;
    unsigned links = 0;
    std::uint64_t damages = 0;
    std::size_t bytes = 0;  // the stream's
    bool failed = false;
    bool afterLostSync = false;  // the last result noted was bytes that were no page

    // False once the decoding is over.
    bool note(const OggZarnDecoder& decoder, Result result) {
        if (failed && result != Result::failed) std::abort();
        const bool lostSync = result == Result::damaged && decoder.damage() == Damage::lostSync;
        if (lostSync && afterLostSync) return true;
        afterLostSync = lostSync;
        trace.push_back(static_cast<std::uint64_t>(result));
        switch (result) {
            case Result::needMore:
                std::abort();
            case Result::header:
                if (decoder.channels() < 1 || decoder.channels() > zarn::kMaxChannels) std::abort();
                if (++links > 1) clean = false;
                channels = links == 1 ? decoder.channels() : channels;
                trace.push_back(decoder.channels());
                trace.push_back(decoder.identification().preSkip);
                break;
            case Result::samples:
                if (decoder.frames() == 0 || decoder.frames() > zarn::kHopSamples) std::abort();
                trace.push_back(decoder.position());
                trace.push_back(decoder.frames());
                frames += decoder.frames();
                if (frames > mostFrames(bytes, links, damages)) std::abort();
                if (links == 1 && clean) {
                    // Each hop's samples follow the ones before it.
                    if (samples.size() > decoder.position() * channels) std::abort();
                    samples.resize(decoder.position() * channels);
                    samples.insert(samples.end(), decoder.samples(),
                                   decoder.samples() + decoder.frames() * decoder.channels());
                }
                break;
            case Result::damaged:
                clean = false;
                ++damages;
                trace.push_back(static_cast<std::uint64_t>(decoder.damage()));
                if (decoder.damage() != Damage::lostSync) {
                    trace.push_back(decoder.damageAt());
                    trace.push_back(decoder.damageSamples());
                }
                break;
            case Result::linkEnd:
                trace.push_back(decoder.lengthKnown() ? decoder.length() : ~0ull);
                if (links == 1) {
                    firstLengthKnown = decoder.lengthKnown();
                    firstLength = decoder.length();
                    if (!firstLengthKnown) clean = false;
                }
                break;
            case Result::end:
                return false;
            case Result::failed:
                if (decoder.failure() == OggZarnDecoder::Failure::none) std::abort();
                trace.push_back(static_cast<std::uint64_t>(decoder.failure()));
                failed = true;
                clean = false;
                return false;
        }
        return true;
    }
};

Decoding push(const std::uint8_t* stream, std::size_t size, const std::uint8_t* cuts, std::size_t cutCount,
              bool through) {
    Decoding decoding;
    decoding.bytes = size;
    OggZarnDecoder decoder(through);
    bool going = true;
    for (std::size_t at = 0, cut = 0; going && at < size; ++cut) {
        // Up to past the largest page's header, so that every kind of cut comes up.
        const std::size_t piece = cutCount == 0 ? size : 1 + cuts[cut % cutCount] * 3u;
        std::size_t left = piece < size - at ? piece : size - at;
        const std::uint8_t* bytes = stream + at;
        at += left;
        for (Result result; going && (result = decoder.next(bytes, left)) != Result::needMore;)
            going = decoding.note(decoder, result);
        if (going && left != 0) std::abort();
    }
    while (going) going = decoding.note(decoder, decoder.finish());
    if (decoding.failed && (decoder.finish() != Result::failed || decoder.next(stream, size) != Result::failed))
        std::abort();
    return decoding;
}

struct Memory {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at;
};

long readMemory(void* user, std::uint8_t* buffer, std::size_t size) {
    auto& memory = *static_cast<Memory*>(user);
    const std::size_t take = size < memory.size - memory.at ? size : memory.size - memory.at;
    if (take != 0) std::memcpy(buffer, memory.bytes + memory.at, take);
    memory.at += take;
    return static_cast<long>(take);
}

int seekMemory(void* user, std::int64_t offset) {
    auto& memory = *static_cast<Memory*>(user);
    if (offset < 0 || static_cast<std::uint64_t>(offset) > memory.size) return -1;
    memory.at = static_cast<std::size_t>(offset);
    return 0;
}

Decoding pull(const std::uint8_t* stream, std::size_t size, bool through) {
    Decoding decoding;
    decoding.bytes = size;
    OggZarnDecoder decoder(through);
    Memory memory{stream, size, 0};
    const zarn::ByteSource source{&memory, readMemory, seekMemory};
    while (decoding.note(decoder, decoder.pull(source))) {
    }
    return decoding;
}

// After the first header, to `target`; then the first link's samples from
// there must be the full decoding's.
void seekAndCompare(const std::uint8_t* stream, std::size_t size, const Decoding& full, std::uint64_t target) {
    OggZarnDecoder decoder;
    Memory memory{stream, size, 0};
    const zarn::ByteSource source{&memory, readMemory, seekMemory};
    Result result;
    while ((result = decoder.pull(source)) != Result::header) {
        if (result == Result::end || result == Result::failed) std::abort();
    }
    if (!decoder.seek(source, size, target)) std::abort();
    std::uint64_t expected = target;
    const unsigned channels = full.channels;
    std::uint64_t frames = 0;
    while ((result = decoder.pull(source)) == Result::samples) {
        if (decoder.position() != expected) std::abort();
        if (std::memcmp(decoder.samples(), full.samples.data() + expected * channels,
                        decoder.frames() * channels * sizeof(zarn::Sample)) != 0)
            std::abort();
        expected += decoder.frames();
        frames += decoder.frames();
        if (frames > full.frames) std::abort();
    }
    if (result != Result::linkEnd || expected != full.firstLength) std::abort();
}


}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool through = (data[0] & 0x40) != 0;
    const std::size_t cutCount = data[0] & 7u;
    const std::size_t seekCount = (data[0] >> 3) & 7u;
    const std::size_t choices = 1 + cutCount + 2 * seekCount;
    if (size < choices) return 0;
    std::vector<std::uint8_t> bytes(data + choices, data + size);
    if (data[0] & 0x80) zarn::fuzz::mendChecksums(bytes);
    const std::uint8_t* stream = bytes.data();
    const std::size_t streamSize = bytes.size();

    const Decoding whole = push(stream, streamSize, nullptr, 0, through);
    if (cutCount > 0 && push(stream, streamSize, data + 1, cutCount, through).trace != whole.trace) std::abort();
    if (pull(stream, streamSize, through).trace != whole.trace) std::abort();

    if (!whole.clean || whole.links != 1 || whole.samples.size() != whole.firstLength * whole.channels) return 0;
    const std::uint8_t* seeks = data + 1 + cutCount;
    for (std::size_t i = 0; i < seekCount; ++i) {
        const std::uint64_t fraction = std::uint64_t{seeks[2 * i]} << 8 | seeks[2 * i + 1];
        const std::uint64_t target = whole.firstLength * fraction / 65536;
        seekAndCompare(stream, streamSize, whole, target);
    }
    return 0;
}
