#include "stream/BitPacker.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

// Every field width after every number of bits already waiting, then a
// seeded random run: the packer must give the plain packer's bytes, the
// unpacker must give back every field, and both must count the same bits
// after every field.
TEST(BitPacker, PacksAndUnpacksEveryWidthAtEveryOffset) {
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const std::vector<test::Field> fields = test::fieldRun(seed);
        test::ReferencePacker expected;
        std::vector<std::uint8_t> bytes(2 * fields.size() + 2);
        BitPacker packer(bytes.data());
        std::vector<std::uint32_t> counts;
        for (const test::Field& field : fields) {
            expected.put(field.count, field.value);
            if (field.count == 16) packer.putWord(field.value);
            else packer.put(field.count, field.value);
            ASSERT_EQ(packer.bitCount(), expected.size());
            counts.push_back(packer.bitCount());
        }
        bytes.resize(packer.size());
        ASSERT_TRUE(test::sameBytes(bytes, expected.bytes()));

        BitUnpacker unpacker(bytes.data(), bytes.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::uint32_t out = 0xDEAD;
            ASSERT_TRUE(unpacker.take(fields[i].count, out)) << "field " << i;
            ASSERT_EQ(out, fields[i].value) << "field " << i << " of " << fields[i].count << " bits";
            ASSERT_EQ(unpacker.bitCount(), counts[i]) << "field " << i;
        }
        std::uint32_t out = 0;
        EXPECT_FALSE(unpacker.take(1, out));
        EXPECT_EQ(unpacker.size(), bytes.size());
    }
}

TEST(BitUnpacker, NeverReadsPastItsLimit) {
    // Three bytes: one whole word, and one byte that no field may use.
    const std::uint8_t bytes[] = {0x34, 0x12, 0xFF};
    BitUnpacker unpacker(bytes, sizeof bytes);
    std::uint32_t out = 0;
    ASSERT_TRUE(unpacker.take(12, out));
    EXPECT_EQ(out, 0x123u);
    EXPECT_FALSE(unpacker.take(5, out)) << "needs a second word";
    EXPECT_EQ(unpacker.bitCount(), 12u) << "a refused field takes nothing";
    ASSERT_TRUE(unpacker.take(4, out));
    EXPECT_EQ(out, 0x4u);
    EXPECT_FALSE(unpacker.take(1, out));
    EXPECT_EQ(unpacker.size(), 2u);
}

}  // namespace
}  // namespace zarn
