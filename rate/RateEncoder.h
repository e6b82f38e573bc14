#pragma once

#include <array>
#include <cstddef>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "dsp/RealFft.h"
#include "encoder/EncoderStages.h"
#include "rate/BandCoding.h"
#include "rate/BandComponents.h"
#include "rate/BandwidthFollower.h"
#include "rate/ErrorFeedback.h"
#include "rate/HighBandSegments.h"
#include "rate/PerceptualWeights.h"
#include "rate/RateAllocator.h"
#include "rate/RateControl.h"

namespace zarn {

// The encoder that holds a bit rate: every band gets the bits and the
// exponent that buy the most quality for the stream's size, where the menu
// programs' encoders give every band they keep all 15 bits. Its frames are
// plain Zarn frames, which every decoder plays.
//
// Analysis by synthesis: the decoder overlap-adds without a synthesis
// window, so each Block can aim at what the decoder still lacks. The first
// half of Block b aims at the input less what the decoder already has from
// Block b − 1's second half, so it corrects that half's error at no cost in
// bits; the second half aims at the windowed new hop, as usual. The last
// Block's second half has no successor to share it with and aims at the hop
// itself, unwindowed, so a stream's end does not fade. Since the second
// half's error is put right, the rounding moves what error it can there
// (ErrorFeedback).
//
// Frames depend on the frames before them, so they are encoded one after
// another; a batch only spares the caller calls.
class RateEncoder {
public:
    static constexpr unsigned kLowestBitrate = 64;
    static constexpr unsigned kHighestBitrate = 320;
    static constexpr unsigned kDefaultBitrate = 192;

    static constexpr std::size_t kBatch = 16;

    // What each Block's first half aims at.
    enum class Aim {
        whatTheDecoderLacks,  // the input less what the Block before left there
        windowedInput,        // the windowed input, as the menu programs' encoders do
    };

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
        watch.windowed(target_.data());
        watch.spectrum(EncoderStage::transformed, re_.data(), im_.data());
    }

    void encode(const Sample* hop, bool last, EncodedFrame& frame);
    // The energy of each band that masks: that of the music the Block
    // carries, as a windowed Block holds it.
    std::array<double, kBandCount> masking(bool carrying) const;
    // Stores the spectrum's fields into `frame`, and beside them the values
    // decoders make of them. With `feedBack`, the rounding error goes where
    // the next Block puts it right: the imaginary parts are rounded against
    // the real parts' error, then the real parts again against theirs.
    void store(bool feedBack, EncodedFrame& frame);
    // Restores, in shifted_, the targets of the bands whose error must not
    // move: those that hold no sound, and high bands coded in segments.
    void keepUnmoved(const double* target);
    // The first band coded in segments: kBandCount where none is.
    std::size_t segmentsFrom() const { return segmented_ ? HighBandSegments::kFirstBand : kBandCount; }
    // Decodes the stored spectrum into decoded_ as a decoder does but for
    // two steps: it inverts with RealFft, which agrees with a decoder's
    // transform only to rounding, and keeps the doubles that a decoder
    // rounds and saturates to Samples. Within half a unit of a decoder's
    // samples, once saturated (tested).
    void decodeBlock();

    Aim aim_;
    RealFft fft_{kBlockLength};
    PerceptualWeights weights_;
    RateControl control_;
    BandwidthFollower bandwidth_;     // bands that may be coded: a slow low-pass where the profile cuts off
    bool segmented_;                  // whether the high bands are coded in segments at this rate
    HighBandSegments highBands_;
    HalfBlock falling_{};             // the window's second half, 0.5·(1 − cos(2π·(256 + i)/512))
    HalfBlock previousHop_{};
    Block target_{};
    SpectrumPart re_{}, im_{};
    BandComponents components_;
    RateAllocator allocator_;
    BandCodings codings_{};
    BandWeights bandWeights_;
    ErrorFeedback feedback_;
    SpectrumPart shifted_{};                 // targets moved by the error feedback
    SpectrumPart decodedRe_{}, decodedIm_{};  // the stored spectrum as decoders read it
    Block decoded_{};  // the last Block as decoders have it: its second half waits for the next
};

}  // namespace zarn
