#include "dsp/FrameWindow.h"

#include <array>
#include <cmath>

#include "common/VectorDispatch.h"

namespace zarn {

namespace {

// 1 − cos((i·2π)/512), evaluated once per process from exactly the expression
// the window is defined by; the per-sample arithmetic around it is unchanged.
// WATCHOUT: g++ evaluates this whole table while compiling, folding std::cos
// of a constant through MPFR, correctly rounded, so the program carries those
// values rather than the run-time library's. For these 512 arguments the two
// agree, which the exactness test checks against the library at run time;
// the FFT's and the direct transform's tables are computed at run time.
const std::array<double, kBlockLength>& hannTerms() {
    static const std::array<double, kBlockLength> terms = [] {
        std::array<double, kBlockLength> values{};
        const auto n = static_cast<std::int32_t>(kBlockLength);
        for (std::int32_t i = 0; i < n; ++i) values[i] = 1 - std::cos((i * kTwoPi) / n);
        return values;
    }();
    return terms;
}

// The window as a plain loop, which the compiler vectorises for each path on
// its own: the widest paths convert sixteen Samples to doubles in two
// instructions, where the portable one takes several per pair.
// With `keep` it also leaves the hop as doubles in `kept` (which may be
// `previous`: the first half is done with it by then).
template <bool keep>
struct WindowKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* terms, const double* previous, const Sample* hop, double* out,
                                       double* kept) {
        for (std::size_t i = 0; i < kHop; ++i) out[i] = terms[i] * previous[i] * 0.5;
        for (std::size_t i = 0; i < kHop; ++i) {
            const double x = static_cast<int>(hop[i]);
            out[kHop + i] = terms[kHop + i] * x * 0.5;
            if constexpr (keep) kept[i] = x;
        }
    }
};

}  // namespace

FrameWindow::FrameWindow() {
    tail_.fill(0.0);
    hannTerms();
}

void FrameWindow::frameWindowed(const double* previous, const Sample* hop, double* out) const {
    runOnVectorPath<WindowKernel<false>>(hannTerms().data(), previous, hop, out, static_cast<double*>(nullptr));
}

void FrameWindow::frameWindowedKeeping(double* previous, const Sample* hop, double* out) const {
    runOnVectorPath<WindowKernel<true>>(hannTerms().data(), static_cast<const double*>(previous), hop, out, previous);
}

void FrameWindow::overlapAdd(double* y, std::uint32_t n) {
    const std::uint32_t h = n / 2;
    for (std::uint32_t i = 0; i < h; ++i) {
        y[i] = y[i] + tail_[i];
        tail_[i] = y[i + h];
    }
}

}  // namespace zarn
