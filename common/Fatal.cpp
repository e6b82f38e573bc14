#include "common/Fatal.h"

#include <cstdio>
#include <cstdlib>

#include "common/BinaryOutput.h"

namespace zarn {

void fail(std::ostream& stream, const std::string& line) {
    stream << line << '\n';
    stream.flush();
    // std::exit skips the destructors of the conversion's objects; without this
    // an output would lose what it still held in its buffer.
    BinaryOutput::flushAllOpen();
    std::fflush(nullptr);
    std::exit(1);
}

}  // namespace zarn
