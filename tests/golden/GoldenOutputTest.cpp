// Both programs must keep writing exactly the bytes they wrote when these
// hashes were taken from the plain, literal evaluation of every step. Any
// speed-up that changes one bit of any output fails here, and so does any
// platform whose maths library rounds a table value differently: the failure
// message says which of the two it is.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/golden/MathsLibrary.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

std::string hashOf(const Bytes& bytes) { return hexDigits(fnv1a(bytes.data(), bytes.size())); }

// Signals that reach the corners: silence and constants (signed zeros),
// full-scale squares (rounding at the 16-bit ends), noise and music.
std::vector<std::int16_t> makeSignal(const std::string& kind, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        if (kind == "silence") samples[i] = 0;
        else if (kind == "constant") samples[i] = 1000;
        else if (kind == "square") samples[i] = (i / 50) % 2 ? 32767 : -32768;
        else if (kind == "noise") {
            state = state * 1664525u + 1013904223u;
            samples[i] = static_cast<std::int16_t>(state >> 16);
        } else if (kind == "quiet") {
            samples[i] = static_cast<std::int16_t>(std::lround(3 * std::sin(i * 0.05)));
        }
    }
    if (kind == "music") samples = makeMusicSignal(count, 7);
    return samples;
}

struct Golden {
    const char* program;
    const char* signal;
    std::size_t samples;
    const char* zarnHash;
    const char* waveHash;
};

class GoldenOutput : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenOutput, EncodeAndDecodeKeepTheirBytes) {
    const Golden& golden = GetParam();
    TempDir dir;
    writeFile(dir.file("in.wav"), makeWaveFile(makeSignal(golden.signal, golden.samples)));
    const std::string program =
        std::string(golden.program) == "zarnconv" ? ZARNCONV_PATH : ZARNBASIC_PATH;
    const RunResult run =
        runProgram(program, dir.path(), "1\nin.wav\nout.zarn\n2\nout.zarn\nout.wav\n5\n");
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
    EXPECT_EQ(hashOf(readFile(dir.file("out.zarn"))), golden.zarnHash) << mathsLibraryNote();
    EXPECT_EQ(hashOf(readFile(dir.file("out.wav"))), golden.waveHash) << mathsLibraryNote();
}

INSTANTIATE_TEST_SUITE_P(
    BothPrograms, GoldenOutput,
    ::testing::Values(
        Golden{"zarnconv", "silence", 3000, "71b02d9a877bab85", "83c8cedf2f04c6fb"},
        Golden{"zarnconv", "constant", 3000, "f456b8e9ecf98b96", "1204aa59147d5773"},
        Golden{"zarnconv", "square", 5000, "1706ba0d307270e0", "407ce9d2934744a0"},
        Golden{"zarnconv", "noise", 5000, "ea94dd7b340e11a3", "7c91e472a81b80ff"},
        Golden{"zarnconv", "quiet", 5000, "f7f93411fe86d5c5", "ea117aa2ef4dd59b"},
        Golden{"zarnconv", "music", 44100, "3fe12384c65b67ba", "9c04deb53ec3cb58"},
        Golden{"zarnbasic", "silence", 1000, "80044d72749292dd", "7a86f7ac3088fbdb"},
        Golden{"zarnbasic", "constant", 1000, "f0070be8d347cc3f", "9397846580e8fcac"},
        Golden{"zarnbasic", "square", 2000, "b665857f87002284", "539a95456fbb7d1c"},
        Golden{"zarnbasic", "noise", 2000, "33035e3ec47a9ae2", "ab974cc6f784ed52"},
        Golden{"zarnbasic", "music", 6000, "1c94d69f4dac3c7c", "72b58b5845914e6a"}),
    [](const ::testing::TestParamInfo<Golden>& info) {
        return std::string(info.param.program) + "_" + info.param.signal;
    });

}  // namespace
}  // namespace zarn::test
