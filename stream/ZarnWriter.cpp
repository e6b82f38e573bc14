#include "stream/ZarnWriter.h"

#include <cstdint>
#include <iostream>

#include "common/Fatal.h"

namespace zarn {

ZarnWriter::ZarnWriter(const char* path) : output_(path) {
    if (!output_.isOpen()) fail(std::cerr, "Ikke i stand til at aabne Zarn til skrivning");
}

}  // namespace zarn
