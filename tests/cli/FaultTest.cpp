// What zarn says of what it reads and writes when either is not what it
// seems: an output whose name asks for a format, an input cut short, damaged
// or holding NaN, a pipe where a file was expected, an output that fails
// half-way, and names that would break the one line a failure gets.

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli/FileFailure.h"
#include "cli/OutputFormat.h"
#include "tests/cli/CliTestSupport.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

// The type of a sound file as libsndfile reads it (SF_FORMAT_FLAC, ...); 0
// when it reads none.
int soundType(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return 0;
    sf_close(file);
    return info.format & SF_FORMAT_TYPEMASK;
}

std::uint32_t little32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir_.file("good.wav"), makeWaveFile(makeMusicSignal(30000, 4)));
        ASSERT_EQ(runZarn(dir_, "--raw good.wav").exitStatus, 0);
        ASSERT_EQ(runZarn(dir_, "-d good.zarn -o decoded.wav").exitStatus, 0);
        decoded_ = readSamples(dir_.file("decoded.wav"));
    }

    TempDir dir_;
    std::vector<std::int16_t> decoded_;  // what good.zarn decodes to
};

TEST_F(Faults, ADecodeWritesTheFormatItsNameSays) {
    struct Case {
        const char* name;
        int type;
        bool lossless;
    };
    std::vector<Case> cases{{"out.flac", SF_FORMAT_FLAC, true},   {"out.AIFF", SF_FORMAT_AIFF, true},
                            {"out.aif", SF_FORMAT_AIFF, true},    {"out.ogg", SF_FORMAT_OGG, false},
                            {"out.xyz", SF_FORMAT_WAV, true},     {"out", SF_FORMAT_WAV, true}};
    if (cli::decodedFormat("x.mp3") > 0) cases.push_back({"out.mp3", SF_FORMAT_MPEG, false});
    for (const Case& output : cases) {
        SCOPED_TRACE(output.name);
        const RunResult result = runZarn(dir_, std::string("-d good.zarn -o ") + output.name);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(soundType(dir_.file(output.name)), output.type);
        if (output.lossless) {
            EXPECT_TRUE(readSamples(dir_.file(output.name)) == decoded_);
        }
    }
    // A sound format it cannot write, an encode to a sound's name and a
    // decode to a Zarn name are wrong calls: nothing is read or written.
    const std::vector<std::string> before = filesIn(dir_);
    for (const char* call : {"-d good.zarn -o out.opus", "-d good.zarn -o out.m4a", "-d good.zarn -o out.zarn",
                             "good.wav -o out.wav", "good.wav -o out.FLAC", "- -o out.mp3"}) {
        SCOPED_TRACE(call);
        const RunResult result = runZarn(dir_, call);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.err.rfind("zarn: -o out.", 0), 0u) << result.err;
    }
    EXPECT_EQ(runZarn(dir_, "-d good.zarn -o out.opus").err,
              "zarn: -o out.opus: cannot decode to .opus (only .wav, .flac, .aiff, .ogg" +
                  std::string(cli::decodedFormat("x.mp3") > 0 ? ", .mp3" : "") +
                  ")\nUsage: zarn [OPTION]... FILE...\nTry 'zarn --help'.\n");
    EXPECT_EQ(filesIn(dir_), before);
}

