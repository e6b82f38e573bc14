#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "rate/PerceptualWeights.h"
#include "rate/RateChannel.h"
#include "rate/RateControl.h"

namespace zarn {

// How the front pair's frames of one hop are to be read: as the left and
// right channels, or as mid M = (L + R)/2 in the left's place and side
// S = (L − R)/2 in the right's. A decoder turns each pair of Blocks (after
// the inverse transform, before the overlap-add) back into L = M + S and
// R = M − S, so the coupling may change from hop to hop without a seam.
// The values are those a stream stores.
enum class HopCoupling : std::uint8_t { leftRight = 0, midSide = 1 };

// The encoder that holds a bit rate over the channels of one stream, 1 to
// 8 of them: each channel is coded as RateEncoder codes mono, and one rate
// control holds them all to the stream's rate with one λ, so the bits go to
// the channel and the band where they buy the most. The front pair (the
// first two channels, or the first and third where a centre sits between
// them) is coded hop by hop as left/right or as mid/side.
//
// The model of what the decoder has stays in left and right: each channel
// aims at what the decoder lacks there, and only the spectrum is turned into
// mid and side when the hop is coded so, and the decoded Blocks turned back
// after. The conversion is linear, so the analysis by synthesis carries
// across every change of coupling.
//
// Mid and side errors both reach left and right: L's error is the sum of
// theirs, R's their difference. So in a mid/side hop an error in either
// costs as much as in left and right together: both are weighted by the
// sum of left's and right's weights, each taken from its own channel's
// mask.
class JointRateEncoder {
public:
    static constexpr std::size_t kMostChannels = 8;
    // Per channel, as RateEncoder's.
    static constexpr unsigned kLowestBitrate = 64;
    static constexpr unsigned kHighestBitrate = 320;

    // How each hop's coupling is chosen. On five stereo recordings from 128
    // to 384 kbit/s both choices graded alike, within 0.06 in the mean, and
    // 0.05 (at 384) to 0.46 (at 128 and 192) better than left/right alone;
    // the estimate costs the encoder a third less time.
    enum class Choice {
        // The hop is allocated both ways at the same λ, and the coupling
        // whose weighted error plus λ · bits is smaller is kept.
        byCost,
        // The same cost, estimated from each band's energy and weight as a
        // step of √(6λ / (weight · ln 2)) would code it, without allocating,
        // leaning to mid/side.
        byEstimate,
        // Always one or the other: the baselines the choice is measured by.
        leftRight,
        midSide,
        // Mid/side every other hop, from the second: a change at every hop,
        // to measure what the changes themselves cost.
        everyOther,
    };

    // What the bit rate is held over. A bare stream pays a frame's header
    // for every hop, so it holds its rate over pauses too, padding what it
    // cannot save; a container that stores a silent hop for next to nothing
    // holds it over the sound alone: a hop whose Blocks hold nothing at all
    // is left out of the rate control, and nothing is padded.
    enum class HeldOver { everyHop, sound };

    // `channels` from 1 to kMostChannels, `kbitPerSecond` over them all,
    // from kLowestBitrate to kHighestBitrate for each; the caller checks
    // both.
    JointRateEncoder(std::size_t channels, unsigned kbitPerSecond, Choice choice = Choice::byEstimate,
                     HeldOver heldOver = HeldOver::everyHop);

    // Which channels of `channels` are the front pair: 0 and this one.
    static constexpr std::size_t secondOfPair(std::size_t channels) { return channels == 2 || channels == 4 ? 1 : 2; }

    std::size_t channels() const { return channels_; }
    // Whether the stream has a pair to couple, and which channels it is.
    bool coupled() const { return channels_ >= 2; }
    std::size_t first() const { return 0; }
    std::size_t second() const { return secondOfPair(channels_); }

    // Codes the hop `hops[c]` of every channel c into `frames[c]`, in the
    // stream's `last` hop ending unwindowed, and says how the front pair's
    // two frames are to be read (left/right where there is no pair).
    HopCoupling encode(const Sample* const* hops, bool last, EncodedFrame* frames);

    // As encode() hop by hop, over `count` consecutive hops: hops[c] holds
    // channel c's count · 256 samples, hop f's frames go to
    // frames[f · channels() ...] and its coupling to couplings[f]; `last`
    // if the batch ends the stream.
    void encodeBatch(const Sample* const* hops, std::size_t count, EncodedFrame* frames, HopCoupling* couplings,
                     bool last);

private:
    RateChannel& channel(std::size_t c) { return *channel_[c]; }
    // The pair's cost at `lambda` as its channels are allocated now, each
    // band's error weighted by `weights`.
    double cost(const BandWeights& first, const BandWeights& second, double lambda, std::size_t bits);
    // The pair's cost at `lambda` by `coupling`, estimated from its bands'
    // energies (mid and side as followWidth() measured them this hop).
    double estimate(HopCoupling coupling, double lambda);
    // The pair's spectra turned into mid and side, and back from the copy.
    void toMidSide();
    void backToLeftRight();
    // Allocates the pair at `lambda` as it stands; its bits.
    std::size_t allocatePair(double lambda);
    HopCoupling choose(double lambda, std::size_t& pairBits);

    // Follows the pair's width, the side's energy against the mid's over
    // the last seconds, and has the channels take the profile of a wide or
    // a narrow pair from the next hop on where it changes.
    void followWidth();

    // Whether every channel's Block aims at nothing: digital silence, with
    // nothing left of the sound before it for the decoder to put right.
    bool nothingToCode();

    std::size_t channels_;
    unsigned kbitPerSecond_;
    Choice choice_;
    HeldOver heldOver_;
    std::array<std::optional<RateChannel>, kMostChannels> channel_;
    RateControl control_;
    // Each channel's squared error per band in the Block before, in left and
    // right for the pair whichever way it was coded.
    std::array<std::array<double, kBandCount>, kMostChannels> errorBefore_{};
    BandWeights weights_[2];  // the pair's left and right weights this hop
    BandWeights joint_;       // their sum, which mid and side both take
    SpectrumPart leftRe_{}, leftIm_{}, rightRe_{}, rightIm_{};  // the pair's spectra in left and right
    std::array<std::size_t, kMostChannels> bits_{};
    // The pair's mid and side energy a hop, averaged, the hops averaged
    // over, whether it is wide, and the profile's rate to take at the next
    // hop (0: none).
    double midEnergy_ = 0.0, sideEnergy_ = 0.0, widthHops_ = 0.0;
    // This hop's mid and side energy in each band.
    std::array<double, kBandCount> midBands_{}, sideBands_{};
    bool wide_ = false;
    unsigned profileAhead_ = 0;
    bool odd_ = false;  // whether the hop is an odd one, for Choice::everyOther
};

}  // namespace zarn
