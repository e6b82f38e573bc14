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

    // The decoded file against its original (`originalRead` says how it was
    // read), the level of what was removed, and per band what the file's
    // frames dropped of the original's spectrum.
    static void printComparison(std::ostream& out, const std::string& originalPath,
                                const std::string& originalRead, const SignalComparison& comparison,
                                const RemovedSignal& removed, const SignalAnalysis& original);
};

}  // namespace zarn
