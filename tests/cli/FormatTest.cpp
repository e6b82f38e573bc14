// Sounds as people have them: other rates, channels, widths and containers,
// made here with libsndfile from a mono 44.1 kHz original. Each one, encoded
// and decoded by zarn, must come back as that original nearly as well as the
// original itself comes back through zarnconv.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "cli/DecodedOutput.h"
#include "tests/cli/CliTestSupport.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

constexpr std::size_t kSamples = 3 * 44100;
// What zarn may lose beyond the codec and the input's own format, in dB of
// signal-to-noise ratio against the original (dither adds noise 40 dB under
// the codec's).
constexpr double kAllowanceDb = 3.0;

// The ratio of two independent losses together: their noise powers add.
double combinedSnr(double first, double second) {
    return -10.0 * std::log10(std::pow(10.0, -first / 10.0) + std::pow(10.0, -second / 10.0));
}

std::vector<std::int16_t> rounded(const std::vector<double>& values) {
    std::vector<std::int16_t> samples;
    for (double value : values)
        samples.push_back(static_cast<std::int16_t>(std::lrint(std::clamp(value * 32768.0, -32768.0, 32767.0))));
    return samples;
}

const std::vector<std::int16_t>& original() {
    static const std::vector<std::int16_t> signal = makeMusicSignal(kSamples, 5);
    return signal;
}

// The original's own round trip through zarnconv: the bar every format is held to.
double zarnconvSnr() {
    static const double snr = [] {
        TempDir dir;
        writeFile(dir.file("in.wav"), makeWaveFile(original()));
        menuConvert(ZARNCONV_PATH, dir, '1', "in.wav", "in.zarn");
        menuConvert(ZARNCONV_PATH, dir, '2', "in.zarn", "out.wav");
        return snrDb(original(), readSamples(dir.file("out.wav")));
    }();
    return snr;
}

// The two channels' mean is the original; either channel alone is far from it.
std::vector<double> stereoAround(const std::vector<double>& middle, const std::vector<double>& side) {
    std::vector<double> frames;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        frames.push_back(middle[i] + side[i]);
        frames.push_back(middle[i] - side[i]);
    }
    return frames;
}

struct Input {
    const char* name;
    int format;
    int channels;
    int rate;
};

void PrintTo(const Input& input, std::ostream* out) { *out << input.name; }

class Formats : public ::testing::TestWithParam<Input> {
protected:
    // Writes the original as GetParam() describes and returns zarn's
    // decoding of zarn's encoding of it.
    std::vector<std::int16_t> roundTrip(const std::string& file) {
        const Input& input = GetParam();
        std::vector<double> mono = asDoubles(original());
        std::vector<double> side = asDoubles(makeMusicSignal(kSamples, 9));
        for (double& value : side) value *= 0.3;
        if (input.rate != 44100) {
            mono = resampled(mono, 44100, input.rate);
            side = resampled(side, 44100, input.rate);
        }
        writeSound(dir_.file(file), input.format, input.channels, input.rate,
                   input.channels == 2 ? stereoAround(mono, side) : mono);
        const RunResult encoded = runZarn(dir_, "--full " + file + " -o out.zarn");
        EXPECT_EQ(encoded.exitStatus, 0) << encoded.err;
        const RunResult decoded = runZarn(dir_, "-d out.zarn -o out.wav");
        EXPECT_EQ(decoded.exitStatus, 0) << decoded.err;
        return readSamples(dir_.file("out.wav"));
    }

    TempDir dir_;
};

