#pragma once
// Frames, expected bytes and runs of fields for the Zarn bit stream.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ReferencePacker.h"
#include "tests/support/TestFiles.h"

namespace zarn::test {

// Every scale 15 and no bits anywhere: the smallest frame, silentFrameBytes().
inline EncodedFrame silentFrame() {
    EncodedFrame f;
    f.scale.fill(15);
    return f;
}
// Allocation 5 in band 1 (bin 2 alone), every scale 15, bin 2 as −1 and
// 1000 are stored: their top six bits.
inline EncodedFrame band1Frame() {
    EncodedFrame f = silentFrame();
    f.allocation[1] = 5;
    f.re[2] = -1024;
    f.im[2] = 0;
    return f;
}

inline Bytes repeated(std::size_t count, std::uint8_t byte) { return Bytes(count, byte); }

// band1Frame(): the content ends on a word boundary, so a whole zero word
// follows.
inline Bytes band1FrameBytes() {
    return concat({{0xF0, 0xFF, 0x00, 0x50}, repeated(10, 0x00), repeated(12, 0xFF), {0xC0, 0xFF, 0x00, 0x00}});
}

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

// A frame as the frame encoder could store it: a seeded random allocation
// (every band 15 bits in frame 0, none in frame 1), scales and components,
// each cut to its band's top bits and 0 where nothing is stored.
inline EncodedFrame randomFrame(std::mt19937& random, std::size_t n) {
    EncodedFrame f;
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const auto b = static_cast<std::uint8_t>(n == 0 ? 15 : n == 1 ? 0 : random() % 16);
        f.allocation[band] = b;
        f.scale[band] = static_cast<std::uint8_t>(random() % 16);
        const auto keep = static_cast<std::uint16_t>(b == 0 ? 0 : 0xFFFFu << (15 - b));
        for (const std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            // Now and then the extremes, where sign and top bit meet.
            const std::uint16_t corners[] = {0x8000, 0x7FFF, 0xFFFF, 0x0000};
            const auto draw = [&] {
                return static_cast<std::uint16_t>(random() % 8 == 0 ? corners[random() % 4] : random());
            };
            f.re[bin] = static_cast<Sample>(draw() & keep);
            f.im[bin] = bin == 0 || bin == 256 ? 0 : static_cast<Sample>(draw() & keep);
        }
    }
    return f;
}

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
