#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/StaggeredArray.h"
#include "common/Types.h"
#include "dsp/FrameWindow.h"
#include "encoder/EncoderStages.h"
#include "encoder/Quantiser.h"
#include "encoder/StoredComponents.h"

namespace zarn {

// The encoder's per-frame core: one hop of 256 new Samples in, one frame as it
// is stored out. Knows nothing of files or the console.
//
// Block b holds samples 256·(b − 1) to 256·b + 255: the hop before (zeros
// before the first) and the new one. It is windowed, transformed, cleared of
// what the program calls inaudible, scaled per band, given its bits and
// rounded to the stored components.
//
// `Analysis` is what distinguishes the two programs: the forward transform and
// the perceptual steps. It supplies
//   static constexpr std::size_t kSpectrumSize;  // doubles per Spectrum array
//   static constexpr std::size_t kBatch;         // frames its transform takes at once
//   void forward(const double* const* blocks, double* const* re, double* const* im,
//                std::size_t count);             // count ≤ kBatch Blocks, each alone
//   template <class Watch> void removeInaudible(double* re, double* im, Watch&);
//   void allocate(BitAllocation&, const double* re, const double* im);
// and is created after the FrameWindow and before the Quantiser.
//
// Frames are independent of each other once framed, so a batch of them can
// share the transform; every frame still gets exactly the bits it would get
// alone.
template <class Analysis>
class FrameEncoder {
public:
    // Frames that cover `sampleCount` samples: one per hop begun, and at least
    // one, so that even an empty input gives a Zarn stream.
    static constexpr std::uint64_t frameCount(std::uint64_t sampleCount) {
        const std::uint64_t hops = sampleCount / kHop + (sampleCount % kHop != 0);
        return hops > 0 ? hops : 1;
    }

    // Frames the core encodes side by side at most.
    static constexpr std::size_t kBatch = Analysis::kBatch;

    // Encodes the Block that the 256 Samples at `hop` complete into `frame`.
    void encode(const Sample* hop, EncodedFrame& frame) {
        UnwatchedEncoding nobody;
        encodeBatch(hop, 1, &frame, nobody, false);
    }

    // The same, showing `watch` each stage as it is reached.
    template <class Watch>
    void encode(const Sample* hop, EncodedFrame& frame, Watch& watch) {
        encodeBatch(hop, 1, &frame, watch, false);
    }

    // Encodes the `count` (1..kBatch) consecutive hops at `hops` into
    // frames[0..count), exactly as one encode() after another would.
    void encodeBatch(const Sample* hops, std::size_t count, EncodedFrame* frames) {
        UnwatchedEncoding nobody;
        encodeBatch(hops, count, frames, nobody, false);
    }

    // The same, showing `watch` each frame's stages in order: each frame's
    // Blocks before the batch is transformed, then the rest frame by frame.
    // A frame owes nothing to the ones after it, so the stream's last batch
    // (`last`) is encoded as any other.
    template <class Watch>
    void encodeBatch(const Sample* hops, std::size_t count, EncodedFrame* frames, Watch& watch, bool /*last*/) {
        assert(count >= 1 && count <= kBatch);
        // Null past count: the transform is handed whole arrays, and g++
        // cannot see that it reads only the first count of them.
        const double* blocks[kBatch] = {};
        double* re[kBatch] = {};
        double* im[kBatch] = {};
        for (std::size_t f = 0; f < count; ++f) {
            double* block = blocks_[f];
            const Sample* hop = hops + f * kHop;
            if constexpr (WatchesFraming<Watch>::value) {
                Block framed;
                frameBlock(hop, framed.data());
                watch.framed(framed.data());
            }
            window_.frameWindowedKeeping(previousHop_.data(), hop, block);
            watch.windowed(block);
            blocks[f] = block;
            re[f] = re_[f];
            im[f] = im_[f];
        }
        analysis_.forward(blocks, re, im, count);
        for (std::size_t f = 0; f < count; ++f) {
            watch.spectrum(EncoderStage::transformed, re[f], im[f]);
            analysis_.removeInaudible(re[f], im[f], watch);
            quantiser_.quantise(re[f], im[f], frames[f].scale);
            watch.spectrum(EncoderStage::scaled, re[f], im[f]);
            analysis_.allocate(frames[f].allocation, re[f], im[f]);
            storeComponents(re[f], im[f], frames[f]);
        }
    }

private:
    // Block b, unwindowed: the hop before, then `hop`.
    void frameBlock(const Sample* hop, double* block) const {
        for (std::size_t i = 0; i < kHop; ++i) {
            block[i] = previousHop_[i];
            block[kHop + i] = static_cast<int>(hop[i]);
        }
    }

    FrameWindow window_;
    Analysis analysis_;
    Quantiser quantiser_;
    // The kernels run on whole cache lines, so the working arrays start on one.
    HalfBlock previousHop_{};  // the last hop's samples, unwindowed; zeros before the first
    StaggeredArray<kBlockLength, kBatch> blocks_;          // the Blocks being encoded
    StaggeredArray<Analysis::kSpectrumSize, kBatch> re_;  // their spectra, real parts
    StaggeredArray<Analysis::kSpectrumSize, kBatch> im_;  // and imaginary parts
};

}  // namespace zarn
