// libzarn's rate-holding encoder as a user meets it: the bit rate it
// promises, and streams that every decoder and zarninfo read as they read
// the menu programs' own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "lib/zarn.h"
#include "tests/support/BandTestUtil.h"
#include "tests/lib/Collectors.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

using Samples = std::vector<std::int16_t>;

constexpr int kRates[] = {64, 128, 192, 320};

Bytes encodeAt(int kbitPerSecond, const Samples& samples) {
    Bytes out;
    int error = 1;
    zarn_encoder* encoder = zarn_encoder_create(ZARN_ENCODER_BITRATE, collectBytes, &out, &error);
    EXPECT_EQ(error, ZARN_OK);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, kbitPerSecond), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, samples.data(), samples.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    return out;
}

Samples decode(const Bytes& stream) {
    Samples samples;
    zarn_decoder* decoder = zarn_decoder_create(collectSamples, &samples, nullptr);
    EXPECT_EQ(zarn_decoder_write(decoder, stream.data(), stream.size()), ZARN_OK);
    EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_OK);
    zarn_decoder_destroy(decoder);
    return samples;
}

// The stream's bit rate over the samples it holds, in kbit/s.
double kbitPerSecondOf(const Bytes& stream, std::size_t samples) {
    return static_cast<double>(stream.size()) * 8.0 * ZARN_SAMPLE_RATE / static_cast<double>(samples) / 1000.0;
}

// A frame's length as the format defines it: the tag and 25 pairs of 4-bit
// side fields, g + 1 bits for each component of a band with g bits (both
// parts of every bin but the imaginary ones of DC and Nyquist), then 1 to
// 16 zero bits to the next 16-bit word.
std::size_t literalFrameBytes(const zarn_frame_info& info) {
    std::size_t bits = 12 + 25 * 8;
    for (std::size_t band = 0; band < 25; ++band) {
        if (info.bits[band] == 0) continue;
        std::size_t components = 2 * (kFirstBin[band + 1] - kFirstBin[band]);
        if (band == 0) --components;   // DC
        if (band == 24) --components;  // Nyquist
        bits += (info.bits[band] + 1u) * components;
    }
    return (bits + 16 - bits % 16) / 8;
}

// Walks the stream frame by frame: each starts with the tag, and their
// lengths add up to the stream's. Returns how many there are.
std::size_t checkFrames(const Bytes& stream) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < stream.size(); ++count) {
        // The tag fills the top 12 bits of the first 16-bit word, stored low byte first.
        EXPECT_TRUE(at + 1 < stream.size() && stream[at + 1] == 0xFF && (stream[at] & 0xF0) == 0xF0)
            << "no tag at byte " << at;
        zarn_frame_info info;
        EXPECT_EQ(zarn_frame_read_info(stream.data() + at, stream.size() - at, &info), ZARN_OK) << "at byte " << at;
        EXPECT_EQ(info.bytes, literalFrameBytes(info)) << "at byte " << at;
        if (info.bytes == 0 || ::testing::Test::HasFailure()) return count;
        at += info.bytes;
    }
    return count;
}

// Music, sound with a quiet passage, and simple sound that never needs its
// share of bits: over ten seconds, each comes within 3 % of every rate.
struct RateCase {
    const char* name;
    Samples (*make)();
};

void PrintTo(const RateCase& c, std::ostream* out) { *out << c.name; }

constexpr std::size_t kTenSeconds = 10 * ZARN_SAMPLE_RATE;

Samples music() { return makeMusicSignal(kTenSeconds, 8); }

// Two seconds in the middle at the level of a quiet recording's noise floor.
Samples musicWithAQuietPassage() {
    Samples samples = makeMusicSignal(kTenSeconds, 9);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> floor(-1, 1);
    std::for_each(samples.begin() + 4 * ZARN_SAMPLE_RATE, samples.begin() + 6 * ZARN_SAMPLE_RATE,
                  [&](std::int16_t& sample) { sample = static_cast<std::int16_t>(floor(random)); });
    return samples;
}

// A second of digital silence at the end, which no allocation makes cost
// more than frame headers: the stream keeps its rate with bands of zeros.
Samples musicEndingInSilence() {
    Samples samples = makeMusicSignal(kTenSeconds, 10);
    std::fill(samples.end() - ZARN_SAMPLE_RATE, samples.end(), std::int16_t{0});
    return samples;
}

// Nothing but digital silence: after the bits a stream may save, every frame
// is padded with bands of zeros up to the rate.
Samples silence() { return Samples(kTenSeconds, 0); }

// A constant that changes sign every second, as a recording's offset
// without its sound: the bands it leaves hold only the transform's
// rounding, and pad as silence does.
Samples steppedOffset() {
    Samples samples(kTenSeconds);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = (i / ZARN_SAMPLE_RATE) % 2 == 0 ? -1000 : 1000;
    return samples;
}

