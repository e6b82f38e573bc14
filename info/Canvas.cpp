#include "info/Canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "info/BitmapFont.h"

namespace zarn {

Canvas::Canvas(int width, int height, Colour background)
    : width_(width), height_(height), rgb_(static_cast<std::size_t>(width) * height * 3) {
    fill(0, 0, width, height, background);
}

void Canvas::fill(int x, int y, int width, int height, Colour colour) {
    for (int row = std::max(y, 0); row < std::min(y + height, height_); ++row) {
        for (int column = std::max(x, 0); column < std::min(x + width, width_); ++column) {
            std::uint8_t* pixel = &rgb_[(static_cast<std::size_t>(row) * width_ + column) * 3];
            pixel[0] = colour.r;
            pixel[1] = colour.g;
            pixel[2] = colour.b;
        }
    }
}

void Canvas::line(int x0, int y0, int x1, int y1, Colour colour) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        const double f = steps == 0 ? 0.0 : static_cast<double>(i) / steps;
        fill(static_cast<int>(std::lround(x0 + (x1 - x0) * f)),
             static_cast<int>(std::lround(y0 + (y1 - y0) * f)), 1, 1, colour);
    }
}

void Canvas::text(int x, int y, const std::string& text, Colour colour, int scale) {
    for (char c : text) {
        const std::uint8_t* rows = BitmapFont::glyph(c);
        for (int row = 0; row < BitmapFont::kHeight; ++row) {
            for (int column = 0; column < BitmapFont::kWidth; ++column) {
                if (rows != nullptr && !(rows[row] & (0x10 >> column))) continue;
                fill(x + column * scale, y + row * scale, scale, scale, colour);
            }
        }
        x += BitmapFont::kAdvance * scale;
    }
}

int Canvas::textWidth(const std::string& text, int scale) {
    return text.empty() ? 0 : (static_cast<int>(text.size()) * BitmapFont::kAdvance - 1) * scale;
}

bool Canvas::writePng(const std::string& path) const {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width_);
    image.height = static_cast<png_uint_32>(height_);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb_.data(), 0, nullptr) != 0;
}

}  // namespace zarn
