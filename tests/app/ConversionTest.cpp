// What the conversions write: frame counts, decoded lengths and headers, the
// handling of damaged Zarn files, and the quality of round trips between and
// within the two programs.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/app/AppTestSupport.h"

namespace zarn::test {
namespace {

constexpr std::size_t kFullFrameBytes = 1052;  // every band at 15 bits

// Frames per input length: the count rounded up to whole hops, at least one.
TEST(Frames, CountsAndSizes) {
    struct Case {
        std::size_t samples;  // 0 stands for a 45-byte file: a header and one odd byte
        std::size_t frames;
    };
    const Case cases[] = {{0, 1}, {1, 1}, {255, 1}, {256, 1}, {257, 2}, {512, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        TempDir dir;
        Bytes input = makeWaveFile(makeMusicSignal(c.samples, 11));
        if (c.samples == 0) input.push_back(0x55);
        writeFile(dir.file("in.wav"), input);
        for (const Program& program : {kZarnconv, kZarnbasic}) {
            SCOPED_TRACE(program.name);
            ASSERT_NO_FATAL_FAILURE(convert(program, dir, '1', "in.wav", "out.zarn"));
            ASSERT_NO_FATAL_FAILURE(convert(program, dir, '2', "out.zarn", "out.wav"));
            const Bytes output = readFile(dir.file("out.wav"));
            EXPECT_EQ(output.size(), 44 + 2 * 256 * c.frames);
            EXPECT_TRUE(prefix(output, 44) == finishedHeader(256 * c.frames));
            if (std::string(program.name) == "zarnbasic") {
                const Bytes zarn = readFile(dir.file("out.zarn"));
                ASSERT_EQ(zarn.size(), kFullFrameBytes * c.frames);
                for (std::size_t at = 0; at < zarn.size(); at += kFullFrameBytes) {
                    EXPECT_EQ(zarn[at], 0xFF) << "frame at byte " << at;
                    EXPECT_EQ(zarn[at + 1], 0xFF) << "frame at byte " << at;
                }
            }
        }
    }
}

class Decoding : public ::testing::TestWithParam<Program> {
protected:
    // One and two whole frames, as zarnbasic writes them.
    void SetUp() override {
        writeSamples(dir_, "one.wav", makeMusicSignal(256, 13));
        writeSamples(dir_, "two.wav", makeMusicSignal(512, 13));
        ASSERT_NO_FATAL_FAILURE(convert(kZarnbasic, dir_, '1', "one.wav", "one.zarn"));
        ASSERT_NO_FATAL_FAILURE(convert(kZarnbasic, dir_, '1', "two.wav", "two.zarn"));
        one_ = readFile(dir_.file("one.zarn"));
        two_ = readFile(dir_.file("two.zarn"));
        ASSERT_EQ(one_.size(), kFullFrameBytes);
        ASSERT_EQ(two_.size(), 2 * kFullFrameBytes);
    }

    // Samples that GetParam() decodes from `zarn`.
    Bytes decoded(const Bytes& zarn) {
        writeFile(dir_.file("in.zarn"), zarn);
        convert(GetParam(), dir_, '2', "in.zarn", "out.wav");
        const Bytes wave = readFile(dir_.file("out.wav"));
        return Bytes(wave.begin() + 44, wave.end());
    }

    TempDir dir_;
    Bytes one_, two_;
};

INSTANTIATE_TEST_SUITE_P(BothPrograms, Decoding, ::testing::Values(kZarnconv, kZarnbasic),
                         programName);

TEST_P(Decoding, IncompleteAndTrailingData) {
    const Bytes fromOne = decoded(one_);
    const Bytes silence(512, 0);
    ASSERT_EQ(fromOne.size(), 512u);
    ASSERT_NE(fromOne, silence);
    struct Case {
        const char* what;
        Bytes zarn;
        Bytes samples;
    };
    const Case cases[] = {
        {"27 bytes of a frame", prefix(one_, 27), silence},
        {"a frame short of its last byte", prefix(one_, kFullFrameBytes - 1), silence},
        {"26 bytes after the last frame are ignored", concat({one_, Bytes(26, 0xAB)}), fromOne},
        // A band with 0 bits must decode as zero, not as the previous frame's.
        {"a silent frame after a loud one", concat({one_, zeroFrameBytes()}), concat({fromOne, silence})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes samples = decoded(c.zarn);
        EXPECT_TRUE(samples == c.samples);
        EXPECT_TRUE(prefix(readFile(dir_.file("out.wav")), 44) ==
                    finishedHeader(samples.size() / 2));
    }
}

// A bad tag ends the decode, but what was decoded before it stays on disk
// behind the provisional header, however many frames the decoder takes at
// once: the bad frame may end a batch, sit inside the second, or start one.
TEST_P(Decoding, BadFrameTag) {
    const Bytes fromTwo = decoded(two_);
    ASSERT_EQ(fromTwo.size(), 1024u);
    Bytes manyFrames;
    for (int pair = 0; pair < 9; ++pair) manyFrames = concat({manyFrames, two_});
    const Bytes fromMany = decoded(manyFrames);
    struct Case {
        Bytes zarn;
        unsigned found;  // what stands where the tag should
        std::size_t samplesKept;
        const Bytes& decodedWhole;  // what the good frames give without the bad one
    };
    Bytes cdab(28, 0), zeros(28, 0), f00(28, 0);
    cdab[0] = 0xAB;
    cdab[1] = 0xCD;
    f00[1] = 0xF0;
    const Case cases[] = {
        {concat({two_, cdab}), 0xCDA, 256, fromTwo},
        {concat({two_, zeros}), 0x0, 256, fromTwo},
        {concat({f00, one_}), 0xF00, 0, fromTwo},
        {concat({prefix(manyFrames, 7 * kFullFrameBytes), cdab}), 0xCDA, 6 * 256, fromMany},
        {concat({prefix(manyFrames, 8 * kFullFrameBytes), cdab}), 0xCDA, 7 * 256, fromMany},
        {concat({prefix(manyFrames, 11 * kFullFrameBytes), cdab}), 0xCDA, 10 * 256, fromMany},
        {concat({prefix(manyFrames, 16 * kFullFrameBytes), f00}), 0xF00, 15 * 256, fromMany},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tag " << std::hex << c.found << std::dec << " after " << c.samplesKept
                                        << " samples");
        writeFile(dir_.file("bad.zarn"), c.zarn);
        const RunResult result = run(GetParam(), dir_, "2\nbad.zarn\nbad.wav\n5\n");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, kTitle + kMenu + "\n" + kZarnIn + kWaveOut + kDecodeStart + badTag(c.found));
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(readFile(dir_.file("bad.wav")) ==
                    concat({provisionalHeader(), prefix(c.decodedWhole, 2 * c.samplesKept)}));
    }
}

double snrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& output,
             std::size_t count) {
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = double(output[i]) - reference[i];
        signal += double(reference[i]) * reference[i];
        noise += d * d;
    }
    return 10 * std::log10(signal / noise);
}

