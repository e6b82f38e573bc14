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

bool ZarnReader::readFrame(ScaleExponents& scale, double* re, double* im) {
    if (fileBits_ - 8 * input_.position() < static_cast<std::uint64_t>(kFrameHeaderBits)) return false;
    std::uint16_t field = 0;
    if (!getBits(kFrameTagBits, field)) return false;
    const unsigned tag = field >> (16 - kFrameTagBits);
    if (tag != kFrameTag) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%x", tag);
        fail(std::cout, std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")");
    }
    BitAllocation allocation{};
    for (std::uint8_t& bits : allocation) {
        if (!getBits(kSideFieldBits, field)) return false;
        bits = static_cast<std::uint8_t>(field >> 12);
    }
    for (std::uint8_t& exponent : scale) {
        if (!getBits(kSideFieldBits, field)) return false;
        exponent = static_cast<std::uint8_t>(field >> 12);
    }
    frameBits_ = kFrameHeaderBits;

    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = allocation[band];
        for (const std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            if (b == 0) {
                re[bin] = 0.0;
                im[bin] = 0.0;
                continue;
            }
            if (!getBits(b + 1, field)) return false;
            re[bin] = static_cast<std::int16_t>(field);
            if (!storesImaginary(bin)) {
                im[bin] = 0.0;
                continue;
            }
            if (!getBits(b + 1, field)) return false;
            im[bin] = static_cast<std::int16_t>(field);
        }
    }
    return getBits(16 - (frameBits_ % 16), field);
}

}  // namespace zarn
