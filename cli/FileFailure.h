#pragma once
// Why one file's conversion failed: the file (input or output, whichever
// failed) and the cause, as its one line on standard error gives them. Thrown
// where the failure is found and caught once per file, so that a bad file
// never stops the ones after it.

#include <stdexcept>
#include <string>

#include "text/Translation.h"

namespace zarn::cli {

class FileFailure : public std::runtime_error {
public:
    // `file` as the user should see it: inputName() or outputName().
    FileFailure(const std::string& file, const std::string& cause) : std::runtime_error(file + ": " + cause) {}
};

// `name` as it may be printed: as it is, unless it holds control characters
// (a newline would split a message's one line in two, an escape sequence
// would reach the terminal); then quoted for the shell, the way ls quotes
// it, 'a'$'\n''b', so it can be pasted back.
std::string printableName(const std::string& name);

// A file's name for the user, "-" told as what it stands for.
inline std::string inputName(const std::string& file) {
    return file == "-" ? text::tr("(standard input)") : printableName(file);
}
inline std::string outputName(const std::string& file) {
    return file == "-" ? text::tr("(standard output)") : printableName(file);
}

// What was being done to a file when a system call failed.
enum class Access { Read, Write, Create, CreateTemporary };

// The cause for a failed system call on a file, from its errno: a full disk
// is worth saying in so many words; the rest are told apart only as far as a
// user can act on them.
std::string causeOf(int error, Access access);

}  // namespace zarn::cli
