#pragma once
// The points of a frame's decoding that an onlooker may watch. An onlooker
// supplies
//   void spectrum(const double* re, const double* im);  // dequantised and completed
//                                                       // by symmetry, bins 0..511:
//                                                       // the inverse transform's input
//   void transformedBack(const double* block);          // the inverse transform's
//                                                       // output: the overlap-add's input

namespace zarn {

// An onlooker that looks at nothing; the decoder's own loop uses it.
struct UnwatchedDecoding {
    void spectrum(const double*, const double*) {}
    void transformedBack(const double*) {}
};

}  // namespace zarn
