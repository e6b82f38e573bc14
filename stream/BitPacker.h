#pragma once
// The Zarn bit stream, packed and unpacked in memory: fields most significant
// bit first, cut into 16-bit words that are stored low byte first.

#include <cstddef>
#include <cstdint>

namespace zarn {

// Appends fields to a frame's bytes. A word leaves as soon as it is full, so
// at most 15 bits wait between calls.
class BitPacker {
public:
    explicit BitPacker(std::uint8_t* out) : out_(out) {}

    // Appends the low `count` bits of `value` (count 1..16). `value` must fit
    // in `count` bits: higher bits would spoil the bits already waiting.
    void put(int count, std::uint32_t value) {
        // WATCHOUT: the accumulator is wider than any shift made here (at most
        // 16), so no shift ever spans its full width; bits older than a word
        // simply fall off the top.
        accumulator_ = (accumulator_ << count) | value;
        pending_ += count;
        if (pending_ >= 16) {
            pending_ -= 16;
            emit(static_cast<std::uint16_t>(accumulator_ >> pending_));
        }
    }

    // put(16, value) without the test: a whole word's worth of bits always
    // completes exactly one word.
    void putWord(std::uint16_t value) {
        accumulator_ = (accumulator_ << 16) | value;
        emit(static_cast<std::uint16_t>(accumulator_ >> pending_));
    }

    // Bytes of whole words written so far.
    std::size_t size() const { return size_; }
    // Bits appended so far, waiting ones included.
    std::uint32_t bitCount() const { return static_cast<std::uint32_t>(8 * size_) + pending_; }

private:
    void emit(std::uint16_t word) {
        out_[size_++] = static_cast<std::uint8_t>(word & 0xFF);
        out_[size_++] = static_cast<std::uint8_t>(word >> 8);
    }

    std::uint8_t* out_;              // where the words go
    std::uint64_t accumulator_ = 0;  // fields appended, the waiting bits in its low pending_ bits
    int pending_ = 0;                // bits not yet in a whole word: 0..15 between calls
    std::size_t size_ = 0;           // bytes written to out_
};

// Takes fields from bytes in memory, a word at a time, never reading past
// the `limit` bytes it was given.
class BitUnpacker {
public:
    BitUnpacker(const std::uint8_t* bytes, std::size_t limit) : bytes_(bytes), limit_(limit) {}

    // The next `count` bits (1..16), right-aligned in `out`. False, with
    // nothing taken, when they need a word that is not wholly there.
    bool take(int count, std::uint32_t& out) {
        if (available_ < count) {
            if (limit_ - size_ < 2) return false;
            accumulator_ = (accumulator_ << 16) | bytes_[size_] | (std::uint32_t{bytes_[size_ + 1]} << 8);
            size_ += 2;
            available_ += 16;
        }
        available_ -= count;
        out = static_cast<std::uint32_t>(accumulator_ >> available_) & ((1u << count) - 1);
        return true;
    }

    // Bytes of whole words taken so far.
    std::size_t size() const { return size_; }
    // Bits handed out so far.
    std::uint32_t bitCount() const { return static_cast<std::uint32_t>(8 * size_) - available_; }

private:
    const std::uint8_t* bytes_;      // the first byte of the stream
    std::size_t limit_;              // bytes there are from bytes_ on
    std::uint64_t accumulator_ = 0;  // words taken, the unread bits in its low available_ bits
    int available_ = 0;              // unread bits: 0..15 between calls
    std::size_t size_ = 0;           // bytes taken so far
};

}  // namespace zarn
