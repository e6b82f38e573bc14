// The menu loop of both programs: what it writes, which choice lines do
// something, and that every entry runs exactly the conversions it names.

#include <filesystem>
#include <map>

#include "tests/app/AppTestSupport.h"

namespace zarn::test {
namespace {

class Menu : public ::testing::TestWithParam<Program> {};

INSTANTIATE_TEST_SUITE_P(BothPrograms, Menu, ::testing::Values(kZarnconv, kZarnbasic), programName);

// `after` is what must follow the title; every choice shown here leaves with
// exit status 0 and nothing on standard error.
struct ChoiceCase {
    const char* what;
    std::string input;
    std::string after;
};

TEST_P(Menu, ChoiceLines) {
    const std::string again = kMenu + "\n";
    const std::string longTail(1024, '7');
    const std::vector<ChoiceCase> cases = {
        {"entry 5 reads and writes nothing more", "5\n1\nin.wav\nout.zarn\n", kMenu + "\n"},
        {"end of input at the menu", "", kMenu},
        {"end of input after an invalid choice", "6\n", again + kMenu},
        {"6", "6\n5\n", again + again},
        {"7", "7\n5\n", again + again},
        {"8", "8\n5\n", again + again},
        {"0", "0\n5\n", again + again},
        {"a letter", "a\n5\n", again + again},
        {"a space before 1", " 1\n5\n", again + again},
        // The line feed is the choice; the discard then swallows "1\n".
        {"an empty line eats the next", "\n1\n5\n", again + again},
        {"1023 characters after the choice are all skipped", "7" + std::string(1023, '7') + "\n5\n",
         again + again},
        {"the 1025th character after the choice is the next choice", "7" + longTail + "5\n",
         again + again},
        {"a line feed left over is the next choice and eats a line", "7" + longTail + "\n5\n",
         again + again + kMenu},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const RunResult result = run(GetParam(), dir, c.input);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, kTitle + c.after);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

// Each entry, and each way of choosing it, must give exactly the files that
// single conversions give (E = encode(in), W = decode(E), E2 = encode(W)).
struct EntryCase {
    const char* what;
    std::string script;   // without the final "5\n"
    std::string console;  // between the first menu's line feed and the last menu
    std::map<std::string, const Bytes*> files;  // expected contents afterwards
};

TEST_P(Menu, EntriesRunTheirConversions) {
    const Program& program = GetParam();
    TempDir dir;
    const Bytes input = makeWaveFile(makeMusicSignal(1000, 3));
    writeFile(dir.file("in.wav"), input);
    ASSERT_NO_FATAL_FAILURE(convert(program, dir, '1', "in.wav", "ref.zarn"));
    ASSERT_NO_FATAL_FAILURE(convert(program, dir, '2', "ref.zarn", "ref.wav"));
    ASSERT_NO_FATAL_FAILURE(convert(program, dir, '1', "ref.wav", "ref2.zarn"));
    const Bytes e = readFile(dir.file("ref.zarn"));
    const Bytes w = readFile(dir.file("ref.wav"));
    const Bytes e2 = readFile(dir.file("ref2.zarn"));
    ASSERT_FALSE(e.empty());
    ASSERT_EQ(w.size(), 44u + 2 * 1024);

    const std::string enc = kWaveIn + kZarnOut + kEncode;
    const std::string dec = kZarnIn + kWaveOut + kDecode;
    const std::string next = kMenu + "\n";
    writeFile(dir.file("input.wav"), input);
    writeFile(dir.file("inplace.wav"), input);
    const std::vector<EntryCase> cases = {
        {"1", "1\nin.wav\na.zarn\n", enc, {{"a.zarn", &e}}},
        {"12 runs entry 1", "12\nin.wav\nb.zarn\n", enc, {{"b.zarn", &e}}},
        {"1 and more runs entry 1", "1 2 3\nin.wav\nc.zarn\n", enc, {{"c.zarn", &e}}},
        {"names are kept as typed", "1\nin.wav\n out file.zarn \n", enc, {{" out file.zarn ", &e}}},
        {"2", "2\nref.zarn\na.wav\n", dec, {{"a.wav", &w}}},
        {"3",
         "3\nin.wav\nd.zarn\nd.wav\n",
         kWaveIn + kZarnOut + kWaveOut + kEncode + kDecode,
         {{"d.zarn", &e}, {"d.wav", &w}}},
        {"3 may overwrite its WAVE input",
         "3\ninplace.wav\ne.zarn\ninplace.wav\n",
         kWaveIn + kZarnOut + kWaveOut + kEncode + kDecode,
         {{"e.zarn", &e}, {"inplace.wav", &w}}},
        {"4",
         "4\nref.zarn\nf.wav\nf.zarn\n",
         kZarnIn + kWaveOut + kZarnOut + kDecode + kEncode,
         {{"f.wav", &w}, {"f.zarn", &e2}}},
        {"9", "9\n", kEncode + kDecode, {{"output.zarn", &e}, {"output.wav", &w}}},
        // Nothing may survive from one conversion to the next.
        {"conversions in a row",
         "1\nin.wav\ng.zarn\n2\nref.zarn\ng.wav\n1\nin.wav\nh.zarn\n2\nref.zarn\nh.wav\n",
         enc + next + dec + next + enc + next + dec,
         {{"g.zarn", &e}, {"g.wav", &w}, {"h.zarn", &e}, {"h.wav", &w}}},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult result = run(program, dir, c.script + "5\n");
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, kTitle + kMenu + "\n" + c.console + kMenu + "\n");
        EXPECT_EQ(result.err, "");
        for (const auto& [name, expected] : c.files) {
            EXPECT_TRUE(readFile(dir.file(name)) == *expected) << name;
        }
    }
    EXPECT_TRUE(readFile(dir.file("in.wav")) == input);
}

}  // namespace
}  // namespace zarn::test
