#include "dsp/FrameWindow.h"

#include <cmath>

namespace zarn {

void FrameWindow::applyWindow(double* x, std::int32_t n) const {
    for (std::int32_t i = 0; i < n; ++i) {
        x[i] = (1 - std::cos((i * kTwoPi) / n)) * x[i] * 0.5;
    }
}

void FrameWindow::overlapAdd(double* y, std::uint32_t n) {
    const std::uint32_t h = n / 2;
    for (std::uint32_t i = 0; i < h; ++i) {
        y[i] = y[i] + tail[i];
        tail[i] = y[i + h];
    }
}

}  // namespace zarn
