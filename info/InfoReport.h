#pragma once

#include <ostream>
#include <string>

#include "info/FrameTable.h"
#include "info/RemovedSignal.h"
#include "info/SignalAnalysis.h"
#include "info/SignalComparison.h"

namespace zarn {

// The text tables zarninfo prints.
class InfoReport {
public:

    // The file's figures and one row per band.
    static void printFile(std::ostream& out, const std::string& zarnPath, const FrameTable& frames);

    // The decoded file against its original, the level of what was removed,
    // and per band what the encoder's perceptual steps removed from the original.
    static void printComparison(std::ostream& out, const std::string& originalPath,
                                const SignalComparison& comparison, const RemovedSignal& removed,
                                const SignalAnalysis& original);
};

}  // namespace zarn
