#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/Types.h"
#include "info/FrameTable.h"
#include "info/Sonogram.h"

namespace zarn {

// Runs a signal through the frame encoder's transform and watches it: the
// spectrum as transformed, and, given the Zarn file made of it, which of its
// bins the file's own frames dropped, whichever encoder wrote them.
class SignalAnalysis {
public:
    // The spectrogram spans `axisFrames` frames in at most `columns` slots and
    // shows each frame as transformed, before anything is removed. `file`
    // null: nothing is counted.
    SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames, std::size_t columns,
                   const FrameTable* file);

    const Sonogram& spectrogram() const { return spectrogram_; }
    // Per band, over the frames the file holds: bins the transform left
    // non-zero, and of those the ones the file stores as zero, because the
    // frame gave their band no bits, or in a band that has some (the
    // encoder zeroed them as inaudible, or they rounded to zero).
    std::uint64_t nonzeroBins(std::size_t band) const { return nonzero_[band]; }
    std::uint64_t inEmptyBands(std::size_t band) const { return inEmptyBands_[band]; }
    std::uint64_t zeroWithBits(std::size_t band) const { return zeroWithBits_[band]; }

private:
    Sonogram spectrogram_;
    std::array<std::uint64_t, kBandCount> nonzero_{};
    std::array<std::uint64_t, kBandCount> inEmptyBands_{};
    std::array<std::uint64_t, kBandCount> zeroWithBits_{};
};

}  // namespace zarn
