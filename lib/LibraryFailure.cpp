// The library's own fail(). The programs end the process where a check
// fails; a library must not. Of what libzarn links, only the masking model's
// check of its attenuation can fail, and the library always sets it to 1;
// should a check ever fail, it surfaces as an exception that the C interface
// turns into an error code, and nothing is printed.

#include <stdexcept>

#include "common/Fatal.h"

namespace zarn {

void fail(std::ostream&, const std::string& line) { throw std::invalid_argument(line); }

}  // namespace zarn
