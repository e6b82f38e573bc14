#pragma once
// Reduces samples wider than 16 bits to 16 with triangular (TPDF) dither: the
// sum of two independent uniform values of +-0.5 LSB each is added before
// rounding, which makes the rounding error independent of the signal. The
// random numbers come from a small generator with a fixed seed, reset for
// every file, so the same input always gives the same bytes.

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zarn::cli {

class TpdfDither {
public:
    // `enabled` false: plain rounding to the nearest value.
    explicit TpdfDither(bool enabled) : enabled_(enabled) {}

    // `count` values in 16-bit units (full scale 32768) to 16-bit samples,
    // held at the 16-bit limits.
    void quantise(const double* in, std::size_t count, std::int16_t* out) {
        for (std::size_t i = 0; i < count; ++i) {
            double value = in[i];
            if (enabled_) {
                // One 64-bit draw gives both uniform values, 32 bits each.
                const std::uint64_t bits = next();
                value += static_cast<double>(bits >> 32) * kUnit + static_cast<double>(bits & 0xFFFFFFFFu) * kUnit -
                         1.0;
            }
            out[i] = toSample(value);
        }
    }

private:
    static constexpr double kUnit = 1.0 / 4294967296.0;  // 2^-32: a 32-bit draw to [0, 1)

    static std::int16_t toSample(double value) {
        if (!(value > -32768.0)) return -32768;  // also NaN, which a float file may hold
        if (value >= 32767.0) return 32767;
        return static_cast<std::int16_t>(std::lrint(value));
    }

    // xorshift64*: fast and far better than the rounding error needs.
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }

    bool enabled_;
    std::uint64_t state_ = 0x5A41524E2D5450DFULL;  // the fixed seed; never 0, which the generator cannot leave
};

}  // namespace zarn::cli
