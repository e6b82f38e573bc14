#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/RoundToSample.h"
#include "common/StaggeredArray.h"
#include "common/Types.h"
#include "decoder/DecoderStages.h"
#include "decoder/Dequantise.h"
#include "dsp/FrameWindow.h"
#include "dsp/Mirror.h"

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
//   static constexpr std::size_t kBatch;  // frames its transform takes at once
//   void inverse(const double* const* re, const double* const* im, double* const* y,
//                std::size_t count);      // 0..kBatch spectra, each alone
// and is created before the FrameWindow.
//
// Only the overlap-add joins neighbouring frames, so a batch of frames can
// share the inverse transform and be overlap-added in order afterwards, with
// exactly the bits of one frame at a time.
template <class Synthesis>
class FrameDecoder {
public:
    // Frames the core decodes side by side at most.
    static constexpr std::size_t kBatch = Synthesis::kBatch;

    // Decodes `frame` and rounds the 256 values it finishes into `hop`. False
    // for the first frame, whose hop is not part of the output.
    bool decode(const EncodedFrame& frame, Sample* hop) {
        UnwatchedDecoding nobody;
        return decodeBatch(&frame, 1, hop, nobody) == 1;
    }

    // The same, showing `watch` each stage as it is reached.
    template <class Watch>
    bool decode(const EncodedFrame& frame, Sample* hop, Watch& watch) {
        return decodeBatch(&frame, 1, hop, watch) == 1;
    }

    // Decodes frames[0..count) (count ≤ kBatch) as decode() one after another
    // would, and writes the hops they finish to `hops`, one after another.
    // Returns how many: count, or one fewer when the first frame is among them.
    std::size_t decodeBatch(const EncodedFrame* frames, std::size_t count, Sample* hops) {
        UnwatchedDecoding nobody;
        return decodeBatch(frames, count, hops, nobody);
    }

    // The same, showing `watch` each frame's stages in order: each frame's
    // spectrum before the batch is transformed, then each Block frame by frame.
    template <class Watch>
    std::size_t decodeBatch(const EncodedFrame* frames, std::size_t count, Sample* hops, Watch& watch) {
        assert(count <= kBatch);
        // Null past count: the transform is handed whole arrays, and g++
        // cannot see that it reads only the first count of them.
        const double* re[kBatch] = {};
        const double* im[kBatch] = {};
        double* blocks[kBatch] = {};
        for (std::size_t f = 0; f < count; ++f) {
            double* r = re_[f];
            double* i = im_[f];
            dequantise(frames[f], r, i);
            mirror(r, i);
            watch.spectrum(r, i);
            re[f] = r;
            im[f] = i;
            blocks[f] = blocks_[f];
        }
        synthesis_.inverse(re, im, blocks, count);
        std::size_t finished = 0;
        for (std::size_t f = 0; f < count; ++f) {
            watch.transformedBack(blocks[f]);
            window_.overlapAdd(blocks[f], static_cast<std::uint32_t>(kBlockLength));
            if (framesDecoded_++ > 0) roundToSamples(blocks[f], hops + kHop * finished++, kHop);
            last_ = f;
        }
        return finished;
    }

    // The last hop: the second half of the last Block, which has no partner
    // and fades out with the window; 256 zeros when no frame was decoded.
    void finish(Sample* hop) const { roundToSamples(blocks_[last_] + kHop, hop, kHop); }

private:
    Synthesis synthesis_;
    FrameWindow window_;
    // The kernels run on whole cache lines, so the working arrays start on one.
    StaggeredArray<kBlockLength, kBatch> re_;      // the frames' spectra, real parts, mirrored up to bin 511
    StaggeredArray<kBlockLength, kBatch> im_;      // and imaginary parts
    StaggeredArray<kBlockLength, kBatch> blocks_;  // the Blocks transformed back; first halves finished
    std::size_t last_ = 0;                         // which of blocks_ holds the last frame decoded
    std::uint64_t framesDecoded_ = 0;              // frames decoded so far
};

}  // namespace zarn
