#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "common/BinaryInput.h"
#include "common/BinaryOutput.h"
#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "common/RoundToSample.h"
#include "common/VectorDispatch.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestFiles.h"

namespace zarn {
namespace {

using test::Bytes;
using test::readFile;
using test::TempDir;

// Both the single and the batch form, the batch with every value in each of
// its two lanes and in its scalar tail.
void expectRounding(const std::vector<double>& in, const std::vector<Sample>& out) {
    std::vector<Sample> batch(in.size() + 1);
    for (std::size_t offset = 0; offset < 2; ++offset) {
        std::vector<double> shifted(offset, 0.0);
        shifted.insert(shifted.end(), in.begin(), in.end());
        roundToSamples(shifted.data(), batch.data(), shifted.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(batch[offset + i], out[i]) << "batch, input " << in[i] << " at " << offset + i;
        }
    }
    for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(roundToSample(in[i]), out[i]) << "input " << in[i];
}

TEST(RoundToSample, RoundsHalvesAwayFromZeroAndSaturatesAtTheEnds) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, Sample>> cases = {
        {0.0, 0},         {0.49, 0},         {0.5, 1},          {-0.5, -1},        {-0.49, 0},
        {-0.7, -1},       {2.5, 3},          {-2.5, -3},        {1234.4999, 1234},
        // Just below one half: adding 0.5 and truncating would round this up.
        {0.49999999999999994, 0},            {-0.49999999999999994, 0},
        {32766.5, 32767}, {32767.0, 32767},  {-32767.5, -32768}, {-32768.0, -32768},
        // Beyond the 16-bit range the value saturates instead of wrapping.
        {32767.5, 32767}, {40000.2, 32767},  {65535.0, 32767},  {1e300, 32767},    {kInf, 32767},
        {-32768.5, -32768}, {-40000.0, -32768}, {-65537.0, -32768}, {-1e300, -32768},
        {-kInf, -32768},  {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    std::vector<double> in;
    std::vector<Sample> out;
    for (const auto& c : cases) {
        in.push_back(c.first);
        out.push_back(c.second);
    }
    expectRounding(in, out);
}

Bytes pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 251);
    return bytes;
}

// AMD's cores have a tuning of their own, and only on x86-64, where the
// eight-lane path that tells the tunings apart exists; every other processor
// takes Intel's. The maker is the one the program runs on, as CPUID names
// it: under an emulator that is the emulated processor's, which
// /proc/cpuinfo (the host's) need not be.
TEST(Tuning, FollowsTheProcessorsMaker) {
#if defined(__x86_64__)
    unsigned highest = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &highest, &b, &c, &d)) GTEST_SKIP() << "no CPUID";
    char name[13] = {};
    std::memcpy(name, &b, 4);
    std::memcpy(name + 4, &d, 4);
    std::memcpy(name + 8, &c, 4);
    const std::string maker = name;
    EXPECT_EQ(detectedTuning(), maker == "AuthenticAMD" ? Tuning::amd : Tuning::intel) << maker;
#else
    EXPECT_EQ(detectedTuning(), Tuning::intel);
#endif
}

TEST(BinaryInput, HandsOutTheFileInOrderWhateverThePieces) {
    TempDir dir;
    const std::string path = dir.file("in");
    const Bytes bytes = pattern(40000, 5);
    test::writeFile(path, bytes);
    BinaryInput input(path.c_str());
    ASSERT_TRUE(input.isOpen());
    EXPECT_EQ(input.size(), bytes.size());
    // Plain reads and windows (fill, then consume part of what it made
    // available), so that pieces start and end all over the buffer.
    const struct {
        bool window;
        std::size_t count, consumed;
    } steps[] = {{false, 1, 0},      {false, 7, 0},     {true, 4096, 100},  {false, 16384, 0},
                 {true, 4096, 4096}, {true, 33, 33},    {false, 3000, 0},   {true, 4096, 4000},
                 {false, 9000, 0},   {true, 4096, 1},   {false, 20000, 0}};
    std::size_t position = 0;
    for (const auto& step : steps) {
        const std::size_t remaining = bytes.size() - position;
        if (step.window) {
            const std::size_t available = input.fill(step.count);
            ASSERT_GE(available, std::min(step.count, remaining)) << "at " << position;
            ASSERT_LE(available, remaining) << "at " << position;
            ASSERT_TRUE(std::equal(input.unread(), input.unread() + available, bytes.begin() + position))
                << "at " << position;
            input.consume(step.consumed);
            position += step.consumed;
        } else {
            Bytes out(step.count);
            const std::size_t got = input.read(out.data(), out.size());
            ASSERT_EQ(got, std::min(step.count, remaining)) << "at " << position;
            ASSERT_TRUE(std::equal(out.begin(), out.begin() + got, bytes.begin() + position)) << "at " << position;
            position += got;
        }
        ASSERT_EQ(input.position(), position);
    }
    ASSERT_EQ(position, bytes.size());
    std::uint8_t byte = 0;
    EXPECT_EQ(input.read(&byte, 1), 0u);
    EXPECT_EQ(input.fill(4096), 0u);
}

TEST(BinaryInput, OpensRegularFilesOnly) {
    TempDir dir;
    for (const std::string& path : {dir.path(), std::string("/dev/null"), dir.file("missing")}) {
        BinaryInput input(path.c_str());
        EXPECT_FALSE(input.isOpen()) << path;
        std::uint8_t byte = 0;
        EXPECT_EQ(input.read(&byte, 1), 0u) << path;
    }
}

