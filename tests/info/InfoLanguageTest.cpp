// zarninfo in the user's language: the report, its figures and its failures
// in Danish under a Danish locale, in that locale's character set.

#include <sstream>

#include "tests/info/InfoTestSupport.h"
#include "tests/support/Locales.h"

namespace zarn::test {
namespace {

// The characters of a UTF-8 line: every byte but those that continue one.
std::size_t characters(const std::string& line) {
    std::size_t count = 0;
    for (const char c : line) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

TEST(InfoLanguage, TheReportInDanish) {
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir dir;
    encode(ZARNBASIC_PATH, dir, "basic", makeMusicSignal(10 * 256));
    const RunResult result = runInfo(dir, {"basic.zarn"}, kDanishUtf8);
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.out.rfind("Zarn-fil: basic.zarn\n", 0), 0u) << result.out;
    EXPECT_EQ(figure(result.out, "Varighed"), "0,058 s");
    EXPECT_EQ(figure(result.out, "Filstørrelse"), "10520 byte");
    EXPECT_EQ(figure(result.out, "Bitrate"), "1449,79 kbit/s");
    EXPECT_EQ(figure(result.out, "Størrelse mod 16-bit PCM"), "2,055 (1:0,49)");
    EXPECT_EQ(figure(result.out, "15 bit i alle bånd"), "ja (som zarnbasic skriver)");
    const auto bands = bandTable(result.out, "Bit (middel)");
    ASSERT_EQ(bands.size(), 25u);
    EXPECT_EQ(bands[0][3], "15,00");

    // The columns line up on the screen, where "Bånd" is four characters
    // and five bytes: every row of numbers ends under its heading's end.
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line) && line.find("Bånd") == std::string::npos) {
    }
    const std::size_t width = characters(line);
    for (int row = 0; row < 25 && std::getline(lines, line); ++row) EXPECT_EQ(characters(line), width) << line;

    ZARN_REQUIRE_LOCALE(kDanishLatin1);
    const RunResult latin = runInfo(dir, {"basic.zarn"}, kDanishLatin1);
    EXPECT_EQ(latin.out, latin1(result.out));
    // The picture's labels reach Cairo in UTF-8 whatever the terminal's set.
    const RunResult picture = runInfo(dir, {"basic.zarn", "--picture", "p.png"}, kDanishLatin1);
    EXPECT_EQ(picture.exitStatus, 0) << picture.err;
    EXPECT_TRUE(fileExists(dir.file("p.png")));
}

// How the original was read, and why one is refused, in Danish words and
// figures.
TEST(InfoLanguage, TheOriginalInDanish) {
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(10 * 256));
    const RunResult result = runInfo(dir, {"music.zarn", "music.wav"}, kDanishUtf8);
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(figure(result.out, "Original"), "WAVE, mono, 44,1 kHz, 16 bit");
    writeFile(dir.file("empty.wav"), makeWaveFile({}));
    const RunResult refused = runInfo(dir, {"music.zarn", "empty.wav"}, kDanishUtf8);
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "empty.wav: indeholder ingen lyd\n");
}

TEST(InfoLanguage, AFailureAndTheUsageInEachCharacterSet) {
    TempDir dir;
    const std::string danish = "Ikke i stand til at åbne Zarn-filen til læsning\n";
    EXPECT_EQ(runInfo(dir, {"missing.zarn"}).err, kInfoZarnUnreadable);
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    const RunResult utf8 = runInfo(dir, {"missing.zarn"}, kDanishUtf8);
    EXPECT_EQ(utf8.exitStatus, 1);
    EXPECT_EQ(utf8.err, danish);
    const RunResult usage = runInfo(dir, {"--help"}, kDanishUtf8);
    EXPECT_EQ(usage.out.rfind("Brug: zarninfo FIL [ORIGINAL]", 0), 0u) << usage.out;
    EXPECT_NE(usage.out.find("Zarn-filen, der skal undersøges:"), std::string::npos) << usage.out;

    ZARN_REQUIRE_LOCALE(kDanishLatin1);
    const RunResult latin = runInfo(dir, {"missing.zarn"}, kDanishLatin1);
    EXPECT_EQ(latin.err, "Ikke i stand til at \xE5" "bne Zarn-filen til l\xE6sning\n");
    EXPECT_EQ(runInfo(dir, {"--help"}, kDanishLatin1).out, latin1(usage.out));
}

}  // namespace
}  // namespace zarn::test
