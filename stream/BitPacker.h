#pragma once
// The Zarn bit stream, packed and unpacked in memory: fields most significant
// bit first, cut into 16-bit words that are stored low byte first.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace wordrun {

// Runs of whole 16-bit fields, eight words to a vector. A run keeps the
// offset s (0..15) at which its fields cross the words, the bits that wait
// before it starts:
//
//   fields    … before ][        field k        ][     field k + 1 …
//   words     …   word k    ][   word k + 1   ][ …
//                 |← s →|← 16 − s →|
//
// so every word of the run, written or read, is the low s bits of the field
// before and the top 16 − s bits of its own (funnel below), and every field
// is the low s bits of the word before and the top 16 − s of the next: no
// word waits for the one before, as one field at a time through the
// accumulator does. Each vector's "one before" is loaded from memory one
// element earlier rather than shuffled in, which two-lane targets without
// a byte shuffle would do a lane at a time.
using Words = Lanes<kPortableLanes>::Words;
constexpr std::size_t kLanes = sizeof(Words) / sizeof(std::uint16_t);
static_assert(kLanes == 8, "eight pairs fill two vectors of words");

// (before << (16 − s)) | (current >> s) lane by lane; the left shift in two
// steps, since one by 16 is undefined in a 16-bit lane.
ZARN_ALWAYS_INLINE void funnel(Words& out, const Words& before, const Words& current, int s) {
    out = ((before << (15 - s)) << 1) | (current >> s);
}

// The stream stores each word low byte first, whatever the processor's order.
ZARN_ALWAYS_INLINE void swapToStream(Words& w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = (w << 8) | (w >> 8);
#else
    (void)w;
#endif
}

ZARN_ALWAYS_INLINE void store(std::uint8_t* to, Words w) {
    swapToStream(w);
    std::memcpy(to, &w, sizeof w);
}

ZARN_ALWAYS_INLINE void load(Words& w, const std::uint8_t* from) {
    std::memcpy(&w, from, sizeof w);
    swapToStream(w);
}

ZARN_ALWAYS_INLINE void load(Words& w, const std::int16_t* from) { std::memcpy(&w, from, sizeof w); }

