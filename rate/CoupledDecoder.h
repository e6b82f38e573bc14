#pragma once

#include <array>
#include <cstddef>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "dsp/Fft.h"
#include "dsp/FrameWindow.h"
#include "rate/JointRateEncoder.h"

namespace zarn {

// The reference decoding of a stream of 1 to 8 channels coupled as
// JointRateEncoder codes them, and what a decoder of such a stream does
// with each hop: every channel's frame decoded as FrameDecoder decodes it
// (scaled back, mirrored, transformed back by the fast inverse), the front
// pair's two Blocks turned from mid and side into L = M + S and R = M − S
// where the hop is coupled so, then each channel overlap-added and rounded.
// The Blocks are turned before the overlap-add, so that a hop may change
// its coupling without a seam; turning finished samples would not do.
class CoupledDecoder {
public:
    explicit CoupledDecoder(std::size_t channels) : channels_(channels) {}

    // Decodes one hop's frames, `frames[c]` for each channel c, and rounds
    // the 256 samples of each that they finish into `hops[c]`. False for
    // the first hop, whose samples are the encoder's run-in and not output.
    bool decode(const EncodedFrame* frames, Coupling coupling, Sample* const* hops);

    // The last hop: the second half of each channel's last Block.
    void finish(Sample* const* hops) const;

private:
    std::size_t channels_;
    Fft fft_{kBlockLength};
    std::array<FrameWindow, JointRateEncoder::kMostChannels> windows_;
    SpectrumPart re_{}, im_{};
    std::array<Block, JointRateEncoder::kMostChannels> blocks_{};
    bool started_ = false;
};

}  // namespace zarn
