#include "stream/ZarnReader.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "common/Fatal.h"
#include "stream/ZarnFormat.h"

namespace zarn {

ZarnReader::ZarnReader(const char* path) : input_(path) {
    if (!input_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til laesning");
    fileBits_ = input_.size() * 8;
    if (fileBits_ < static_cast<std::uint64_t>(kFrameHeaderBits)) {
        fail(std::cerr, "Fil stoerrelsen er for lille til at vaere af Zarn-formatet");
    }
}

bool ZarnReader::getBits(int count, std::uint16_t& out) {
    frameBits_ += count;
    if (count <= available_) {
        out = static_cast<std::uint16_t>(accumulator_ & ~(0xFFFFu >> count));
        accumulator_ = static_cast<std::uint16_t>(std::uint32_t{accumulator_} << count);
        available_ = static_cast<std::uint8_t>(available_ - count);
        return true;
    }
    const int had = available_;
    const int need = count - had;
    out = accumulator_;
    std::uint8_t bytes[2];
    if (input_.read(bytes, 2) != 2) return false;
    const auto word = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    const std::uint32_t wanted = (0xFFFFu >> had) & ~(0xFFFFu >> count);  // bits 15−had .. 16−count
    out = static_cast<std::uint16_t>(out | ((word >> had) & wanted));
    accumulator_ = static_cast<std::uint16_t>(std::uint32_t{word} << need);
    available_ = static_cast<std::uint8_t>(16 - need);
    return true;
}

namespace {


[[noreturn]] void failBadTag(unsigned tag) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%x", tag);
    fail(std::cout, std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")");
}

// Takes a frame's fields from the input's buffer: the same bits as getBits,
// through a wider accumulator. A field that needs a word beyond the bytes at
// hand fails, as getBits does at the end of the file.
class FrameUnpacker {
public:
    FrameUnpacker(const std::uint8_t* bytes, std::size_t limit) : bytes_(bytes), limit_(limit) {}

    // The next `count` bits (1..16), right-aligned in `out`.
    bool take(int count, std::uint32_t& out) {
        if (available_ < count) {
            if (size_ + 2 > limit_) return false;
            accumulator_ = (accumulator_ << 16) | bytes_[size_] | (std::uint32_t{bytes_[size_ + 1]} << 8);
            size_ += 2;
            available_ += 16;
        }
        available_ -= count;
        out = static_cast<std::uint32_t>(accumulator_ >> available_) & ((1u << count) - 1);
        return true;
    }

    std::size_t size() const { return size_; }

private:
    const std::uint8_t* bytes_;      // the frame's first byte
    std::size_t limit_;              // bytes there are from bytes_ on
    std::uint64_t accumulator_ = 0;  // words taken, unread bits in the low available_ bits
    int available_ = 0;              // unread bits, 0..15 between calls
    std::size_t size_ = 0;           // bytes taken so far
};

}  // namespace

bool ZarnReader::readFrame(ScaleExponents& scale, double* re, double* im) {
    if (fileBits_ - 8 * input_.position() < static_cast<std::uint64_t>(kFrameHeaderBits)) return false;
    // Frames start on word boundaries, so no bits are pending here, and the
    // largest frame fits the buffer: only the end of the file holds fewer.
    const std::size_t atHand = input_.fill(kMaxFrameBytes);  // may move the buffer's contents
    FrameUnpacker unpacker(input_.unread(), atHand);
    std::uint32_t field = 0;
    if (!unpacker.take(kFrameTagBits, field)) return false;
    if (field != kFrameTag) failBadTag(field);
    BitAllocation allocation;
    for (std::uint8_t& bits : allocation) {
        if (!unpacker.take(kSideFieldBits, field)) return false;
        bits = static_cast<std::uint8_t>(field);
    }
    for (std::uint8_t& exponent : scale) {
        if (!unpacker.take(kSideFieldBits, field)) return false;
        exponent = static_cast<std::uint8_t>(field);
    }
    std::int32_t frameBits = kFrameHeaderBits;

    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = allocation[band];
        const std::size_t end = bin + kBandWidths[band];
        if (b == 0) {
            for (; bin < end; ++bin) re[bin] = im[bin] = 0.0;
            continue;
        }
        // A field is the top b + 1 bits of a 16-bit two's complement value.
        const int shift = 15 - b;
        for (; bin < end; ++bin) {
            if (!unpacker.take(b + 1, field)) return false;
            re[bin] = static_cast<std::int16_t>(field << shift);
            frameBits += b + 1;
            im[bin] = 0.0;
            if (storesImaginary(bin)) {
                if (!unpacker.take(b + 1, field)) return false;
                im[bin] = static_cast<std::int16_t>(field << shift);
                frameBits += b + 1;
            }
        }
    }
    const int padding = 16 - (frameBits % 16);
    if (!unpacker.take(padding, field)) return false;
    frameBits_ = frameBits + padding;
    input_.consume(unpacker.size());
    return true;
}

}  // namespace zarn
