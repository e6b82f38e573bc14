#pragma once
// A Zarn input read in 64 KiB blocks, from a name or from standard input:
// a bare stream as it comes, or an Ogg Zarn file through a ByteSource that
// can also seek where the input is a regular file. Its first bytes can be
// looked at before they are read, to tell the two apart.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "cli/FileFailure.h"
#include "cli/OutputFile.h"
#include "container/PageSeeker.h"
#include "text/Translation.h"

namespace zarn::cli {

class ByteInput {
public:
    explicit ByteInput(const std::string& name) : name_(name) {
        if (name == "-") {
            descriptor_ = STDIN_FILENO;
            owned_ = false;
        } else {
            descriptor_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
            if (descriptor_ < 0) throw FileFailure(inputName(name), causeOf(errno, Access::Read));
        }
        struct stat status;
        if (fstat(descriptor_, &status) != 0) fail(errno);
        if (S_ISDIR(status.st_mode)) fail(EISDIR);
        if (S_ISREG(status.st_mode)) size_ = static_cast<std::uint64_t>(status.st_size);
        identity_ = {status.st_dev, status.st_ino};
    }
    ~ByteInput() {
        if (owned_) close(descriptor_);
    }
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    // The next bytes into `block`; 0 at the end.
    std::size_t read(std::array<std::uint8_t, 1 << 16>& block) { return read(block.data(), block.size()); }
    std::size_t read(std::uint8_t* into, std::size_t size) {
        if (peekedLeft_ > 0) {
            const std::size_t part = std::min(size, peekedLeft_);
            std::memcpy(into, peeked_.data() + (peeked_.size() - peekedLeft_), part);
            peekedLeft_ -= part;
            read_ += part;
            return part;
        }
        for (;;) {
            const ssize_t count = ::read(descriptor_, into, size);
            if (count >= 0) {
                read_ += static_cast<std::uint64_t>(count);
                return static_cast<std::size_t>(count);
            }
            if (errno != EINTR) fail(errno);
        }
    }

    // Whether the input begins with Ogg's capture pattern, seen without
    // taking its bytes: read() gives them again.
    bool startsWithOgg() {
        std::size_t have = 0;
        while (have < peeked_.size()) {
            const std::size_t count = read(peeked_.data() + have, peeked_.size() - have);
            if (count == 0) break;
            have += count;
        }
        read_ -= have;
        // Fewer than four bytes: the ones there, then the end.
        std::memmove(peeked_.data() + (peeked_.size() - have), peeked_.data(), have);
        peekedLeft_ = have;
        return have == peeked_.size() && std::memcmp(peeked_.data(), "OggS", 4) == 0;
    }

    // For reading Ogg Zarn: read() and, for a regular file, seeking.
    ByteSource source() {
        ByteSource bytes;
        bytes.user = this;
        bytes.read = [](void* user, std::uint8_t* buffer, std::size_t size) -> long {
            auto* input = static_cast<ByteInput*>(user);
            try {
                return static_cast<long>(input->read(buffer, size));
            } catch (const FileFailure& failure) {
                input->failure_.emplace(failure);
                return -1;
            }
        };
        bytes.seek = [](void* user, std::int64_t offset) {
            auto* input = static_cast<ByteInput*>(user);
            if (!input->size_ || lseek(input->descriptor_, offset, SEEK_SET) != offset) return -1;
            input->peekedLeft_ = 0;
            input->read_ = static_cast<std::uint64_t>(offset);
            return 0;
        };
        return bytes;
    }
    // Why the source failed to read, where it did.
    const std::optional<FileFailure>& failure() const { return failure_; }

    std::optional<std::uint64_t> size() const { return size_; }
    std::uint64_t bytesRead() const { return read_; }
    FileIdentity identity() const { return identity_; }

private:
    [[noreturn]] void fail(int error) {
        if (owned_) close(descriptor_);
        owned_ = false;
        throw FileFailure(inputName(name_),
                          error == EISDIR ? text::tr("is a directory") : causeOf(error, Access::Read));
    }

    std::string name_;
    int descriptor_ = -1;
    bool owned_ = true;
    std::optional<std::uint64_t> size_;  // for the progress line, and seeking: a regular file's
    FileIdentity identity_{};
    std::array<std::uint8_t, 4> peeked_{};  // what startsWithOgg() read, at the end of the array
    std::size_t peekedLeft_ = 0;            // of it, not yet read again
    std::uint64_t read_ = 0;                // the offset of the next byte read()
    std::optional<FileFailure> failure_;
};

}  // namespace zarn::cli
