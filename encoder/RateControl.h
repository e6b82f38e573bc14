#pragma once

#include <cstddef>

namespace zarn {

// Holds a stream to its bit rate in one pass, by choosing the Lagrange
// multiplier λ that the next frame's allocation trades error against bits
// with.
//
// The best quality for a given size comes from one λ for the whole stream,
// so λ moves slowly: its logarithm is a learned level plus a term in the
// bits spent beyond the target so far (a reservoir), and the level follows
// that term. A stream ending at any point has spent its target but for
// about a reservoir's worth of bits, a few tenths of a second of audio.
class RateControl {
public:
    // `kbitPerSecond` of 44.1 kHz audio.
    explicit RateControl(double kbitPerSecond);

    // λ for the next frame.
    double lambda() const;

    // Bits the next frame should carry beyond what λ chose for it, `bits`:
    // none, unless the stream has saved more than it can spend through λ,
    // as it does over digital silence or sound too simple to take its
    // share. Then up to a frame's target, so that the rate still holds.
    std::size_t surplus(std::size_t bits) const;

    // The next frame took `bits`.
    void spent(std::size_t bits);

    double frameTarget() const { return target_; }

private:
    double reservoirTerm() const;

    double target_;     // bits a frame may take on average
    double start_;      // log2 λ at the start
    double level_;      // log2 λ learned so far
    double overspent_;  // bits spent beyond the target so far
};

}  // namespace zarn
