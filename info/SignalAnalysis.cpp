#include "info/SignalAnalysis.h"

#include <algorithm>

#include "dsp/Fft.h"
#include "dsp/FrameWindow.h"
#include "encoder/MaskingModel.h"
#include "encoder/QuietThreshold.h"

namespace zarn {

namespace {

using BinFlags = std::array<bool, kCodedBins>;

void markNonzero(BinFlags& flags, const SpectrumPart& re, const SpectrumPart& im) {
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) flags[bin] = re[bin] != 0.0 || im[bin] != 0.0;
}

}  // namespace

std::size_t SignalAnalysis::frameCount(std::size_t sampleCount) {
    return std::max<std::size_t>(1, (sampleCount + kHop - 1) / kHop);
}

SignalAnalysis::SignalAnalysis(const std::vector<Sample>& samples, std::size_t axisFrames,
                               std::size_t columns, bool countRemovals)
    : spectrogram_(axisFrames, columns) {
    std::array<std::uint8_t, kCodedBins> bandOf{};
    for (std::size_t band = 0, bin = 0; band < kBandCount; ++band) {
        for (std::size_t i = 0; i < kBandWidths[band]; ++i) bandOf[bin++] = static_cast<std::uint8_t>(band);
    }
    const FrameWindow window;
    Fft fft(kBlockLength);
    const QuietThreshold quiet;
    MaskingModel masking(1.0);
    Block block{};
    SpectrumPart re{};
    SpectrumPart im{};
    BinFlags before{};
    BinFlags afterQuiet{};
    BinFlags afterMasking{};

    const std::size_t frames = frameCount(samples.size());
    for (std::size_t frame = 0; frame < frames; ++frame) {
        // Block f holds samples 256·(f − 1) to 256·f + 255, zero outside the signal.
        for (std::size_t i = 0; i < kBlockLength; ++i) {
            const std::size_t index = frame * kHop + i;
            block[i] = index >= kHop && index - kHop < samples.size() ? samples[index - kHop] : 0.0;
        }
        window.applyWindow(block.data(), static_cast<std::int32_t>(kBlockLength));
        fft.forward(block.data(), re.data(), im.data());
        spectrogram_.add(frame, re.data(), im.data());
        if (!countRemovals) continue;

        markNonzero(before, re, im);
        quiet.apply(re.data(), im.data());
        markNonzero(afterQuiet, re, im);
        masking.apply(re.data(), im.data());
        markNonzero(afterMasking, re, im);
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            nonzero_[bandOf[bin]] += before[bin];
            removedInQuiet_[bandOf[bin]] += before[bin] && !afterQuiet[bin];
            removedByMasking_[bandOf[bin]] += afterQuiet[bin] && !afterMasking[bin];
        }
    }
}

}  // namespace zarn
