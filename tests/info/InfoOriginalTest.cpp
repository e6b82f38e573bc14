// zarninfo's originals: read as zarn reads its input, whatever their format,
// or refused in one line, and the removed bins told from the file's own frames.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Types.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/info/InfoTestSupport.h"

namespace zarn::test {
namespace {

// Half a hop past whole hops, so that a conversion to another rate and back
// that gains or loses a sample still fills the same frames.
constexpr std::size_t kLength = 120 * 256 + 128;

// The bytes of a WAVE file with a LIST chunk between its format and its
// samples, as ffmpeg writes a title.
Bytes withListChunk(Bytes wave) {
    const Bytes list = {'L', 'I', 'S', 'T', 18, 0, 0, 0, 'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M',
                        6,   0,   0,   0,   'T', 'i', 't', 'l', 'e', 0};
    wave.insert(wave.begin() + 36, list.begin(), list.end());
    const auto riff = static_cast<std::uint32_t>(wave.size() - 8);
    for (int i = 0; i < 4; ++i) wave[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return wave;
}

double snrOf(const RunResult& result) { return std::stod(figure(result.out, "SNR")); }

// Each form in which users give a sound: every one is the
// same mono sound once mixed and converted as zarn does, so each gives the
// figures of the mono original, where the literal reading gave nonsense.
TEST(InfoOriginal, EveryFormatGivesTheFiguresOfItsMonoMix) {
    TempDir dir;
    // The sound as recorded at 48 kHz, and its mono original at 44.1 kHz:
    // both without what lies above the converter's pass band, which a
    // conversion from 48 kHz cannot keep.
    const std::vector<double> at48 = resampled(asDoubles(makeMusicSignal(kLength)), 44100, 48000);
    std::vector<std::int16_t> mono;
    for (double value : resampled(at48, 48000, 44100)) {
        mono.push_back(static_cast<std::int16_t>(std::clamp(std::lrint(value * 32768), -32768L, 32767L)));
    }
    ASSERT_EQ((mono.size() + 255) / 256, (kLength + 255) / 256);
    encode(ZARNCONV_PATH, dir, "mono", mono);
    const RunResult reference = runInfo(dir, {"mono.zarn", "mono.wav"});
    ASSERT_EQ(reference.exitStatus, 0) << reference.err;
    EXPECT_EQ(figure(reference.out, "Original"), "WAVE, mono, 44.1 kHz, 16 bit");

    // Two channels whose mean is the mono sound, but each far from it.
    const std::vector<double> sound = asDoubles(mono);
    const std::vector<double> other = asDoubles(makeMusicSignal(mono.size(), 7));
    std::vector<double> stereo;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        stereo.push_back(sound[i] + 0.3 * other[i]);
        stereo.push_back(sound[i] - 0.3 * other[i]);
    }
    std::vector<double> stereoAt48;
    for (double value : at48) stereoAt48.insert(stereoAt48.end(), {value, value});
    writeSound(dir.file("stereo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, stereo);
    writeSound(dir.file("rate48.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000, at48);
    writeSound(dir.file("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, sound);
    writeSound(dir.file("mono.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, sound);
    writeSound(dir.file("stereo48.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 48000, stereoAt48);
    writeFile(dir.file("list.wav"), withListChunk(readFile(dir.file("mono.wav"))));

    struct Case {
        const char* file;
        const char* read;  // the report's line on how it was read
    };
    const Case cases[] = {
        {"stereo.wav", "WAVE, stereo, 44.1 kHz, 16 bit; mixed down to mono, dithered to 16 bits"},
        {"rate48.wav", "WAVE, mono, 48 kHz, 24 bit; converted to 44.1 kHz, dithered to 16 bits"},
        {"float.wav", "WAVE, mono, 44.1 kHz, 32 bit float; dithered to 16 bits"},
        {"mono.flac", "FLAC, mono, 44.1 kHz, 16 bit"},
        {"stereo48.flac",
         "FLAC, stereo, 48 kHz, 24 bit; mixed down to mono, converted to 44.1 kHz, dithered to 16 bits"},
        {"list.wav", "WAVE, mono, 44.1 kHz, 16 bit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const RunResult result = runInfo(dir, {"mono.zarn", c.file});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(figure(result.out, "Original"), c.read);
        EXPECT_NEAR(snrOf(result), snrOf(reference), 0.1);
        EXPECT_NEAR(std::stod(figure(result.out, "Segmental SNR")), std::stod(figure(reference.out, "Segmental SNR")),
                    0.1);
    }
    // Read without any step, the samples are the mono file's own.
    for (const char* file : {"mono.flac", "list.wav"}) {
        SCOPED_TRACE(file);
        const RunResult result = runInfo(dir, {"mono.zarn", file});
        EXPECT_EQ(figure(result.out, "SNR"), figure(reference.out, "SNR"));
        EXPECT_EQ(figure(result.out, "Largest sample error"), figure(reference.out, "Largest sample error"));
    }
}

// A file zarn made from a stereo 48 kHz FLAC measures against that FLAC as
// well as a file made from the mono mix measures against the mix.
TEST(InfoOriginal, AFileOfZarnMeasuresAgainstTheFileItWasMadeFrom) {
    TempDir dir;
    const std::vector<double> sound = resampled(asDoubles(makeMusicSignal(kLength)), 44100, 48000);
    std::vector<double> stereo;
    for (double value : sound) stereo.insert(stereo.end(), {value, value});
    writeSound(dir.file("stereo48.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, stereo);
    ASSERT_EQ(runZarn(dir, "-q stereo48.flac -o made.zarn").exitStatus, 0);
    const RunResult result = runInfo(dir, {"made.zarn", "stereo48.flac", "--removed", "removed.wav"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The rate encoder at its default rate keeps the music well above its
    // noise; the literal reading of these bytes gave about 0 dB.
    EXPECT_GT(snrOf(result), 20.0);
    // The same samples as zarn encoded: zarn's own decoding of the file,
    // measured against them, comes to the very same figure.
    ASSERT_EQ(runZarn(dir, "-q -d made.zarn -o made.wav").exitStatus, 0);
    const std::vector<std::int16_t> decoded = readSamples(dir.file("made.wav"));
    const std::vector<std::int16_t> removed = readSamples(dir.file("removed.wav"));
    std::vector<std::int16_t> original(removed.size());
    for (std::size_t i = 0; i < removed.size(); ++i) {
        original[i] = static_cast<std::int16_t>(decoded[i] + removed[i]);
    }
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.2f dB", snrDb(original, decoded));
    EXPECT_EQ(figure(result.out, "SNR"), expected);
}

// What cannot be set against the Zarn file is refused before any report:
// one line on standard error that names the original, and status 1.
TEST(InfoOriginal, AnOriginalThatCannotBeComparedIsRefusedInOneLine) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(kLength));
    writeFile(dir.file("empty.wav"), {});
    writeFile(dir.file("text.wav"), Bytes{'n', 'o', ' ', 's', 'o', 'u', 'n', 'd', '\n'});
    writeSound(dir.file("silent.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, {});
    writeSound(dir.file("silent.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 2, 48000, {});
    // Another sound, a second longer: its figures would be those of a
    // comparison with the wrong file.
    writeFile(dir.file("longer.wav"), makeWaveFile(makeMusicSignal(kLength + 44100)));
    writeFile(dir.file("shorter.wav"), makeWaveFile(makeMusicSignal(kLength - 300)));
    std::filesystem::create_directory(dir.file("folder.wav"));
    struct Case {
        const char* file;
        const char* cause;
    };
    const Case cases[] = {
        {"missing.wav", "does not exist"},
        {"empty.wav", "is not a sound file that libsndfile knows"},
        {"text.wav", "is not a sound file that libsndfile knows"},
        // The Zarn file itself, given twice: zarn's hint at -d is not zarninfo's.
        {"music.zarn", "is not a sound file that libsndfile knows"},
        {"folder.wav", "is a directory"},
        {"silent.wav", "holds no sound"},
        {"silent.aiff", "holds no sound"},
        {"longer.wav", "74948 samples do not fit the Zarn file's 121 frames; it was not made from this sound"},
        {"shorter.wav", "30548 samples do not fit the Zarn file's 121 frames; it was not made from this sound"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const RunResult result = runInfo(dir, {"music.zarn", c.file, "--picture", "p.png", "--removed", "r.wav"});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, std::string(c.file) + ": " + c.cause + "\n");
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fileExists(dir.file("p.png")));
        EXPECT_FALSE(fileExists(dir.file("r.wav")));
    }
}

// The removed-bins table tells what the file's own frames dropped, whichever
// encoder wrote them: the rate encoder at a low rate leaves other bands empty
// than the full encoder's model of hearing would, and the table must follow
// the file.
TEST(InfoOriginal, TheRemovedBinsAreThoseTheFileItselfDropped) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(kLength));
    for (const char* call : {"-q -b 64 music.wav -o made.zarn", "-q --full -f music.wav -o made.zarn",
                             "-q --basic -f music.wav -o made.zarn"}) {
        SCOPED_TRACE(call);
        ASSERT_EQ(runZarn(dir, call).exitStatus, 0);
        const RunResult result = runInfo(dir, {"made.zarn", "music.wav"});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        const auto bands = bandTable(result.out, "Bits (mean)");
        const auto removals = bandTable(result.out, "In empty band %");
        ASSERT_EQ(bands.size(), kBandCount);
        ASSERT_EQ(removals.size(), kBandCount);
        const std::size_t frames = std::stoul(figure(result.out, "Frames"));
        const bool basic = std::string(call).find("--basic") != std::string::npos;
        double zeroed = 0.0;
        for (std::size_t band = 0; band < kBandCount; ++band) {
            SCOPED_TRACE("band " + std::to_string(band));
            // The music's noise floor leaves every bin of every frame alive,
            // so a band's bins in empty frames are its share of empty frames.
            ASSERT_EQ(std::stoul(removals[band][3]), frames * kBandWidths[band]);
            EXPECT_EQ(removals[band][4], bands[band][4]);
            zeroed += std::stod(removals[band][5]);
        }
        // Quantising drops some bins of bands with bits, but not at the
        // reduced encoder's 15 bits in every band.
        if (basic) {
            EXPECT_EQ(zeroed, 0.0);
        } else {
            EXPECT_GT(zeroed, 0.0);
        }
    }
}

}  // namespace
}  // namespace zarn::test
