#include "info/SignalAnalysis.h"

#include <algorithm>

#include "common/BandTable.h"
#include "common/EncodedFrame.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"

namespace zarn {

namespace {

using BinFlags = std::array<bool, kCodedBins>;

void markNonzero(BinFlags& flags, const double* re, const double* im) {
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) flags[bin] = re[bin] != 0.0 || im[bin] != 0.0;
}

// Looks over the encoder's shoulder: the spectrum as transformed goes into
// the spectrogram, and the bins alive before and after each perceptual step
// are marked.
class Onlooker {
public:
    Onlooker(Sonogram& spectrogram, bool countRemovals) : spectrogram_(spectrogram), countRemovals_(countRemovals) {}

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
            default:
                break;
        }
    }

    void nextFrame() { ++frame_; }
    const BinFlags& before() const { return before_; }
    const BinFlags& afterQuiet() const { return afterQuiet_; }
    const BinFlags& afterMasking() const { return afterMasking_; }

private:
    Sonogram& spectrogram_;
    bool countRemovals_;
    std::size_t frame_ = 0;
    BinFlags before_{};
    BinFlags afterQuiet_{};
    BinFlags afterMasking_{};
};

}  // namespace

SignalAnalysis::SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames,
                               std::size_t columns, bool countRemovals)
    : spectrogram_(axisFrames, columns) {
    FrameEncoder<FullAnalysis> encoder;
    Onlooker onlooker(spectrogram_, countRemovals);
    EncodedFrame frame;
    std::array<Sample, kHop> hop{};
    const auto frames = static_cast<std::size_t>(FrameEncoder<FullAnalysis>::frameCount(samples.size()));
    for (std::size_t f = 0; f < frames; ++f) {
        // The last hop is padded with zeros, as the WAVE reader pads it.
        const std::size_t start = f * kHop, end = std::min(samples.size(), start + kHop);
        std::fill(std::copy(samples.begin() + start, samples.begin() + end, hop.begin()), hop.end(), 0);
        encoder.encode(hop.data(), frame, onlooker);
        onlooker.nextFrame();
        if (!countRemovals) continue;
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            const std::size_t band = kBands.bandOf[bin];
            nonzero_[band] += onlooker.before()[bin];
            removedInQuiet_[band] += onlooker.before()[bin] && !onlooker.afterQuiet()[bin];
            removedByMasking_[band] += onlooker.afterQuiet()[bin] && !onlooker.afterMasking()[bin];
        }
    }
}

}  // namespace zarn
