#include "stream/FramePacking.h"

#include "common/BandTable.h"
#include "stream/BitPacker.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

// Four side fields, which fill one word exactly where the header has them.
std::uint16_t fourFields(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] << 12 | at[1] << 8 | at[2] << 4 | at[3]);
}

// The first band from `band` on that does not have 15 bits.
std::size_t endOfWholeWords(const BitAllocation& allocation, std::size_t band) {
    while (band < kBandCount && allocation[band] == 15) ++band;
    return band;
}

// The bins [first, end) of a band with b bits, field by field. A field is the
// top b + 1 bits of the 16-bit two's complement value.
void putFields(BitPacker& packer, const EncodedFrame& frame, int b, std::size_t first, std::size_t end) {
    const int shift = 15 - b;
    for (std::size_t bin = first; bin < end; ++bin) {
        packer.put(b + 1, static_cast<std::uint16_t>(frame.re[bin]) >> shift);
        if (storesImaginary(bin)) packer.put(b + 1, static_cast<std::uint16_t>(frame.im[bin]) >> shift);
    }
}

// False, with the bins filled as far as the bytes go, when they end first.
bool takeFields(BitUnpacker& unpacker, EncodedFrame& frame, int b, std::size_t first, std::size_t end) {
    // The field's bits go back to the top of the 16-bit value.
    const int shift = 15 - b;
    std::uint32_t field = 0;
    for (std::size_t bin = first; bin < end; ++bin) {
        if (!unpacker.take(b + 1, field)) return false;
        frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
        frame.im[bin] = 0;
        if (storesImaginary(bin)) {
            if (!unpacker.take(b + 1, field)) return false;
            frame.im[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
        }
    }
    return true;
}

}  // namespace

// The header is 212 bits: the tag and the first allocation make word 0,
// the other allocations words 1..6, the scales words 7..12 and the first
// four bits of word 13.
static_assert(kFrameTagBits + kSideFieldBits == 16 && kBandCount == 1 + 6 * 4 && kFrameHeaderBits % 16 == 4,
              "the header's side fields sit four to a word after the first");

std::size_t packFrame(const EncodedFrame& frame, std::uint8_t* out) {
    BitPacker packer(out);
    packer.putWord(static_cast<std::uint16_t>(kFrameTag << kSideFieldBits | frame.allocation[0]));
    for (std::size_t i = 1; i < kBandCount; i += 4) packer.putWord(fourFields(&frame.allocation[i]));
    for (std::size_t i = 0; i + 1 < kBandCount; i += 4) packer.putWord(fourFields(&frame.scale[i]));
    packer.put(kSideFieldBits, frame.scale[kBandCount - 1]);
    for (std::size_t band = 0; band < kBandCount;) {
        const int b = frame.allocation[band];
        if (b == 0) {
            ++band;
            continue;
        }
        if (b != 15) {
            putFields(packer, frame, b, kBands.first[band], kBands.end[band]);
            ++band;
            continue;
        }
        // The common case: a run of bands whose fields are whole 16-bit
        // values, real and imaginary in turn but for bins 0 and 256.
        const std::size_t endBand = endOfWholeWords(frame.allocation, band);
        std::size_t bin = kBands.first[band];
        const std::size_t end = kBands.end[endBand - 1];
        if (bin == 0) packer.putWord(static_cast<std::uint16_t>(frame.re[bin++]));
        const std::size_t pairsEnd = end < kNyquistBin ? end : kNyquistBin;
        packer.putWordPairs(&frame.re[bin], &frame.im[bin], pairsEnd - bin);
        if (end > kNyquistBin) packer.putWord(static_cast<std::uint16_t>(frame.re[kNyquistBin]));
        band = endBand;
    }
    packer.put(16 - static_cast<int>(packer.bitCount() % 16), 0);
    return packer.size();
}

Unpacked unpackFrame(const std::uint8_t* bytes, std::size_t available, EncodedFrame& frame) {
    constexpr Unpacked kCutShort{Unpacked::Outcome::cutShort, 0, 0};
    BitUnpacker unpacker(bytes, available);
    std::uint32_t field = 0;
    if (!unpacker.take(kFrameTagBits, field)) return kCutShort;
    if (field != kFrameTag) return {Unpacked::Outcome::badTag, 0, field};
    if (!unpacker.take(kSideFieldBits, field)) return kCutShort;
    frame.allocation[0] = static_cast<std::uint8_t>(field);
    // A word at a time: a cut leaves the same entries filled as one field
    // at a time would, since the cuts fall between words.
    const auto takeFour = [&](std::uint8_t* at) {
        if (!unpacker.take(16, field)) return false;
        for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(field >> (12 - 4 * i) & 0xF);
        return true;
    };
    for (std::size_t i = 1; i < kBandCount; i += 4) {
        if (!takeFour(&frame.allocation[i])) return kCutShort;
    }
    for (std::size_t i = 0; i + 1 < kBandCount; i += 4) {
        if (!takeFour(&frame.scale[i])) return kCutShort;
    }
    if (!unpacker.take(kSideFieldBits, field)) return kCutShort;
    frame.scale[kBandCount - 1] = static_cast<std::uint8_t>(field);
    for (std::size_t band = 0; band < kBandCount;) {
        const int b = frame.allocation[band];
        const std::size_t first = kBands.first[band];
        if (b == 0) {
            for (std::size_t bin = first; bin < kBands.end[band]; ++bin) frame.re[bin] = frame.im[bin] = 0;
            ++band;
            continue;
        }
        if (b != 15) {
            if (!takeFields(unpacker, frame, b, first, kBands.end[band])) return kCutShort;
            ++band;
            continue;
        }
        // A run of whole 16-bit fields, as packFrame writes it; when its
        // words are not all there, field by field as far as they go.
        const std::size_t endBand = endOfWholeWords(frame.allocation, band);
        const std::size_t end = kBands.end[endBand - 1];
        std::size_t bin = first;
        if (bin == 0) {
            if (!unpacker.take(16, field)) return kCutShort;
            frame.re[0] = static_cast<Sample>(static_cast<std::uint16_t>(field));
            frame.im[0] = 0;
            ++bin;
        }
        const std::size_t pairsEnd = end < kNyquistBin ? end : kNyquistBin;
        if (!unpacker.takeWordPairs(&frame.re[bin], &frame.im[bin], pairsEnd - bin)) {
            takeFields(unpacker, frame, 15, bin, end);
            return kCutShort;
        }
        if (end > kNyquistBin) {
            if (!unpacker.take(16, field)) return kCutShort;
            frame.re[kNyquistBin] = static_cast<Sample>(static_cast<std::uint16_t>(field));
            frame.im[kNyquistBin] = 0;
        }
        band = endBand;
    }
    if (!unpacker.take(16 - static_cast<int>(unpacker.bitCount() % 16), field)) return kCutShort;
    return {Unpacked::Outcome::frame, unpacker.size(), kFrameTag};
}

}  // namespace zarn
