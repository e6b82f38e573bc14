#pragma once

#include <cstddef>

namespace zarn {

// Holds a stream to its bit rate in one pass, by choosing the Lagrange
// multiplier λ that the next frame's allocation trades error against bits
// with.
//
// log2 λ is a learned level plus a term in the bits spent beyond the
// target so far (a reservoir), and the level slowly takes that term over.
// The reservoir is short, so frames stay near the target and a stream
// ending at any point has spent its target but for a few frames' worth.
class RateControl {
public:
    // `kbitPerSecond` of 44.1 kHz audio, with a reservoir of
    // `reservoirFrames` frames of target bits by which λ doubles (the rate's
    // profile chooses it). Over `channels` channels coded together, a
    // frame's bits are those of all of them, and λ starts where it does for
    // one channel at its share of the rate.
    RateControl(double kbitPerSecond, double reservoirFrames, unsigned channels = 1);

    // Bits a stream may save for later, in frames of target: what digital
    // silence leaves unspent must not buy seconds of frames at the largest
    // size once the music starts.
    static constexpr double kMostSaved = 40.0;
    // How far log2 λ's level may move from where it started: it must not
    // run away while a long silence saves bits.
    static constexpr double kLevelReach = 12.0;

    // λ for the next frame.
    double lambda() const;

    // Bits below `bits` that the next frame must carry all the same, because
    // the stream cannot save them: it has saved all it may. Digital silence
    // costs a frame's header whatever λ is, and a stream must keep its rate
    // over it too.
    std::size_t unsaved(std::size_t bits) const;

    // The next frame took `bits`.
    void spent(std::size_t bits);

    double frameTarget() const { return target_; }

    // Another reservoir from the next frame on, when the stream's profile
    // changes.
    void setReservoir(double reservoirFrames) { reservoir_ = target_ * reservoirFrames; }

private:
    double reservoirTerm() const;

    double target_;     // bits a frame may take on average
    double reservoir_;  // bits spent beyond the target by which λ doubles
    double start_;      // log2 λ at the start
    double level_;      // log2 λ learned so far
    double overspent_;  // bits spent beyond the target so far
};

}  // namespace zarn
