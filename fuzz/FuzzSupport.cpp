#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

#include "common/Fatal.h"

namespace zarn {

// Linked ahead of libcommon.a, so the programs' fail(), which ends the process,
// is never pulled in. Throwing unwinds the conversion, whose destructors then
// close its files as they would at a normal end.
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

// Never destroyed, so that the exit handler that removes the file can still
// read it after the static objects are gone.
const std::string& scratchName() {
    static const std::string* const name = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("zarn-fuzz-" + std::to_string(getpid()) + ".bin");
        std::atexit([] { std::remove(scratchName().c_str()); });
        return new std::string(path.string());
    }();
    return *name;
}

}  // namespace

void silenceConsole() {
    // Never destroyed: the streams are flushed once more after every static
    // object of this file has gone.
    static NullBuffer* const nowhere = new NullBuffer;
    std::cout.rdbuf(nowhere);
    std::cerr.rdbuf(nowhere);
}

const char* writeScratchFile(const std::uint8_t* data, std::size_t size) {
    const std::string& name = scratchName();
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(name.c_str());
        std::abort();
    }
    return name.c_str();
}

}  // namespace zarn::fuzz
