#pragma once
// The points of a frame's encoding that an onlooker may watch: tools and
// measurements see exactly what the encoder computes, without a copy of it.

namespace zarn {

enum class EncoderStage {
    read,         // the Block as framed from the samples
    windowed,     // the Block under the window: the transform's input
    transformed,  // the spectrum, bins 0..256, as the transform gives it
    audible,      // after the threshold in quiet
    masked,       // after the masking model: the quantiser's input
    scaled,       // after the quantiser: what the allocation measures
};

// An onlooker that looks at nothing; the encoder's own loop uses it.
struct Unwatched {
    void block(EncoderStage, const double*) {}
    void spectrum(EncoderStage, const double*, const double*) {}
};

}  // namespace zarn
