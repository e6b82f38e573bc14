#pragma once
// What the robustness tests share: the programs run under a time bound.

#include <sys/stat.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "tests/support/FileBytes.h"
#include "tests/support/Messages.h"
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

}  // namespace zarn::test
