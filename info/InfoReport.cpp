#include "info/InfoReport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/BandTable.h"
#include "info/TextTable.h"
#include "text/Translation.h"

namespace zarn {

namespace {

using text::format;
using text::tr;
using text::trn;

std::string number(double value, int decimals) {
    return TextTable::number(value, decimals);
}

// The unit goes only after a finite figure: "infinite dB" would read oddly.
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
    out << format(tr("Zarn file: %s"), zarnPath.c_str()) << "\n";
    const double ratio = frames.pcmRatio();
    TextTable figures({}, 2);
    const auto bytes = static_cast<unsigned long long>(frames.fileBytes());
    figures.add({tr("Frames"), std::to_string(frames.frameCount())});
    figures.add({tr("Duration"), withUnit(frames.seconds(), 3, "s")});
    figures.add({tr("File size"), format(trn("%llu byte", "%llu bytes", static_cast<unsigned long>(bytes)), bytes)});
    figures.add({tr("Bit rate"), withUnit(frames.kbitPerSecond(), 2, "kbit/s")});
    figures.add({tr("Size against 16-bit PCM"),
                 std::isnan(ratio) ? "-" : number(ratio, 3) + " (1:" + number(1.0 / ratio, 2) + ")"});
    figures.add({tr("15 bits in every band"),
                 frames.fifteenEverywhere() ? tr("yes (as zarnbasic writes)") : tr("no")});
    figures.print(out, 2);

    out << "\n";
    TextTable bands({tr("Band"), tr("From Hz"), tr("To Hz"), tr("Bits (mean)"),
                     // xgettext:no-c-format
                     tr("Empty (% of frames)"), tr("Scale (mean)")},
                    0);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        bands.add(joined(bandRow(band), {number(frames.meanBits(band), 2), percent(frames.emptyShare(band)),
                                         number(frames.meanScale(band), 2)}));
    }
    bands.print(out, 2);
}

void InfoReport::printComparison(std::ostream& out, const std::string& originalPath,
                                 const std::string& originalRead, const SignalComparison& comparison,
                                 const RemovedSignal& removed, const SignalAnalysis& original) {
    const auto compared = static_cast<unsigned long long>(comparison.comparedSamples());
    out << "\n"
        << format(trn("Compared with the original: %s (%llu sample)", "Compared with the original: %s (%llu samples)",
                      static_cast<unsigned long>(compared)),
                  originalPath.c_str(), compared)
        << "\n";
    TextTable figures({}, 2);
    figures.add({tr("Original"), originalRead});
    figures.add({tr("SNR"), withUnit(comparison.snrDb(), 2, "dB")});
    figures.add({tr("Segmental SNR"), withUnit(comparison.segmentalSnrDb(), 2, "dB")});
    figures.add({tr("Largest sample error"), std::to_string(comparison.largestError())});
    figures.add({tr("Removed: original minus decoded, RMS"), withUnit(removed.levelDbfs(), 2, "dBFS")});
    figures.print(out, 2);
    const auto silent = static_cast<unsigned long long>(comparison.silentSegments());
    out << "  "
        << format(tr("(segments of %llu samples, each held within %s to %s dB; %llu silent segments, RMS below %s, "
                     "left out)"),
                  static_cast<unsigned long long>(SignalComparison::kSegment),
                  number(SignalComparison::kFloorDb, 0).c_str(), number(SignalComparison::kCeilingDb, 0).c_str(),
                  silent, number(std::sqrt(SignalComparison::kSilentMeanSquare), 0).c_str())
        << "\n";

    // The file's own frames say what was dropped, whichever encoder wrote
    // them and at whatever rate.
    out << "\n" << tr("The original's nonzero bins that the Zarn file's frames store as zero:") << "\n";
    TextTable bands({tr("Band"), tr("From Hz"), tr("To Hz"), tr("Bins"), tr("In empty band %"),
                     tr("In band with bits %")},
                    0);
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
