#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
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
//   void forward(const double* block, double* re, double* im);
//   template <class Watch> void removeInaudible(double* re, double* im, Watch&);
//   void allocate(BitAllocation&, const double* re, const double* im);
// and is created after the FrameWindow and before the Quantiser.
template <class Analysis>
class FrameEncoder {
public:
    // Frames that cover `sampleCount` samples: one per hop begun, and at least
    // one, so that even an empty input gives a Zarn stream.
    static constexpr std::uint64_t frameCount(std::uint64_t sampleCount) {
        const std::uint64_t hops = sampleCount / kHop + (sampleCount % kHop != 0);
        return hops > 0 ? hops : 1;
    }

    // Encodes the Block that the 256 Samples at `hop` complete into `frame`.
    void encode(const Sample* hop, EncodedFrame& frame) {
        Unwatched nobody;
        encode(hop, frame, nobody);
    }

    // The same, showing `watch` each stage as it is reached.
    template <class Watch>
    void encode(const Sample* hop, EncodedFrame& frame, Watch& watch) {
        for (std::size_t i = 0; i < kHop; ++i) {
            block_[i] = previousHop_[i];
            const double value = static_cast<int>(hop[i]);
            block_[kHop + i] = value;
            previousHop_[i] = value;
        }
        watch.block(EncoderStage::read, block_.data());
        window_.applyWindow(block_.data(), static_cast<std::int32_t>(kBlockLength));
        watch.block(EncoderStage::windowed, block_.data());
        analysis_.forward(block_.data(), re_.data(), im_.data());
        watch.spectrum(EncoderStage::transformed, re_.data(), im_.data());
        analysis_.removeInaudible(re_.data(), im_.data(), watch);
        quantiser_.quantise(re_.data(), im_.data(), frame.scale);
        watch.spectrum(EncoderStage::scaled, re_.data(), im_.data());
        analysis_.allocate(frame.allocation, re_.data(), im_.data());
        storeComponents(re_.data(), im_.data(), frame);
    }

private:
    FrameWindow window_;
    Analysis analysis_;
    Quantiser quantiser_;
    // The kernels run on whole cache lines, so the working arrays start on one.
    HalfBlock previousHop_{};  // the last hop's samples, unwindowed; zeros before the first
    alignas(64) Block block_{};  // the Block being encoded
    alignas(64) std::array<double, Analysis::kSpectrumSize> re_{};  // its spectrum, real parts
    alignas(64) std::array<double, Analysis::kSpectrumSize> im_{};  // and imaginary parts
};

}  // namespace zarn
