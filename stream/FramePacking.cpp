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

// A frame's body, after its header, in the order it is stored, as segments
// that packing and unpacking each handle in their own way:
//   empty(first, end)          a band without bits: nothing stored
//   fields(bits, first, end)   a band of 1..14 bits: each bin's real part,
//                              then its imaginary part (none at DC and
//                              Nyquist), in bits + 1 bits each
//   realWord(bin)              the real part of DC or Nyquist in a run of
//                              15-bit bands: one whole 16-bit word
//   wordPairs(first, end)      the other bins of such a run: real and
//                              imaginary parts in turn, whole words
// The walk stops at the first segment whose handler returns false, and
// returns whether none did. Runs of 15-bit bands, the common case, are taken
// whole so that their words can go a vector at a time.
template <class Handler>
bool walkBody(const BitAllocation& allocation, Handler& handle) {
    for (std::size_t band = 0; band < kBandCount;) {
        const int bits = allocation[band];
        if (bits < 15) {
            const std::size_t first = kBands.first[band], end = kBands.end[band];
            if (!(bits == 0 ? handle.empty(first, end) : handle.fields(bits, first, end))) return false;
            ++band;
            continue;
        }
        const std::size_t endBand = endOfWholeWords(allocation, band);
        const std::size_t first = kBands.first[band], end = kBands.end[endBand - 1];
        const std::size_t pairsFirst = first == 0 ? 1 : first;
        const std::size_t pairsEnd = end > kNyquistBin ? kNyquistBin : end;
        if (first == 0 && !handle.realWord(0)) return false;
        if (!handle.wordPairs(pairsFirst, pairsEnd)) return false;
        if (end > kNyquistBin && !handle.realWord(kNyquistBin)) return false;
        band = endBand;
    }
    return true;
}

// The body of `frame` into `packer`.
struct BodyPacker {
    BitPacker& packer;
    const EncodedFrame& frame;

    bool empty(std::size_t, std::size_t) { return true; }
    // A field is the top bits + 1 bits of the 16-bit two's complement value.
    bool fields(int bits, std::size_t first, std::size_t end) {
        const int shift = 15 - bits, width = bits + 1;
        const auto field = [shift](Sample value) { return static_cast<std::uint32_t>(static_cast<std::uint16_t>(value) >> shift); };
        // A bin's two fields of up to 8 bits each go as one of up to 16.
        const bool paired = 2 * width <= 16;
        // The frame's padding comes after every band's fields.
        for (std::size_t bin = first; bin < end; ++bin) {
            if (!storesImaginary(bin)) {
                packer.putBeforeMore(width, field(frame.re[bin]));
            } else if (paired) {
                packer.putBeforeMore(2 * width, field(frame.re[bin]) << width | field(frame.im[bin]));
            } else {
                packer.putBeforeMore(width, field(frame.re[bin]));
                packer.putBeforeMore(width, field(frame.im[bin]));
            }
        }
        return true;
    }
    bool realWord(std::size_t bin) {
        packer.putWord(static_cast<std::uint16_t>(frame.re[bin]));
        return true;
    }
    bool wordPairs(std::size_t first, std::size_t end) {
        packer.putWordPairs(&frame.re[first], &frame.im[first], end - first);
        return true;
    }
};

// The body from `unpacker` into `frame`; a handler fails where the bytes end.
struct BodyUnpacker {
    BitUnpacker& unpacker;
    EncodedFrame& frame;

    bool empty(std::size_t first, std::size_t end) {
        for (std::size_t bin = first; bin < end; ++bin) frame.re[bin] = frame.im[bin] = 0;
        return true;
    }
    // The field's bits go back to the top of the 16-bit value.
    bool fields(int bits, std::size_t first, std::size_t end) {
        const int shift = 15 - bits;
        std::uint32_t field = 0;
        for (std::size_t bin = first; bin < end; ++bin) {
            if (!unpacker.take(bits + 1, field)) return false;
            frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
            frame.im[bin] = 0;
            if (storesImaginary(bin)) {
                if (!unpacker.take(bits + 1, field)) return false;
                frame.im[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
            }
        }
        return true;
    }
    bool realWord(std::size_t bin) {
        std::uint32_t field = 0;
        if (!unpacker.take(16, field)) return false;
        frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field));
        frame.im[bin] = 0;
        return true;
    }
    bool wordPairs(std::size_t first, std::size_t end) {
        if (unpacker.takeWordPairs(&frame.re[first], &frame.im[first], end - first)) return true;
        // Not all there: field by field as far as they go, as a reader of
        // one field at a time would leave the frame.
        fields(15, first, end);
        return false;
    }
};

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
    BodyPacker body{packer, frame};
    walkBody(frame.allocation, body);
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
    const Unpacked cutShort{Unpacked::Outcome::cutShort, frameBytes(frame.allocation), kFrameTag};
    BodyUnpacker body{unpacker, frame};
    if (!walkBody(frame.allocation, body)) return cutShort;
    if (!unpacker.take(16 - static_cast<int>(unpacker.bitCount() % 16), field)) return cutShort;
    return {Unpacked::Outcome::frame, unpacker.size(), kFrameTag};
}

}  // namespace zarn
