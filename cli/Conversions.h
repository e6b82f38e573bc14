#pragma once
// One file's conversion each: encode any sound to Zarn, decode Zarn to a
// sound file, or decode only to see whether a Zarn file is whole. Each
// returns the lines that tell the user what was done, and throws
// FileFailure, naming the input or the output, when it fails; no output file
// is then left behind.

#include <string>

#include "cli/CommandLine.h"

namespace zarn::cli {

struct Outcome {
    std::string done;     // what was done, for the user
    std::string warning;  // "a.wav: warning: ..." when the conversion went through with a fault; else empty
};

Outcome encodeFile(const std::string& input, const std::string& output, const Options& options, bool progress);
Outcome decodeFile(const std::string& input, const std::string& output, const Options& options, bool progress);
Outcome testFile(const std::string& input, const Options& options, bool progress);

}  // namespace zarn::cli
