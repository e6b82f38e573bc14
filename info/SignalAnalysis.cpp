#include "info/SignalAnalysis.h"

#include <cstdint>

#include "common/BandTable.h"
#include "common/EncodedFrame.h"
#include "encoder/FullAnalysis.h"
#include "encoder/StreamEncoder.h"

namespace zarn {

namespace {

// Looks over the encoder's shoulder at the spectrum as transformed: it goes
// into the spectrogram, and each non-zero bin is set against what the file's
// frame of the same hop stores. What the encoder then removes itself is no
// concern here: the file made by another encoder, or at a bit rate, dropped
// other bins, and only its own frames say which.
class Onlooker {
public:
    using BandCounts = std::array<std::uint64_t, kBandCount>;
    Onlooker(Sonogram& spectrogram, const FrameTable* file, BandCounts& nonzero, BandCounts& inEmptyBands,
             BandCounts& zeroWithBits)
        : spectrogram_(spectrogram),
          file_(file),
          nonzero_(nonzero),
          inEmptyBands_(inEmptyBands),
          zeroWithBits_(zeroWithBits) {}

    void windowed(const double*) {}
    void spectrum(EncoderStage stage, const double* re, const double* im) {
        if (stage != EncoderStage::transformed) return;
        spectrogram_.add(frame_, re, im);
        if (file_ != nullptr && frame_ < file_->frameCount()) count(re, im);
        ++frame_;
    }

private:
    void count(const double* re, const double* im) {
        const BitAllocation& allocation = file_->allocation(frame_);
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            if (re[bin] == 0.0 && im[bin] == 0.0) continue;
            const std::size_t band = kBands.bandOf[bin];
            ++nonzero_[band];
            if (allocation[band] == 0) {
                ++inEmptyBands_[band];
            } else if (!file_->storesBin(frame_, bin)) {
                ++zeroWithBits_[band];
            }
        }
    }

    Sonogram& spectrogram_;
    const FrameTable* file_;      // the Zarn file to hold the bins against; null for none
    BandCounts& nonzero_;         // per band, bins alive as transformed
    BandCounts& inEmptyBands_;    // and of those, in a band the file's frame left empty
    BandCounts& zeroWithBits_;   // or stored as zero in a band with bits
    std::size_t frame_ = 0;       // the frame being encoded
};

}  // namespace

SignalAnalysis::SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames,
                               std::size_t columns, const FrameTable* file)
    : spectrogram_(axisFrames, columns) {
    // The original goes through the encoder as the programs send it, its
    // last hop completed with silence, so that its frames are the file's
    // hops; only the onlooker keeps anything.
    StreamEncoder<FullAnalysis> encoder;
    Onlooker onlooker(spectrogram_, file, nonzero_, inEmptyBands_, zeroWithBits_);
    const auto discard = [](const std::uint8_t*, std::size_t) { return true; };
    encoder.write(samples.data(), samples.size(), discard, onlooker);
    encoder.finish(discard, onlooker);
}

}  // namespace zarn
