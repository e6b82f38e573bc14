#pragma once
// One file's conversion each: encode any sound to Zarn, decode Zarn to a
// sound file, or decode only to see whether a Zarn file is whole. Each
// returns the line that tells the user what was done, and throws
// FileFailure, naming the input or the output, when it fails; no output file
// is then left behind.

#include <string>

#include "cli/CommandLine.h"

namespace zarn::cli {

std::string encodeFile(const std::string& input, const std::string& output, const Options& options, bool progress);
std::string decodeFile(const std::string& input, const std::string& output, const Options& options, bool progress);
std::string testFile(const std::string& input, bool progress);

}  // namespace zarn::cli
