#pragma once

#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/RoundToSample.h"
#include "common/Types.h"
#include "decoder/DecoderStages.h"
#include "dsp/FrameWindow.h"
#include "encoder/Quantiser.h"

namespace zarn {

// The decoder's per-frame core: one stored frame in, one hop of finished
// Samples out. Knows nothing of files or the console.
//
// Each frame is scaled back, completed by conjugate symmetry, transformed
// back and overlap-added with the Block before. The first frame's first half
// is the encoder's leading zeros and is not output; the last frame's second
// half comes out at the end, so the output lines up with the encoded input.
//
// `Synthesis` is the program's inverse transform. It supplies
//   void mirror(double* re, double* im);
//   void inverse(const double* re, const double* im, double* y);
// and is created before the FrameWindow.
template <class Synthesis>
class FrameDecoder {
public:
    // Decodes `frame` and rounds the 256 values it finishes into `hop`. False
    // for the first frame, whose hop is not part of the output.
    bool decode(const EncodedFrame& frame, Sample* hop) {
        UnwatchedDecoding nobody;
        return decode(frame, hop, nobody);
    }

    // The same, showing `watch` each stage as it is reached.
    template <class Watch>
    bool decode(const EncodedFrame& frame, Sample* hop, Watch& watch) {
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            re_[bin] = frame.re[bin];
            im_[bin] = frame.im[bin];
        }
        watch.spectrum(DecoderStage::read, re_.data(), im_.data());
        quantiser_.dequantise(re_.data(), im_.data(), frame.scale);
        synthesis_.mirror(re_.data(), im_.data());
        watch.spectrum(DecoderStage::mirrored, re_.data(), im_.data());
        synthesis_.inverse(re_.data(), im_.data(), block_.data());
        watch.transformedBack(block_.data());
        window_.overlapAdd(block_.data(), static_cast<std::uint32_t>(kBlockLength));
        roundToSamples(block_.data(), hop, kHop);
        return framesDecoded_++ > 0;
    }

    // The last hop: the second half of the last Block, which has no partner
    // and fades out with the window; 256 zeros when no frame was decoded.
    void finish(Sample* hop) const { roundToSamples(block_.data() + kHop, hop, kHop); }

private:
    Synthesis synthesis_;
    FrameWindow window_;
    Quantiser quantiser_;
    // The kernels run on whole cache lines, so the working arrays start on one.
    alignas(64) SpectrumPart re_{};  // the frame's spectrum, real parts, mirrored up to bin 511
    alignas(64) SpectrumPart im_{};  // and imaginary parts
    alignas(64) Block block_{};      // the last Block transformed back; its first half finished
    std::uint64_t framesDecoded_ = 0;  // frames decoded so far
};

}  // namespace zarn
