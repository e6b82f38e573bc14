#pragma once

#include <ostream>
#include <string>

#include "info/FrameTable.h"
#include "info/OggZarnContents.h"
#include "info/RemovedSignal.h"
#include "info/SignalAnalysis.h"
#include "info/SignalComparison.h"

namespace zarn {

// The text tables zarninfo prints.
class InfoReport {
public:

    // The file's figures and one row per band.
    static void printFile(std::ostream& out, const std::string& zarnPath, const FrameTable& frames);

    // An Ogg Zarn file's stream: channels, coupling, rates, length, tags and
    // damage. Each channel's figures follow from printChannel.
    static void printOggFile(std::ostream& out, const std::string& path, const OggZarnContents& file);
    // One channel's heading, figures and bands, as those of a bare stream of
    // its frames alone.
    static void printChannel(std::ostream& out, const OggZarnContents& file, unsigned channel);

    // One row per frame: its bytes and bit rate, and in Ogg Zarn how the hop
    // was coded and each channel's bytes.
    static void printHops(std::ostream& out, const FrameTable& frames);
    static void printHops(std::ostream& out, const OggZarnContents& file);

    // The decoded file against its original (`originalRead` says how it was
    // read), the level of what was removed, and per band what the file's
    // frames dropped of the original's spectrum.
    static void printComparison(std::ostream& out, const std::string& originalPath,
                                const std::string& originalRead, const SignalComparison& comparison,
                                const RemovedSignal& removed, const SignalAnalysis& original);
};

}  // namespace zarn
