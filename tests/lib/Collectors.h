#pragma once
// The library's output functions that the tests hand it: each appends what
// it is given to the vector behind `to`.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/FileBytes.h"

namespace zarn::test {

inline int collectBytes(void* to, const std::uint8_t* bytes, std::size_t size) {
    static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), bytes, bytes + size);
    return 0;
}

inline int collectSamples(void* to, const std::int16_t* samples, std::size_t count) {
    auto* out = static_cast<std::vector<std::int16_t>*>(to);
    out->insert(out->end(), samples, samples + count);
    return 0;
}

}  // namespace zarn::test
