#pragma once

#include <cstddef>

#include "common/Types.h"
#include "dsp/RealFft.h"
#include "rate/RateProfile.h"

namespace zarn {

// The high bands at rates that cannot code them in every Block: every other
// Block codes them, each time for both of its hops at once, at half the
// cost.
//
// Every Block spans two hops, and the decoder adds Blocks up without a
// window, so Blocks 0, 2, 4 … tile the stream without overlapping. A band
// that only they code needs no window across them: each carries the band
// for its own two hops, flat, and the next one takes over where it ends.
// The bands between them stay empty. Flat segments spread the spectrum
// wherever a segment's two ends differ, the low bands' loud sound most of
// all, so the segment is the input high-passed well below the high bands,
// less a line and a parabola that have it go on across its ends as it came
// to them: what spreads is a change of curvature, not a step or a kink.
// Windowed segments instead (each fading in and out) left the high bands
// dipping 86 times a second.
//
// Which rates code them so is their profile's choice (RateProfile.h).
class HighBandSegments {
public:
    // The first band coded this way: 6.4 kHz.
    static constexpr std::size_t kFirstBand = kBandsTo6400Hz;

    // What share of a segment's energy a Block's window would leave, the
    // mean of its square: a segment holds its two hops whole, so its bands
    // mask as a windowed Block's would only at this share (measured, the
    // segment's whole energy cost 0.04 in grade at 112 kbit/s and 0.015 at
    // 128).
    static constexpr double kWindowedShare = 0.375;

    // Takes the hop that completes the next Block and says whether that Block
    // carries the high bands. The first Block does not: starting afresh, or
    // from a Block that coded the high bands as usual, the one after takes
    // them over whole.
    bool next(const Sample* hop);

    // Puts the high bands' aim for the Block just completed into the bins of
    // bands kFirstBand and up: the segment's spectrum, scaled as `fft`
    // scales.
    void aim(const RealFft& fft, double* re, double* im);

private:
    // A second-order Butterworth high-pass at 5 kHz: the high bands pass,
    // the loud low ones do not reach the segment's ends.
    class HighPass {
    public:
        HighPass();
        // Filters the next hop of the stream.
        void filter(const Sample* hop, double* out);

    private:
        struct Kernel;

        // Outputs the recursion takes at a time: one vector of eight lanes,
        // or as many narrower ones.
        static constexpr std::size_t kStep = 8;

        // y[n] = f[n] − a1·y[n−1] − a2·y[n−2], f[n] = b0·x[n] + b1·x[n−1] + b2·x[n−2].
        struct Coefficients {
            double b0, b1, b2;
            // Output j of a step takes f[n − d]·lagged[d][j] from the step's own
            // inputs (0 where d > j, so that every lane does the same work)
            // and y[n − 1]·last[j] + y[n − 2]·second[j] from the outputs before it.
            double lagged[kStep][kStep];
            double last[kStep], second[kStep];
        };
        // The hop's inputs, each step's inputs before it (zeros for the
        // first, which weighs them by 0), the outputs before the hop.
        struct State {
            double inputs[kHop + 2];  // x[n − 2], x[n − 1], then the hop
            double feed[kStep + kHop];
            double y1, y2;
        };

        Coefficients c_{};
        State state_{};
    };

    HighPass highPass_;
    // Whether the last Block carried them; flips first. It also says which
    // half of filtered_ holds the newer hop.
    bool carries_ = true;
    // The hop before and the hop just taken, high-passed, in the order of
    // the stream whenever a Block carries the high bands.
    Block filtered_{};
    Block segment_{};  // the segment, made smooth across its ends
    SpectrumPart re_{}, im_{};
};

}  // namespace zarn
