#include "stream/ZarnReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

using test::Bytes;

// One file in a folder of its own for each test.
class ZarnReaderTest : public testing::Test {
protected:
    const char* file(const Bytes& content) {
        test::writeFile(path_, content);
        return path_.c_str();
    }
    test::TempDir dir_;
    std::string path_ = dir_.file("in.zarn");
};

// What is left of an earlier frame must never show through.
EncodedFrame stale() {
    EncodedFrame f;
    f.allocation.fill(9);
    f.scale.fill(9);
    f.re.fill(99);
    f.im.fill(99);
    return f;
}

TEST_F(ZarnReaderTest, ReadsFramesBackToBackFromAFileOrFromMemory) {
    const Bytes stream = test::concat({test::band1FrameBytes(), test::silentFrameBytes(), test::band1FrameBytes()});
    ZarnReader fromFile(file(stream));
    ZarnReader fromMemory(stream.data(), stream.size());
    for (ZarnReader* reader : {&fromFile, &fromMemory}) {
        EXPECT_EQ(reader->size(), stream.size());
        for (const EncodedFrame& expected : {test::band1Frame(), test::silentFrame(), test::band1Frame()}) {
            EncodedFrame frame = stale();
            ASSERT_TRUE(reader->readFrame(frame));
            EXPECT_TRUE(frame == expected);
        }
        EncodedFrame frame;
        EXPECT_FALSE(reader->readFrame(frame));
    }
}

TEST_F(ZarnReaderTest, IgnoresTooFewTrailingBytesForAFrame) {
    // 27 bytes, the size of a header, are taken as a frame even when cut short.
    Bytes cut = test::silentFrameBytes();
    cut.pop_back();
    ZarnReader shortFrame(file(cut));
    EncodedFrame d;
    EXPECT_FALSE(shortFrame.readFrame(d));

    for (std::size_t extra = 1; extra <= 26; ++extra) {
        SCOPED_TRACE(testing::Message() << extra << " trailing bytes");
        ZarnReader reader(file(test::concat({test::silentFrameBytes(), test::repeated(extra, 0xAB)})));
        EXPECT_TRUE(reader.readFrame(d));
        EXPECT_FALSE(reader.readFrame(d));
    }
}

TEST_F(ZarnReaderTest, AFrameCutAnywhereEndsTheStreamQuietly) {
    std::mt19937 random(3);
    for (std::size_t n = 0; n < 4; ++n) {
        std::uint8_t bytes[kMaxFrameBytes];
        const EncodedFrame frame = test::randomFrame(random, n);
        const Bytes whole(bytes, bytes + packFrame(frame, bytes));
        for (std::size_t size = 27; size < whole.size(); ++size) {
            ZarnReader reader(file(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size))));
            EncodedFrame d;
            EXPECT_FALSE(reader.readFrame(d)) << "cut after " << size << " of " << whole.size() << " bytes";
        }
    }
}

using ZarnReaderDeathTest = ZarnReaderTest;

TEST_F(ZarnReaderDeathTest, RefusesWhatItCannotOpenOrWhatIsTooSmall) {
    const char* openMessage = "^Ikke i stand til at aabne Zarn til laesning\n$";
    const std::string missing = dir_.file("missing.zarn");
    EXPECT_EXIT(ZarnReader{missing.c_str()}, testing::ExitedWithCode(1), openMessage);
    EXPECT_EXIT(ZarnReader{dir_.path().c_str()}, testing::ExitedWithCode(1), openMessage);
    const Bytes frame = test::silentFrameBytes();
    for (const std::ptrdiff_t size : {0, 1, 26}) {
        const Bytes start(frame.begin(), frame.begin() + size);
        const char* tooSmall = "^Fil stoerrelsen er for lille til at vaere af Zarn-formatet\n$";
        EXPECT_EXIT(ZarnReader{file(start)}, testing::ExitedWithCode(1), tooSmall) << size << " bytes";
        EXPECT_EXIT((ZarnReader{size == 0 ? nullptr : start.data(), start.size()}), testing::ExitedWithCode(1),
                    tooSmall)
            << size << " bytes in memory";
    }
}

// Runs `body` with standard output sent where a death test looks (standard
// error) and standard error thrown away, so that the message must come on
// standard output to be seen.
template <class Body>
void withStandardOutputOnly(Body body) {
    dup2(2, 1);
    const int nothing = open("/dev/null", O_WRONLY);
    dup2(nothing, 2);
    body();
}

TEST_F(ZarnReaderDeathTest, AFrameWithoutTheTagEndsTheProcess) {
    struct Case {
        Bytes content;
        const char* found;
    };
    const Case cases[] = {
        {test::concat({{0xAB, 0xCD}, test::repeated(26, 0)}), "cda"},
        {test::repeated(28, 0), "0"},
        {test::concat({{0x10, 0x00}, test::repeated(26, 0)}), "1"},
        {test::concat({{0xE0, 0xFF}, test::repeated(26, 0)}), "ffe"},
        // After a whole frame, 27 bytes or more are taken for the next one.
        {test::concat({test::silentFrameBytes(), test::repeated(27, 0xAB)}), "aba"},
        {test::concat({test::band1FrameBytes(), test::repeated(40, 0xAB)}), "aba"},
    };
    for (const Case& c : cases) {
        const char* path = file(c.content);
        EXPECT_EXIT(withStandardOutputOnly([path] {
                        ZarnReader reader(path);
                        EncodedFrame d;
                        while (reader.readFrame(d)) {
                        }
                    }),
                    testing::ExitedWithCode(1), std::string("^Header tag 0xFFF mangler \\(fejl: ") + c.found + "\\)\n$");
    }
}

}  // namespace
}  // namespace zarn
