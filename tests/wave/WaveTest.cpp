#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "common/Fatal.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"
#include "wave/WaveReader.h"
#include "wave/WaveWriter.h"

namespace zarn {
namespace {

using test::Bytes;
using test::finishedHeader;
using test::prefix;
using test::provisionalHeader;
using test::readFile;
using test::samplesOf;
using test::TempDir;
using test::withField;
using test::writeFile;

// A WAVE file whose header declares `bits` per sample, `channels` and a data
// chunk of `dataSizeField` bytes, followed by `data`.
Bytes waveFile(std::uint8_t bits, std::uint8_t channels, std::uint32_t dataSizeField, const Bytes& data) {
    const Bytes header = withField(withField(finishedHeader(0), 22, 2, channels), 34, 2, bits);
    return test::concat({withField(header, 40, 4, dataSizeField), data});
}

std::vector<Sample> readOneByOne(WaveReader& reader, std::size_t calls) {
    std::vector<Sample> samples(calls, 99);
    for (Sample& sample : samples) reader.readSamples(&sample, 1);
    return samples;
}

// The reader's and writer's messages go to standard output, and death tests
// see only standard error: the child sends the one to the other.
void stdoutToStderr() { dup2(STDERR_FILENO, STDOUT_FILENO); }

class WaveDeathTest : public ::testing::Test {
protected:
    // Some children leave files that the parent inspects in its own folder.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
    TempDir dir;
};

TEST_F(WaveDeathTest, ReaderRefusesWhatItCannotRead) {
    const std::string notWave = "^Filen er ikke af typen PCM WAVE\n$";
    const std::string empty = dir.file("empty"), headerOnly = dir.file("header"),
                      zeroBits = dir.file("zero"), missing = dir.file("missing.wav");
    writeFile(empty, {});
    writeFile(headerOnly, waveFile(16, 1, 0, {}));
    writeFile(zeroBits, waveFile(0, 1, 2, {1, 2}));
    const struct {
        std::string path, message;
    } cases[] = {
        {empty, notWave},
        {headerOnly, notWave},
        {zeroBits, notWave},  // a width of 0 would divide by zero
        {missing, "^Det er ikke muligt at aabne " + missing + " til laesning!\n$"},
        {dir.path(), "^Det er ikke muligt at aabne " + dir.path() + " til laesning!\n$"},
        {"", "^Det er ikke muligt at aabne  til laesning!\n$"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                stdoutToStderr();
                WaveReader reader(c.path.c_str());
            },
            ::testing::ExitedWithCode(1), c.message)
            << "path '" << c.path << "'";
    }
    // The same checks hold for bytes in memory, an empty input included.
    for (const std::string& path : {empty, headerOnly, zeroBits}) {
        const Bytes bytes = readFile(path);
        EXPECT_EXIT(
            {
                stdoutToStderr();
                WaveReader reader(bytes.empty() ? nullptr : bytes.data(), bytes.size());
            },
            ::testing::ExitedWithCode(1), notWave)
            << path << " in memory";
    }
}

TEST(WaveReader, CountsByFileSizeAndReadsLittleEndianPairsThenZeros) {
    const struct {
        const char* name;
        std::uint8_t bits, channels;
        std::uint32_t dataSizeField;
        Bytes data;
        std::uint64_t count;
        std::vector<Sample> reads;  // two calls more than the count
    } cases[] = {
        {"45 bytes", 16, 1, 1, {0x7F}, 0, {0, 0}},
        {"signed, low byte first", 16, 1, 10, {0x01, 0x00, 0xFE, 0xFF, 0x00, 0x01, 0xFF, 0x7F, 0x00, 0x80},
         5, {1, -2, 256, 32767, -32768, 0, 0}},
        {"odd byte after the samples", 16, 1, 4, {0x02, 0x00, 0x03, 0x00, 0x55}, 2, {2, 3, 0, 0}},
        {"stereo", 16, 2, 8, {1, 0, 2, 0, 3, 0, 4, 0}, 4, {1, 2, 3, 4, 0, 0}},
        // The count is in samples of the declared width; reads stay 16-bit.
        {"8 bits", 8, 1, 3, {0x34, 0x12, 0x80}, 3, {0x1234, 0x80, 0, 0, 0}},
        {"24 bits", 24, 1, 6, {1, 0, 2, 0, 3, 0, 4}, 2, {1, 2, 0, 0}},
        // Only the file size counts, not the data chunk size.
        {"data size 0", 16, 1, 0, {7, 0, 8, 0}, 2, {7, 8, 0, 0}},
        {"data size too large", 16, 1, 0xFFFFFFFF, {7, 0}, 1, {7, 0, 0}},
        {"trailing chunk", 16, 1, 2, {7, 0, 'L', 'I', 'S', 'T'}, 3, {7, 0x494C, 0x5453, 0, 0}},
    };
    TempDir dir;
    const std::string path = dir.file("in.wav");
    for (const auto& c : cases) {
        writeFile(path, waveFile(c.bits, c.channels, c.dataSizeField, c.data));
        WaveReader single(path.c_str()), batch(path.c_str());
        EXPECT_EQ(single.sampleCount(), c.count) << c.name;
        EXPECT_EQ(readOneByOne(single, c.reads.size()), c.reads) << c.name;
        EXPECT_EQ(single.sampleCount(), c.count) << c.name;
        std::vector<Sample> samples(c.reads.size(), 99);
        batch.readSamples(samples.data(), samples.size());
        EXPECT_EQ(samples, c.reads) << c.name << ", in one batch";
        // Bytes in memory read exactly as the file does.
        const Bytes bytes = readFile(path);
        WaveReader inMemory(bytes.data(), bytes.size());
        EXPECT_EQ(inMemory.sampleCount(), c.count) << c.name << ", in memory";
        EXPECT_EQ(readOneByOne(inMemory, c.reads.size()), c.reads) << c.name << ", in memory";
    }
}

TEST(WaveWriter, WritesTheHeaderWithFinalSizesAndTheSamples) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    // 9000 samples are more than one buffer of the writer and of the reader.
    for (const std::uint32_t count : {0u, 1000u, 9000u}) {
        const std::vector<std::int16_t> samples = makeMusicSignal(count, 5);
        {
            WaveWriter writer(path.c_str());
            writer.writeSamples(samples.data(), samples.size());
        }
        const Bytes file = readFile(path);
        ASSERT_EQ(file.size(), 44 + 2 * count);
        EXPECT_EQ(prefix(file, 44), finishedHeader(count)) << count << " samples";
        if (count == 0) continue;  // a bare header is no input for the reader

        // Read back a hop at a time, as the encoder does: zeros past the end.
        WaveReader reader(path.c_str());
        ASSERT_EQ(reader.sampleCount(), count);
        std::vector<Sample> back((count + 255) / 256 * 256);
        for (std::size_t at = 0; at < back.size(); at += 256) reader.readSamples(back.data() + at, 256);
        std::vector<Sample> expected(samples.begin(), samples.end());
        expected.resize(back.size(), 0);
        EXPECT_EQ(back, expected) << count << " samples";
    }
}

