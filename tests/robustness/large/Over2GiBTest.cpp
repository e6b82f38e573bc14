// A WAVE input of 3 GiB: its size fits 32 bits unsigned but not a 32-bit
// long, which is what a 32-bit target measures files with unless it asks for
// 64-bit offsets. Converted whole, about six million frames: slow, and slower
// still under an emulator, so 32-bit runs start the programs natively where
// they can (ZARN_TEST_EMULATOR= in the environment).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "tests/robustness/Robustness.h"

namespace zarn::test {
namespace {

// The other large-file tests cover 64-bit builds, whose long holds any size.
TEST(Over2GiB, WaveInputOf3GiBGivesTheFramesItsSizeImplies) {
    if (sizeof(long) > 4) GTEST_SKIP() << "a 64-bit long measures any file";
    TempDir dir;
    const std::uint64_t samples = std::uint64_t{3} << 29;
    writeFile(dir.file("big.wav"), makeWaveFile({}));
    ASSERT_EQ(truncate(dir.file("big.wav").c_str(), static_cast<off_t>(44 + 2 * samples)), 0);
    const BoundedProgram zarnconv(ZARNCONV_PATH, 3600);
    const RunResult result = zarnconv.run(dir, "1\nbig.wav\nbig.zarn\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");

    // Silence leaves every band 0 bits and the scale exponent 15: 28 bytes.
    Bytes silent = {0xF0, 0xFF};
    silent.insert(silent.end(), 12, 0x00);
    silent.insert(silent.end(), 12, 0xFF);
    silent.insert(silent.end(), {0x00, 0xF0});
    const std::uint64_t frames = samples / 256;
    struct stat info;
    ASSERT_EQ(stat(dir.file("big.zarn").c_str(), &info), 0);
    ASSERT_EQ(static_cast<std::uint64_t>(info.st_size), silent.size() * frames);
    std::ifstream zarn(dir.file("big.zarn"), std::ios::binary);
    Bytes chunk(silent.size() * 4096);
    for (std::uint64_t frame = 0; frame < frames; frame += 4096) {
        ASSERT_TRUE(zarn.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size())));
        for (std::size_t at = 0; at < chunk.size(); at += silent.size()) {
            ASSERT_TRUE(std::equal(silent.begin(), silent.end(), chunk.begin() + static_cast<std::ptrdiff_t>(at)))
                << "frame " << frame + at / silent.size();
        }
    }
}

}  // namespace
}  // namespace zarn::test
