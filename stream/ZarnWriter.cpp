#include "stream/ZarnWriter.h"

#include <iostream>

#include "common/Fatal.h"
#include "common/RoundToSample.h"
#include "stream/ZarnFormat.h"

namespace zarn {

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

namespace {

// Packs a frame into memory: the same fields in the same order as putBits,
// through a wider accumulator, so a word leaves only when it is full.
class FramePacker {
public:
    explicit FramePacker(std::uint8_t* out) : out_(out) {}

    void put(int count, std::uint32_t value) {
        accumulator_ = (accumulator_ << count) | value;
        pending_ += count;
        if (pending_ >= 16) {
            pending_ -= 16;
            const auto word = static_cast<std::uint16_t>(accumulator_ >> pending_);
            out_[size_++] = static_cast<std::uint8_t>(word & 0xFF);
            out_[size_++] = static_cast<std::uint8_t>(word >> 8);
        }
    }

    // put(16, value): a whole word's worth of bits always completes exactly
    // one word, so no test is needed.
    void putWord(std::uint16_t value) {
        accumulator_ = (accumulator_ << 16) | value;
        const auto word = static_cast<std::uint16_t>(accumulator_ >> pending_);
        out_[size_++] = static_cast<std::uint8_t>(word & 0xFF);
        out_[size_++] = static_cast<std::uint8_t>(word >> 8);
    }

    std::size_t size() const { return size_; }

private:
    std::uint8_t* out_;              // the frame's bytes
    std::uint64_t accumulator_ = 0;  // bits not yet in a whole word, in its low pending_ bits
    int pending_ = 0;                // 0..15 between calls
    std::size_t size_ = 0;           // bytes written to out_
};


}  // namespace

void ZarnWriter::writeFrame(const BitAllocation& allocation, const ScaleExponents& scale,
                            const double* re, const double* im) {
    // Frames always end on a word boundary, so nothing is pending here.
    std::uint8_t bytes[kMaxFrameBytes];
    FramePacker packer(bytes);
    packer.put(kFrameTagBits, kFrameTag);
    for (std::uint8_t bits : allocation) packer.put(kSideFieldBits, bits);
    for (std::uint8_t exponent : scale) packer.put(kSideFieldBits, exponent);
    std::int32_t frameBits = kFrameHeaderBits;

    Sample rounded[2][kCodedBins];
    std::size_t first = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = allocation[band];
        const std::size_t end = first + kBandWidths[band];
        if (b > 0) {
            roundToSamples(re + first, rounded[0] + first, end - first);
            roundToSamples(im + first, rounded[1] + first, end - first);
            const int shift = 15 - b;
            if (b == 15) {
                // The common case, every field a whole rounded value.
                for (std::size_t bin = first; bin < end; ++bin) {
                    packer.putWord(static_cast<std::uint16_t>(rounded[0][bin]));
                    if (storesImaginary(bin)) packer.putWord(static_cast<std::uint16_t>(rounded[1][bin]));
                }
                frameBits += 16 * static_cast<std::int32_t>(2 * (end - first) - (first == 0) - (end == kCodedBins));
                first = end;
                continue;
            }
            for (std::size_t bin = first; bin < end; ++bin) {
                packer.put(b + 1, static_cast<std::uint16_t>(rounded[0][bin]) >> shift);
                frameBits += b + 1;
                if (storesImaginary(bin)) {
                    packer.put(b + 1, static_cast<std::uint16_t>(rounded[1][bin]) >> shift);
                    frameBits += b + 1;
                }
            }
        }
        first = end;
    }
    const int padding = 16 - (frameBits % 16);
    packer.put(padding, 0);
    frameBits_ = frameBits + padding;
    output_.putBytes(bytes, packer.size());
}

}  // namespace zarn
