#pragma once
// Frames, expected bytes and a plain bit packer for the Zarn writer and reader.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "common/Types.h"
#include "tests/support/TestFiles.h"

namespace zarn::test {

struct Frame {
    BitAllocation allocation{};
    ScaleExponents scale{};
    SpectrumPart re{};
    SpectrumPart im{};
};

inline Bytes bytes(std::initializer_list<std::vector<std::uint8_t>> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}
inline Bytes repeated(std::size_t count, std::uint8_t byte) { return Bytes(count, byte); }

// Allocation 0 everywhere, every scale exponent 15: tag, header, 12 zero bits.
inline Bytes silentFrameBytes() {
    return bytes({{0xF0, 0xFF}, repeated(12, 0x00), repeated(12, 0xFF), {0x00, 0xF0}});
}
// Allocation 5 in band 1 only, every scale 15, re[2] = −1.0, im[2] = 1000.0:
// the content ends on a word boundary and a whole zero word follows.
inline Bytes band1FrameBytes() {
    return bytes({{0xF0, 0xFF, 0x00, 0x50}, repeated(10, 0x00), repeated(12, 0xFF), {0xC0, 0xFF, 0x00, 0x00}});
}

// The straightforward packer: fields kept as single bits, most significant
// first, cut into 16-bit words that are stored low byte first.
class ReferencePacker {
public:
    void put(int count, unsigned value) {
        for (int bit = count - 1; bit >= 0; --bit) bits_.push_back((value >> bit) & 1u);
    }
    std::size_t size() const { return bits_.size(); }
    Bytes bytes() const {
        Bytes out;
        for (std::size_t start = 0; start + 16 <= bits_.size(); start += 16) {
            unsigned word = 0;
            for (std::size_t bit = start; bit < start + 16; ++bit) word = word << 1 | bits_[bit];
            out.push_back(static_cast<std::uint8_t>(word & 0xFF));
            out.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        return out;
    }

private:
    std::vector<bool> bits_;
};

inline std::string hex(const Bytes& data) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", data[i]);
        text += (i == 0 ? "" : i % 32 == 0 ? "\n" : " ") + std::string(digits);
    }
    return text;
}

inline testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected) {
    if (actual == expected) return testing::AssertionSuccess();
    std::size_t first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first]) ++first;
    return testing::AssertionFailure() << "first difference at byte " << first << "\nactual (" << actual.size()
                                       << " bytes):\n" << hex(actual) << "\nexpected (" << expected.size()
                                       << " bytes):\n" << hex(expected);
}

struct Field {
    int count;
    std::uint16_t value;
};

// Every field width after every number of bits already pending in the word,
// each with zero, all ones and a random value, then a seeded random run of
// widths; padded with zeros to a whole word.
inline std::vector<Field> fieldRun(std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto anyValue = [&random](int count) {
        return static_cast<std::uint16_t>(random() & ((1u << count) - 1));
    };
    std::vector<Field> fields;
    for (int pending = 0; pending < 16; ++pending) {
        for (int count = 1; count <= 16; ++count) {
            for (const auto value : {0u, (1u << count) - 1, unsigned{anyValue(count)}}) {
                if (pending > 0) fields.push_back({pending, anyValue(pending)});
                fields.push_back({count, static_cast<std::uint16_t>(value)});
                const int used = (pending + count) % 16;
                if (used != 0) fields.push_back({16 - used, anyValue(16 - used)});
            }
        }
    }
    int total = 0;
    for (int i = 0; i < 4000; ++i) {
        const int count = static_cast<int>(random() % 16) + 1;
        fields.push_back({count, anyValue(count)});
        total += count;
    }
    if (total % 16 != 0) fields.push_back({16 - total % 16, 0});
    return fields;
}

}  // namespace zarn::test
