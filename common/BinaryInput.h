#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zarn {

// A binary input file read through a buffer of its own, with its size measured
// once at opening. Reads past the end, and reads after an error, yield nothing.
class BinaryInput {
public:
    // Opens `path` for binary reading if it names a regular file; see isOpen().
    // Anything else (a directory, a device, a FIFO) has no size to count by.
    explicit BinaryInput(const char* path);
    ~BinaryInput();
    BinaryInput(const BinaryInput&) = delete;
    BinaryInput& operator=(const BinaryInput&) = delete;

    bool isOpen() const { return file_ != nullptr; }

    // The file's length in bytes, as measured when it was opened.
    std::uint64_t size() const { return size_; }

    // Bytes handed out so far: the position of the next byte in the file.
    std::uint64_t position() const { return position_; }

    // Copies up to `count` bytes to `out`; returns how many there were.
    std::size_t read(std::uint8_t* out, std::size_t count) {
        if (end_ - next_ >= count) {
            std::memcpy(out, buffer_.data() + next_, count);
            consume(count);
            return count;
        }
        return readSlowly(out, count);
    }

    // Makes up to `count` (at most kWindow) unread bytes lie in one piece at
    // unread(); returns how many do, fewer only at the end of the file.
    std::size_t fill(std::size_t count);
    const std::uint8_t* unread() const { return buffer_.data() + next_; }
    // Marks `count` bytes of those made available by fill() as read.
    void consume(std::size_t count) {
        next_ += count;
        position_ += count;
    }

    static constexpr std::size_t kWindow = 4096;

private:
    std::size_t readSlowly(std::uint8_t* out, std::size_t count);

    std::FILE* file_ = nullptr;               // null when opening failed
    std::uint64_t size_ = 0;                  // file length in bytes, fixed at opening
    std::uint64_t position_ = 0;              // bytes returned by read() so far
    std::array<std::uint8_t, 65536> buffer_;  // bytes read ahead from the file
    std::size_t next_ = 0;                    // index of the next unread byte in buffer_
    std::size_t end_ = 0;                     // one past the last valid byte in buffer_
};

}  // namespace zarn
