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

TEST(ZarnWriterDeathTest, UnopenablePathEndsTheProcess) {
    test::TempDir dir;
    const std::string path = dir.file("missing/out.zarn");
    EXPECT_EXIT(ZarnWriter{path.c_str()}, testing::ExitedWithCode(1),
                "^Ikke i stand til at aabne Zarn til skrivning\n$");
}

}  // namespace
}  // namespace zarn
