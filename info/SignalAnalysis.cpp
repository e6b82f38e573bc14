#include "info/SignalAnalysis.h"

#include <array>
#include <cstdint>

#include "common/BandTable.h"
#include "common/EncodedFrame.h"
#include "encoder/FullAnalysis.h"
#include "encoder/StreamEncoder.h"

namespace zarn {

namespace {

using BinFlags = std::array<bool, kCodedBins>;

void markNonzero(BinFlags& flags, const double* re, const double* im) {
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) flags[bin] = re[bin] != 0.0 || im[bin] != 0.0;
}

// Looks over the encoder's shoulder: the spectrum as transformed goes into
// the spectrogram, and the bins alive before and after each perceptual step
// are counted per band, frame by frame.
class Onlooker {
public:
    using BandCounts = std::array<std::uint64_t, kBandCount>;
    Onlooker(Sonogram& spectrogram, bool countRemovals, BandCounts& nonzero, BandCounts& removedInQuiet,
             BandCounts& removedByMasking)
        : spectrogram_(spectrogram),
          countRemovals_(countRemovals),
          nonzero_(nonzero),
          removedInQuiet_(removedInQuiet),
          removedByMasking_(removedByMasking) {}

    void windowed(const double*) {}
    void spectrum(EncoderStage stage, const double* re, const double* im) {
        switch (stage) {
            case EncoderStage::transformed:
                spectrogram_.add(frame_, re, im);
                if (countRemovals_) markNonzero(before_, re, im);
                break;
            case EncoderStage::audible:
                if (countRemovals_) markNonzero(afterQuiet_, re, im);
                break;
            case EncoderStage::masked:
                if (countRemovals_) markNonzero(afterMasking_, re, im);
                break;
            case EncoderStage::scaled:
                finishFrame();
                break;
        }
    }

private:
    void finishFrame() {
        ++frame_;
        if (!countRemovals_) return;
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            const std::size_t band = kBands.bandOf[bin];
            nonzero_[band] += before_[bin];
            removedInQuiet_[band] += before_[bin] && !afterQuiet_[bin];
            removedByMasking_[band] += afterQuiet_[bin] && !afterMasking_[bin];
        }
    }

    Sonogram& spectrogram_;
    bool countRemovals_;
    BandCounts& nonzero_;           // per band, bins alive as transformed
    BandCounts& removedInQuiet_;    // and of those, removed by the threshold in quiet
    BandCounts& removedByMasking_;  // or by the masking model
    std::size_t frame_ = 0;         // the frame being encoded
    BinFlags before_{};             // its bins alive as transformed
    BinFlags afterQuiet_{};         // after the threshold in quiet
    BinFlags afterMasking_{};       // after the masking model
};

}  // namespace

SignalAnalysis::SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames,
                               std::size_t columns, bool countRemovals)
    : spectrogram_(axisFrames, columns) {
    // The original goes through the encoder as the programs send it, its
    // last hop completed with silence; only the onlooker keeps anything.
    StreamEncoder<FullAnalysis> encoder;
    Onlooker onlooker(spectrogram_, countRemovals, nonzero_, removedInQuiet_, removedByMasking_);
    const auto discard = [](const std::uint8_t*, std::size_t) { return true; };
    encoder.write(samples.data(), samples.size(), discard, onlooker);
    encoder.finish(discard, onlooker);
}

}  // namespace zarn
