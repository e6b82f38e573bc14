#include "container/OggZarnHeaders.h"

#include <cstring>

namespace zarn {
namespace {

constexpr char kIdentificationMagic[] = "ZarnHead";
constexpr char kCommentMagic[] = "ZarnTags";
constexpr std::size_t kMagicBytes = 8;

std::uint32_t readU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void writeU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

HeaderError checkIdentification(const Identification& header) {
    if (header.version >> 4 != kMappingVersion >> 4) return HeaderError::version;
    if (header.channels == 0 || header.channels > kMaxChannels) return HeaderError::channels;
    if (header.coupling != Coupling::separate &&
        (header.coupling != Coupling::frontPair || header.channels < 2)) {
        return HeaderError::coupling;
    }
    if (header.originalRate == 0) return HeaderError::rate;
    if (header.preSkip < kPreSkip) return HeaderError::preSkip;
    return HeaderError::none;
}

std::array<std::uint8_t, kIdentificationBytes> writeIdentification(const Identification& header) {
    std::array<std::uint8_t, kIdentificationBytes> bytes{};
    std::memcpy(bytes.data(), kIdentificationMagic, kMagicBytes);
    bytes[8] = header.version;
    bytes[9] = header.channels;
    bytes[10] = static_cast<std::uint8_t>(header.coupling);
    writeU32(&bytes[11], header.originalRate);
    bytes[15] = static_cast<std::uint8_t>(header.preSkip);
    bytes[16] = static_cast<std::uint8_t>(header.preSkip >> 8);
    writeOriginalLength(&bytes[kOriginalLengthOffset], header.originalLength);
    return bytes;
}

void writeOriginalLength(std::uint8_t* at, std::uint64_t length) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(length >> (8 * i));
}

HeaderError readIdentification(const std::uint8_t* bytes, std::size_t size, Identification& header) {
    if (size < kMagicBytes || std::memcmp(bytes, kIdentificationMagic, kMagicBytes) != 0) {
        return HeaderError::notThisHeader;
    }
    // The version first: a later major version may be shorter or longer.
    if (size > 8 && bytes[8] >> 4 != kMappingVersion >> 4) return HeaderError::version;
    if (size < kIdentificationBaseBytes) return HeaderError::cutShort;
    Identification read;
    read.version = bytes[8];
    read.channels = bytes[9];
    // Kept as it stands so that the check sees a reserved value.
    read.coupling = static_cast<Coupling>(bytes[10]);
    read.originalRate = readU32(&bytes[11]);
    read.preSkip = static_cast<std::uint16_t>(bytes[15] | bytes[16] << 8);
    if (size >= kIdentificationBytes) {
        read.originalLength = 0;
        for (int i = 7; i >= 0; --i) read.originalLength = read.originalLength << 8 | bytes[kOriginalLengthOffset + i];
    }
    const HeaderError error = checkIdentification(read);
    if (error == HeaderError::none) header = read;
    return error;
}

bool validCommentName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        if (c < 0x20 || c > 0x7D || c == '=') return false;
    }
    return true;
}

bool commentNameIs(std::string_view comment, std::string_view name) {
    const std::size_t equals = comment.find('=');
    if (equals != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lowerAscii(comment[i]) != lowerAscii(name[i])) return false;
    }
    return true;
}

std::string_view commentValue(std::string_view comment) {
    const std::size_t equals = comment.find('=');
    return equals == std::string_view::npos ? std::string_view{} : comment.substr(equals + 1);
}

namespace {

bool validComment(std::string_view comment) {
    const std::size_t equals = comment.find('=');
    return equals != std::string_view::npos && validCommentName(comment.substr(0, equals));
}

}  // namespace

std::size_t commentHeaderBytes(std::string_view vendor, const std::string_view* comments, std::size_t count) {
    std::size_t bytes = kMagicBytes + 4 + vendor.size() + 4;
    for (std::size_t i = 0; i < count; ++i) bytes += 4 + comments[i].size();
    return bytes;
}

std::size_t writeComments(std::string_view vendor, const std::string_view* comments, std::size_t count,
                          std::uint8_t* out, std::size_t capacity, HeaderError& error) {
    error = HeaderError::none;
    constexpr std::uint32_t kLimit = 0xFFFFFFFFu;
    if (vendor.size() > kLimit || count > kLimit) error = HeaderError::tooLarge;
    for (std::size_t i = 0; i < count && error == HeaderError::none; ++i) {
        if (!validComment(comments[i])) error = HeaderError::badComment;
        if (comments[i].size() > kLimit) error = HeaderError::tooLarge;
    }
    if (error == HeaderError::none && commentHeaderBytes(vendor, comments, count) > capacity) {
        error = HeaderError::tooLarge;
    }
    if (error != HeaderError::none) return 0;
    std::uint8_t* at = out;
    std::memcpy(at, kCommentMagic, kMagicBytes);
    at += kMagicBytes;
    writeU32(at, static_cast<std::uint32_t>(vendor.size()));
    if (!vendor.empty()) std::memcpy(at + 4, vendor.data(), vendor.size());
    at += 4 + vendor.size();
    writeU32(at, static_cast<std::uint32_t>(count));
    at += 4;
    for (std::size_t i = 0; i < count; ++i) {
        writeU32(at, static_cast<std::uint32_t>(comments[i].size()));
        if (!comments[i].empty()) std::memcpy(at + 4, comments[i].data(), comments[i].size());
        at += 4 + comments[i].size();
    }
    return static_cast<std::size_t>(at - out);
}

HeaderError CommentHeader::read(const std::uint8_t* bytes, std::size_t size) {
    if (size < kMagicBytes || std::memcmp(bytes, kCommentMagic, kMagicBytes) != 0) return HeaderError::notThisHeader;
    const std::uint8_t* at = bytes + kMagicBytes;
    std::size_t left = size - kMagicBytes;
    // Every length is compared with what is left before it is added, so
    // no sum can overflow, and a count needs four bytes per comment.
    if (left < 4) return HeaderError::cutShort;
    const std::uint32_t vendorBytes = readU32(at);
    at += 4;
    left -= 4;
    if (vendorBytes > left) return HeaderError::pastEnd;
    const std::string_view vendor(reinterpret_cast<const char*>(at), vendorBytes);
    at += vendorBytes;
    left -= vendorBytes;
    if (left < 4) return HeaderError::cutShort;
    const std::uint32_t count = readU32(at);
    at += 4;
    left -= 4;
    if (count > left / 4) return HeaderError::pastEnd;
    const std::uint8_t* first = at;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (left < 4) return HeaderError::pastEnd;
        const std::uint32_t length = readU32(at);
        at += 4;
        left -= 4;
        if (length > left) return HeaderError::pastEnd;
        if (!validComment(std::string_view(reinterpret_cast<const char*>(at), length))) return HeaderError::badComment;
        at += length;
        left -= length;
    }
    vendor_ = vendor;
    first_ = first;
    count_ = count;
    return HeaderError::none;
}

CommentHeader::Cursor CommentHeader::comments() const {
    Cursor cursor;
    cursor.at_ = first_;
    cursor.left_ = count_;
    return cursor;
}

bool CommentHeader::Cursor::next(std::string_view& comment) {
    if (left_ == 0) return false;
    const std::uint32_t length = readU32(at_);
    comment = std::string_view(reinterpret_cast<const char*>(at_ + 4), length);
    at_ += 4 + length;
    --left_;
    return true;
}

}  // namespace zarn
