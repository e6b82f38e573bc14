#pragma once

#include <array>
#include <cstddef>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "encoder/EncoderStages.h"
#include "rate/RateChannel.h"
#include "rate/RateControl.h"

namespace zarn {

// The encoder that holds a bit rate: every band gets the bits and the
// exponent that buy the most quality for the stream's size, where the menu
// programs' encoders give every band they keep all 15 bits. Its frames are
// plain Zarn frames, which every decoder plays. One channel (RateChannel)
// held to the rate by one control.
//
// Frames depend on the frames before them, so they are encoded one after
// another; a batch only spares the caller calls.
class RateEncoder {
public:
    static constexpr unsigned kLowestBitrate = 64;
    static constexpr unsigned kHighestBitrate = 320;
    static constexpr unsigned kDefaultBitrate = 192;

    static constexpr std::size_t kBatch = 16;

    using Aim = RateChannel::Aim;

    // `kbitPerSecond` from kLowestBitrate to kHighestBitrate; the caller
    // checks it. Encoders are made with the first aim; the second serves
    // measurements of what the first gains.
    explicit RateEncoder(unsigned kbitPerSecond = kDefaultBitrate, Aim aim = Aim::whatTheDecoderLacks);

    // Aims at another bit rate from the next frame on.
    void setBitrate(unsigned kbitPerSecond);

    // As FrameEncoder::encodeBatch: the Blocks that `count` consecutive hops
    // complete. An onlooker sees each Block's aim and its spectrum. In the
    // stream's `last` batch, the last Block ends unwindowed.
    template <class Watch>
    void encodeBatch(const Sample* hops, std::size_t count, EncodedFrame* frames, Watch& watch, bool last) {
        for (std::size_t f = 0; f < count; ++f)
            encodeWatched(hops + f * kHop, last && f + 1 == count, frames[f], watch);
    }

private:
    template <class Watch>
    void encodeWatched(const Sample* hop, bool last, EncodedFrame& frame, Watch& watch) {
        encode(hop, last, frame);
        watch.windowed(channel_.target().data());
        watch.spectrum(EncoderStage::transformed, channel_.re().data(), channel_.im().data());
    }

    void encode(const Sample* hop, bool last, EncodedFrame& frame);

    RateChannel channel_;
    RateControl control_;
};

}  // namespace zarn
