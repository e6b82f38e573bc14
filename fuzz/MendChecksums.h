#pragma once
// For the Ogg targets: a mutated stream whose pages' CRCs are set again, so
// that the fuzzer reaches what lies behind the check.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ogg/ogg.h>

namespace zarn::fuzz {

// Sets the CRC of every whole page in `bytes`.
inline void mendChecksums(std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at + 27 <= bytes.size(); ++at) {
        if (std::memcmp(&bytes[at], "OggS", 4) != 0) continue;
        const std::size_t headerBytes = 27 + std::size_t{bytes[at + 26]};
        if (at + headerBytes > bytes.size()) break;
        std::size_t bodyBytes = 0;
        for (std::size_t segment = 27; segment < headerBytes; ++segment) bodyBytes += bytes[at + segment];
        if (at + headerBytes + bodyBytes > bytes.size()) break;
        ogg_page page;
        page.header = &bytes[at];
        page.header_len = static_cast<long>(headerBytes);
        page.body = &bytes[at] + headerBytes;
        page.body_len = static_cast<long>(bodyBytes);
        ogg_page_checksum_set(&page);
        at += headerBytes + bodyBytes - 1;
    }
}

}  // namespace zarn::fuzz
