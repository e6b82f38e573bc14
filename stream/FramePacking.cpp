#include "stream/FramePacking.h"

#include "common/BandTable.h"
#include "stream/BitPacker.h"
#include "stream/ZarnFormat.h"

namespace zarn {

std::size_t packFrame(const EncodedFrame& frame, std::uint8_t* out) {
    BitPacker packer(out);
    packer.put(kFrameTagBits, kFrameTag);
    for (const std::uint8_t bits : frame.allocation) packer.put(kSideFieldBits, bits);
    for (const std::uint8_t exponent : frame.scale) packer.put(kSideFieldBits, exponent);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = frame.allocation[band];
        if (b == 0) continue;
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        if (b == 15) {
            // The common case: every field a whole 16-bit value.
            for (std::size_t bin = first; bin < end; ++bin) {
                packer.putWord(static_cast<std::uint16_t>(frame.re[bin]));
                if (storesImaginary(bin)) packer.putWord(static_cast<std::uint16_t>(frame.im[bin]));
            }
            continue;
        }
        // A field is the top b + 1 bits of the 16-bit two's complement value.
        const int shift = 15 - b;
        for (std::size_t bin = first; bin < end; ++bin) {
            packer.put(b + 1, static_cast<std::uint16_t>(frame.re[bin]) >> shift);
            if (storesImaginary(bin)) packer.put(b + 1, static_cast<std::uint16_t>(frame.im[bin]) >> shift);
        }
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
    for (std::uint8_t& bits : frame.allocation) {
        if (!unpacker.take(kSideFieldBits, field)) return kCutShort;
        bits = static_cast<std::uint8_t>(field);
    }
    for (std::uint8_t& exponent : frame.scale) {
        if (!unpacker.take(kSideFieldBits, field)) return kCutShort;
        exponent = static_cast<std::uint8_t>(field);
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = frame.allocation[band];
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        if (b == 0) {
            for (std::size_t bin = first; bin < end; ++bin) frame.re[bin] = frame.im[bin] = 0;
            continue;
        }
        // The field's bits go back to the top of the 16-bit value.
        const int shift = 15 - b;
        for (std::size_t bin = first; bin < end; ++bin) {
            if (!unpacker.take(b + 1, field)) return kCutShort;
            frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
            frame.im[bin] = 0;
            if (storesImaginary(bin)) {
                if (!unpacker.take(b + 1, field)) return kCutShort;
                frame.im[bin] = static_cast<Sample>(static_cast<std::uint16_t>(field << shift));
            }
        }
    }
    if (!unpacker.take(16 - static_cast<int>(unpacker.bitCount() % 16), field)) return kCutShort;
    return {Unpacked::Outcome::frame, unpacker.size(), kFrameTag};
}

}  // namespace zarn
