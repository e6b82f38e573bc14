#include "info/ColourMap.h"

#include <algorithm>
#include <cmath>

namespace zarn {

Colour ColourMap::at(double value) {
    // Nine evenly spaced points of the scale, joined linearly.
    static constexpr Colour kStops[] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139},
                                        {44, 113, 142}, {33, 144, 141}, {39, 173, 129},
                                        {92, 200, 99},  {170, 220, 50}, {253, 231, 37}};
    constexpr int kLast = static_cast<int>(sizeof kStops / sizeof kStops[0]) - 1;
    const double position = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0) * kLast;
    const int low = std::min(static_cast<int>(position), kLast - 1);
    const double f = position - low;
    auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
    };
    const Colour& a = kStops[low];
    const Colour& b = kStops[low + 1];
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

}  // namespace zarn
