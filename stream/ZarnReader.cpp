#include "stream/ZarnReader.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "common/Fatal.h"
#include "stream/ZarnFormat.h"

namespace zarn {

ZarnReader::ZarnReader(const char* path) : input_(path) {
    if (!input_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til laesning");
    refuseTooSmall();
}

ZarnReader::ZarnReader(const std::uint8_t* bytes, std::size_t size) : input_(bytes, size) { refuseTooSmall(); }

void ZarnReader::refuseTooSmall() const {
    if (input_.size() * 8 < kFrameHeaderBits) {
        fail(std::cerr, "Fil stoerrelsen er for lille til at vaere af Zarn-formatet");
    }
}

void ZarnReader::failBadTag(unsigned tag) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%x", tag);
    fail(std::cout, std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")");
}

}  // namespace zarn
