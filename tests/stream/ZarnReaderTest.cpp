#include "stream/FrameReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
    FrameReader fromFile(file(stream));
    FrameReader fromMemory(stream.data(), stream.size());
    for (FrameReader* reader : {&fromFile, &fromMemory}) {
        EXPECT_EQ(reader->size(), stream.size());
        for (const EncodedFrame& expected : {test::band1Frame(), test::silentFrame(), test::band1Frame()}) {
            EncodedFrame frame = stale();
            ASSERT_TRUE(reader->readFrames(&frame, 1));
            EXPECT_TRUE(frame == expected);
        }
        EncodedFrame frame;
        EXPECT_FALSE(reader->readFrames(&frame, 1));
    }
}

TEST_F(ZarnReaderTest, IgnoresTooFewTrailingBytesForAFrame) {
    // 27 bytes, the size of a header, are taken as a frame even when cut short.
    Bytes cut = test::silentFrameBytes();
    cut.pop_back();
    FrameReader shortFrame(file(cut));
    EncodedFrame d;
    EXPECT_FALSE(shortFrame.readFrames(&d, 1));

    for (std::size_t extra = 1; extra <= 26; ++extra) {
        SCOPED_TRACE(testing::Message() << extra << " trailing bytes");
        FrameReader reader(file(test::concat({test::silentFrameBytes(), test::repeated(extra, 0xAB)})));
        EXPECT_TRUE(reader.readFrames(&d, 1));
        EXPECT_FALSE(reader.readFrames(&d, 1));
    }
}

TEST_F(ZarnReaderTest, AFrameCutAnywhereEndsTheStreamQuietly) {
    std::mt19937 random(3);
    for (std::size_t n = 0; n < 4; ++n) {
        std::uint8_t bytes[kMaxFrameBytes];
        const EncodedFrame frame = test::randomFrame(random, n);
        const Bytes whole(bytes, bytes + packFrame(frame, bytes));
        for (std::size_t size = 27; size < whole.size(); ++size) {
            FrameReader reader(file(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size))));
            EncodedFrame d;
            EXPECT_FALSE(reader.readFrames(&d, 1)) << "cut after " << size << " of " << whole.size() << " bytes";
        }
    }
}

using ZarnReaderDeathTest = ZarnReaderTest;

TEST_F(ZarnReaderDeathTest, RefusesWhatItCannotOpenOrWhatIsTooSmall) {
    const char* openMessage = "^Ikke i stand til at aabne Zarn til laesning\n$";
    const std::string missing = dir_.file("missing.zarn");
    EXPECT_EXIT(FrameReader{missing.c_str()}, testing::ExitedWithCode(1), openMessage);
    EXPECT_EXIT(FrameReader{dir_.path().c_str()}, testing::ExitedWithCode(1), openMessage);
    const Bytes frame = test::silentFrameBytes();
    for (const std::ptrdiff_t size : {0, 1, 26}) {
        const Bytes start(frame.begin(), frame.begin() + size);
        const char* tooSmall = "^Fil stoerrelsen er for lille til at vaere af Zarn-formatet\n$";
        EXPECT_EXIT(FrameReader{file(start)}, testing::ExitedWithCode(1), tooSmall) << size << " bytes";
        EXPECT_EXIT((FrameReader{size == 0 ? nullptr : start.data(), start.size()}), testing::ExitedWithCode(1),
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

// A batch stops short before a bad frame and at the end; the bad frame is
// fatal only once it comes first, so every frame before it is handed out.
TEST_F(ZarnReaderDeathTest, ABatchStopsBeforeABadFrameAndAtTheEnd) {
    const Bytes good = test::concat({test::band1FrameBytes(), test::silentFrameBytes(), test::band1FrameBytes()});
    EncodedFrame frames[8];
    FrameReader whole(good.data(), good.size());
    EXPECT_EQ(whole.readFrames(frames, 2), 2u);
    EXPECT_TRUE(frames[1] == test::silentFrame());
    EXPECT_EQ(whole.readFrames(frames, 8), 1u);
    EXPECT_TRUE(frames[0] == test::band1Frame());
    EXPECT_EQ(whole.readFrames(frames, 8), 0u);

    const Bytes damaged = test::concat({good, test::repeated(27, 0xAB)});
    EXPECT_EXIT(withStandardOutputOnly([&damaged] {
                    FrameReader reader(damaged.data(), damaged.size());
                    EncodedFrame batch[8];
                    if (reader.readFrames(batch, 8) != 3) std::exit(3);
                    reader.readFrames(batch, 8);
                }),
                testing::ExitedWithCode(1), "^Header tag 0xFFF mangler \\(fejl: aba\\)\n$");
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
                        FrameReader reader(path);
                        EncodedFrame d;
                        while (reader.readFrames(&d, 1)) {
                        }
                    }),
                    testing::ExitedWithCode(1), std::string("^Header tag 0xFFF mangler \\(fejl: ") + c.found + "\\)\n$");
    }
}

}  // namespace
}  // namespace zarn
