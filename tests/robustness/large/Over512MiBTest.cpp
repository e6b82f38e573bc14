// Inputs past 512 MiB, whose size in bits no longer fits in 32 bits, and on
// 32-bit targets past 2 GiB, converted whole by zarnconv: a million frames
// and more each way, so these are slow.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "tests/robustness/Robustness.h"

namespace zarn::test {
namespace {

const BoundedProgram& zarnconv() {
    static const BoundedProgram program(ZARNCONV_PATH, 1800);
    return program;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// The bytes [offset, offset + count) of the file at `path`, or fewer at its end.
Bytes readPart(const std::string& path, std::uint64_t offset, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    Bytes bytes(count);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

// Encodes a header and `samples` samples of silence (a sparse file) with
// `program`, and checks that every one of the frames they imply is silent.
// The output is read a piece at a time: at 3 GiB in it is 170 MB.
void expectSilentFramesOfSparseWave(const BoundedProgram& program, std::uint64_t samples) {
    TempDir dir;
    writeFile(dir.file("big.wav"), makeWaveFile({}));
    ASSERT_EQ(truncate(dir.file("big.wav").c_str(), static_cast<off_t>(44 + 2 * samples)), 0);
    const RunResult result = program.run(dir, "1\nbig.wav\nbig.zarn\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");

    const Bytes silent = silentFrameBytes();
    const std::uint64_t frames = samples / 256;
    ASSERT_EQ(fileSize(dir.file("big.zarn")), silent.size() * frames);
    std::ifstream zarn(dir.file("big.zarn"), std::ios::binary);
    constexpr std::uint64_t kFramesAtATime = 4096;
    for (std::uint64_t frame = 0; frame < frames; frame += kFramesAtATime) {
        Bytes chunk(silent.size() * std::min(kFramesAtATime, frames - frame));
        ASSERT_TRUE(zarn.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size())));
        for (std::size_t at = 0; at < chunk.size(); at += silent.size()) {
            ASSERT_TRUE(std::equal(silent.begin(), silent.end(), chunk.begin() + static_cast<std::ptrdiff_t>(at)))
                << "frame " << frame + at / silent.size();
        }
    }
}

// 2^28 + 256 samples: 2^20 + 1 frames. Counted in 32 bits, the size in bits
// would wrap to 4448 and give one.
TEST(Over512MiB, WaveInputGivesTheFramesItsSizeImplies) {
    expectSilentFramesOfSparseWave(zarnconv(), (std::uint64_t{1} << 28) + 256);
}

// 3 GiB: a size that fits 32 bits unsigned but not a 32-bit long, which is
// what a 32-bit target measures files with unless it asks for 64-bit offsets.
// About six million frames, slower still under an emulator, so 32-bit runs
// start the programs natively where they can (ZARN_TEST_EMULATOR= in the
// environment). 64-bit builds, whose long holds any size, are covered above.
TEST(Over2GiB, WaveInputOf3GiBGivesTheFramesItsSizeImplies) {
    if (sizeof(long) > 4) GTEST_SKIP() << "a 64-bit long measures any file";
    expectSilentFramesOfSparseWave(BoundedProgram(ZARNCONV_PATH, 3600), std::uint64_t{3} << 29);
}

// 2^29 + 4 bytes of frames: music with every band at 15 bits (1052 bytes a
// frame, from zarnbasic), then silence (28 bytes). The size in bits is
// 2^32 + 32: counted in 32 bits, the file would be refused as too small.
TEST(Over512MiB, ZarnInputDecodesToTheSamplesItsFramesImply) {
    TempDir dir;
    writeFile(dir.file("music.wav"), makeWaveFile(makeMusicSignal(256, 21)));
    const BoundedProgram zarnbasic(ZARNBASIC_PATH, 300);
    RunResult result = zarnbasic.run(dir, "1\nmusic.wav\nloud.zarn\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    result = zarnconv().run(dir, "2\nloud.zarn\nloud.wav\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    const Bytes loud = readFile(dir.file("loud.zarn"));
    ASSERT_EQ(loud.size(), 1052u);
    const Bytes silent = zeroFrameBytes();

    // 1052·loudFrames + 28·silentFrames = 2^29 + 4, with 263 = 1052 / 4 and 7 = 28 / 4.
    std::uint64_t silentFrames = 0;
    while (((std::uint64_t{1} << 27) + 1 - 7 * silentFrames) % 263 != 0) ++silentFrames;
    const std::uint64_t loudFrames = ((std::uint64_t{1} << 27) + 1 - 7 * silentFrames) / 263;
    const std::uint64_t frames = loudFrames + silentFrames;
    {
        std::ofstream out(dir.file("big.zarn"), std::ios::binary);
        for (std::uint64_t i = 0; i < frames; ++i) {
            const Bytes& frame = i < loudFrames ? loud : silent;
            out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
        }
        ASSERT_TRUE(out.flush()) << "could not write " << frames << " frames";
    }
    ASSERT_EQ(fileSize(dir.file("big.zarn")), (std::uint64_t{1} << 29) + 4);
    result = zarnconv().run(dir, "2\nbig.zarn\nbig.wav\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");

    const std::string wave = dir.file("big.wav");
    ASSERT_EQ(fileSize(wave), 44 + 2 * 256 * frames);
    EXPECT_TRUE(readPart(wave, 0, 44) == finishedHeader(256 * frames));
    // Equal frames overlap-add to the same hop every time, wherever in the
    // file; the last loud frame's second half meets silence and comes out
    // as the lone frame's did, and silence stays silent.
    const Bytes firstHop = readPart(wave, 44, 512);
    EXPECT_TRUE(readPart(wave, 44 + 512 * (loudFrames - 2), 512) == firstHop);
    EXPECT_TRUE(readPart(wave, 44 + 512 * (loudFrames - 1), 512) == readPart(dir.file("loud.wav"), 44, 512));
    EXPECT_TRUE(readPart(wave, 44 + 512 * (frames - 1), 512) == Bytes(512, 0));
}

}  // namespace
}  // namespace zarn::test
