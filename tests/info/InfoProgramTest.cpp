// zarninfo end to end, on files whose figures are known in advance.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Types.h"
#include "tests/info/InfoTestSupport.h"

namespace zarn::test {
namespace {

constexpr std::size_t kBands = 25;

std::string lastThree(const std::vector<std::string>& row) {
    return row[3] + " " + row[4] + " " + row[5];
}

TEST(InfoProgram, SilenceLeavesEveryBandEmptyInFramesOfTwentyEightBytes) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "silence", std::vector<std::int16_t>(20 * 256));
    const RunResult result = runInfo(dir, {"silence.zarn", "silence.wav"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(figure(result.out, "Frames"), "20");
    EXPECT_EQ(figure(result.out, "Duration"), "0.116 s");
    EXPECT_EQ(figure(result.out, "File size"), "560 bytes");
    EXPECT_EQ(figure(result.out, "Bit rate"), "38.59 kbit/s");  // 28 bytes per 256 samples
    EXPECT_EQ(figure(result.out, "Size against 16-bit PCM"), "0.055 (1:18.29)");
    EXPECT_EQ(figure(result.out, "15 bits in every band"), "no");
    const auto bands = bandTable(result.out, "Bits (mean)");
    ASSERT_EQ(bands.size(), kBands);
    for (const auto& row : bands) EXPECT_EQ(lastThree(row), "0.00 100.0 15.00");

    // Nothing differs, there is no signal to measure and no bin to remove.
    EXPECT_EQ(figure(result.out, "SNR"), "infinite");
    EXPECT_EQ(figure(result.out, "Segmental SNR"), "-");
    EXPECT_EQ(figure(result.out, "Largest sample error"), "0");
    EXPECT_EQ(figure(result.out, "Removed: original minus decoded, RMS"), "-infinite");
    const auto removals = bandTable(result.out, "In empty band %");
    ASSERT_EQ(removals.size(), kBands);
    for (const auto& row : removals) EXPECT_EQ(lastThree(row), "0 - -");
}

// --hops adds a row per frame to the report, which is otherwise the same:
// the frames' bytes add up to the file, and each row's rate is its bytes'.
TEST(InfoProgram, TheHopTableListsEveryFrameAfterTheUnchangedReport) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(30 * 256));
    const RunResult plain = runInfo(dir, {"music.zarn"});
    const RunResult hops = runInfo(dir, {"music.zarn", "--hops"});
    ASSERT_EQ(hops.exitStatus, 0) << hops.err;
    ASSERT_EQ(hops.out.compare(0, plain.out.size(), plain.out), 0) << hops.out;
    std::istringstream table(hops.out.substr(plain.out.size()));
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(line, "");
    std::getline(table, line);
    EXPECT_EQ(line, "  Frame  Start s  Bytes  kbit/s");
    std::size_t frames = 0, bytes = 0;
    for (; std::getline(table, line); ++frames) {
        std::istringstream cells(line);
        std::size_t frame = 0, size = 0;
        double start = 0.0, kbit = 0.0;
        ASSERT_TRUE(cells >> frame >> start >> size >> kbit) << line;
        EXPECT_EQ(frame, frames);
        EXPECT_NEAR(start, frames * 256 / 44100.0, 0.0005);
        EXPECT_NEAR(kbit, size * 8 * 44100.0 / 256 / 1000, 0.05);
        bytes += size;
    }
    EXPECT_EQ(std::to_string(frames), figure(plain.out, "Frames"));
    EXPECT_EQ(std::to_string(bytes) + " bytes", figure(plain.out, "File size"));
    // A bare stream holds one channel, which --channel may name and no other.
    EXPECT_EQ(runInfo(dir, {"music.zarn", "--channel", "1"}).out, plain.out);
    const RunResult second = runInfo(dir, {"music.zarn", "--channel", "2"});
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.err, "music.zarn: there is no channel 2; the file has 1\n");
}

