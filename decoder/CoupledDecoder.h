#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/RoundToSample.h"
#include "common/Types.h"
#include "decoder/Dequantise.h"
#include "dsp/Fft.h"
#include "dsp/FrameWindow.h"
#include "dsp/Mirror.h"

namespace zarn {

// The reference decoding of a stream of 1 to 8 channels whose front pair may
// be coupled as mid and side hop by hop, and what a decoder of such a stream
// does with each hop: every channel's frame decoded as FrameDecoder decodes
// it (scaled back, mirrored, transformed back by the fast inverse), the
// front pair's two Blocks turned from mid and side into L = M + S and
// R = M − S where the hop is coupled so, then each channel overlap-added and
// rounded. The Blocks are turned before the overlap-add, so that a hop may
// change its coupling without a seam; turning finished samples would not do.
class CoupledDecoder {
public:
    static constexpr std::size_t kMostChannels = 8;

    // Which channels of `channels` are the front pair: 0 and this one (the
    // centre sits between them from 3 channels on, except with 4).
    static constexpr std::size_t secondOfPair(std::size_t channels) { return channels == 2 || channels == 4 ? 1 : 2; }

    explicit CoupledDecoder(std::size_t channels) : channels_(channels) {}

    // Decodes one hop's frames, `frames[c]` for each channel c, and rounds
    // the 256 samples of each that they finish into `hops[c]`. False for
    // the first hop, whose samples are the encoder's run-in and not output.
    // `midSide` says the front pair's frames hold mid and side.
    bool decode(const EncodedFrame* frames, bool midSide, Sample* const* hops) {
        for (std::size_t c = 0; c < channels_; ++c) {
            dequantise(frames[c], re_.data(), im_.data());
            mirror(re_.data(), im_.data());
            fft_.inverse(re_.data(), im_.data(), blocks_[c].data());
        }
        if (channels_ >= 2 && midSide) {
            Block& mid = blocks_[0];
            Block& side = blocks_[secondOfPair(channels_)];
            for (std::size_t i = 0; i < kBlockLength; ++i) {
                const double m = mid[i], s = side[i];
                mid[i] = m + s;
                side[i] = m - s;
            }
        }
        for (std::size_t c = 0; c < channels_; ++c) {
            windows_[c].overlapAdd(blocks_[c].data(), static_cast<std::uint32_t>(kBlockLength));
            if (started_) roundToSamples(blocks_[c].data(), hops[c], kHop);
        }
        const bool output = started_;
        started_ = true;
        return output;
    }

    // The last hop: the second half of each channel's last Block.
    void finish(Sample* const* hops) const {
        for (std::size_t c = 0; c < channels_; ++c) roundToSamples(blocks_[c].data() + kHop, hops[c], kHop);
    }

    // Starts again with `channels`, as if made anew: the next hop is a first.
    void restart(std::size_t channels) {
        channels_ = channels;
        windows_.fill(FrameWindow{});
        blocks_ = {};
        started_ = false;
    }

    std::size_t channels() const { return channels_; }

private:
    std::size_t channels_;
    Fft fft_{kBlockLength};
    std::array<FrameWindow, kMostChannels> windows_;
    SpectrumPart re_{}, im_{};
    std::array<Block, kMostChannels> blocks_{};
    bool started_ = false;
};

}  // namespace zarn
