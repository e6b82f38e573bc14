#pragma once

#include <array>
#include <cstddef>

namespace zarn {

// `Count` arrays of `Size` doubles, each starting on its own cache line but
// one line further on in the cache's sets than a packed array would put it.
//
// A batch reads element i of every array side by side. Packed, arrays of 512
// doubles lie exactly 4 KiB apart, so those reads all fall into one set of
// the first-level cache and evict each other; in the direct inverse transform
// that doubled the time.
template <std::size_t Size, std::size_t Count>
class StaggeredArray {
public:
    double* operator[](std::size_t index) { return rows_[index].values.data(); }
    const double* operator[](std::size_t index) const { return rows_[index].values.data(); }

private:
    struct alignas(64) Row {
        std::array<double, Size> values{};
        std::array<double, 8> stagger{};  // one cache line
    };
    std::array<Row, Count> rows_{};
};

}  // namespace zarn
