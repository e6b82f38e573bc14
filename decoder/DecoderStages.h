#pragma once
// The points of a frame's decoding that an onlooker may watch.

namespace zarn {

enum class DecoderStage {
    read,      // the stored components as doubles: the dequantiser's input
    mirrored,  // dequantised and completed by symmetry: the inverse transform's input
};

// What the inverse transform gives, before the overlap-add, is shown as a
// Block; the decoder's own loop watches nothing.
struct UnwatchedDecoding {
    void spectrum(DecoderStage, const double*, const double*) {}
    void transformedBack(const double*) {}
};

}  // namespace zarn
