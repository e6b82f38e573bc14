#include "container/PageSeeker.h"

namespace zarn {

PageSeeker::PageSeeker() {
    // The largest page and a read's bytes: the sync buffer never grows.
    ready_ = ogg_sync_init(&sync_) == 0 && ogg_sync_buffer(&sync_, 27 + 255 + 255 * 255 + 2 * kReadBytes) != nullptr;
}

PageSeeker::~PageSeeker() { ogg_sync_clear(&sync_); }

bool PageSeeker::moveTo(const ByteSource& source, std::uint64_t offset) {
    ogg_sync_reset(&sync_);
    position_ = readTo_ = offset;
    if (source.seek(source.user, static_cast<std::int64_t>(offset)) != 0) failed_ = true;
    return !failed_;
}

bool PageSeeker::nextPage(const ByteSource& source, int serial, std::uint64_t end, std::int64_t& granule,
                          std::uint64_t& start, std::uint64_t& after) {
    ogg_page page;
    while (!failed_ && position_ < end) {
        const long judged = ogg_sync_pageseek(&sync_, &page);
        if (judged < 0) {
            position_ += static_cast<std::uint64_t>(-judged);
            continue;
        }
        if (judged > 0) {
            start = position_;
            position_ += static_cast<std::uint64_t>(judged);
            ++pagesRead_;
            granule = ogg_page_granulepos(&page);
            if (ogg_page_serialno(&page) == serial && granule >= 0) {
                after = position_;
                return true;
            }
            continue;
        }
        // A page may run past `end` only as far as the largest page goes.
        char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(kReadBytes));
        if (buffer == nullptr) {
            failed_ = true;
            return false;
        }
        const long read = source.read(source.user, reinterpret_cast<std::uint8_t*>(buffer), kReadBytes);
        if (read < 0) failed_ = true;
        if (read <= 0) return false;
        ogg_sync_wrote(&sync_, read);
        readTo_ += static_cast<std::uint64_t>(read);
    }
    return false;
}

PageSeeker::Status PageSeeker::find(const ByteSource& source, int serial, std::uint64_t begin, std::uint64_t end,
                                    std::int64_t granule, std::uint64_t& offset) {
    failed_ = false;
    pagesRead_ = 0;
    if (!ready_ || source.read == nullptr || source.seek == nullptr) return Status::failed;
    // Invariant: `best` ends a page of granule ≤ `granule` (or is `begin`),
    // and the last such page begins at `lo` or later; past `hi` the first
    // page has a larger granule.
    std::uint64_t best = begin;
    std::uint64_t lo = begin;
    std::uint64_t hi = end;
    std::int64_t found = 0;
    std::uint64_t start = 0;
    std::uint64_t after = 0;
    while (hi - lo > kLinearBytes) {
        const std::uint64_t middle = lo + (hi - lo) / 2;
        if (!moveTo(source, middle)) return Status::failed;
        if (!nextPage(source, serial, hi, found, start, after)) {
            if (failed_) return Status::failed;
            hi = middle;
        } else if (found <= granule) {
            best = lo = after;
        } else {
            hi = middle;
        }
    }
    if (!moveTo(source, lo)) return Status::failed;
    while (nextPage(source, serial, end, found, start, after) && found <= granule) best = after;
    if (failed_) return Status::failed;
    offset = best;
    return Status::found;
}

}  // namespace zarn