TEST(InfoProgram, APureToneGivesBitsToItsOwnBandAndNoneToTheFarBands) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "tone", toneOnBin40());
    const RunResult result = runInfo(dir, {"tone.zarn", "tone.wav"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    const auto bands = bandTable(result.out, "Bits (mean)");
    const auto removals = bandTable(result.out, "In empty band %");
    ASSERT_EQ(bands.size(), kBands);
    ASSERT_EQ(removals.size(), kBands);

    EXPECT_EQ(bands[16][1], "3144");  // half a bin below bin 37
    EXPECT_EQ(bands[16][2], "3661");  // half a bin above bin 42
    EXPECT_EQ(bands[16][3], "15.00");
    EXPECT_EQ(bands[16][4], "0.0");
    // The tone's band is never empty, but the masking triangle zeroes some
    // of its bins, which the file then stores as zero.
    EXPECT_EQ(removals[16][4], "0.0");
    EXPECT_GT(std::stod(removals[16][5]), 0.0);
    EXPECT_LT(std::stod(removals[16][5]), 100.0);
    for (std::size_t band : {0, 1, 5, 10, 13, 19, 20, 22, 23, 24}) {
        SCOPED_TRACE("band " + std::to_string(band));
        EXPECT_EQ(bands[band][3], "0.00");
        EXPECT_EQ(bands[band][4], "100.0");
        // What the original has there lies in bands the file left empty.
        EXPECT_EQ(removals[band][4], "100.0");
        EXPECT_EQ(removals[band][5], "0.0");
    }
}

TEST(InfoProgram, AReducedFileHasFifteenBitsInEveryBandOfEveryFrame) {
    TempDir dir;
    encode(ZARNBASIC_PATH, dir, "basic", makeMusicSignal(10 * 256));
    const RunResult result = runInfo(dir, {"basic.zarn"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(figure(result.out, "15 bits in every band"), "yes (as zarnbasic writes)");
    EXPECT_EQ(figure(result.out, "Frames"), "10");
    EXPECT_EQ(figure(result.out, "File size"), "10520 bytes");
    EXPECT_EQ(figure(result.out, "Bit rate"), "1449.79 kbit/s");
    EXPECT_EQ(figure(result.out, "Size against 16-bit PCM"), "2.055 (1:0.49)");
    const auto bands = bandTable(result.out, "Bits (mean)");
    ASSERT_EQ(bands.size(), kBands);
    for (const auto& row : bands) {
        EXPECT_EQ(row[3], "15.00");
        EXPECT_EQ(row[4], "0.0");
    }
    // Without an original nothing is decoded or compared.
    EXPECT_EQ(result.out.find("Compared"), std::string::npos);
}

TEST(InfoProgram, ADecodedFileMeasuredAgainstItselfHasNoError) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(8820));
    ASSERT_EQ(runProgram(ZARNCONV_PATH, dir.path(), "2\nmusic.zarn\ndecoded.wav\n5\n").exitStatus, 0);

    const RunResult self = runInfo(dir, {"music.zarn", "decoded.wav"});
    ASSERT_EQ(self.exitStatus, 0) << self.out << self.err;
    EXPECT_NE(self.out.find("decoded.wav (8960 samples)"), std::string::npos) << self.out;
    EXPECT_EQ(figure(self.out, "SNR"), "infinite");
    EXPECT_EQ(figure(self.out, "Segmental SNR"), "60.00 dB");  // every segment at the ceiling
    EXPECT_EQ(figure(self.out, "Largest sample error"), "0");

    // Against the original the shorter signal sets the length, and the
    // codec's error shows; the temporary decoding is gone afterwards.
    const RunResult original = runInfo(dir, {"music.zarn", "music.wav"});
    ASSERT_EQ(original.exitStatus, 0) << original.out << original.err;
    EXPECT_NE(original.out.find("music.wav (8820 samples)"), std::string::npos) << original.out;
    EXPECT_GT(std::stod(figure(original.out, "SNR")), 10.0);
    EXPECT_LT(std::stod(figure(original.out, "SNR")), 60.0);
    EXPECT_GT(std::stoi(figure(original.out, "Largest sample error")), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("tmp")));
}

