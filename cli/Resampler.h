#pragma once
// libsoxr at its very high quality, converting interleaved doubles from one
// rate to another as a stream: input in blocks, output as it comes, and at
// the end a flush that hands out the rest. soxr drops its filter's delay
// itself, so the output lines up with the input from its first sample.

#include <soxr.h>

#include <cstddef>
#include <string>

#include "lib/zarn.h"

namespace zarn::cli {

class Resampler {
public:
    // Throws FileFailure, naming `file`, when libsoxr cannot convert from
    // `inputRate` to `outputRate`.
    Resampler(double inputRate, const std::string& file, unsigned channels = 1,
              double outputRate = ZARN_SAMPLE_RATE);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Takes what it can of `count` frames at `in` (*taken says how many) and
    // writes up to `capacity` frames to `out`; returns how many it wrote.
    // `in` null: the input has ended, and what is left comes out, a little
    // per call, until a call returns 0.
    std::size_t process(const double* in, std::size_t count, std::size_t* taken, double* out, std::size_t capacity);

private:
    std::string file_;  // the input, for the failure's line
    soxr_t soxr_ = nullptr;
};

}  // namespace zarn::cli
