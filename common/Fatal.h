#pragma once
// Every failure the codec detects is fatal: one message line, then the process
// ends with status 1. This is the single exit path, so that a fuzz or test
// build can replace it at link time.

#include <ostream>
#include <string>

namespace zarn {

// Writes `line`, a line feed and a flush to `stream`, pushes every open output
// file's buffered bytes to disk, and ends the process with status 1.
[[noreturn]] void fail(std::ostream& stream, const std::string& line);

}  // namespace zarn