// Noise through a one-pole low-pass at about 360 Hz: dull, and cheap to code.
Samples lowPassedNoise() {
    std::mt19937 random(4);
    std::normal_distribution<double> white(0.0, 3000.0);
    Samples samples(kTenSeconds);
    double y = 0.0;
    for (std::int16_t& sample : samples) {
        y += 0.05 * (white(random) - y);
        sample = static_cast<std::int16_t>(std::lround(y));
    }
    return samples;
}

class BitrateAccuracy : public ::testing::TestWithParam<RateCase> {};

INSTANTIATE_TEST_SUITE_P(Signals, BitrateAccuracy,
                         ::testing::Values(RateCase{"music", music}, RateCase{"quietPassage", musicWithAQuietPassage},
                                           RateCase{"silentEnd", musicEndingInSilence},
                                           RateCase{"lowPassedNoise", lowPassedNoise},
                                           RateCase{"silence", silence},
                                           RateCase{"steppedOffset", steppedOffset}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(BitrateAccuracy, TenSecondsComeWithinThreePercentOfEveryRate) {
    const Samples input = GetParam().make();
    for (const int rate : kRates) {
        EXPECT_NEAR(kbitPerSecondOf(encodeAt(rate, input), input.size()), rate, 0.03 * rate) << rate << " kbit/s";
    }
}

// Hard inputs and the shortest streams, at every rate: each stream is whole
// frames, and the library decodes it. All of them one after another, as one
// stream, decode in zarnconv to the library's samples, in zarnbasic (its own
// inverse transform) to within a unit of them, and zarninfo reads them.
TEST(BitrateStreams, EveryDecoderAndZarninfoReadThem) {
    constexpr std::size_t kLength = ZARN_SAMPLE_RATE / 5;
    constexpr double kTwoPi = 6.283185307179586;
    struct Input {
        const char* name;
        Samples samples;
    };
    std::vector<Input> inputs = {{"silence", Samples(kLength, 0)},
                                 {"square", Samples(kLength)},
                                 {"tone", Samples(kLength)},
                                 {"noise", Samples(kLength)},
                                 {"impulses", Samples(kLength, 0)},
                                 {"no sample", {}},
                                 {"one sample", {-32768}},
                                 {"one hop", makeMusicSignal(256, 5)},
                                 {"one batch", makeMusicSignal(16 * 256, 6)}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> full(-32768, 32767);
    for (std::size_t i = 0; i < kLength; ++i) {
        // Full scale both ways at 450 Hz: decoded, it overshoots and is clipped.
        inputs[1].samples[i] = (i / 49) % 2 == 0 ? 32767 : -32768;
        inputs[2].samples[i] =
            static_cast<std::int16_t>(std::lround(20000.0 * std::sin(kTwoPi * 1000.0 * i / ZARN_SAMPLE_RATE)));
        inputs[3].samples[i] = static_cast<std::int16_t>(full(random));
        if (i % 1000 == 17) inputs[4].samples[i] = i % 2000 == 17 ? 32767 : -32768;
    }

    Bytes all;
    for (const Input& input : inputs) {
        for (const int rate : kRates) {
            SCOPED_TRACE(testing::Message() << input.name << " at " << rate << " kbit/s");
            const Bytes stream = encodeAt(rate, input.samples);
            const std::size_t frames = std::max<std::size_t>(1, (input.samples.size() + 255) / 256);
            ASSERT_EQ(checkFrames(stream), frames);
            EXPECT_EQ(decode(stream).size(), frames * 256);
            all.insert(all.end(), stream.begin(), stream.end());
        }
    }

    TempDir dir;
    writeFile(dir.file("all.zarn"), all);
    const struct {
        const char* program;
        const char* wave;
    } decodings[] = {{ZARNCONV_PATH, "conv.wav"}, {ZARNBASIC_PATH, "basic.wav"}};
    for (const auto& decoding : decodings) {
        const RunResult run =
            runProgram(decoding.program, dir.path(), std::string("2\nall.zarn\n") + decoding.wave + "\n5\n");
        ASSERT_EQ(run.exitStatus, 0) << decoding.program << run.out << run.err;
    }
    const Samples library = decode(all);
    const Samples byConv = samplesOf(readFile(dir.file("conv.wav")));
    const Samples byBasic = samplesOf(readFile(dir.file("basic.wav")));
    EXPECT_TRUE(byConv == library);
    ASSERT_EQ(byBasic.size(), library.size());
    int largest = 0;
    for (std::size_t i = 0; i < library.size(); ++i) largest = std::max(largest, std::abs(byBasic[i] - library[i]));
    EXPECT_LE(largest, 1) << "the two inverse transforms agree to within rounding";
#ifdef ZARNINFO_PATH
    const RunResult info = runCommand(targetCommand(ZARNINFO_PATH) + " all.zarn", dir.path(), "");
    EXPECT_EQ(info.exitStatus, 0) << info.out << info.err;
    EXPECT_EQ(info.err, "");
#endif
}

}  // namespace
}  // namespace zarn::test
