#pragma once
// What the robustness tests share: the programs run under a time bound, and
// the finished WAVE file a successful decode must leave.

#include <sys/stat.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {

// A program behind `timeout`: an input that makes it hang fails its case
// (exit status 124) instead of stalling the suite. The bound is far above
// what any case needs, even under the sanitizers.
class BoundedProgram {
public:
    BoundedProgram(const std::string& program, int seconds) : path_(bin_.file("bounded")) {
        const std::string script =
            "#!/bin/sh\nexec timeout -k 10 " + std::to_string(seconds) + " " + targetCommand(program) + "\n";
        writeFile(path_, Bytes(script.begin(), script.end()));
        if (chmod(path_.c_str(), 0755) != 0) throw std::runtime_error("chmod failed");
    }

    RunResult run(const TempDir& dir, const std::string& script) const {
        return runCommand(shellWord(path_), dir.path(), script);
    }

private:
    TempDir bin_;
    std::string path_;
};

inline std::uint32_t little32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

// The header of a decoded file of `count` samples: mono, 16 bits, 44100 per
// second, with both sizes filled in (modulo 2^32, as the fields are 32 bits).
inline Bytes finishedHeader(std::uint64_t count) {
    Bytes header = makeWaveFile({});
    const auto data = static_cast<std::uint32_t>(2 * count);
    for (int i = 0; i < 4; ++i) {
        header[4 + i] = static_cast<std::uint8_t>((data + 36) >> (8 * i));
        header[40 + i] = static_cast<std::uint8_t>(data >> (8 * i));
    }
    return header;
}

inline const std::string kDone = "\nKonverteringen er fuldendt\n";

}  // namespace zarn::test