TEST(InfoProgram, ADamagedFileEndsWithItsReadersMessage) {
    struct Damage {
        const char* name;
        Bytes zarn;  // empty: no such file
        Bytes wave;
        bool onStandardError;
        std::string message;
    };
    const Bytes frame = zeroFrameBytes();
    const Bytes music = makeWaveFile(makeMusicSignal(2560));
    Bytes noTag = {0xAB, 0xCD};
    noTag.resize(30, 0);
    Bytes trailingGarbage = frame;
    trailingGarbage.resize(56, 0);
    const std::vector<Damage> cases = {
        {"no file", {}, music, true, kInfoZarnUnreadable},
        {"26 bytes", Bytes(26, 0xFF), music, true, kInfoZarnTooSmall},
        {"no tag", noTag, music, false, infoBadTag("cda")},
        {"no tag after a frame", trailingGarbage, music, false, infoBadTag("0")},
        {"short original", frame, Bytes(44, 0), true, "original.wav: is not a sound file that libsndfile knows\n"},
    };
    for (const Damage& damage : cases) {
        for (bool withOriginal : {false, true}) {
            if (!withOriginal && damage.zarn == frame) continue;
            SCOPED_TRACE(std::string(damage.name) + (withOriginal ? ", with the original" : ""));
            TempDir dir;
            if (!damage.zarn.empty()) writeFile(dir.file("damaged.zarn"), damage.zarn);
            writeFile(dir.file("original.wav"), damage.wave);
            const RunResult result = runInfo(
                dir, withOriginal
                         ? std::vector<std::string>{"damaged.zarn", "original.wav", "--picture", "p.png"}
                         : std::vector<std::string>{"damaged.zarn"});
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_EQ(damage.onStandardError ? result.err : result.out, damage.message);
            EXPECT_EQ(damage.onStandardError ? result.out : result.err, "");
            EXPECT_FALSE(fileExists(dir.file("p.png")));
        }
    }
}

TEST(InfoProgram, AWrongCallShowsTheUsage) {
    const std::string usage =
        "Usage: zarninfo FILE [ORIGINAL] [--hops] [--channel N] [--picture PICTURE.png [--log-frequency]]\n";
    const std::vector<std::vector<std::string>> calls = {
        {},
        {"a.zarn", "b.wav", "c.wav"},
        {"--picture"},
        {"a.zarn", "--picture"},
        {"a.zarn", "-x"},
        {"a.zarn", "--picture", "p.png", "--picture", "q.png"},
        {"a.zarn", "--picture", ""},
        {"--picture", "p.png"},
        {"a.zarn", "--log-frequency"},  // an axis without a picture
        {"a.zarn", "--picture", "p.png", "--log-frequency", "--log-frequency"},
        {"a.zarn", "--removed", "r.wav"},  // nothing to take the decoding from
        {"a.zarn", "b.wav", "--removed"},
        {"a.zarn", "b.wav", "--removed", ""},
        {"a.zarn", "b.wav", "--removed", "r.wav", "--removed", "s.wav"},
        {"a.zarn", "b.wav", "--removed", "x", "--picture", "x"},
        {"a.zarn", "b.wav", "--removed", "x", "--picture", "./x"},  // one file by two spellings
        {"a.zarn", "--picture", "--log-frequency"},                  // an option is no file name
        {"a.zarn", "b.wav", "--picture", "--removed", "r.wav"},
        {"a.zarn", "--channel"},
        {"a.zarn", "--channel", "0"},  // channels count from 1
        {"a.zarn", "--channel", "two"},
        {"a.zarn", "--channel", "-1"},
        {"a.zarn", "--channel", "1", "--channel", "2"},
        {"a.zarn", "--channel", "--hops"},
        {"a.zarn", "--hops", "--hops"}};
    TempDir dir;
    for (const auto& call : calls) {
        SCOPED_TRACE(::testing::PrintToString(call));
        const RunResult result = runInfo(dir, call);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.err.substr(0, usage.size()), usage);
        EXPECT_EQ(result.out, "");
    }
    const RunResult help = runInfo(dir, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.substr(0, usage.size()), usage);
    // Nor did any call write a file named after an option.
    EXPECT_FALSE(std::filesystem::exists(dir.file("--log-frequency")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("--removed")));
}

// A report that cannot be written is a failure, and so is an original
// that claims more samples than memory holds: one line each, status 1.
TEST(InfoProgram, WhatCannotBeDoneEndsWithOneLine) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(2560));
    for (const char* call : {"music.zarn", "--help"}) {
        SCOPED_TRACE(call);
        runInfo(dir, {call});  // writes the script
        const RunResult full = runCommand("(./zarninfo.sh >/dev/full)", dir.path(), "");
        EXPECT_EQ(full.exitStatus, 1);
        EXPECT_EQ(full.err, "Error writing to standard output\n");
    }
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer ends the process on an allocation it cannot make";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer ends the process on an allocation it cannot make";
#endif
#endif
    // 8 TiB that the file system need not hold, of 8-bit samples at 1000 a
    // second, with sizes that say "unknown", so that the length is the
    // file's: converted to 44100 a second, more samples than an address
    // space has room for, however the system promises memory.
    Bytes header = {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                    1,   0,   1,   0,   0xE8, 3,   0,   0,   0xE8, 3, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a',
                    0xFF, 0xFF, 0xFF, 0xFF};
    writeFile(dir.file("claims.wav"), header);
    std::error_code error;
    std::filesystem::resize_file(dir.file("claims.wav"), std::uintmax_t{8} << 40, error);
    if (error) GTEST_SKIP() << "the file system holds no file that large: " << error.message();
    const RunResult huge = runInfo(dir, {"music.zarn", "claims.wav"});
    EXPECT_EQ(huge.exitStatus, 1);
    EXPECT_EQ(huge.err, "Not enough memory\n");
}

