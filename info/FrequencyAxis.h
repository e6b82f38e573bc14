#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zarn {

// The vertical axis of a spectrogram: linear over all 257 bins, or
// logarithmic from 50 Hz to the Nyquist frequency, where music lives and
// where each octave gets the same height.
class FrequencyAxis {
public:
    static constexpr double kLowestLogHz = 50.0;

    explicit FrequencyAxis(bool logarithmic) : logarithmic_(logarithmic) {}

    bool logarithmic() const { return logarithmic_; }
    // Where `hz` lies, 0 at the bottom edge and 1 at the top edge.
    double fraction(double hz) const;
    // The bins that row `row` of `rows` (row 0 at the bottom) shows: those
    // whose centres lie in its range or, where a row is narrower than a bin,
    // the one nearest its middle. Never empty.
    std::pair<std::size_t, std::size_t> rowBins(int row, int rows) const;

    struct Tick {
        double hz;
        std::string label;
    };
    // The labelled frequencies, lowest first, and the unit of their labels.
    std::vector<Tick> ticks() const;
    const char* unit() const { return logarithmic_ ? "Hz" : "kHz"; }

private:
    // The bin position, in bins from bin 0's centre, at `fraction` of the axis.
    double binAt(double fraction) const;

    bool logarithmic_;
};

}  // namespace zarn
