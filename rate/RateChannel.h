#pragma once

#include <array>
#include <cstddef>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "dsp/RealFft.h"
#include "rate/BandCoding.h"
#include "rate/BandComponents.h"
#include "rate/BandwidthFollower.h"
#include "rate/ErrorFeedback.h"
#include "rate/HighBandSegments.h"
#include "rate/PerceptualWeights.h"
#include "rate/RateAllocator.h"

namespace zarn {

// One channel of the encoder that holds a bit rate, in the steps a frame
// goes through, without the rate control: the caller gives the λ, so that
// one control can hold a mono stream (RateEncoder) or several channels
// together (JointStereoEncoder) to their rate.
//
// Analysis by synthesis: the decoder overlap-adds without a synthesis
// window, so each Block can aim at what the decoder still lacks. The first
// half of Block b aims at the input less what the decoder already has from
// Block b − 1's second half, so it corrects that half's error at no cost in
// bits; the second half aims at the windowed new hop, as usual. The last
// Block's second half has no successor to share it with and aims at the hop
// itself, unwindowed, so a stream's end does not fade. Since the second
// half's error is put right, the rounding moves what error it can there
// (ErrorFeedback), and rounds a few values the other way so that the next
// Block's aim has no step at the hops' joins (balanceEdges).
//
// A frame's steps, in order: aim() (the Block and its spectrum), gather()
// and weigh() (its components and what their error costs), allocate() and
// pad() at the caller's λ, then finish() (the fields stored, and the Block
// decoded as decoders will have it). Between them a caller may turn the
// spectrum into another channel's domain, since every step after aim() is
// taken on the spectrum as it then stands, and convert the decoded Block
// back: the model of what the decoder has is linear.
class RateChannel {
public:
    // What each Block's first half aims at.
    enum class Aim {
        whatTheDecoderLacks,  // the input less what the Block before left there
        windowedInput,        // the windowed input, as the menu programs' encoders do
    };

    // Coded with the cut-offs and segments of `kbitPerSecond`'s profile.
    RateChannel(unsigned kbitPerSecond, Aim aim);

    // The profile of another bit rate from the next frame on.
    void setProfile(unsigned kbitPerSecond);

    // The Block that `hop` completes, and its spectrum; in the stream's
    // `last` Block the second half ends unwindowed.
    void aim(const Sample* hop, bool last);

    // The components of the spectrum as it stands.
    void gather() { components_.gather(re_.data(), im_.data()); }

    // What an error in each band of the gathered spectrum costs, where
    // `errorBefore` is each band's squared error in the Block before, which
    // this one puts right and which hides nothing. Kept for allocate()
    // unless the caller replaces it.
    const BandWeights& weigh(const std::array<double, kBandCount>& errorBefore);
    void setWeights(const BandWeights& weights) { bandWeights_ = weights; }

    // The codings of the gathered components at `lambda`; the frame's size
    // in bits.
    std::size_t allocate(double lambda) {
        return allocator_.choose(components_, bandWeights_, lambda, bands_, codings_);
    }
    // At least `extra` bits more, in bands that hold nothing (padWithZeros);
    // the frame's size in bits.
    std::size_t pad(std::size_t extra) { return padWithZeros(components_, codings_, extra, bands_); }

    // Stores the codings' fields into `frame` and decodes the Block as
    // decoders will have it; the bandwidth learns from the frame coded at
    // `lambda`.
    void finish(double lambda, bool last, EncodedFrame& frame);

    // Each band's squared error as allocate() chose it.
    const std::array<double, kBandCount>& errors() const { return allocator_.errors(); }
    const BandComponents& components() const { return components_; }
    const BandWeights& weights() const { return bandWeights_; }

    // The Block's aim, and its spectrum, which a caller may change before
    // gather().
    const Block& target() const { return target_; }
    SpectrumPart& re() { return re_; }
    SpectrumPart& im() { return im_; }

    // The last Block as decoders have it: its second half waits for the
    // next. A caller that coded another domain converts it back.
    Block& decoded() { return decoded_; }

private:
    // The energy of each band that masks: that of the music the Block
    // carries, as a windowed Block holds it.
    std::array<double, kBandCount> masking(const std::array<double, kBandCount>& errorBefore) const;
    // Stores the spectrum's fields into `frame`, and beside them the values
    // decoders make of them. With `feedBack`, the rounding error goes where
    // the next Block puts it right: the imaginary parts are rounded against
    // the real parts' error, then the real parts again against theirs. Then
    // the error at the joins is balanced away.
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
    BandwidthFollower bandwidth_;     // bands that may be coded: a slow low-pass where the profile cuts off
    bool segmented_;                  // whether the high bands are coded in segments at this rate
    HighBandSegments highBands_;
    std::size_t bands_ = 0;           // the bands this frame may code
    bool carrying_ = false;           // whether this frame carries the high bands' segment
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
    Block decoded_{};
};

}  // namespace zarn
