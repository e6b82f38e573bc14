#pragma once

#include <array>
#include <cstddef>

#include "common/Types.h"
#include "rate/BandCoding.h"
#include "rate/BandComponents.h"
#include "rate/PerceptualWeights.h"

namespace zarn {

// Rounding that keeps the hops' joins clean.
//
// The next Block aims at what the decoder lacks over this Block's second
// half, and not beyond it: its aim holds this Block's error from sample 256
// to 511 and none before or after, so it starts and stops with a step the
// size of the error at 256 and at 511. Where the high bands are off, the
// next Block cannot code the steps, and what it leaves of them is heard as
// a click at every hop's join: on an orchestra with little above 6 kHz the
// error above 8 kHz came out 15 dB louder in the joins' few samples than
// between them, and louder than the music there.
//
// The Block's error at sample 0 (next to 511 when its second half is
// smooth) is the sum of its real parts' errors, and at 256 the same sum
// with odd bins negated: both are small when the errors of the even bins'
// real parts and of the odd bins' each sum to nearly zero. Real parts that
// lie nearly halfway between two fields can be stored as the other
// neighbour at little cost, and a few such changes take most of both sums
// away. Measured in grade, with the pairs' and mono's own coding: +0.07 in
// the mean of eighteen stereo recordings at 256 kbit/s (an orchestral
// piece from −1.27 to −0.59), +0.03 at 320, and +0.02 over fifteen mono
// recordings at 128.
//
// Of the real parts of the first `movable` bands (the bands the next Block
// puts right), up to kMostChanges whose value lies at least 0.4 of a step
// from its field move to the other neighbouring field, each where it lowers
// weight · error² + μ · (error at 0² + error at 256²), in that order.
// `exact` is what each real part aims at, `decoded` and `fields` what
// storePart() made of it; both are updated. Bands that hold nothing stay
// as they are.
void balanceEdges(const double* exact, const BandCodings& codings, const BandWeights& weights,
                  const BandComponents& components, std::size_t movable, double* decoded, Sample* fields);

namespace edgeBalance {

// The changes a Block may take: four measured as well as sixty-four, and
// two worse.
constexpr int kMostChanges = 4;
// How close to the other field a value must lie for it to move there, in
// steps: 0.6 (a value at least 0.4 of a step from its own) graded better
// than 0.7 and than any move at all, which cost solo bells a grade point
// at 128 kbit/s: their partials' error is heard where the mask says not.
constexpr double kReach = 0.6;
// μ, as a multiple of the weight of the first band above 6.4 kHz, where the
// clicks are heard; 1 to 100 measured alike.
constexpr double kEdgeWeight = 10.0;

}  // namespace edgeBalance

}  // namespace zarn
