#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/Types.h"
#include "info/Sonogram.h"

namespace zarn {

// Runs a signal through the full frame encoder and watches it: the spectrum
// as transformed, and what the threshold in quiet and the masking model take
// away from it.
class SignalAnalysis {
public:
    // The spectrogram spans `axisFrames` frames in at most `columns` slots and
    // shows each frame as transformed, before anything is removed.
    SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames, std::size_t columns,
                   bool countRemovals);

    const Sonogram& spectrogram() const { return spectrogram_; }
    // Per band, over all frames: bins the transform left non-zero, and of
    // those the ones the threshold in quiet and then the masking model zeroed.
    std::uint64_t nonzeroBins(std::size_t band) const { return nonzero_[band]; }
    std::uint64_t removedInQuiet(std::size_t band) const { return removedInQuiet_[band]; }
    std::uint64_t removedByMasking(std::size_t band) const { return removedByMasking_[band]; }

private:
    Sonogram spectrogram_;
    std::array<std::uint64_t, kBandCount> nonzero_{};
    std::array<std::uint64_t, kBandCount> removedInQuiet_{};
    std::array<std::uint64_t, kBandCount> removedByMasking_{};
};

}  // namespace zarn
