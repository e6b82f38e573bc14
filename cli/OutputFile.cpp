#include "cli/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/FileFailure.h"
#include "cli/InterruptCleanup.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

// The permissions a new file gets from open(): mkstemp() gives 0600, which
// would make the outputs private for no reason the user chose.
mode_t newFileMode() {
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return static_cast<mode_t>(0666 & ~mask);
}

// The longest name a folder entry may have on the usual file systems.
constexpr std::size_t kLongestName = 255;

std::string temporaryPattern(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    // Cut so that a name that is itself allowed gets a temporary name that is.
    const std::string around = "..tmp-XXXXXX";
    return folder + "." + base.substr(0, kLongestName - around.size()) + ".tmp-XXXXXX";
}

// The file that writing to `name` reaches: through a link, the file it
// points to, so that the link stays a link. A link to nothing yet reaches
// the name it holds, which the output then gets, as writing through the
// link would make it. `name` itself where it is no link.
std::string writtenPath(const std::string& name) {
    struct stat own;
    if (lstat(name.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) return name;
    if (char* const resolved = realpath(name.c_str(), nullptr)) {
        const std::string path = resolved;
        std::free(resolved);
        return path;
    }
    // A link the system follows where realpath() cannot (/dev/stdout to a
    // pipe) is written through as it is.
    struct stat through;
    if (stat(name.c_str(), &through) == 0) return name;
    // A link to nothing, followed by hand as far as the system would.
    std::string path = name;
    for (int hop = 0; hop < 40; ++hop) {
        std::array<char, 4096> target;
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return path;
        const std::string next(target.data(), static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = next[0] == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
        if (lstat(path.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) return path;
    }
    return name;
}

bool isFile(const struct stat& status, const FileIdentity& file) {
    return status.st_dev == file.device && status.st_ino == file.inode;
}

bool writeAll(int descriptor, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

const char* noPermission(Access access) {
    switch (access) {
        case Access::Read: return text::tr("no permission to read");
        case Access::Write: return text::tr("no permission to write");
        case Access::Create: return text::tr("no permission to create the file");
        case Access::CreateTemporary: return text::tr("no permission to create a temporary file");
    }
    return "";
}

// The cause for any other errno: a pattern for its code.
const char* failed(Access access) {
    switch (access) {
        case Access::Read: return text::tr("error reading (error code %d)");
        case Access::Write: return text::tr("error writing (error code %d)");
        case Access::Create: return text::tr("error creating the file (error code %d)");
        case Access::CreateTemporary: return text::tr("error creating a temporary file (error code %d)");
    }
    return "";
}

}  // namespace

std::string causeOf(int error, Access access) {
    using text::format;
    using text::tr;
    switch (error) {
        case ENOSPC:
        case EDQUOT: return tr("the disk is full");
        case EACCES:
        case EPERM:
        case EROFS: return noPermission(access);
        case ENOENT: return tr("does not exist");
        case EISDIR: return tr("is a directory");
        case EFBIG: return tr("the file grows larger than allowed");
        default: return format(failed(access), error);
    }
}

int anonymousFile() {
    const char* folder = std::getenv("TMPDIR");
    const std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/zarn-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int descriptor = mkostemp(path.data(), O_CLOEXEC);
    if (descriptor >= 0) unlink(path.data());
    return descriptor;
}

OutputFile::OutputFile(const std::string& name, bool force, const std::optional<FileIdentity>& input)
    : name_(name) {
    if (name == "-") {
        descriptor_ = STDOUT_FILENO;
        ownsDescriptor_ = false;
        // The shell may have opened standard output on the input (>> or 1<>).
        struct stat opened;
        if (input && fstat(descriptor_, &opened) == 0 && isFile(opened, *input)) {
            throw FileFailure(outputName(name_), text::tr("the output file is the same as the input file"));
        }
    } else {
        const std::string path = writtenPath(name);
        struct stat existing;
        const bool exists = stat(path.c_str(), &existing) == 0;
        if (exists && input && isFile(existing, *input)) {
            throw FileFailure(outputName(name_), text::tr("the output file is the same as the input file"));
        }
        if (exists && S_ISDIR(existing.st_mode)) throw FileFailure(outputName(name_), text::tr("is a directory"));
        if (exists && S_ISREG(existing.st_mode) && !force) {
            throw FileFailure(outputName(name_), text::tr("already exists (-f overwrites)"));
        }
        if (exists && !S_ISREG(existing.st_mode)) {
            // A device or a pipe has no folder to put a temporary file in, and
            // nothing on it to protect.
            descriptor_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (descriptor_ < 0) throw FileFailure(outputName(name_), causeOf(errno, Access::Write));
        } else {
            path_ = path;
            std::string pattern = temporaryPattern(path);
            std::vector<char> temporary(pattern.begin(), pattern.end());
            temporary.push_back('\0');
            descriptor_ = createWatchedFile(temporary.data());
            if (descriptor_ < 0) {
                throw FileFailure(outputName(name_),
                                  errno == ENOENT ? text::tr("the directory does not exist")
                                                  : causeOf(errno, Access::Create));
            }
            temporary_ = temporary.data();
            // A file replaced keeps its permissions, as one overwritten in
            // place would.
            fchmod(descriptor_, exists ? existing.st_mode & 07777 : newFileMode());
            mayReplace_ = force;
        }
    }
    // Every write to a descriptor opened for appending (>>) goes to the end,
    // whatever the offset: nothing written there can be written again.
    struct stat opened;
    const int flags = fcntl(descriptor_, F_GETFL);
    start_ = lseek(descriptor_, 0, SEEK_CUR);
    seekable_ = start_ >= 0 && flags >= 0 && (flags & O_APPEND) == 0 && fstat(descriptor_, &opened) == 0 &&
                S_ISREG(opened.st_mode);
}

OutputFile::~OutputFile() {
    if (ownsDescriptor_ && descriptor_ >= 0) close(descriptor_);
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        forgetWatchedFile();
    }
}

bool OutputFile::fail(int error) noexcept {
    if (error_ == 0) error_ = error;
    return false;
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t size) noexcept {
    if (error_ != 0) return false;
    if (buffered_ + size > buffer_.size()) {
        if (!flush()) return false;
        if (size >= buffer_.size()) return writeAll(descriptor_, bytes, size) || fail(errno);
    }
    std::memcpy(buffer_.data() + buffered_, bytes, size);
    buffered_ += size;
    return true;
}

bool OutputFile::flush() noexcept {
    if (error_ != 0) return false;
    if (!writeAll(descriptor_, buffer_.data(), buffered_)) return fail(errno);
    buffered_ = 0;
    return true;
}

bool OutputFile::rewrite(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) noexcept {
    if (!seekable_ || !flush()) return false;
    const off_t at = start_ + static_cast<off_t>(offset);
    if (pwrite(descriptor_, bytes, size, at) != static_cast<ssize_t>(size)) return fail(errno);
    return true;
}

bool OutputFile::patch(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) noexcept {
    if (!seekable_ || descriptor_ < 0) return false;
    return pwrite(descriptor_, bytes, size, start_ + static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

std::optional<std::uint64_t> OutputFile::bytesInFile() const noexcept {
    if (descriptor_ < 0) return std::nullopt;
    const off_t at = lseek(descriptor_, 0, SEEK_CUR);
    if (at < start_) return std::nullopt;
    return static_cast<std::uint64_t>(at - start_);
}

void OutputFile::commit() {
    flush();
    if (ownsDescriptor_ && close(descriptor_) != 0) fail(errno);
    descriptor_ = -1;
    if (error_ == 0 && !temporary_.empty()) {
        if (!mayReplace_ && link(temporary_.c_str(), path_.c_str()) == 0) {
            unlink(temporary_.c_str());
        } else if (!mayReplace_ && errno == EEXIST) {
            // Another program made the file while this one was writing.
            throw FileFailure(outputName(name_), text::tr("already exists (-f overwrites)"));
        } else if (rename(temporary_.c_str(), path_.c_str()) != 0) {
            // Where the file system has no links, rename() is the way left.
            fail(errno);
        }
        if (error_ == 0) {
            forgetWatchedFile();
            temporary_.clear();
        }
    }
    if (error_ != 0) throw FileFailure(outputName(name_), cause());
}

std::string OutputFile::cause() const {
    return causeOf(error_, Access::Write);
}

}  // namespace zarn::cli
