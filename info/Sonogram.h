#pragma once

#include <cstddef>
#include <vector>

#include "common/Types.h"

namespace zarn {

// The level of bins 0..256 over time, squeezed into at most `columns` time
// slots. A slot keeps the loudest value of each bin over its frames, so that a
// short sound still shows when a long file is drawn narrow.
class Sonogram {
public:
    // `frameCount` frames span the time axis; frames added beyond it are dropped.
    Sonogram(std::size_t frameCount, std::size_t columns);

    // The slot of `index` when `count` items are spread evenly over `slots`.
    static std::size_t spread(std::size_t index, std::size_t count, std::size_t slots) {
        return index * slots / count;
    }

    // Takes frame `frame` of a transform: bins 0..256 of re and im.
    void add(std::size_t frame, const double* re, const double* im);

    std::size_t slots() const { return slots_; }
    // 20·log10 of the largest magnitude of `bin` in `slot`; minus infinity for
    // silence or a slot that no frame reached.
    double levelDb(std::size_t slot, std::size_t bin) const;

private:
    std::size_t frameCount_;
    std::size_t slots_;
    std::vector<double> power_;  // largest squared magnitude, slot by slot, 257 bins each
};

}  // namespace zarn
