#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zarn {

// A binary input read through a buffer of its own, with its size measured once
// at opening: a file, or bytes already in memory, read the same way. Reads
// past the end, and reads after an error, yield nothing.
class BinaryInput {
public:
    // Opens `path` for binary reading if it names a regular file; see isOpen().
    // Anything else (a directory, a device, a FIFO) has no size to count by.
    explicit BinaryInput(const char* path);
    // Reads the `size` bytes at `bytes`, which must outlive the input; always open.
    BinaryInput(const std::uint8_t* bytes, std::size_t size);
    ~BinaryInput();
    BinaryInput(const BinaryInput&) = delete;
    BinaryInput& operator=(const BinaryInput&) = delete;

    bool isOpen() const { return file_ != nullptr || memory_ != nullptr; }

    // The file's length in bytes, as measured when it was opened.
    std::uint64_t size() const { return size_; }

    // Bytes handed out so far: the position of the next byte in the file.
    std::uint64_t position() const { return position_; }

    // Copies up to `count` bytes to `out`; returns how many there were.
    std::size_t read(std::uint8_t* out, std::size_t count) {
        if (end_ - next_ >= count) {
            std::memcpy(out, base_ + next_, count);
            consume(count);
            return count;
        }
        return readSlowly(out, count);
    }

    // Makes up to `count` (at most kWindow) unread bytes lie in one piece at
    // unread(); returns how many do, fewer only at the end of the file.
    std::size_t fill(std::size_t count);
    const std::uint8_t* unread() const { return base_ + next_; }
    // Marks `count` bytes of those made available by fill() as read.
    void consume(std::size_t count) {
        next_ += count;
        position_ += count;
    }

    static constexpr std::size_t kWindow = 4096;

private:
    std::size_t readSlowly(std::uint8_t* out, std::size_t count);

    std::FILE* file_ = nullptr;               // null when opening failed, and for memory
    const std::uint8_t* memory_ = nullptr;    // the bytes of an input in memory, else null
    std::uint64_t size_ = 0;                  // length in bytes, fixed at opening
    std::uint64_t position_ = 0;              // bytes returned by read() so far
    std::array<std::uint8_t, 65536> buffer_;  // bytes read ahead from the file
    const std::uint8_t* base_ = buffer_.data();  // where unread bytes lie: buffer_, or memory_
    std::size_t next_ = 0;                    // index of the next unread byte at base_
    std::size_t end_ = 0;                     // one past the last valid byte at base_
};

}  // namespace zarn
