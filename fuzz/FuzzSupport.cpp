#include "fuzz/FuzzSupport.h"

#include <iostream>
#include <streambuf>
#include <string>

#include "common/Fatal.h"

namespace zarn {

// Linked ahead of libcommon.a, so the programs' fail(), which ends the process,
// is never pulled in. Throwing unwinds the reader and the core, so that the
// next input starts afresh.
void fail(std::ostream& stream, const std::string& line) {
    stream << line << '\n';
    stream.flush();
    throw fuzz::Stopped{};
}

}  // namespace zarn

namespace zarn::fuzz {

namespace {

class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

}  // namespace

void silenceConsole() {
    // Never destroyed: the streams are flushed once more after every static
    // object of this file has gone.
    static NullBuffer* const nowhere = new NullBuffer;
    std::cout.rdbuf(nowhere);
    std::cerr.rdbuf(nowhere);
}

}  // namespace zarn::fuzz
