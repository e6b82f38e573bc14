#include "common/BinaryOutput.h"

#include <cstring>

namespace zarn {

BinaryOutput* BinaryOutput::firstOpen_ = nullptr;

BinaryOutput::BinaryOutput(const char* path) : file_(std::fopen(path, "wb")) {
    if (file_ == nullptr) return;
    // Our own buffer is the only one: the C stream passes writes straight on.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    next_ = firstOpen_;
    if (next_ != nullptr) next_->previous_ = this;
    firstOpen_ = this;
}

BinaryOutput::~BinaryOutput() { close(); }

void BinaryOutput::putBytesSlowly(const std::uint8_t* bytes, std::size_t count) {
    // Fill the buffer up and hand it over; what is left then either fits in
    // the empty buffer or goes to the file directly, as one piece.
    const std::size_t room = buffer_.size() - used_;
    std::memcpy(buffer_.data() + used_, bytes, room);
    used_ += room;
    bytes += room;
    count -= room;
    drain();
    if (count < buffer_.size()) {
        std::memcpy(buffer_.data(), bytes, count);
        used_ = count;
    } else if (file_ != nullptr && std::fwrite(bytes, 1, count, file_) != count) {
        failed_ = true;
    }
}

void BinaryOutput::drain() {
    if (used_ == 0) return;
    if (file_ != nullptr && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
}

void BinaryOutput::rewriteStart(const std::uint8_t* bytes, std::size_t count) {
    drain();
    if (file_ == nullptr) return;
    std::clearerr(file_);
    if (std::fseek(file_, 0, SEEK_SET) != 0) {
        failed_ = true;
        return;
    }
    if (std::fwrite(bytes, 1, count, file_) != count) failed_ = true;
}

void BinaryOutput::close() {
    if (file_ == nullptr) return;
    drain();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (previous_ != nullptr) previous_->next_ = next_;
    else firstOpen_ = next_;
    if (next_ != nullptr) next_->previous_ = previous_;
    previous_ = next_ = nullptr;
}

void BinaryOutput::flushAllOpen() {
    for (BinaryOutput* output = firstOpen_; output != nullptr; output = output->next_) output->drain();
}

}  // namespace zarn
