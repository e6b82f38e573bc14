// Sizes past 32-bit arithmetic: a Zarn file of 512 MiB holds 2^32 bits, a
// WAVE file over 4 GiB more than 2^31 samples. Sparse files make them cheap,
// and each pipeline stops long before it would have read them through.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "decoder/Decoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/Encoder.h"
#include "encoder/FullAnalysis.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Messages.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

// `head`, then a hole up to `size` bytes; false when the file system would
// have to store the zeros.
bool makeSparseFile(const std::string& path, const Bytes& head, std::uint64_t size) {
    writeFile(path, head);
    struct stat info;
    return truncate(path.c_str(), static_cast<off_t>(size)) == 0 &&
           stat(path.c_str(), &info) == 0 && info.st_blocks * 512 < (1 << 20);
}

void redirectStdout(const std::string& path) {
    if (std::freopen(path.c_str(), "w", stdout) == nullptr) std::abort();
}

// Past this size a write kills the process with SIGXFSZ.
void limitFileSize(rlim_t bytes) {
    const rlimit limit{bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
}

TEST(LargeFiles, ZarnFileOf512MiBIsReadFrameByFrame) {
    TempDir dir;
    const std::string zarn = dir.file("big.zarn"), wave = dir.file("big.wav"),
                      out = dir.file("out");
    // A frame with 0 bits in every band, then zeros: the second frame's tag is 0.
    if (!makeSparseFile(zarn, zeroFrameBytes(), std::uint64_t{1} << 29))
        GTEST_SKIP() << "no sparse files";
    // Counted in 32 bits, its size would be 0 bits and refused on standard error.
    EXPECT_EXIT(
        {
            redirectStdout(out);
            Decoder<FullSynthesis>::decode(zarn.c_str(), wave.c_str());
        },
        ::testing::ExitedWithCode(1), "^$");
    const Bytes text = readFile(out);
    EXPECT_EQ(std::string(text.begin(), text.end()), kDecodeStart + badTag(0));
}

TEST(LargeFiles, WaveFileOver4GiBIsEncodedPastItsFirstFrame) {
    TempDir dir;
    const std::string wave = dir.file("big.wav"), zarn = dir.file("big.zarn");
    // 2^31 + 256 samples. In 32 bits the size wraps to 556 bytes, and the loop
    // test's remainder after one frame, 2^31, is negative: either way one frame
    // and a normal end. Done right, the encoder keeps writing frames of
    // silence until the file size limit stops it.
    if (!makeSparseFile(wave, makeWaveFile({}), (std::uint64_t{1} << 32) + 44 + 512)) {
        GTEST_SKIP() << "no sparse files";
    }
    EXPECT_EXIT(
        {
            redirectStdout("/dev/null");
            limitFileSize(1 << 16);
            Encoder<FullAnalysis>::encode(wave.c_str(), zarn.c_str());
        },
        ::testing::KilledBySignal(SIGXFSZ), "");
}

}  // namespace
}  // namespace zarn::test
