#include "stream/FramePacking.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/BandTable.h"
#include "stream/ZarnFormat.h"
#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

using test::Bytes;
using test::sameBytes;

Bytes packed(const EncodedFrame& frame) {
    Bytes bytes(kMaxFrameBytes + 8, 0xEE);
    const std::size_t length = packFrame(frame, bytes.data());
    EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(length), bytes.end(),
                            [](std::uint8_t b) { return b == 0xEE; }))
        << "wrote past its length";
    bytes.resize(length);
    return bytes;
}

TEST(FramePacking, PacksTheSmallestFramesByteForByte) {
    EXPECT_TRUE(sameBytes(packed(test::silentFrame()), test::silentFrameBytes()));
    EXPECT_TRUE(sameBytes(packed(test::band1Frame()), test::band1FrameBytes()));
}

TEST(FramePacking, PacksAFullFrameFieldByField) {
    // Fifteen bits in every band keep whole 16-bit values: band 0 as re 0,
    // re 1, im 1, and no im at bin 256.
    EncodedFrame f;
    test::ReferencePacker expected;
    expected.put(12, 0xFFF);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        f.allocation[band] = 15;
        expected.put(4, 15);
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        f.scale[band] = static_cast<std::uint8_t>((band * 7) % 16);
        expected.put(4, f.scale[band]);
    }
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        f.re[bin] = static_cast<Sample>(bin * 40503u);
        expected.put(16, static_cast<std::uint16_t>(f.re[bin]));
        if (bin == 0 || bin == 256) continue;
        f.im[bin] = static_cast<Sample>(~(bin * 9973u));
        expected.put(16, static_cast<std::uint16_t>(f.im[bin]));
    }
    expected.put(12, 0);
    const Bytes out = packed(f);
    EXPECT_EQ(out.size(), 1052u);
    EXPECT_TRUE(sameBytes(out, expected.bytes()));
}

TEST(FramePacking, FieldsAreTheTopBitsOfTheStoredValue) {
    // With b = 3, 0x1388 keeps 0001 and −1 keeps 1111; with b = 1, −16384
    // keeps 11; with b = 15, the value itself.
    const struct {
        int bits;
        Sample value;
        unsigned field;
    } cases[] = {{3, 0x1000, 0b0001}, {3, -4096, 0b1111}, {3, 0x7000, 0b0111}, {3, -32768, 0b1000},
                 {1, -16384, 0b11},   {1, 16384, 0b01},   {14, -2, 0x7FFF},   {15, -3, 0xFFFD}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, value " << c.value);
        EncodedFrame f = test::silentFrame();
        f.allocation[1] = static_cast<std::uint8_t>(c.bits);
        f.re[2] = f.im[2] = c.value;
        test::ReferencePacker expected;
        expected.put(12, 0xFFF);
        for (std::size_t band = 0; band < kBandCount; ++band) expected.put(4, band == 1 ? c.bits : 0);
        for (std::size_t band = 0; band < kBandCount; ++band) expected.put(4, 15);
        expected.put(c.bits + 1, c.field);
        expected.put(c.bits + 1, c.field);
        expected.put(16 - static_cast<int>(expected.size() % 16), 0);
        EXPECT_TRUE(sameBytes(packed(f), expected.bytes()));
        EncodedFrame back;
        ASSERT_EQ(unpackFrame(packed(f).data(), packed(f).size(), back).outcome, Unpacked::Outcome::frame);
        EXPECT_EQ(back, f);
    }
}

TEST(FramePacking, RandomFramesComeBackWhole) {
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        Bytes stream;
        std::vector<EncodedFrame> frames;
        for (std::size_t n = 0; n < 40; ++n) {
            frames.push_back(test::randomFrame(random, n));
            const Bytes bytes = packed(frames.back());
            ASSERT_EQ(bytes.size(), frameBytes(frames.back().allocation)) << "frame " << n;
            stream.insert(stream.end(), bytes.begin(), bytes.end());
        }
        std::size_t at = 0;
        for (std::size_t n = 0; n < frames.size(); ++n) {
            SCOPED_TRACE(testing::Message() << "frame " << n);
            EncodedFrame back;
            back.re.fill(99);
            const Unpacked result = unpackFrame(stream.data() + at, stream.size() - at, back);
            ASSERT_EQ(result.outcome, Unpacked::Outcome::frame);
            ASSERT_EQ(result.bytes, frameBytes(frames[n].allocation));
            ASSERT_TRUE(back == frames[n]);
            at += result.bytes;
        }
        EXPECT_EQ(at, stream.size());
    }
}