TEST(BinaryOutput, EveryByteReachesTheFile) {
    TempDir dir;
    // More than three buffers' worth (the buffer holds 65536 bytes).
    const Bytes bytes = pattern(210000, 3);
    const std::string closed = dir.file("closed"), destroyed = dir.file("destroyed");
    {
        BinaryOutput out(closed.c_str());
        ASSERT_TRUE(out.isOpen());
        // Blocks that fit, one a byte too long for the space left, one that
        // leaves more than a whole buffer after filling it; then single bytes.
        std::size_t done = 0;
        for (const std::size_t size : {3, 60000, 5534, 140000, 1}) {
            out.putBytes(bytes.data() + done, size);
            done += size;
        }
        for (; done < bytes.size(); ++done) out.putByte(bytes[done]);
        out.flush();
        EXPECT_EQ(readFile(closed), bytes) << "flush must hand everything over";
        out.close();
        EXPECT_FALSE(out.failed());
    }
    {
        BinaryOutput out(destroyed.c_str());
        out.putBytes(bytes.data(), 5);
    }
    EXPECT_EQ(readFile(destroyed), test::prefix(bytes, 5));
}

TEST(BinaryOutput, TruncatesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.file("old");
    test::writeFile(path, pattern(100, 1));
    { BinaryOutput out(path.c_str()); }
    EXPECT_TRUE(readFile(path).empty());
}

TEST(BinaryOutput, FailedWriteIsRemembered) {
    if (!test::fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    BinaryOutput flushed("/dev/full");
    ASSERT_TRUE(flushed.isOpen());
    flushed.putByte(1);
    flushed.flush();
    EXPECT_TRUE(flushed.failed());

    BinaryOutput closed("/dev/full");
    closed.putByte(1);
    closed.close();
    EXPECT_TRUE(closed.failed());
}

TEST(BinaryOutputDeathTest, FatalExitStillWritesBufferedBytes) {
    // The parent reads the files the child left, so the child must share the
    // parent's temporary folder: a re-executed child would make its own.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir dir;
    const std::string names[] = {dir.file("a"), dir.file("b"), dir.file("c"), dir.file("d")};
    const Bytes bytes = pattern(1000, 9);
    EXPECT_EXIT(
        {
            // Outputs leave the list of open ones from its middle, by close()
            // and by destruction; those still open must stay reachable.
            BinaryOutput a(names[0].c_str());
            auto b = std::make_unique<BinaryOutput>(names[1].c_str());
            BinaryOutput c(names[2].c_str());
            BinaryOutput d(names[3].c_str());
            a.putBytes(bytes.data(), bytes.size());
            b->putBytes(bytes.data(), 10);
            c.putBytes(bytes.data(), 20);
            d.putBytes(bytes.data(), 30);
            b.reset();
            c.close();
            fail(std::cerr, "stopp");
        },
        ::testing::ExitedWithCode(1), "^stopp\n$");
    EXPECT_EQ(readFile(names[0]), bytes);
    EXPECT_EQ(readFile(names[1]), test::prefix(bytes, 10));
    EXPECT_EQ(readFile(names[2]), test::prefix(bytes, 20));
    EXPECT_EQ(readFile(names[3]), test::prefix(bytes, 30));
}

class FileIdentity : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeFile(file, {1, 2, 3});
        test::writeFile(twin, {1, 2, 3});
        std::filesystem::create_directory(folder);
        std::filesystem::create_hard_link(file, hardLink);
        std::filesystem::create_symlink(file, symLink);
        std::filesystem::create_symlink(folder, folderLink);
        std::filesystem::create_symlink(missing, dangling);
    }

    TempDir dir;
    const std::string file = dir.file("file"), twin = dir.file("twin"), folder = dir.file("folder"),
                      hardLink = dir.file("hard"), symLink = dir.file("soft"),
                      folderLink = dir.file("folderLink"), missing = dir.file("missing"),
                      dangling = dir.file("dangling");
};

TEST_F(FileIdentity, SameFileByAnyNameOnly) {
    const struct {
        std::string first, second;
        bool same;
    } cases[] = {
        {file, file, true},
        {file, hardLink, true},
        {symLink, file, true},
        {file, dir.path() + "/folder/../file", true},
        {file, twin, false},  // equal contents, another file
        {file, missing, false},
        {missing, file, false},
        {missing, missing, false},
        {dangling, missing, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSameFile(c.first.c_str(), c.second.c_str()), c.same) << c.first << " vs " << c.second;
    }
}

TEST_F(FileIdentity, RegularFileFollowsLinks) {
    const struct {
        std::string path;
        bool regular;
    } cases[] = {
        {file, true},         {symLink, true},   {folder, false},     {folderLink, false},
        {"/dev/null", false}, {missing, false},  {dangling, false},   {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isRegularFile(c.path.c_str()), c.regular) << c.path;
}

TEST_F(FileIdentity, RefusesToOverwriteItsInput) {
    refuseSameFile(file.c_str(), twin.c_str());
    refuseSameFile(file.c_str(), missing.c_str());
    EXPECT_EXIT(refuseSameFile(file.c_str(), hardLink.c_str()), ::testing::ExitedWithCode(1),
                "^Outputfilen er den samme som inputfilen: .*/hard\n$");
    EXPECT_EQ(readFile(file), Bytes({1, 2, 3}));
}

}  // namespace
}  // namespace zarn