TEST_P(Formats, ComeBackAsTheMonoOriginal) {
    const Input& input = GetParam();
    const std::vector<std::int16_t> decoded = roundTrip(std::string("in.") + input.name);
    // Whole frames, as many as the original makes: a resampler that drops or
    // adds samples at either end would change the count or the alignment.
    ASSERT_EQ(decoded.size(), (kSamples + 255) / 256 * 256);
    // A lower rate keeps less of the original, whoever converts it back:
    // here, libsoxr called directly.
    const std::vector<double> there = resampled(asDoubles(original()), 44100, input.rate);
    const double formatSnr =
        input.rate == 44100 ? 1000.0 : snrDb(original(), rounded(resampled(there, input.rate, 44100)));
    const double snr = snrDb(original(), decoded);
    EXPECT_GE(snr, combinedSnr(zarnconvSnr(), formatSnr) - kAllowanceDb)
        << "zarnconv reaches " << zarnconvSnr() << " dB, the rate alone " << formatSnr << " dB";
    for (long lag : {-3L, -2L, -1L, 1L, 2L, 3L}) {
        EXPECT_GT(snr, snrDb(original(), decoded, lag))
            << "the decoding lies closer to the original shifted by " << lag;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Formats,
    ::testing::Values(Input{"wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000},
                      Input{"wave-extensible", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 1, 44100},
                      Input{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 96000},
                      Input{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 22050},
                      Input{"rf64", SF_FORMAT_RF64 | SF_FORMAT_DOUBLE, 1, 32000}),
    [](const ::testing::TestParamInfo<Input>& info) {
        std::string name = info.param.name;
        for (char& c : name) c = c == '-' ? '_' : c;
        return name;
    });

// Lossy formats lose on their own, and zarn may lose no more than that on
// top of the codec. What they lose is measured on libsndfile's own decoding,
// mixed and converted to 44.1 kHz here. (Not Opus: libsndfile's decoding of
// it is not lined up with what was written, by zarn or by anyone.)
class LossyFormats : public ::testing::TestWithParam<Input> {};

TEST_P(LossyFormats, CostOnlyWhatTheyLose) {
    const Input& input = GetParam();
    TempDir dir;
    const std::string file = std::string("in.") + input.name;
    std::vector<double> mono = asDoubles(original());
    if (input.rate != 44100) mono = resampled(mono, 44100, input.rate);
    writeSound(dir.file(file), input.format, 2, input.rate, stereoAround(mono, std::vector<double>(mono.size(), 0.0)));
    SF_INFO info{};
    SNDFILE* sound = sf_open(dir.file(file).c_str(), SFM_READ, &info);
    ASSERT_NE(sound, nullptr);
    std::vector<double> frames(static_cast<std::size_t>(info.frames) * 2);
    frames.resize(static_cast<std::size_t>(sf_readf_double(sound, frames.data(), info.frames)) * 2);
    sf_close(sound);
    std::vector<double> own;
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) own.push_back((frames[i] + frames[i + 1]) / 2);
    if (info.samplerate != 44100) own = resampled(own, info.samplerate, 44100);
    const double formatSnr = snrDb(original(), rounded(own));
    // Below this the format's own decoding is not lined up with the
    // original, and the bound below would say nothing.
    ASSERT_GT(formatSnr, 15.0);

    ASSERT_EQ(runZarn(dir, "--full " + file + " -o in.zarn").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-d in.zarn").exitStatus, 0);
    EXPECT_GE(snrDb(original(), readSamples(dir.file("in.wav"))), combinedSnr(zarnconvSnr(), formatSnr) - kAllowanceDb)
        << input.name << " alone reaches " << formatSnr << " dB, zarnconv alone " << zarnconvSnr() << " dB";
}

INSTANTIATE_TEST_SUITE_P(Cli, LossyFormats,
                         ::testing::Values(Input{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100},
                                           Input{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 44100}),
                         [](const ::testing::TestParamInfo<Input>& info) { return std::string(info.param.name); });

// Dither is decided per file and reproducible; without it, the rounding is
// plain and gives other bytes.
TEST(Dither, IsTheSameEveryRunAndOffOnRequest) {
    TempDir dir;
    writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 44100, asDoubles(makeMusicSignal(44100, 3)));
    ASSERT_EQ(runZarn(dir, "in.wav -o first.zarn").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "in.wav -o second.zarn").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "--no-dither in.wav -o rounded.zarn").exitStatus, 0);
    EXPECT_TRUE(readFile(dir.file("first.zarn")) == readFile(dir.file("second.zarn")));
    // The 24-bit file holds the 16-bit samples exactly, which rounding keeps.
    writeFile(dir.file("plain.wav"), makeWaveFile(makeMusicSignal(44100, 3)));
    ASSERT_EQ(runZarn(dir, "--raw plain.wav").exitStatus, 0);
    EXPECT_TRUE(readFile(dir.file("rounded.zarn")) == readFile(dir.file("plain.zarn")));
    EXPECT_FALSE(readFile(dir.file("first.zarn")) == readFile(dir.file("plain.zarn")));
}

// A decoded WAVE's sizes, where they fit the header's 32-bit fields, and
// "unknown" where they do not or are not known: a wrapped size would make
// readers stop hours early.
TEST(DecodedWave, SizesThatDoNotFitAreUnknown) {
    const auto sizes = [](std::optional<std::uint64_t> dataBytes) {
        const WaveHeader header = cli::decodedWaveHeader(dataBytes);
        const auto field = [&header](std::size_t at) {
            return std::uint32_t{header[at]} | std::uint32_t{header[at + 1]} << 8 |
                   std::uint32_t{header[at + 2]} << 16 | std::uint32_t{header[at + 3]} << 24;
        };
        return std::pair(field(kWaveRiffSizeOffset), field(kWaveDataSizeOffset));
    };
    constexpr std::uint32_t unknown = 0xFFFFFFFFu;
    EXPECT_EQ(sizes(0), std::pair(36u, 0u));
    EXPECT_EQ(sizes(unknown - 37), std::pair(unknown - 1, unknown - 37));  // the most whole samples that fit
    EXPECT_EQ(sizes(unknown - 35), std::pair(unknown, unknown));
    EXPECT_EQ(sizes(std::uint64_t{1} << 32), std::pair(unknown, unknown));
    EXPECT_EQ(sizes(std::nullopt), std::pair(unknown, unknown));
}

}  // namespace
}  // namespace zarn::test
