#include "cli/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/FileFailure.h"
#include "cli/InterruptCleanup.h"

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
// points to, so that the link stays a link. `name` itself where it is no
// link, or a link to nothing.
std::string writtenPath(const std::string& name) {
    struct stat own;
    if (lstat(name.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) return name;
    char* const resolved = realpath(name.c_str(), nullptr);
    if (resolved == nullptr) return name;
    const std::string path = resolved;
    std::free(resolved);
    return path;
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

}  // namespace

std::string causeOf(int error, Access access) {
    using text::format;
    using text::tr;
    switch (error) {
        case ENOSPC:
        case EDQUOT: return tr("the disk is full");
        case EACCES:
        case EPERM:
        case EROFS:
            return access == Access::Read    ? tr("no permission to read")
                   : access == Access::Write ? tr("no permission to write")
                                             : tr("no permission to create the file");
        case ENOENT: return tr("does not exist");
        case EISDIR: return tr("is a directory");
        default:
            return format(access == Access::Read    ? tr("error reading (error code %d)")
                          : access == Access::Write ? tr("error writing (error code %d)")
                                                    : tr("error creating the file (error code %d)"),
                          error);
    }
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
