// Any bytes as a Zarn stream through libzarn's streaming decoder, cut into
// pieces where the input says. The first byte gives how many of the next
// bytes (1 to 8) are piece sizes, used in turn; the rest is the stream.
// However it is cut, the stream must give the same samples, the same outcome
// and the same position as in one piece; a difference aborts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lib/zarn.h"

namespace {

struct Decoding {
    std::vector<std::int16_t> samples;
    int status = ZARN_OK;
    std::uint64_t position = 0;

    bool operator==(const Decoding& other) const {
        return samples == other.samples && status == other.status && position == other.position;
    }
};

int keep(void* decoding, const std::int16_t* samples, std::size_t count) {
    auto& kept = static_cast<Decoding*>(decoding)->samples;
    kept.insert(kept.end(), samples, samples + count);
    return 0;
}

// Decodes stream[0..size) in pieces of the sizes in `cuts`, in turn.
Decoding decode(const std::uint8_t* stream, std::size_t size, const std::uint8_t* cuts, std::size_t cutCount) {
    Decoding decoding;
    zarn_decoder* decoder = zarn_decoder_create(keep, &decoding, nullptr);
    if (decoder == nullptr) std::abort();
    for (std::size_t at = 0, cut = 0; at < size && decoding.status == ZARN_OK; ++cut) {
        // Up to past the largest frame, so that every kind of cut comes up.
        const std::size_t piece = cutCount == 0 ? size : 1 + cuts[cut % cutCount] * 5u;
        const std::size_t taken = piece < size - at ? piece : size - at;
        decoding.status = zarn_decoder_write(decoder, stream + at, taken);
        at += taken;
    }
    if (decoding.status == ZARN_OK) decoding.status = zarn_decoder_finish(decoder);
    decoding.position = zarn_decoder_position(decoder);
    zarn_decoder_destroy(decoder);
    // n frames give 256·n samples, less one hop when a damaged frame stops them.
    if (decoding.samples.size() % ZARN_FRAME_SAMPLES != 0) std::abort();
    return decoding;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t cutCount = 1 + data[0] % 8;
    if (size < 1 + cutCount) return 0;
    const std::uint8_t* stream = data + 1 + cutCount;
    const std::size_t streamSize = size - 1 - cutCount;
    if (!(decode(stream, streamSize, data + 1, cutCount) == decode(stream, streamSize, nullptr, 0))) std::abort();
    return 0;
}
