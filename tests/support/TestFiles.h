#pragma once
// Files and processes for the tests: a private temporary folder, whole-file
// reads and writes, and a run of a program with a scripted standard input.

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // `name` inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);

// What a program run left behind.
struct RunResult {
    int exitStatus = -1;  // the process's exit status; -1 if it did not exit normally
    std::string out;      // everything written to standard output
    std::string err;      // everything written to standard error
};

// `text` as one word of a shell command line.
std::string shellWord(const std::string& text);

// Whether the shell finds a command called `name` on this machine.
bool haveCommand(const std::string& name);

// The shell words that start the program built at `path` on this build's
// target: through the emulator when the build is a cross build, or through
// the shell words in the environment variable ZARN_TEST_EMULATOR where set.
std::string targetCommand(const std::string& path);

// Runs the shell command line `command` with `directory` as working folder and
// `input` as the whole of its standard input, and waits for it to end. It runs
// in the C locale (LC_ALL=C, no LANGUAGE) unless it sets one itself.
RunResult runCommand(const std::string& command, const std::string& directory,
                     const std::string& input);

// runCommand() for one built program, started as targetCommand() says.
RunResult runProgram(const std::string& program, const std::string& directory,
                     const std::string& input);

// runProgram() under a file-size limit of `bytes` (the shell's ulimit -f),
// with the signal a write past it raises at its default action, which ends
// the process unless the program ignores it.
RunResult runProgramWithFileSizeLimit(const std::string& program, const std::string& directory,
                                      const std::string& input, std::uint64_t bytes);

}  // namespace zarn::test
