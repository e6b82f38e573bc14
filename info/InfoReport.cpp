#include "info/InfoReport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/BandTable.h"
#include "info/TextTable.h"

namespace zarn {

namespace {

std::string number(double value, int decimals) {
    return TextTable::number(value, decimals);
}

// The unit goes only after a finite figure: "uendelig dB" would read oddly.
std::string withUnit(double value, int decimals, const std::string& unit) {
    const std::string text = number(value, decimals);
    return std::isfinite(value) ? text + " " + unit : text;
}

std::string percent(double share) {
    return number(100.0 * share, 1);
}

// A band reaches from half a bin below its first bin to half a bin above its
// last, held within 0 Hz and the Nyquist frequency, so that the bands meet.
std::vector<std::string> bandRow(std::size_t band) {
    const auto first = static_cast<double>(kBands.first[band]);
    const auto last = static_cast<double>(kBands.last(band));
    const double from = std::max(0.0, (first - 0.5) * kHzPerBin);
    const double to = std::min(static_cast<double>(kNyquistBin), last + 0.5) * kHzPerBin;
    return {std::to_string(band), number(from, 0), number(to, 0)};
}

std::vector<std::string> joined(std::vector<std::string> row, const std::vector<std::string>& more) {
    row.insert(row.end(), more.begin(), more.end());
    return row;
}

}  // namespace

void InfoReport::printFile(std::ostream& out, const std::string& zarnPath, const FrameTable& frames) {
    out << "Zarn-fil: " << zarnPath << "\n";
    const double ratio = frames.pcmRatio();
    TextTable figures({}, 2);
    figures.add({"Rammer", std::to_string(frames.frameCount())});
    figures.add({"Varighed", withUnit(frames.seconds(), 3, "s")});
    figures.add({"Filstoerrelse", std::to_string(frames.fileBytes()) + " byte"});
    figures.add({"Bitrate", withUnit(frames.kbitPerSecond(), 2, "kbit/s")});
    figures.add({"Stoerrelse mod 16-bit PCM",
                 std::isnan(ratio) ? "-" : number(ratio, 3) + " (1:" + number(1.0 / ratio, 2) + ")"});
    figures.add({"15 bit i alle baand", frames.fifteenEverywhere() ? "ja (som zarnbasic skriver)" : "nej"});
    figures.print(out, 2);

    out << "\n";
    TextTable bands({"Baand", "Fra Hz", "Til Hz", "Bit (middel)", "Tom (% af rammer)", "Skala (middel)"}, 0);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        bands.add(joined(bandRow(band), {number(frames.meanBits(band), 2), percent(frames.emptyShare(band)),
                                         number(frames.meanScale(band), 2)}));
    }
    bands.print(out, 2);
}

void InfoReport::printComparison(std::ostream& out, const std::string& originalPath,
                                 const std::string& originalRead, const SignalComparison& comparison,
                                 const RemovedSignal& removed, const SignalAnalysis& original) {
    out << "\nSammenlignet med original: " << originalPath << " (" << comparison.comparedSamples()
        << " samples)\n";
    TextTable figures({}, 2);
    figures.add({"Original", originalRead});
    figures.add({"SNR", withUnit(comparison.snrDb(), 2, "dB")});
    figures.add({"Segmentel SNR", withUnit(comparison.segmentalSnrDb(), 2, "dB")});
    figures.add({"Stoerste samplefejl", std::to_string(comparison.largestError())});
    figures.add({"Fjernet: original minus afkodet, RMS", withUnit(removed.levelDbfs(), 2, "dBFS")});
    figures.print(out, 2);
    out << "  (segmenter paa " << SignalComparison::kSegment << " samples, hver holdt inden for "
        << number(SignalComparison::kFloorDb, 0) << " til " << number(SignalComparison::kCeilingDb, 0)
        << " dB; " << comparison.silentSegments() << " stille segmenter, RMS under "
        << number(std::sqrt(SignalComparison::kSilentMeanSquare), 0) << ", udeladt)\n";

    // The file's own frames say what was dropped, whichever encoder wrote
    // them and at whatever rate.
    out << "\nOriginalens bins, der ikke er nul, som Zarn-filens rammer gemmer som nul:\n";
    TextTable bands({"Baand", "Fra Hz", "Til Hz", "Bins", "I tomt baand %", "I baand med bit %"}, 0);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const auto bins = static_cast<double>(original.nonzeroBins(band));
        // A band with no bins at all gives 0/0, which prints as "-".
        bands.add(joined(bandRow(band), {std::to_string(original.nonzeroBins(band)),
                                         percent(original.inEmptyBands(band) / bins),
                                         percent(original.zeroWithBits(band) / bins)}));
    }
    bands.print(out, 2);
}

}  // namespace zarn
