#pragma once
// The points of a frame's encoding that an onlooker may watch: tools and
// measurements see exactly what the encoder computes, without a copy of it.
//
// An onlooker supplies
//   void windowed(const double* block);  // the Block under the window: the transform's input
//   void spectrum(EncoderStage, const double* re, const double* im);  // bins 0..256
// and, only if it wants the Block as framed from the samples, before the
// window, also
//   void framed(const double* block);
// The encoder frames and windows in one pass, so it builds that Block for
// such an onlooker alone.

#include <type_traits>
#include <utility>

namespace zarn {

enum class EncoderStage {
    transformed,  // the spectrum as the transform gives it
    audible,      // after the threshold in quiet
    masked,       // after the masking model: the quantiser's input
    scaled,       // after the quantiser: what the allocation measures
};

// An onlooker that looks at nothing; the encoder's own loop uses it.
struct UnwatchedEncoding {
    void windowed(const double*) {}
    void spectrum(EncoderStage, const double*, const double*) {}
};

// Whether `Watch` wants the Block as framed.
template <class Watch, class = void>
struct WatchesFraming : std::false_type {};
template <class Watch>
struct WatchesFraming<Watch, std::void_t<decltype(std::declval<Watch&>().framed(std::declval<const double*>()))>>
    : std::true_type {};

}  // namespace zarn
