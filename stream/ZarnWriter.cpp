#include "stream/ZarnWriter.h"

#include <iostream>

#include "common/Fatal.h"
#include "common/RoundToSample.h"
#include "stream/ZarnFormat.h"

namespace zarn {

namespace {

// The b + 1 most significant bits of the component's 16-bit two's complement.
inline std::uint16_t topBits(double component, int b) {
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(roundToSample(component)) >> (15 - b));
}

}  // namespace

ZarnWriter::ZarnWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til skrivning");
}

void ZarnWriter::putBits(int count, std::uint16_t value) {
    frameBits_ += count;
    // Shifts happen in 32 bits: a 16-bit accumulator shifted by 16 would be a
    // hazard, and the truncation back to 16 bits drops exactly the bits sent.
    if (pending_ + count <= 16) {
        accumulator_ = static_cast<std::uint16_t>((std::uint32_t{accumulator_} << count) | value);
        pending_ = static_cast<std::uint8_t>(pending_ + count);
        if (pending_ == 16) {
            emitWord(accumulator_);
            accumulator_ = 0;
            pending_ = 0;
        }
        return;
    }
    // The field straddles a word boundary: its top bits finish this word, the
    // rest start the next one.
    const int free = 16 - pending_;
    const int rest = count - free;
    emitWord(static_cast<std::uint16_t>((std::uint32_t{accumulator_} << free) | (value >> rest)));
    accumulator_ = static_cast<std::uint16_t>(value & ((1u << rest) - 1));
    pending_ = static_cast<std::uint8_t>(rest);
}

void ZarnWriter::writeFrame(const BitAllocation& allocation, const ScaleExponents& scale,
                            const double* re, const double* im) {
    putBits(kFrameTagBits, kFrameTag);
    for (std::uint8_t bits : allocation) putBits(kSideFieldBits, bits);
    for (std::uint8_t exponent : scale) putBits(kSideFieldBits, exponent);
    frameBits_ = kFrameHeaderBits;

    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = allocation[band];
        const std::size_t end = bin + kBandWidths[band];
        if (b == 0) {
            bin = end;
            continue;
        }
        for (; bin < end; ++bin) {
            putBits(b + 1, topBits(re[bin], b));
            if (storesImaginary(bin)) putBits(b + 1, topBits(im[bin], b));
        }
    }
    putBits(16 - (frameBits_ % 16), 0);
}

}  // namespace zarn
