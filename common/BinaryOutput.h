#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zarn {

// A binary output file with its own buffer in front of the C stream.
//
// Every open output links itself into a process-wide list, so that a fatal
// exit, which skips destructors, can still push buffered bytes to disk. A write
// that fails is remembered rather than reported, so the caller decides what a
// failed write means.
class BinaryOutput {
public:
    // Creates or truncates `path` for binary writing; see isOpen().
    explicit BinaryOutput(const char* path);
    ~BinaryOutput();
    BinaryOutput(const BinaryOutput&) = delete;
    BinaryOutput& operator=(const BinaryOutput&) = delete;

    bool isOpen() const { return file_ != nullptr; }

    void putByte(std::uint8_t byte) {
        if (used_ == buffer_.size()) drain();
        buffer_[used_++] = byte;
    }
    void putBytes(const std::uint8_t* bytes, std::size_t count) {
        if (buffer_.size() - used_ >= count) {
            std::memcpy(buffer_.data() + used_, bytes, count);
            used_ += count;
            return;
        }
        putBytesSlowly(bytes, count);
    }

    // Writes `count` bytes over the start of the file after everything buffered
    // has gone out; an earlier failed write does not stop it.
    void rewriteStart(const std::uint8_t* bytes, std::size_t count);

    // Hands every buffered byte to the operating system.
    void flush() { drain(); }

    // Drains, then closes the file; later calls do nothing.
    void close();

    // True once any write, the flush or the close has failed.
    bool failed() const { return failed_; }

    // Drains every output that is still open; for the fatal exit path.
    static void flushAllOpen();

private:
    void drain();
    void putBytesSlowly(const std::uint8_t* bytes, std::size_t count);

    std::FILE* file_;                       // the open file; null when opening failed or after close
    std::array<std::uint8_t, 65536> buffer_;  // bytes not yet handed to the file
    std::size_t used_ = 0;                  // how many bytes of buffer_ are pending
    bool failed_ = false;                   // set by the first failed write, flush or close
    BinaryOutput* previous_ = nullptr;      // neighbours in the list of open outputs
    BinaryOutput* next_ = nullptr;
    static BinaryOutput* firstOpen_;        // head of that list
};

}  // namespace zarn