// The samples of a mono 16-bit WAVE file as WaveWriter writes it, after
// checking its header says so.
std::vector<Sample> waveSamples(const Bytes& file) {
    EXPECT_GE(file.size(), 44u);
    if (file.size() < 44) return {};
    EXPECT_TRUE(prefix(file, 44) == finishedHeader((file.size() - 44) / 2));
    return samplesOf(file);
}

// A reduced file decodes to its original exactly, but for the last Block's
// second half, which fades out with the window; so that is all that can be
// heard in what was removed.
TEST(InfoProgram, WhatAReducedFileRemovedLiesInTheLastFadeAlone) {
    struct Case {
        const char* name;
        std::size_t length;
    };
    // The decoding is the input padded to whole hops: with a part hop the
    // original is the shorter and ends inside the fade.
    for (const Case& c : {Case{"whole hops", 10 * 256}, Case{"a part hop at the end", 10 * 256 + 100}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::vector<Sample> original = makeMusicSignal(c.length);
        encode(ZARNBASIC_PATH, dir, "basic", original);
        ASSERT_EQ(runProgram(ZARNBASIC_PATH, dir.path(), "2\nbasic.zarn\ndecoded.wav\n5\n").exitStatus, 0);
        const std::vector<Sample> decoded = waveSamples(readFile(dir.file("decoded.wav")));
        ASSERT_EQ(decoded.size(), (c.length + 255) / 256 * 256);
        const std::size_t fadeStart = decoded.size() - 256;

        const RunResult result = runInfo(dir, {"basic.zarn", "basic.wav", "--removed", "removed.wav"});
        ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        const std::vector<Sample> removed = waveSamples(readFile(dir.file("removed.wav")));
        ASSERT_EQ(removed.size(), std::min(original.size(), decoded.size()));
        double squares = 0.0;
        std::size_t heard = 0;
        for (std::size_t i = 0; i < removed.size(); ++i) {
            const Sample expected = i < fadeStart ? 0 : static_cast<Sample>(original[i] - decoded[i]);
            ASSERT_EQ(removed[i], expected) << "sample " << i;
            squares += static_cast<double>(expected) * expected;
            heard += expected != 0;
        }
        EXPECT_GT(heard, 50u);
        char level[32];
        std::snprintf(level, sizeof level, "%.2f dBFS",
                      10 * std::log10(squares / static_cast<double>(removed.size()) / (32768.0 * 32768.0)));
        EXPECT_EQ(figure(result.out, "Removed: original minus decoded, RMS"), level);
    }
}

TEST(InfoProgram, ARemovedSignalThatCannotBeWrittenEndsWithOneLine) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(2560));
    const Bytes original = readFile(dir.file("music.wav"));
    struct Case {
        const char* path;
        bool reported;    // the report came out before the failure
        std::string out;  // else the whole of standard output
        std::string err;
    };
    const Case cases[] = {
        // The codec's WAVE writer ends the process itself, before the report.
        {"no/such/folder.wav", false, infoUnwritable("no/such/folder.wav"), ""},
        {"/dev/full", true, "", infoWriteFailed("/dev/full")},
        {"music.wav", false, "", infoSameFile("music.wav")},
        {"music.zarn", false, "", infoSameFile("music.zarn")},
    };
    const Bytes zarn = readFile(dir.file("music.zarn"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const RunResult result = runInfo(dir, {"music.zarn", "music.wav", "--removed", c.path});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, c.err);
        if (c.reported) {
            EXPECT_EQ(result.out.rfind("Zarn file: music.zarn\n", 0), 0u) << result.out;
        } else {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(readFile(dir.file("music.wav")), original);
        EXPECT_EQ(readFile(dir.file("music.zarn")), zarn);
    }
    // Nor may the picture replace an input.
    const RunResult picture = runInfo(dir, {"music.zarn", "--picture", "music.zarn"});
    EXPECT_EQ(picture.exitStatus, 1);
    EXPECT_EQ(picture.err, infoSameFile("music.zarn"));
}

}  // namespace
}  // namespace zarn::test