// libsndfile alone cannot go back to a pipe's start, where FLAC's decoder
// begins again after the format is known.
TEST_F(Faults, AnyFormatComesThroughAPipe) {
    writeSound(dir_.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
               asDoubles(makeMusicSignal(2 * 30000, 7)));
    writeSound(dir_.file("in.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 44100, asDoubles(decoded_));
    // A WAVE with a chunk before its samples larger than any start kept.
    Bytes chunked = readFile(dir_.file("good.wav"));
    const Bytes padding{'J', 'U', 'N', 'K', 0xA0, 0x86, 0x01, 0x00};  // 100000 bytes
    chunked.insert(chunked.begin() + 36, padding.begin(), padding.end());
    chunked.insert(chunked.begin() + 44, 100000, 0);
    const std::uint32_t riff = little32(chunked, 4) + 100008;
    for (int i = 0; i < 4; ++i) chunked[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    writeFile(dir_.file("chunked.wav"), chunked);
    for (const char* name : {"in.flac", "in.aiff", "good.wav", "chunked.wav"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(runZarn(dir_, std::string("-f ") + name + " -o file.zarn").exitStatus, 0);
        const RunResult piped = runCommand("(cat " + std::string(name) + " | " + zarnCommand() + " -f - -o pipe.zarn)",
                                           dir_.path(), "");
        ASSERT_EQ(piped.exitStatus, 0) << piped.err;
        EXPECT_EQ(piped.err.find("warning"), std::string::npos) << piped.err;
        EXPECT_TRUE(readFile(dir_.file("pipe.zarn")) == readFile(dir_.file("file.zarn")));
    }
}

// A pipe cannot be sought in, where libsndfile completes a FLAC's or an
// AIFF's header at the end; the stream must still be whole, through a FIFO
// or through standard output reached by a link.
TEST_F(Faults, FormatsWithAHeaderToFinishReachAPipeWhole) {
    for (const std::string extension : {"flac", "aiff"}) {
        SCOPED_TRACE(extension);
        const std::string fifo = "fifo." + extension;
        ASSERT_EQ(mkfifo(dir_.file(fifo).c_str(), 0600), 0);
        const RunResult result = runCommand("(cat " + fifo + " >p." + extension + " & " + zarnCommand() +
                                                " -d good.zarn -o " + fifo + "; status=$?; wait; exit $status)",
                                            dir_.path(), "");
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_TRUE(readSamples(dir_.file("p." + extension)) == decoded_);
        ASSERT_EQ(symlink("/dev/stdout", dir_.file("link." + extension).c_str()), 0);
        const RunResult linked = runCommand(
            "(" + zarnCommand() + " -d good.zarn -o link." + extension + " | cat >piped." + extension + ")",
            dir_.path(), "");
        ASSERT_EQ(linked.exitStatus, 0) << linked.err;
        EXPECT_TRUE(readSamples(dir_.file("piped." + extension)) == decoded_);
    }
    if (haveCommand("flac")) {
        EXPECT_EQ(runCommand("flac -t -s p.flac && flac -t -s piped.flac", dir_.path(), "").exitStatus, 0);
    }
}

// As flac does: the file is converted as far as it goes, with a warning.
TEST_F(Faults, AnInputCutShortIsConvertedWithAWarning) {
    const Bytes wave = readFile(dir_.file("good.wav"));
    writeFile(dir_.file("cut.wav"), Bytes(wave.begin(), wave.begin() + 44 + 2 * 10000));
    const char* warning =
        "zarn: cut.wav: warning: the file ends too early; expected 30000 samples, got 10000 samples\n";
    const RunResult result = runZarn(dir_, "--raw cut.wav");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err.rfind(warning, 0), 0u) << result.err;
    // From a pipe, where the header's promise is all there is.
    const RunResult piped = runCommand("(" + zarnCommand() + " - -o piped.zarn <cut.wav)", dir_.path(), "");
    EXPECT_EQ(piped.exitStatus, 0);
    EXPECT_NE(piped.err.find("expected 30000 samples, got 10000 samples"), std::string::npos) << piped.err;
    EXPECT_TRUE(readFile(dir_.file("piped.zarn")) == readFile(dir_.file("cut.zarn")));

    // A FLAC cut in a frame, where libsndfile's decoder loses its way at the end.
    writeSound(dir_.file("whole.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, asDoubles(decoded_));
    const Bytes flac = readFile(dir_.file("whole.flac"));
    writeFile(dir_.file("cut.flac"), Bytes(flac.begin(), flac.begin() + static_cast<long>(flac.size() / 2)));
    const RunResult cutFlac = runZarn(dir_, "cut.flac -o cutflac.zarn");
    EXPECT_EQ(cutFlac.exitStatus, 0) << cutFlac.err;
    EXPECT_NE(cutFlac.err.find("zarn: cut.flac: warning: the file ends too early; expected 30208 samples"),
              std::string::npos)
        << cutFlac.err;
    EXPECT_EQ(runZarn(dir_, "--raw -q -f cut.wav").err, "");

    // A WAVE written to a pipe and kept says "unknown" in its sizes: no
    // promise to break.
    ASSERT_EQ(runCommand("(" + zarnCommand() + " -d good.zarn -o - | cat >unknown.wav)", dir_.path(), "").exitStatus,
              0);
    const RunResult unknown = runZarn(dir_, "--raw unknown.wav");
    EXPECT_EQ(unknown.exitStatus, 0);
    EXPECT_EQ(unknown.err.find("warning"), std::string::npos) << unknown.err;
}

TEST_F(Faults, AnEmptyStreamIsDamaged) {
    writeFile(dir_.file("empty.zarn"), Bytes{});
    const RunResult tested = runZarn(dir_, "-t empty.zarn");
    EXPECT_EQ(tested.exitStatus, 1);
    EXPECT_EQ(tested.err, "zarn: empty.zarn: is empty, no Zarn data\n");
    EXPECT_EQ(runZarn(dir_, "-d empty.zarn").exitStatus, 1);
    EXPECT_FALSE(fileExists(dir_.file("empty.wav")));
    EXPECT_EQ(runZarn(dir_, "-t - <empty.zarn").exitStatus, 1);
}

// Standard output redirected to a file is written in place, and what a
// failed decode leaves there is read as what it holds.
TEST_F(Faults, AHalfWrittenStandardOutputSaysWhatItHolds) {
    const RunResult result =
        runCommand("(ulimit -f 20 && " + zarnCommand() + " -d good.zarn -o - >out.wav)", dir_.path(), "");
    EXPECT_EQ(result.exitStatus, 1);
    const Bytes out = readFile(dir_.file("out.wav"));
    ASSERT_GT(out.size(), 44u);
    ASSERT_LT(out.size(), 44 + 2 * decoded_.size());
    const std::uint32_t dataBytes = little32(out, 40);
    EXPECT_EQ(dataBytes, (out.size() - 44) & ~std::size_t{1});
    EXPECT_EQ(little32(out, 4), dataBytes + 36);
    const std::vector<std::int16_t> samples = readSamples(dir_.file("out.wav"));
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), decoded_.begin()));

    // Damage in the input after the frames: those come out, and the header
    // says so.
    Bytes damaged = readFile(dir_.file("good.zarn"));
    damaged.insert(damaged.end(), 40, 0);
    writeFile(dir_.file("damaged.zarn"), damaged);
    EXPECT_EQ(runCommand("(" + zarnCommand() + " -d damaged.zarn -o - >damaged.wav)", dir_.path(), "").exitStatus, 1);
    const std::vector<std::int16_t> before = readSamples(dir_.file("damaged.wav"));
    EXPECT_GE(before.size() + 512, decoded_.size());
    EXPECT_TRUE(before.size() <= decoded_.size() && std::equal(before.begin(), before.end(), decoded_.begin()));
}

TEST_F(Faults, ADamagedMp3FailsQuietly) {
    const int mp3Format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    if (cli::decodedFormat("x.mp3") != mp3Format) GTEST_SKIP() << "this libsndfile writes no MP3";
    writeSound(dir_.file("in.mp3"), mp3Format, 1, 44100, asDoubles(makeMusicSignal(3 * 44100, 5)));
    Bytes mp3 = readFile(dir_.file("in.mp3"));
    for (std::size_t at = 2000; at < mp3.size(); at += 211) mp3[at] ^= 0x5A;
    writeFile(dir_.file("bad.mp3"), mp3);
    ASSERT_EQ(runZarn(dir_, "--raw -q in.mp3").err, "");
    const RunResult result = runZarn(dir_, "--raw -q bad.mp3");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "zarn: bad.mp3: is a damaged sound file (errors in the MP3 data)\n");
    EXPECT_FALSE(fileExists(dir_.file("bad.zarn")));
}

// Before the resampler, a NaN is silence; after it, it would be a burst at
// full scale that lasts as long as the filter.
TEST_F(Faults, NanSamplesAreSilence) {
    std::vector<double> frames = asDoubles(makeMusicSignal(30000, 2));
    for (double& value : frames) value *= 0.5;
    for (const std::size_t at : {1000u, 15000u, 15001u}) frames[at] = std::nan("");
    writeSound(dir_.file("nan.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, frames);
    const RunResult result = runZarn(dir_, "--raw nan.wav");
    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.err.find("nan.wav -> nan.zarn: WAVE, mono, 48 kHz, 32 bit float; 3 NaN samples made silence, "
                              "converted to 44.1 kHz"),
              std::string::npos)
        << result.err;
    ASSERT_EQ(runZarn(dir_, "-d nan.zarn -o back.wav").exitStatus, 0);
    const std::vector<std::int16_t> samples = readSamples(dir_.file("back.wav"));
    const auto loudest = std::max_element(samples.begin(), samples.end(), [](std::int16_t a, std::int16_t b) {
        return std::abs(int{a}) < std::abs(int{b});
    });
    ASSERT_NE(loudest, samples.end());
    EXPECT_LT(std::abs(int{*loudest}), 24000);
}

// A link is written through, even one to a file that is not there yet; and
// with -f too it stays a link.
TEST_F(Faults, ALinkToNothingGetsItsFile) {
    ASSERT_EQ(symlink("target.wav", dir_.file("link.wav").c_str()), 0);
    ASSERT_EQ(symlink("missing/target.wav", dir_.file("lost.wav").c_str()), 0);
    for (const char* call : {"-d good.zarn -o link.wav", "-f -d good.zarn -o link.wav"}) {
        SCOPED_TRACE(call);
        ASSERT_EQ(runZarn(dir_, call).exitStatus, 0);
        struct stat link;
        ASSERT_EQ(lstat(dir_.file("link.wav").c_str(), &link), 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode));
        EXPECT_TRUE(readSamples(dir_.file("target.wav")) == decoded_);
    }
    // The link leads nowhere that can be made: said before any decoding.
    const RunResult lost = runZarn(dir_, "-d good.zarn -o lost.wav");
    EXPECT_EQ(lost.exitStatus, 1);
    EXPECT_EQ(lost.err, "zarn: lost.wav: the directory does not exist\n");
}

TEST_F(Faults, TextThatCannotBeWrittenIsAFailure) {
    for (const char* call : {"--help", "--version"}) {
        SCOPED_TRACE(call);
        const RunResult result = runCommand("(" + zarnCommand() + " " + call + " >/dev/full)", dir_.path(), "");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, "zarn: (standard output): the disk is full\n");
    }
}

