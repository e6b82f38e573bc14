#include "info/InfoReport.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

std::string seconds(std::uint64_t samples) {
    return number(static_cast<double>(samples) / kSampleRate, 3);
}

std::string share(std::size_t part, std::size_t whole) {
    return whole == 0 ? "-" : percent(static_cast<double>(part) / static_cast<double>(whole)) + " %";
}

std::string damageText(const OggZarnContents::Damage& damage) {
    using Kind = OggZarnContents::Damage::Kind;
    switch (damage.kind) {
        case Kind::lostSync: return tr("bytes that are no valid page (a bad CRC, or a cut)");
        case Kind::hole:
            if (!damage.samplesKnown) return tr("pages missing");
            return format(tr("pages missing: %llu samples lost, played as silence"),
                          static_cast<unsigned long long>(damage.samples));
        case Kind::badPacket: return tr("a packet whose frames do not read, played as silence");
        case Kind::badGranule: return tr("a granule position against the count of packets");
        case Kind::truncated: return tr("the stream ends without its last page");
        case Kind::badHeader: break;
    }
    return tr("a stream whose headers do not read");
}

// The figures and bands of one table of frames.
void printFrames(std::ostream& out, const FrameTable& frames) {
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

}  // namespace

void InfoReport::printFile(std::ostream& out, const std::string& zarnPath, const FrameTable& frames) {
    out << format(tr("Zarn file: %s"), zarnPath.c_str()) << "\n";
    printFrames(out, frames);
}

void InfoReport::printOggFile(std::ostream& out, const std::string& path, const OggZarnContents& file) {
    using Hop = OggZarnContents::Hop;
    out << format(tr("Ogg Zarn file: %s"), path.c_str()) << "\n";
    const Identification& header = file.identification();
    std::string names;
    for (unsigned c = 0; c < file.channels(); ++c) names += (c == 0 ? "" : ", ") + channelName(file.channels(), c);
    const std::size_t hops = file.hopCount();
    TextTable figures({}, 2);
    figures.add({tr("Channels"), std::to_string(file.channels()) + " (" + names + ")"});
    const bool coupled = header.coupling == Coupling::frontPair;
    figures.add({tr("Coupling"), coupled ? format(tr("%s and %s as mid/side where it saves bits"),
                                                  channelName(file.channels(), 0).c_str(),
                                                  channelName(file.channels(), frontRightChannel(file.channels())).c_str())
                                         : tr("every channel on its own")});
    if (coupled) {
        figures.add({tr("Mid/side hops"), std::to_string(file.hopsOf(Hop::midSide)) + " (" +
                                              share(file.hopsOf(Hop::midSide), hops) + ")"});
        figures.add({tr("Left/right hops"), std::to_string(file.hopsOf(Hop::leftRight)) + " (" +
                                                share(file.hopsOf(Hop::leftRight), hops) + ")"});
    }
    figures.add({tr("Silent hops (empty packets)"),
                 std::to_string(file.hopsOf(Hop::empty)) + " (" + share(file.hopsOf(Hop::empty), hops) + ")"});
    if (file.hopsOf(Hop::lost) > 0) {
        figures.add({tr("Lost hops (silent in their place)"),
                     std::to_string(file.hopsOf(Hop::lost)) + " (" + share(file.hopsOf(Hop::lost), hops) + ")"});
    }
    figures.add({tr("Hops"), std::to_string(hops)});
    figures.add({tr("Original rate"), format(tr("%u Hz"), static_cast<unsigned>(header.originalRate))});
    const auto length = static_cast<unsigned long long>(file.length());
    const std::string lengthText = format(trn("%llu sample", "%llu samples", static_cast<unsigned long>(length)),
                                          length) + " (" + seconds(file.length()) + " s)";
    figures.add({tr("Length"), file.lengthKnown() ? lengthText : lengthText + ", " + tr("as decoded: the end is missing")});
    const auto bytes = static_cast<unsigned long long>(file.fileBytes());
    figures.add({tr("File size"), format(trn("%llu byte", "%llu bytes", static_cast<unsigned long>(bytes)), bytes)});
    const double kbit = file.length() == 0 ? std::numeric_limits<double>::quiet_NaN()
                                           : file.fileBytes() * 8.0 * kSampleRate / file.length() / 1000.0;
    figures.add({tr("Bit rate"), withUnit(kbit, 2, "kbit/s")});
    figures.add({tr("Pre-skip"), format(trn("%llu sample", "%llu samples", header.preSkip),
                                        static_cast<unsigned long long>(header.preSkip))});
    figures.add({tr("Version"), std::to_string(header.version >> 4) + "." + std::to_string(header.version & 15)});
    figures.add({tr("Damage"), file.damage().empty() ? tr("none") : std::to_string(file.damage().size())});
    if (file.laterStreams() > 0) figures.add({tr("Streams after this one"), std::to_string(file.laterStreams())});
    figures.print(out, 2);

    out << "\n" << format(tr("Tags (vendor: %s):"), file.vendor().c_str()) << "\n";
    if (file.tags().empty()) out << "  " << tr("(none)") << "\n";
    for (const std::string& tag : file.tags()) out << "  " << tag << "\n";

    if (!file.damage().empty()) {
        out << "\n" << tr("Damage, decoded through:") << "\n";
        for (const OggZarnContents::Damage& damage : file.damage()) {
            out << "  "
                << format(tr("at sample %llu (%s s): %s"), static_cast<unsigned long long>(damage.at),
                          seconds(damage.at).c_str(), damageText(damage).c_str())
                << "\n";
        }
    }
}

void InfoReport::printChannel(std::ostream& out, const OggZarnContents& file, unsigned channel) {
    out << "\n"
        << format(tr("Channel %u of %u: %s"), channel + 1, file.channels(), channelName(file.channels(), channel).c_str())
        << "\n";
    printFrames(out, file.channel(channel));
}

void InfoReport::printHops(std::ostream& out, const FrameTable& frames) {
    out << "\n";
    TextTable hops({tr("Frame"), tr("Start s"), tr("Bytes"), tr("kbit/s")}, 0);
    for (std::size_t f = 0; f < frames.frameCount(); ++f) {
        hops.add({std::to_string(f), seconds(f * kHop), std::to_string(frames.frameBytes(f)),
                  number(frames.frameKbitPerSecond(f), 1)});
    }
    hops.print(out, 2);
}

void InfoReport::printHops(std::ostream& out, const OggZarnContents& file) {
    using Hop = OggZarnContents::Hop;
    out << "\n";
    std::vector<std::string> header{tr("Hop"), tr("Start s"), tr("Coupling"), tr("Bytes"), tr("kbit/s")};
    for (unsigned c = 0; c < file.channels(); ++c) header.push_back(format(tr("Ch %u"), c + 1));
    TextTable hops(header, 0);
    for (std::size_t h = 0; h < file.hopCount(); ++h) {
        const Hop kind = file.hop(h);
        const std::string coupling = kind == Hop::midSide     ? "M/S"
                                     : kind == Hop::leftRight ? "L/R"
                                     : kind == Hop::empty     ? tr("silent")
                                     : kind == Hop::lost      ? tr("lost")
                                                              : "-";
        std::vector<std::string> row{std::to_string(h), seconds(h * kHop), coupling,
                                     std::to_string(file.packetBytes(h)),
                                     number(file.packetBytes(h) * 8.0 * kSampleRate / kHop / 1000.0, 1)};
        for (unsigned c = 0; c < file.channels(); ++c) row.push_back(std::to_string(file.channel(c).frameBytes(h)));
        hops.add(row);
    }
    hops.print(out, 2);
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
