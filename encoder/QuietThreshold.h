#pragma once

namespace zarn {

// Removes every bin whose level is at or below its band's threshold in quiet,
// the softest sound a listener hears there. Levels are 20·log10 of the
// magnitude on the transform's own scale (a magnitude of 1.0 is 0 dB).
class QuietThreshold {
public:
    QuietThreshold();

    // Zeroes bins 0..256 of re and im in place; a level that is not a number
    // leaves its bin alone.
    void apply(double* re, double* im) const;
};

}  // namespace zarn