// Each failure is one line, whatever the name holds, and nothing it holds
// reaches the terminal as a control sequence.
TEST_F(Faults, NamesWithControlCharactersAreQuoted) {
    const RunResult wrong = runZarn(dir_, "good.wav -o \"$(printf 'a\\nb.wav')\"");
    EXPECT_EQ(wrong.exitStatus, 2);
    EXPECT_EQ(wrong.err.rfind("zarn: -o 'a'$'\\n''b.wav': encodes to Zarn", 0), 0u) << wrong.err;
    const RunResult missing = runZarn(dir_, "--raw \"$(printf 'a\\nb\\033[2J.wav')\"");
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.err, "zarn: 'a'$'\\n''b'$'\\033''[2J.wav': does not exist\n");
    EXPECT_EQ(cli::printableName("it's"), "it's");
    EXPECT_EQ(cli::printableName("\tit's\x7f"), "$'\\t''it'\\''s'$'\\177'");
}

// The bit rate asked for is the one the file has: every file of ten seconds
// or more comes within 3 % of it.
TEST(Bitrate, IsKeptEndToEnd) {
    TempDir dir;
    constexpr std::size_t kSamples = 10 * 44100;
    writeFile(dir.file("in.wav"), makeWaveFile(makeMusicSignal(kSamples, 11)));
    for (const int rate : {64, 128, 192, 320}) {
        SCOPED_TRACE(rate);
        const std::string name = std::to_string(rate) + ".zarn";
        ASSERT_EQ(runZarn(dir, "-b " + std::to_string(rate) + " in.wav -o " + name).exitStatus, 0);
        const double kbits = 8.0 * static_cast<double>(readFile(dir.file(name)).size()) / 1000.0;
        const double seconds = static_cast<double>(kSamples) / 44100.0;
        EXPECT_NEAR(kbits / seconds, rate, 0.03 * rate);
    }
}

}  // namespace
}  // namespace zarn::test
