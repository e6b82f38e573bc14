#include "tests/support/TestFiles.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zarn::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarntest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

bool haveCommand(const std::string& name) {
    return std::system(("command -v " + shellWord(name) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string targetCommand(const std::string& path) {
    // The environment's ZARN_TEST_EMULATOR, even empty, stands in for the
    // build's own: a static 32-bit x86 build also runs natively on x86-64.
    const char* variable = std::getenv("ZARN_TEST_EMULATOR");
    const std::string emulator = variable != nullptr ? variable : ZARN_TEST_EMULATOR;
    return emulator.empty() ? shellWord(path) : emulator + " " + shellWord(path);
}

RunResult runProgram(const std::string& program, const std::string& directory,
                     const std::string& input) {
    return runCommand(targetCommand(program), directory, input);
}

namespace {

// Runs the shell line `line` and returns its wait status, or -1. With a
// limit, the shell starts under that file-size limit and with the default
// action for the signal a write past it raises, so that what the program
// meets there is of its own making, not inherited from the test.
int runShell(const std::string& line, std::uint64_t fileSizeLimit) {
    if (fileSizeLimit == 0) return std::system(line.c_str());
    const pid_t child = fork();
    if (child == -1) return -1;
    if (child == 0) {
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        std::signal(SIGXFSZ, SIG_DFL);
        if (setrlimit(RLIMIT_FSIZE, &limit) == 0) execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) == -1) {
        if (errno != EINTR) return -1;
    }
    return status;
}

RunResult runShellWithInput(const std::string& command, const std::string& directory, const std::string& input,
                            std::uint64_t fileSizeLimit) {
    // Files rather than pipes: nothing can deadlock on a full pipe, and the
    // program sees a real end of input.
    TempDir scratch;
    const std::string inPath = scratch.file("stdin"), outPath = scratch.file("stdout"),
                      errPath = scratch.file("stderr");
    writeFile(inPath, Bytes(input.begin(), input.end()));
    // zarn and zarninfo speak the user's language: the tests read their
    // English unless a command asks for another locale itself.
    const std::string line = "cd " + shellWord(directory) + " && unset LANGUAGE && export LC_ALL=C && " + command +
                             " <" + shellWord(inPath) + " >" + shellWord(outPath) + " 2>" + shellWord(errPath);
    const int status = runShell(line, fileSizeLimit);
    RunResult result;
    if (status != -1 && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    const Bytes out = readFile(outPath), err = readFile(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

}  // namespace

RunResult runCommand(const std::string& command, const std::string& directory,
                     const std::string& input) {
    return runShellWithInput(command, directory, input, 0);
}

RunResult runProgramWithFileSizeLimit(const std::string& program, const std::string& directory,
                                      const std::string& input, std::uint64_t bytes) {
    return runShellWithInput(targetCommand(program), directory, input, bytes);
}

}  // namespace zarn::test
