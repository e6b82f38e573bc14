#include "stream/ZarnWriter.h"

#include <cstdint>
#include <iostream>

#include "common/Fatal.h"

namespace zarn {

ZarnWriter::ZarnWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til skrivning");
}

void ZarnWriter::write(const std::uint8_t* bytes, std::size_t size) {
    if (size > kOutputBuffer - buffered_) {
        output_.flush();
        buffered_ = 0;
    }
    output_.putBytes(bytes, size);
    buffered_ += size;
    // More than a whole buffer went through it a byte at a time anyway, and
    // left some part of itself behind: start again from empty.
    if (buffered_ > kOutputBuffer) {
        output_.flush();
        buffered_ = 0;
    }
}

}  // namespace zarn
