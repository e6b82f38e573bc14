#pragma once

#include <array>
#include <cstddef>

#include "common/Types.h"
#include "rate/BandComponents.h"
#include "rate/PerceptualWeights.h"

namespace zarn {

// Chooses every band's coding for one frame by rate and distortion: the
// choice that costs least in weight · distortion + λ · bits, each band on
// its own, since a band's bits and error depend on its coding alone.
//
// The distortion is the squared error plus the squared loss of the band's
// level, (√energy − √energy kept)², which the squared error alone treats
// lightly: steps that round a band's weaker components to zero leave holes
// that come and go from frame to frame, which listeners hear as a warble.
//
// For a band whose largest component sets exponent e* (the largest keeping
// it below 32768), the choices are e* with g bits, e* + 1 with g − 1 bits
// (the same step, one bit less per component, the largest components
// clipped), and off. Among the g, fine steps cost error Δ²/12 a component
// and a bit for every halving of Δ, so the best step is about
// √(6λ / (weight · ln 2)); that one and its neighbours are measured
// exactly.
//
// The bits that would pad the frame to a whole word go to the coded bands
// that fit them, one bit more a component.
//
// `bands` limits the coded bands to 0 .. bands − 1. Returns the frame's
// size in bits, padding included.
class RateAllocator {
public:
    std::size_t choose(const BandComponents& components, const BandWeights& weights, double lambda,
                       std::size_t bands, BandCodings& codings);

    // Each band's squared error as the last frame chose it: all its energy
    // where it is off.
    const std::array<double, kBandCount>& errors() const { return errors_; }

    // What each measured band's candidates cost besides their error, in rows
    // as BandCandidates holds the errors.
    struct Prices {
        BandCandidates::Row weight{};
        BandCandidates::Row energy{};
        BandCandidates::Row perBit{};  // λ · the components the band stores
        std::array<BandCandidates::Row, BandCandidates::kPerBand> paid{};  // bits a component, g + 1
    };

    static constexpr std::size_t kPer = BandCandidates::kPerBand;

    // The codings measured for a band whose largest component sets exponent
    // `top` (e*), given the estimate of the best step's g + e: the two whole
    // numbers of bits either side of the estimate at e*, and the nearer of
    // them one exponent higher with a bit less (at the largest exponent, the
    // finer at e* once more). Bits stay within what the format holds.
    static std::array<BandCoding, kPer> candidatesAt(double bitsPlusExponent, int top);

private:
    // Working space, kept from frame to frame so that no frame clears it;
    // the rows' padding past the measured bands holds finite values.
    BandCandidates candidates_;
    std::array<BandCoding, kPer * kBandCount> choices_;
    Prices prices_;
    BandCandidates::Row chosen_{};
    std::array<double, kBandCount> errors_{};  // what errors() reports, which refine() also goes by

    // Turns every band off, then proposes the candidates of each band that
    // may be worth coding, with what they cost besides their error.
    void propose(const BandComponents& components, const BandWeights& weights, double lambda, std::size_t bands,
                 BandCodings& codings);
    // Codes each proposed band with its cheapest candidate, or leaves it off.
    void pickCheapest(BandCodings& codings);
    // Spends up to `room` bits, which the frame would otherwise pad with,
    // on one bit more a component in the coded bands they fit.
    void refine(std::size_t room, BandCodings& codings);
};

// Adds at least `extra` bits to a frame, and as few more as it can, in those
// of its first `bands` bands that hold nothing but zeros, which stay zeros:
// how a stream keeps its rate over digital silence. Fewer only where those
// bands cannot hold them. Returns the frame's size in bits.
std::size_t padWithZeros(const BandComponents& components, BandCodings& codings, std::size_t extra,
                         std::size_t bands);

}  // namespace zarn
