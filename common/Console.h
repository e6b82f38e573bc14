#pragma once
// Console lines are written, then flushed at once, so that a user (or a script
// reading the output) sees each one as it happens.

#include <ostream>

namespace zarn {

inline void writeLine(std::ostream& stream, const char* text) {
    stream << text << '\n';
    stream.flush();
}

inline void writeEmptyLine(std::ostream& stream) {
    stream << '\n';
    stream.flush();
}

}  // namespace zarn
