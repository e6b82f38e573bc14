#pragma once

#include <cstddef>
#include <cstdint>

#include <ogg/ogg.h>

namespace zarn {

// A file or anything like one, read through the caller's functions.
struct ByteSource {
    void* user = nullptr;
    // Up to `size` bytes into `buffer`: how many were read, 0 at the end,
    // negative on failure.
    long (*read)(void* user, std::uint8_t* buffer, std::size_t size) = nullptr;
    // To `offset` bytes from the start: 0 on success.
    int (*seek)(void* user, std::int64_t offset) = nullptr;
};

// Finds where to read an Ogg stream from to reach a granule position, by
// bisection over its pages: a few page reads for any length, since the
// granules of a stream's pages never go backwards.
class PageSeeker {
public:
    enum class Status {
        found,
        failed,  // the source could not be read or positioned
    };

    PageSeeker();
    ~PageSeeker();
    PageSeeker(const PageSeeker&) = delete;
    PageSeeker& operator=(const PageSeeker&) = delete;

    bool ready() const { return ready_; }

    // Among the pages of stream `serial` that begin in [begin, end), the
    // offset just after the last one whose granule is at most `granule`, or
    // `begin` when there is none: reading on from there, the first packet
    // that completes is the one after that many samples (for Zarn, the
    // packet of index granule / 256). Pages of other streams, and bytes
    // that are no page, are passed over.
    Status find(const ByteSource& source, int serial, std::uint64_t begin, std::uint64_t end, std::int64_t granule,
                std::uint64_t& offset);

    // Pages read by the last find(), to measure its cost.
    std::uint32_t pagesRead() const { return pagesRead_; }

private:
    static constexpr std::uint64_t kLinearBytes = 16384;
    static constexpr std::size_t kReadBytes = 4096;

    bool moveTo(const ByteSource& source, std::uint64_t offset);
    // The next page of `serial` with a granule, beginning before `end`; its
    // start and end offsets. False at `end`; `failed_` tells a failure.
    bool nextPage(const ByteSource& source, int serial, std::uint64_t end, std::int64_t& granule,
                  std::uint64_t& start, std::uint64_t& after);

    ogg_sync_state sync_;
    bool ready_ = false;
    bool failed_ = false;            // the source failed in the current find()
    std::uint64_t position_ = 0;     // the offset of the next byte the sync state judges
    std::uint64_t readTo_ = 0;       // the offset of the next byte to read from the source
    std::uint32_t pagesRead_ = 0;
};

}  // namespace zarn