// Sixteen fields, re and im in turn, into eight of each: as eight 32-bit
// pairs, sign-extended out of the half each occupies, and narrowed back.
ZARN_ALWAYS_INLINE void separate(std::int16_t* re, std::int16_t* im, const Words& first, const Words& second) {
    using Int32 = Lanes<8>::Int32;
    typedef std::uint32_t Unsigned __attribute__((vector_size(sizeof(Int32))));
    Unsigned pairs;
    std::memcpy(&pairs, &first, sizeof first);
    std::memcpy(reinterpret_cast<std::uint8_t*>(&pairs) + sizeof first, &second, sizeof second);
    // Lane 0 of a pair of words is its low half on a little-endian
    // processor and its high half on a big-endian one.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    const Unsigned reHalf = pairs, imHalf = pairs << 16;
#else
    const Unsigned reHalf = pairs << 16, imHalf = pairs;
#endif
    narrowToSamples(re, reinterpret_cast<const Int32&>(reHalf) >> 16);
    narrowToSamples(im, reinterpret_cast<const Int32&>(imHalf) >> 16);
}

}  // namespace wordrun

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

    // put(count, value) without a branch, for the many short fields of a
    // frame's bands, where whether a field completes a word follows no
    // pattern a processor learns within a band. The word at size() is
    // stored whether or not it is complete, and an incomplete one is stored
    // again once it is, so a caller must put at least one more word's worth
    // of bits after it (a frame's padding always follows its fields).
    void putBeforeMore(int count, std::uint32_t value) {
        accumulator_ = (accumulator_ << count) | value;
        // At most 15 bits waited and at most 16 come: 31 at most, so the
        // bit of 16 says whether a word is full, and no more than one is.
        pending_ += count;
        const int full = pending_ >> 4;
        pending_ &= 15;
        const auto word = static_cast<std::uint16_t>(accumulator_ >> pending_);
        out_[size_] = static_cast<std::uint8_t>(word & 0xFF);
        out_[size_ + 1] = static_cast<std::uint8_t>(word >> 8);
        size_ += static_cast<std::size_t>(2 * full);
    }

    // put(16, value) without the test: a whole word's worth of bits always
    // completes exactly one word.
    void putWord(std::uint16_t value) {
        accumulator_ = (accumulator_ << 16) | value;
        emit(static_cast<std::uint16_t>(accumulator_ >> pending_));
    }

    // putWord(re[0]), putWord(im[0]), putWord(re[1]) … putWord(im[pairs − 1]).
    // Every run of 15-bit bands in a frame has a pair: pairs > 0.
    void putWordPairs(const std::int16_t* re, const std::int16_t* im, std::size_t pairs) {
        using namespace wordrun;
        assert(pairs > 0 && "the first pair starts the run");
        [[maybe_unused]] const std::uint32_t bitsBefore = bitCount();
        // The first pair one by one: from then on, the field before a real
        // part is the imaginary part one bin down.
        putWord(static_cast<std::uint16_t>(re[0]));
        putWord(static_cast<std::uint16_t>(im[0]));
        const int s = pending_;
        std::size_t i = 1;
        for (; i + kLanes <= pairs; i += kLanes) {
            Words r, m, before, even, odd;
            load(r, re + i);
            load(m, im + i);
            load(before, im + i - 1);
            funnel(even, before, r, s);
            funnel(odd, r, m, s);
            store(out_ + size_, __builtin_shufflevector(even, odd, 0, 8, 1, 9, 2, 10, 3, 11));
            store(out_ + size_ + sizeof(Words), __builtin_shufflevector(even, odd, 4, 12, 5, 13, 6, 14, 7, 15));
            size_ += 2 * sizeof(Words);
        }
        // What waits is the low pending_ bits of the last field.
        accumulator_ = static_cast<std::uint16_t>(im[i - 1]);
        for (; i < pairs; ++i) {
            putWord(static_cast<std::uint16_t>(re[i]));
            putWord(static_cast<std::uint16_t>(im[i]));
        }
        assert(pending_ == s && bitCount() == bitsBefore + 32 * pairs && "whole words keep the offset");
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

    // take(16) into re[0], im[0], re[1] … im[pairs − 1], as 16-bit values.
    // False, with nothing taken, unless all their words are there. Reads the
    // word before the run, in whose low s bits its first field begins: a run
    // in a frame always follows the frame's header.
    bool takeWordPairs(std::int16_t* re, std::int16_t* im, std::size_t pairs) {
        using namespace wordrun;
        assert(size_ >= 2 && "a word run follows the frame's header");
        // Each field needs one new word: its offset is below 16.
        if ((limit_ - size_) / 4 < pairs) return false;
        [[maybe_unused]] const std::uint32_t bitsBefore = bitCount();
        const int s = available_;
        std::size_t i = 0;
        for (; i + kLanes <= pairs; i += kLanes) {
            Words low, high, lowBefore, highBefore, first, second;
            load(lowBefore, bytes_ + size_ - 2);
            load(low, bytes_ + size_);
            load(highBefore, bytes_ + size_ + sizeof(Words) - 2);
            load(high, bytes_ + size_ + sizeof(Words));
            funnel(first, lowBefore, low, s);
            funnel(second, highBefore, high, s);
            separate(re + i, im + i, first, second);
            size_ += 2 * sizeof(Words);
        }
        accumulator_ = static_cast<std::uint64_t>(bytes_[size_ - 2] | bytes_[size_ - 1] << 8);
        for (; i < pairs; ++i) {
            std::uint32_t field = 0;
            take(16, field);
            re[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(field));
            take(16, field);
            im[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(field));
        }
        assert(available_ == s && bitCount() == bitsBefore + 32 * pairs && "whole words keep the offset");
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
