// zarn in the user's language: English where no locale asks for another,
// Danish under a Danish locale in that locale's character set, and numbers
// as the locale writes them.

#include <sndfile.h>

#include <algorithm>
#include <sstream>

#include "tests/cli/CliTestSupport.h"
#include "tests/support/Locales.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

// zarn under the locale variables `variables` (shell words).
RunResult runZarnIn(const TempDir& dir, const std::string& variables, const std::string& arguments) {
    return runCommand("env -u LC_ALL " + variables + " " + zarnCommand() + " " + arguments, dir.path(), "");
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The options a help names, in order ("-o's" and "(-o)" as "-o"; "'-'" and
// "->" as "-").
std::vector<std::string> dashWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        const std::size_t dash = word.find_first_not_of("'(");
        if (dash == std::string::npos || word[dash] != '-') continue;
        const std::size_t end = word.find_first_not_of("-abcdefghijklmnopqrstuvwxyz0123456789", dash);
        words.push_back(word.substr(dash, end == std::string::npos ? std::string::npos : end - dash));
    }
    return words;
}

TEST(Language, AWrongCallInEnglishAndInDanish) {
    TempDir dir;
    const std::string english =
        "zarn: -o may be given only once\nUsage: zarn [OPTION]... FILE...\nTry 'zarn --help'.\n";
    const std::string danish = "zarn: -o må kun gives én gang\nBrug: zarn [TILVALG]... FIL...\nSe 'zarn --help'.\n";
    const RunResult c = runZarnIn(dir, "LC_ALL=C", "-o x -o y a.wav");
    EXPECT_EQ(c.exitStatus, 2);
    EXPECT_EQ(c.err, english);
    EXPECT_EQ(runZarnIn(dir, "", "--force=yes a.wav").err.rfind("zarn: --force takes no value\n", 0), 0u);

    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    const RunResult utf8 = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "-o x -o y a.wav");
    EXPECT_EQ(utf8.exitStatus, 2);
    EXPECT_EQ(utf8.err, danish);
    // LANG alone, and LANGUAGE over it, choose the language as well.
    EXPECT_EQ(runZarnIn(dir, "LANG=" + kDanishUtf8, "--force=yes a.wav")
                  .err.rfind("zarn: --force tager ingen værdi\n", 0),
              0u);
    EXPECT_EQ(runZarnIn(dir, "LANG=" + kDanishUtf8 + " LANGUAGE=en", "--force=yes a.wav")
                  .err.rfind("zarn: --force takes no value\n", 0),
              0u);

    ZARN_REQUIRE_LOCALE(kDanishLatin1);
    const RunResult latin = runZarnIn(dir, "LC_ALL=" + kDanishLatin1, "-o x -o y a.wav");
    EXPECT_EQ(latin.exitStatus, 2);
    EXPECT_EQ(latin.err, latin1(danish));
    EXPECT_NE(latin.err.find("m\xE5 kun gives \xE9n gang"), std::string::npos);
}

// A file's line carries figures: a sample rate and a length.
TEST(Language, NumbersInTheLocalesForm) {
    TempDir dir;
    const std::vector<std::int16_t> music = makeMusicSignal(5000, 4);
    std::vector<double> stereo;
    for (const std::int16_t sample : music) stereo.insert(stereo.end(), 2, sample / 32768.0);
    writeSound(dir.file("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 22050, stereo);

    const RunResult english = runZarnIn(dir, "LC_ALL=C", "--raw s.wav");
    EXPECT_EQ(english.err,
              "s.wav -> s.zarn: WAVE, stereo, 22.05 kHz, 16 bit; mixed down to mono, converted to 44.1 kHz, "
              "dithered to 16 bits\n");
    EXPECT_EQ(runZarnIn(dir, "LC_ALL=C", "-t s.zarn").err, "s.zarn: ok, 0.23 s\n");

    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    const RunResult danish = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "--raw -f s.wav");
    EXPECT_EQ(danish.err,
              "s.wav -> s.zarn: WAVE, stereo, 22,05 kHz, 16 bit; mixet ned til mono, konverteret til 44,1 kHz, "
              "dithret til 16 bit\n");
    EXPECT_EQ(runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "-t s.zarn").err, "s.zarn: i orden, 0,23 s\n");
    // The words follow the messages' locale, the figures the numbers'.
    EXPECT_EQ(runZarnIn(dir, "LC_MESSAGES=" + kDanishUtf8, "-t s.zarn").err, "s.zarn: i orden, 0.23 s\n");
    EXPECT_EQ(runZarnIn(dir, "LC_NUMERIC=" + kDanishUtf8, "-t s.zarn").err, "s.zarn: ok, 0,23 s\n");
}