TEST(WaveWriter, StoresSamplesLowByteFirst) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    {
        WaveWriter writer(path.c_str());
        const Sample first[] = {-2};
        writer.writeSamples(first, 1);
        const Sample more[] = {256, 32767, -32768, 1};
        writer.writeSamples(more, 4);
        writer.finish();
        EXPECT_FALSE(writer.failed());
        EXPECT_EQ(readFile(path).size(), 54u) << "finish() completes the file";
    }
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 54u);
    EXPECT_EQ(prefix(file, 44), finishedHeader(5));
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()),
              (Bytes{0xFE, 0xFF, 0x00, 0x01, 0xFF, 0x7F, 0x00, 0x80, 0x01, 0x00}));
}

TEST_F(WaveDeathTest, FatalExitLeavesProvisionalHeaderAndEverySample) {
    const std::string path = dir.file("out.wav");
    const std::vector<std::int16_t> samples = makeMusicSignal(3000, 2);
    EXPECT_EXIT(
        {
            WaveWriter writer(path.c_str());
            writer.writeSamples(samples.data(), samples.size());
            fail(std::cerr, "brudt");
        },
        ::testing::ExitedWithCode(1), "^brudt\n$");
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 44 + 2 * samples.size());
    EXPECT_EQ(prefix(file, 44), provisionalHeader());
    EXPECT_TRUE(samplesOf(file) == samples);
}

TEST_F(WaveDeathTest, WriterRefusesAPathItCannotCreate) {
    const std::string path = dir.file("missing/out.wav");
    EXPECT_EXIT(
        {
            stdoutToStderr();
            WaveWriter writer(path.c_str());
        },
        ::testing::ExitedWithCode(1), "^Det er ikke muligt at aabne " + path + " til skrivning!\n$");
}

}  // namespace
}  // namespace zarn
