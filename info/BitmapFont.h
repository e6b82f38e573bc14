#pragma once

#include <cstdint>

namespace zarn {

// A 5 × 7 pixel font with just the characters the picture's labels use:
// digits, ". - / ( )", space and a few letters.
class BitmapFont {
public:
    static constexpr int kWidth = 5;
    static constexpr int kHeight = 7;
    static constexpr int kAdvance = 6;  // one blank column between characters

    // The 7 rows of `c`, top first, bit 4 the leftmost pixel; nullptr when the
    // font lacks the character.
    static const std::uint8_t* glyph(char c);
};

}  // namespace zarn
