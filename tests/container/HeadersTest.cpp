#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "container/OggZarnHeaders.h"
#include "tests/container/OggTestSupport.h"

namespace zarn::test {
namespace {

TEST(IdentificationHeader, HasItsFieldsLittleEndianAtFixedPlaces) {
    Identification header;
    header.channels = 6;
    header.coupling = Coupling::frontPair;
    header.originalRate = 0x00017700;  // 96000
    header.originalLength = 0x0102030405;
    const auto bytes = writeIdentification(header);
    const std::uint8_t expected[kIdentificationBytes] = {'Z', 'a', 'r', 'n', 'H', 'e', 'a', 'd', 0x11, 6, 1,
                                                         0x00, 0x77, 0x01, 0x00, 0x00, 0x01, 5, 4, 3, 2, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);
}

// A 1.0 header of 17 bytes reads, with no length at the original rate; a
// 1.1 header's length reads back, unknown as all ones.
TEST(IdentificationHeader, TheLengthAtTheOriginalRateIsOptional) {
    Identification header;
    header.originalRate = 48000;
    header.originalLength = 1234567;
    const auto bytes = writeIdentification(header);
    Identification read;
    ASSERT_EQ(readIdentification(bytes.data(), bytes.size(), read), HeaderError::none);
    EXPECT_EQ(read.originalLength, 1234567u);
    auto older = bytes;
    older[8] = 0x10;
    ASSERT_EQ(readIdentification(older.data(), kIdentificationBaseBytes, read), HeaderError::none);
    EXPECT_EQ(read.originalLength, kLengthUnknown);
    EXPECT_EQ(read.originalRate, 48000u);
    const auto unknown = writeIdentification(Identification{});
    ASSERT_EQ(readIdentification(unknown.data(), unknown.size(), read), HeaderError::none);
    EXPECT_EQ(read.originalLength, kLengthUnknown);
}

TEST(IdentificationHeader, EveryChannelCountAndCouplingRoundTrips) {
    for (unsigned channels = 1; channels <= kMaxChannels; ++channels) {
        for (const Coupling coupling : {Coupling::separate, Coupling::frontPair}) {
            if (channels == 1 && coupling == Coupling::frontPair) continue;
            SCOPED_TRACE(channels);
            Identification header;
            header.channels = static_cast<std::uint8_t>(channels);
            header.coupling = coupling;
            header.originalRate = 8000 * channels;
            const auto bytes = writeIdentification(header);
            Identification read;
            ASSERT_EQ(readIdentification(bytes.data(), bytes.size(), read), HeaderError::none);
            EXPECT_TRUE(read == header);
        }
    }
}

TEST(IdentificationHeader, RefusesWhatNoDecoderCanPlay) {
    const auto good = writeIdentification(Identification{});
    struct Case {
        std::size_t at;
        std::uint8_t value;
        HeaderError error;
    };
    const Case cases[] = {
        {9, 0, HeaderError::channels},    {9, 9, HeaderError::channels},   {9, 255, HeaderError::channels},
        {10, 1, HeaderError::coupling},   {10, 2, HeaderError::coupling},  {8, 0x20, HeaderError::version},
        {8, 0x00, HeaderError::version},  {16, 0, HeaderError::preSkip},  {0, 'z', HeaderError::notThisHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        auto bytes = good;
        bytes[c.at] = c.value;
        Identification read;
        read.channels = 3;
        EXPECT_EQ(readIdentification(bytes.data(), bytes.size(), read), c.error);
        EXPECT_EQ(read.channels, 3) << "a refused header leaves the caller's as it was";
    }
    auto rateZero = good;
    std::memset(&rateZero[11], 0, 4);
    Identification read;
    EXPECT_EQ(readIdentification(rateZero.data(), rateZero.size(), read), HeaderError::rate);
    EXPECT_EQ(readIdentification(good.data(), kIdentificationBaseBytes - 1, read), HeaderError::cutShort);
    EXPECT_EQ(readIdentification(good.data(), 4, read), HeaderError::notThisHeader);
}

TEST(IdentificationHeader, AcceptsALaterMinorVersionWithMoreFields) {
    std::vector<std::uint8_t> bytes(kIdentificationBytes + 5, 0xAB);
    const auto good = writeIdentification(Identification{});
    std::memcpy(bytes.data(), good.data(), good.size());
    bytes[8] = 0x1F;
    Identification read;
    EXPECT_EQ(readIdentification(bytes.data(), bytes.size(), read), HeaderError::none);
    EXPECT_EQ(read.version, 0x1F);
}

TEST(CommentHeader, RoundTripsEmptyLongAndNonUtf8Values) {
    const std::string longValue = "COMMENT=" + std::string(100000, 'x');
    const std::string notUtf8 = std::string("TITLE=") + '\xFF' + '\xFE';
    const std::vector<std::string_view> comments = {"ARTIST=", longValue, notUtf8, "tracknumber=3"};
    const Bytes bytes = commentsOf(comments, "");
    CommentHeader header;
    ASSERT_EQ(header.read(bytes.data(), bytes.size()), HeaderError::none);
    EXPECT_EQ(header.vendor(), "");
    ASSERT_EQ(header.count(), comments.size());
    auto cursor = header.comments();
    std::string_view comment;
    for (const auto& expected : comments) {
        ASSERT_TRUE(cursor.next(comment));
        EXPECT_EQ(comment, expected);
    }
    EXPECT_FALSE(cursor.next(comment));
    EXPECT_TRUE(commentNameIs("tracknumber=3", "TRACKNUMBER"));
    EXPECT_FALSE(commentNameIs("TRACK=3", "TRACKNUMBER"));
    EXPECT_EQ(commentValue("ARTIST="), "");
}

TEST(CommentHeader, WriterRefusesMalformedNamesAndTooSmallABuffer) {
    for (const std::string_view bad : {"NOEQUALS", "=value", "TI~TLE=x", "T\x01TLE=x"}) {
        SCOPED_TRACE(std::string(bad));
        std::uint8_t out[64];
        HeaderError error;
        EXPECT_EQ(writeComments("v", &bad, 1, out, sizeof out, error), 0u);
        EXPECT_EQ(error, HeaderError::badComment);
    }
    const std::string_view good = "TITLE=a";
    std::uint8_t out[8];
    HeaderError error;
    EXPECT_EQ(writeComments("v", &good, 1, out, sizeof out, error), 0u);
    EXPECT_EQ(error, HeaderError::tooLarge);
}

// Sets the 32-bit field at `at` of a copy of `bytes`.
Bytes withField(Bytes bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 4) return bytes;
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

TEST(CommentHeader, ReaderRefusesLengthsAndCountsPastTheEnd) {
    const Bytes good = commentsOf({"A=1", "B=2"}, "vv");
    // magic 8, vendor length at 8, vendor "vv", count at 14, first comment's length at 18
    struct Case {
        Bytes bytes;
        HeaderError error;
    };
    const Case cases[] = {
        {withField(good, 8, 0xFFFFFFFF), HeaderError::pastEnd},
        {withField(good, 8, 0xFFFFFFF0), HeaderError::pastEnd},
        {withField(good, 14, 0xFFFFFFFF), HeaderError::pastEnd},
        {withField(good, 14, 3), HeaderError::pastEnd},
        {withField(good, 18, 0xFFFFFFFD), HeaderError::pastEnd},
        {withField(good, 18, 1), HeaderError::badComment},
        {Bytes(good.begin(), good.end() - 1), HeaderError::pastEnd},
        {Bytes(good.begin(), good.begin() + 10), HeaderError::cutShort},
        {Bytes(good.begin(), good.begin() + 14), HeaderError::cutShort},
    };
    for (const Case& c : cases) {
        CommentHeader header;
        EXPECT_EQ(header.read(c.bytes.data(), c.bytes.size()), c.error);
    }
    Bytes badName = good;
    badName[22] = '}' + 1;
    CommentHeader header;
    EXPECT_EQ(header.read(badName.data(), badName.size()), HeaderError::badComment);
    // Bytes after the last comment are room for later fields.
    Bytes longer = good;
    longer.push_back(1);
    EXPECT_EQ(header.read(longer.data(), longer.size()), HeaderError::none);
}

}  // namespace
}  // namespace zarn::test
