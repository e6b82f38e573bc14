#pragma once

#include <cstddef>
#include <vector>

#include "common/Types.h"

namespace zarn {

// How far a decoded signal lies from its original, sample by sample over the
// shorter of the two.
class SignalComparison {
public:
    static constexpr std::size_t kSegment = 256;  // one hop
    // A segment's SNR is held within these limits, so that a near-perfect or a
    // hopeless segment cannot outweigh all the others.
    static constexpr double kFloorDb = -10.0;
    static constexpr double kCeilingDb = 60.0;
    // Segments of the original whose mean square is below this, an RMS under
    // one 16-bit step, count as silence and are left out of the segmental SNR.
    static constexpr double kSilentMeanSquare = 1.0;

    SignalComparison(const std::vector<Sample>& original, const std::vector<Sample>& decoded);

    std::size_t comparedSamples() const { return compared_; }
    // Plus infinity when no sample differs; not a number when none is compared.
    double snrDb() const { return snrDb_; }
    // Not a number when every segment is silent.
    double segmentalSnrDb() const { return segmentalSnrDb_; }
    std::size_t silentSegments() const { return silentSegments_; }
    int largestError() const { return largestError_; }

private:
    std::size_t compared_ = 0;
    double snrDb_ = 0.0;
    double segmentalSnrDb_ = 0.0;
    std::size_t silentSegments_ = 0;
    int largestError_ = 0;
};

}  // namespace zarn
