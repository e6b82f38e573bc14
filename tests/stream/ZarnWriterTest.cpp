#include "stream/ZarnWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

using test::Bytes;
using test::sameBytes;

Bytes writtenFrames(const std::vector<EncodedFrame>& frames) {
    test::TempDir dir;
    const std::string path = dir.file("out.zarn");
    ZarnWriter writer(path.c_str());
    for (const EncodedFrame& f : frames) {
        std::uint8_t bytes[kMaxFrameBytes];
        writer.write(bytes, packFrame(f, bytes));
    }
    writer.close();
    EXPECT_FALSE(writer.failed());
    return test::readFile(path);
}

TEST(ZarnWriter, WritesFramesBackToBack) {
    EXPECT_TRUE(sameBytes(writtenFrames({}), {})) << "no file header";
    EXPECT_TRUE(sameBytes(writtenFrames({test::band1Frame(), test::silentFrame(), test::band1Frame()}),
                          test::concat({test::band1FrameBytes(), test::silentFrameBytes(), test::band1FrameBytes()})));
    // More than one buffer's worth: every frame whole and in order.
    std::mt19937 random(11);
    std::vector<EncodedFrame> frames;
    Bytes expected;
    for (std::size_t n = 0; n < 200; ++n) {
        frames.push_back(test::randomFrame(random, n % 5));
        std::uint8_t bytes[kMaxFrameBytes];
        expected.insert(expected.end(), bytes, bytes + packFrame(frames.back(), bytes));
    }
    EXPECT_TRUE(sameBytes(writtenFrames(frames), expected));
}

// Writes of a batch of frames, of a byte, of exactly and of more than a
// buffer's worth, in an order that fills the buffer to every state: the file
// is the writes back to back.
TEST(ZarnWriter, WritesOfAnySizeKeepTheirOrder) {
    std::mt19937 random(12);
    const std::size_t sizes[] = {16 * kMaxFrameBytes, 1, 16 * kMaxFrameBytes, 16 * kMaxFrameBytes, 65536, 3,
                                 16 * kMaxFrameBytes, 70000, 65535, 2, 200000, 16 * kMaxFrameBytes};
    Bytes expected;
    test::TempDir dir;
    const std::string path = dir.file("out.zarn");
    ZarnWriter writer(path.c_str());
    for (int round = 0; round < 3; ++round) {
        for (const std::size_t size : sizes) {
            Bytes piece(size);
            for (std::uint8_t& byte : piece) byte = static_cast<std::uint8_t>(random());
            writer.write(piece.data(), piece.size());
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
    }
    writer.close();
    EXPECT_FALSE(writer.failed());
    EXPECT_TRUE(sameBytes(test::readFile(path), expected));
}

TEST(ZarnWriterDeathTest, UnopenablePathEndsTheProcess) {
    test::TempDir dir;
    const std::string path = dir.file("missing/out.zarn");
    EXPECT_EXIT(ZarnWriter{path.c_str()}, testing::ExitedWithCode(1),
                "^Ikke i stand til at aabne Zarn til skrivning\n$");
}

}  // namespace
}  // namespace zarn
