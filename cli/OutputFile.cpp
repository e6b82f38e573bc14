#include "cli/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

std::string temporaryPattern(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    return folder + "." + base + ".tmp-XXXXXX";
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

std::string causeOf(int error, const char* doing) {
    switch (error) {
        case ENOSPC:
        case EDQUOT: return "disken er fuld";
        case EACCES:
        case EPERM:
        case EROFS: return std::string("ingen tilladelse til at ") + doing;
        case ENOENT: return "findes ikke";
        case EISDIR: return "er en mappe";
        default: return std::string("fejl ved at ") + doing + " (fejlkode " + std::to_string(error) + ")";
    }
}

OutputFile::OutputFile(const std::string& name, bool force, const std::optional<FileIdentity>& input)
    : name_(name) {
    if (name == "-") {
        descriptor_ = STDOUT_FILENO;
        ownsDescriptor_ = false;
    } else {
        struct stat existing;
        const bool exists = stat(name.c_str(), &existing) == 0;
        if (exists && input && existing.st_dev == input->device && existing.st_ino == input->inode) {
            throw FileFailure(outputName(name_), "outputfilen er den samme som inputfilen");
        }
        if (exists && S_ISDIR(existing.st_mode)) throw FileFailure(outputName(name_), "er en mappe");
        if (exists && S_ISREG(existing.st_mode) && !force) {
            throw FileFailure(outputName(name_), "findes allerede (-f overskriver)");
        }
        if (exists && !S_ISREG(existing.st_mode)) {
            // A device or a pipe has no folder to put a temporary file in, and
            // nothing on it to protect.
            descriptor_ = open(name.c_str(), O_WRONLY | O_CLOEXEC);
            if (descriptor_ < 0) throw FileFailure(outputName(name_), causeOf(errno, "skrive"));
        } else {
            std::string pattern = temporaryPattern(name);
            std::vector<char> path(pattern.begin(), pattern.end());
            path.push_back('\0');
            descriptor_ = createWatchedFile(path.data());
            if (descriptor_ < 0) {
                throw FileFailure(outputName(name_),
                                  errno == ENOENT ? "mappen findes ikke" : causeOf(errno, "oprette filen"));
            }
            temporary_ = path.data();
            fchmod(descriptor_, newFileMode());
        }
    }
    struct stat opened;
    start_ = lseek(descriptor_, 0, SEEK_CUR);
    seekable_ = start_ >= 0 && fstat(descriptor_, &opened) == 0 && S_ISREG(opened.st_mode);
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
        if (rename(temporary_.c_str(), name_.c_str()) != 0) {
            fail(errno);
        } else {
            forgetWatchedFile();
            temporary_.clear();
        }
    }
    if (error_ != 0) throw FileFailure(outputName(name_), cause());
}

std::string OutputFile::cause() const {
    return causeOf(error_, "skrive");
}

}  // namespace zarn::cli
