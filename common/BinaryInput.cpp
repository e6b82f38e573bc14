#include "common/BinaryInput.h"

#include <sys/types.h>

#include <algorithm>

#include "common/FileIdentity.h"

namespace zarn {

BinaryInput::BinaryInput(const char* path) {
    if (!isRegularFile(path)) return;
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr) return;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    // off_t, not long: a long has 32 bits on 32-bit targets.
    if (fseeko(file_, 0, SEEK_END) == 0) {
        const off_t end = ftello(file_);
        if (end > 0) size_ = static_cast<std::uint64_t>(end);
    }
    fseeko(file_, 0, SEEK_SET);
}

namespace {

const std::uint8_t kNoBytes[1] = {0};  // stands in for the null pointer of an empty input

}  // namespace

// The whole input lies at hand from the start, so fill() never has to move it.
BinaryInput::BinaryInput(const std::uint8_t* bytes, std::size_t size)
    : memory_(bytes != nullptr ? bytes : kNoBytes), size_(size), base_(memory_), end_(size) {}

BinaryInput::~BinaryInput() {
    if (file_ != nullptr) std::fclose(file_);
}

std::size_t BinaryInput::fill(std::size_t count) {
    if (end_ - next_ >= count || file_ == nullptr) return end_ - next_;
    // Move what is left to the front, then top the buffer up.
    std::memmove(buffer_.data(), buffer_.data() + next_, end_ - next_);
    end_ -= next_;
    next_ = 0;
    while (end_ < count) {
        const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
        if (got == 0) break;
        end_ += got;
    }
    return end_;
}

std::size_t BinaryInput::readSlowly(std::uint8_t* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const std::size_t piece = std::min(count - done, kWindow);
        const std::size_t available = std::min(fill(piece), piece);
        if (available == 0) break;
        std::memcpy(out + done, unread(), available);
        consume(available);
        done += available;
    }
    return done;
}

}  // namespace zarn
