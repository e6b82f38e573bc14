#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "info/ColourMap.h"

namespace zarn {

// An RGB picture to draw on; everything drawn outside it is clipped.
class Canvas {
public:
    Canvas(int width, int height, Colour background);

    void fill(int x, int y, int width, int height, Colour colour);
    void line(int x0, int y0, int x1, int y1, Colour colour);
    // `text` with its top left corner at (x, y), each font pixel `scale`
    // pixels square; a character the font lacks shows as a solid block.
    void text(int x, int y, const std::string& text, Colour colour, int scale);
    static int textWidth(const std::string& text, int scale);

    // Writes an 8-bit RGB PNG; false when it cannot be written.
    bool writePng(const std::string& path) const;

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> rgb_;  // row by row, top first
};

}  // namespace zarn