struct RoundTripCase {
    Program encoder;
    double thresholdDb;  // for the decoders of both programs
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.encoder.name; }

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// zarnconv drops what the masking model calls inaudible and spends few bits on
// quiet bands: 29.1 dB measured on this signal, by either decoder. zarnbasic
// keeps 16 bits of every scaled coefficient and was measured to restore every
// sample exactly, so 60 dB (errors of several units in every sample) already
// means precision was lost.
INSTANTIATE_TEST_SUITE_P(EncodedBy, RoundTrip,
                         ::testing::Values(RoundTripCase{kZarnconv, 27.0},
                                           RoundTripCase{kZarnbasic, 60.0}),
                         [](const auto& info) { return std::string(info.param.encoder.name); });

// About half a second of music, encoded by one program and decoded by both.
TEST_P(RoundTrip, MusicKeepsItsQuality) {
    const double threshold = GetParam().thresholdDb;
    const std::size_t count = 86 * 256;
    const std::vector<std::int16_t> music = makeMusicSignal(count, 7);
    TempDir dir;
    writeSamples(dir, "in.wav", music);
    ASSERT_NO_FATAL_FAILURE(convert(GetParam().encoder, dir, '1', "in.wav", "music.zarn"));
    ASSERT_NO_FATAL_FAILURE(convert(kZarnconv, dir, '2', "music.zarn", "conv.wav"));
    ASSERT_NO_FATAL_FAILURE(convert(kZarnbasic, dir, '2', "music.zarn", "basic.wav"));
    const std::vector<std::int16_t> byConv = samplesOf(readFile(dir.file("conv.wav")));
    const std::vector<std::int16_t> byBasic = samplesOf(readFile(dir.file("basic.wav")));
    ASSERT_EQ(byConv.size(), count);
    ASSERT_EQ(byBasic.size(), count);

    // The last hop fades out with the window and has no partner to restore it.
    const std::size_t compared = count - 256;
    EXPECT_GT(snrDb(music, byConv, compared), threshold) << "decoded by zarnconv";
    EXPECT_GT(snrDb(music, byBasic, compared), threshold) << "decoded by zarnbasic";
    int largest = 0;
    for (std::size_t i = 0; i < count; ++i)
        largest = std::max(largest, std::abs(byConv[i] - byBasic[i]));
    EXPECT_LE(largest, 1) << "the two inverse transforms must agree to within rounding";
}

class Saturation : public ::testing::TestWithParam<Program> {};

INSTANTIATE_TEST_SUITE_P(BothPrograms, Saturation, ::testing::Values(kZarnconv, kZarnbasic),
                         programName);

// A full-scale square wave overshoots on decoding (Gibbs); a decoder that
// wraps instead of saturating turns the overshoot into a jump to the other
// rail, an error of about 65535. The codec's own error here stays below 12300.
TEST_P(Saturation, FullScaleSquareWaveNeverWraps) {
    const std::size_t count = 8 * 256;
    std::vector<std::int16_t> square(count);
    for (std::size_t i = 0; i < count; ++i) square[i] = (i / 50) % 2 == 0 ? 32767 : -32768;
    TempDir dir;
    writeSamples(dir, "square.wav", square);
    ASSERT_NO_FATAL_FAILURE(convert(GetParam(), dir, '1', "square.wav", "square.zarn"));
    ASSERT_NO_FATAL_FAILURE(convert(GetParam(), dir, '2', "square.zarn", "out.wav"));
    const std::vector<std::int16_t> out = samplesOf(readFile(dir.file("out.wav")));
    ASSERT_EQ(out.size(), count);
    for (std::size_t i = 0; i + 256 < count; ++i) {
        ASSERT_LT(std::abs(out[i] - square[i]), 16384) << "sample " << i << " is " << out[i];
    }
}

}  // namespace
}  // namespace zarn::test