TEST(FramePacking, AFrameCutAnywhereIsCutShort) {
    std::mt19937 random(7);
    for (std::size_t n = 0; n < 3; ++n) {
        const EncodedFrame frame = test::randomFrame(random, n);
        const Bytes whole = packed(frame);
        for (std::size_t size = 0; size < whole.size(); ++size) {
            EncodedFrame back;
            EXPECT_EQ(unpackFrame(whole.data(), size, back).outcome, Unpacked::Outcome::cutShort)
                << "cut after " << size << " of " << whole.size() << " bytes";
        }
    }
}

// The fields of a frame in stream order: which component, and the bit
// after its last, counted from the frame's start.
struct PlacedField {
    std::size_t bin;
    bool imaginary;
    std::uint32_t end;
};

std::vector<PlacedField> placedFields(const EncodedFrame& frame) {
    std::vector<PlacedField> fields;
    std::uint32_t at = kFrameHeaderBits;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const int b = frame.allocation[band];
        if (b == 0) continue;
        for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
            for (const bool imaginary : {false, true}) {
                if (imaginary && !storesImaginary(bin)) continue;
                at += static_cast<std::uint32_t>(b + 1);
                fields.push_back({bin, imaginary, at});
            }
        }
    }
    return fields;
}

// Runs of 15-bit bands after bands 0 and 1 at every pair of widths, so
// that runs start at every offset within a word and hold every number of
// pairs: packed, they give the plain packer's bytes; unpacked, the frame
// back; cut short, every field wholly before the cut and the same outcome.
TEST(FramePacking, WholeWordRunsAtEveryOffsetAndLength) {
    std::mt19937 random(17);
    for (int widths = 0; widths < 256; ++widths) {
        SCOPED_TRACE(testing::Message() << "bands 0 and 1 at " << widths / 16 << " and " << widths % 16 << " bits");
        EncodedFrame frame = test::randomFrame(random, 2);
        for (std::size_t band = 2; band < kBandCount; ++band) {
            if (random() % 4 != 0) frame.allocation[band] = 15;
        }
        frame.allocation[0] = static_cast<std::uint8_t>(widths / 16);
        frame.allocation[1] = static_cast<std::uint8_t>(widths % 16);
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            const int b = frame.allocation[kBands.bandOf[bin]];
            const auto keep = static_cast<std::uint16_t>(b == 0 ? 0 : 0xFFFFu << (15 - b));
            frame.re[bin] = static_cast<Sample>(static_cast<std::uint16_t>(random()) & keep);
            frame.im[bin] = storesImaginary(bin) ? static_cast<Sample>(static_cast<std::uint16_t>(random()) & keep) : 0;
        }
        const Bytes bytes = packed(frame);
        ASSERT_TRUE(sameBytes(bytes, test::referenceFrameBytes(frame)));

        EncodedFrame back;
        ASSERT_EQ(unpackFrame(bytes.data(), bytes.size(), back).outcome, Unpacked::Outcome::frame);
        ASSERT_TRUE(back == frame);
        const std::vector<PlacedField> fields = placedFields(frame);
        for (std::size_t size = static_cast<std::size_t>(widths % 5); size < bytes.size(); size += 5) {
            EncodedFrame cut;
            cut.re.fill(0x5555);
            cut.im.fill(0x5555);
            ASSERT_EQ(unpackFrame(bytes.data(), size, cut).outcome, Unpacked::Outcome::cutShort) << size;
            for (const PlacedField& field : fields) {
                if (field.end > 16 * (size / 2)) break;
                ASSERT_EQ((field.imaginary ? cut.im : cut.re)[field.bin], (field.imaginary ? frame.im : frame.re)[field.bin])
                    << "cut after " << size << " bytes, bin " << field.bin;
            }
        }
    }
}

TEST(FramePacking, ReportsTheTagItFound) {
    const struct {
        Bytes bytes;
        unsigned tag;
    } cases[] = {{{0xAB, 0xCD}, 0xCDA}, {{0x00, 0x00}, 0x0}, {{0xE0, 0xFF}, 0xFFE}};
    for (const auto& c : cases) {
        Bytes bytes = c.bytes;
        bytes.resize(kMaxFrameBytes, 0xFF);
        EncodedFrame back;
        const Unpacked result = unpackFrame(bytes.data(), bytes.size(), back);
        EXPECT_EQ(result.outcome, Unpacked::Outcome::badTag);
        EXPECT_EQ(result.tag, c.tag);
    }
}

}  // namespace
}  // namespace zarn