// A warning and a refusal of the call in Danish words, with the figures
// as the locale writes them.
TEST(Language, AWarningAndARefusalInDanish) {
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir dir;
    const Bytes wave = makeWaveFile(makeMusicSignal(30000, 4));
    writeFile(dir.file("cut.wav"), Bytes(wave.begin(), wave.begin() + 44 + 2 * 10000));
    const RunResult cut = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "--raw cut.wav");
    EXPECT_EQ(cut.exitStatus, 0);
    EXPECT_EQ(cut.err.rfind("zarn: cut.wav: advarsel: filen slutter for tidligt; ventede 30000 samples, fik 10000 "
                            "samples\n",
                            0),
              0u)
        << cut.err;
    const RunResult refused = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "cut.wav -o out.flac");
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(refused.err.rfind("zarn: -o out.flac: der kodes til Zarn, ikke til .flac (et navn på .oza eller .zarn, "
                                "eller -d for at afkode)\n",
                                0),
              0u)
        << refused.err;
}

// Every line of the help is translated, every option kept, and the 8-bit
// locale gets the very same text in its own bytes.
TEST(Language, TheWholeHelpInEachLanguage) {
    TempDir dir;
    const RunResult english = runZarnIn(dir, "LC_ALL=C", "--help");
    ASSERT_EQ(english.exitStatus, 0);
    EXPECT_EQ(english.out.rfind("Usage: zarn [OPTION]... FILE...\nEncodes sound files to Ogg Zarn", 0), 0u);
    EXPECT_NE(english.out.find("\nExit status: 0 when everything succeeded"), std::string::npos);

    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    const RunResult danish = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "--help");
    ASSERT_EQ(danish.exitStatus, 0);
    EXPECT_EQ(danish.out.rfind("Brug: zarn [TILVALG]... FIL...\nKoder lydfiler til Ogg Zarn", 0), 0u);
    EXPECT_NE(danish.out.find("  -h, --help         viser denne hjælp\n"), std::string::npos);
    const std::vector<std::string> englishLines = lines(english.out), danishLines = lines(danish.out);
    ASSERT_EQ(danishLines.size(), englishLines.size());
    for (std::size_t i = 0; i < englishLines.size(); ++i) {
        if (englishLines[i].empty()) continue;
        EXPECT_NE(danishLines[i], englishLines[i]);
    }
    EXPECT_EQ(dashWords(danish.out), dashWords(english.out));

    ZARN_REQUIRE_LOCALE(kDanishLatin1);
    const RunResult latin = runZarnIn(dir, "LC_ALL=" + kDanishLatin1, "--help");
    EXPECT_EQ(latin.out, latin1(danish.out));
    EXPECT_NE(latin.out.find("hj\xE6lp"), std::string::npos);
}

}  // namespace
}  // namespace zarn::test

namespace zarn::test {
namespace {

// Ogg Zarn's lines in Danish: what a file holds, and where it is damaged,
// with the figures in Danish form.
TEST(Language, OggZarnSaysItsFiguresAndItsDamageInDanish) {
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir dir;
    const std::vector<std::int16_t> music = makeMusicSignal(3 * 22050, 4);
    std::vector<double> stereo;
    for (const std::int16_t sample : music) stereo.insert(stereo.end(), 2, sample / 32768.0);
    writeSound(dir.file("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 22050, stereo);
    const RunResult encoded = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "s.wav");
    ASSERT_EQ(encoded.exitStatus, 0);
    EXPECT_EQ(encoded.err.rfind("s.wav -> s.oza: WAVE, stereo, 22,05 kHz, 16 bit; konverteret til 44,1 kHz, "
                                "dithret til 16 bit; 3,00 s, ",
                                0),
              0u)
        << encoded.err;
    // A time on the command line has a point in every locale.
    EXPECT_EQ(runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "-f -d s.oza --skip 1.0 --until 0:01.5").err,
              "s.oza -> s.wav: afkodet, stereo, 22,05 kHz, 0,50 s fra 1,00 s\n");
    Bytes damaged = readFile(dir.file("s.oza"));
    damaged[damaged.size() / 2] ^= 0x01;
    writeFile(dir.file("bad.oza"), damaged);
    const RunResult tested = runZarnIn(dir, "LC_ALL=" + kDanishUtf8, "-t bad.oza");
    EXPECT_EQ(tested.exitStatus, 1);
    EXPECT_EQ(tested.err.rfind("zarn: bad.oza: en side er beskadiget (dens CRC passer ikke) ved 1,", 0), 0u)
        << tested.err;
}

}  // namespace
}  // namespace zarn::test
