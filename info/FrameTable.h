#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"

namespace zarn {

// The side information of every frame of a Zarn file and the figures drawn
// from it. Durations count 256 decoded samples per frame at kSampleRate per second.
class FrameTable {
public:

    // Reads every whole frame of `path` with the codec's own frame reader, so a
    // damaged file ends the process with that reader's message.
    explicit FrameTable(const std::string& path);
    // A table filled frame by frame, as one channel of Ogg Zarn is: its
    // file is those frames alone, as taken out to a bare stream.
    FrameTable() = default;
    // `bytes` is what the frame takes in the file: 0 for one that stands
    // for a lost hop.
    void add(const EncodedFrame& frame, std::uint32_t bytes);

    std::size_t frameCount() const { return allocations_.size(); }
    const BitAllocation& allocation(std::size_t frame) const { return allocations_[frame]; }
    std::uint32_t frameBytes(std::size_t frame) const { return frameBytes_[frame]; }
    std::uint64_t fileBytes() const { return fileBytes_; }
    // Whether the frame stores anything but zero for `bin`, in either part.
    bool storesBin(std::size_t frame, std::size_t bin) const { return storedBins_[frame][bin]; }

    double seconds() const { return frameCount() * static_cast<double>(kHop) / kSampleRate; }
    // The whole file, trailing bytes included, over the decoded duration.
    double kbitPerSecond() const;
    double frameKbitPerSecond(std::size_t frame) const;
    // File size over the size of the same duration as 16-bit mono PCM.
    double pcmRatio() const;
    // True when every frame gives every band 15 bits, as the reduced encoder does.
    bool fifteenEverywhere() const;

    // Per band, over all frames; not a number when there are no frames.
    double meanBits(std::size_t band) const;
    double emptyShare(std::size_t band) const;
    double meanScale(std::size_t band) const;

private:
    std::vector<BitAllocation> allocations_;
    std::vector<ScaleExponents> scales_;
    std::vector<std::bitset<kCodedBins>> storedBins_;
    std::vector<std::uint32_t> frameBytes_;
    std::uint64_t fileBytes_ = 0;
};

}  // namespace zarn
