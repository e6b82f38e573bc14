#pragma once

#include <cstdint>

namespace zarn {

struct Colour {
    std::uint8_t r, g, b;
};

// A perceptually even colour scale from dark violet through blue and green to
// yellow, so that equal steps in value look like equal steps in colour, also
// to colour-blind eyes and in grey.
class ColourMap {
public:
    // The colour of `value` from 0 to 1; values outside are held at the ends.
    static Colour at(double value);
};

}  // namespace zarn
