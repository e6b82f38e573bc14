#pragma once
// An output file that appears only when it is complete. A regular file is
// written under a hidden temporary name in its own folder and renamed over
// the final name by commit(), so a conversion that fails or is interrupted
// leaves no partial file and never harms a file already there. Without
// `force`, a file that another program makes under the final name while
// this one writes is not replaced either. Standard output ("-") and
// existing devices and pipes (/dev/null) are written directly. A link is
// written through: its file gets the output, and the link stays. Writes go
// through a 64 KiB buffer.

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zarn::cli {

// A file as the system knows it, whatever name or link reaches it.
struct FileIdentity {
    dev_t device;
    ino_t inode;
};

// A scratch file of no name, gone when closed: in $TMPDIR, else /tmp. -1
// and errno when none can be made.
int anonymousFile();

class OutputFile {
public:
    // Throws FileFailure when `name` may not or cannot be written: it is the
    // input (`input`, when known), it exists and `force` is false, or its
    // folder refuses the temporary file.
    OutputFile(const std::string& name, bool force, const std::optional<FileIdentity>& input);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Both return false once any write has failed; cause() then says why.
    // They never throw, so the library's callbacks may call them.
    bool write(const std::uint8_t* bytes, std::size_t size) noexcept;
    // Writes `size` bytes at `offset` from where this output began, after
    // everything buffered; only where seekable().
    bool rewrite(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) noexcept;

    // Writes `size` bytes at `offset` whatever failed before: for a header
    // made to fit what a failed conversion left. Only where seekable().
    bool patch(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) noexcept;
    // How many bytes this output has put into its file so far; none where
    // that cannot be told.
    std::optional<std::uint64_t> bytesInFile() const noexcept;

    const std::string& name() const { return name_; }

    // True when bytes already written can be written again (not a pipe).
    bool seekable() const { return seekable_; }
    // For a writer that does its own writing and seeking (libsndfile).
    int descriptor() const { return descriptor_; }
    bool flush() noexcept;

    // Flushes, closes and gives the file its name; throws FileFailure when
    // any of it failed, and the temporary file is gone.
    void commit();

    // What made the first failed write fail.
    std::string cause() const;

private:
    bool fail(int error) noexcept;

    std::string name_;           // as the user gave it, for messages
    std::string path_;           // where commit() puts the file: through a link, the file it points to
    std::string temporary_;      // empty when written directly
    int descriptor_ = -1;        // -1 once closed
    bool ownsDescriptor_ = true; // false for standard output
    bool seekable_ = false;
    bool mayReplace_ = false;    // whether commit() may replace a file that appeared meanwhile
    off_t start_ = 0;            // where this output began in the descriptor
    int error_ = 0;              // errno of the first failure, 0 while none
    std::size_t buffered_ = 0;   // bytes waiting in buffer_
    std::array<std::uint8_t, 1 << 16> buffer_;
};

}  // namespace zarn::cli
