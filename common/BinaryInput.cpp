#include "common/BinaryInput.h"

#include "common/FileIdentity.h"

namespace zarn {

BinaryInput::BinaryInput(const char* path) {
    if (!isRegularFile(path)) return;
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr) return;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        if (end > 0) size_ = static_cast<std::uint64_t>(end);
    }
    std::fseek(file_, 0, SEEK_SET);
}

BinaryInput::~BinaryInput() {
    if (file_ != nullptr) std::fclose(file_);
}

bool BinaryInput::refill() {
    next_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    return end_ > 0;
}

}  // namespace zarn
