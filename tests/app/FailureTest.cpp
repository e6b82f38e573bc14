// Every failure a conversion can meet: its message, the stream it goes to,
// exit status 1, no further menu, and no file written that should not be.

#include <filesystem>
#include <map>

#include "tests/app/AppTestSupport.h"

namespace zarn::test {
namespace {

class Failure : public ::testing::TestWithParam<Program> {};

INSTANTIATE_TEST_SUITE_P(BothPrograms, Failure, ::testing::Values(kZarnconv, kZarnbasic),
                         programName);

// The files every case starts from; none may change.
std::map<std::string, Bytes> makeFixtures(const TempDir& dir) {
    Bytes noBits = makeWaveFile(makeMusicSignal(100, 5));
    noBits[34] = noBits[35] = 0;
    Bytes tiny = zeroFrameBytes();
    tiny.resize(26);
    const std::map<std::string, Bytes> fixtures = {
        {"in.wav", makeWaveFile(makeMusicSignal(600, 5))},
        {"short.wav", finishedHeader(0)},
        {"nobits.wav", noBits},
        {"z.zarn", zeroFrameBytes()},
        {"tiny.zarn", tiny},
        {"empty.zarn", {}},
    };
    for (const auto& [name, bytes] : fixtures) writeFile(dir.file(name), bytes);
    std::filesystem::create_directory(dir.file("dir"));
    std::filesystem::create_hard_link(dir.file("in.wav"), dir.file("hard.zarn"));
    std::filesystem::create_symlink("in.wav", dir.file("sym.zarn"));
    std::filesystem::create_hard_link(dir.file("z.zarn"), dir.file("hard.wav"));
    std::filesystem::create_symlink("z.zarn", dir.file("sym.wav"));
    return fixtures;
}

struct FailureCase {
    const char* what;
    std::string script;   // the program must end before it reads the trailing "5\n"
    std::string console;  // standard output after the first menu's line feed
    std::string err;
    std::vector<std::string> absent;
    bool endsInput = false;  // the script itself ends the input where a name is asked
};

std::string openForReading(const std::string& name) { return waveUnopenable(name, "laesning"); }

TEST_P(Failure, MessagesAndExitStatus) {
    const std::string encodeStart = kWaveIn + kZarnOut + kEncodeStart;
    const std::string decodeStart = kZarnIn + kWaveOut + kDecodeStart;
    // clang-format off
    const std::vector<FailureCase> cases = {
        {"missing WAVE input", "1\nmissing.wav\nout.zarn\n",
         encodeStart + openForReading("missing.wav"), "", {"out.zarn"}},
        {"empty WAVE input name", "1\n\nout.zarn\n",
         encodeStart + openForReading(""), "", {"out.zarn"}},
        {"WAVE input is a directory", "1\ndir\nout.zarn\n",
         encodeStart + openForReading("dir"), "", {"out.zarn"}},
        {"WAVE input of 44 bytes", "1\nshort.wav\nout.zarn\n",
         encodeStart + kNotWave, "", {"out.zarn"}},
        {"0 bits per sample", "1\nnobits.wav\nout.zarn\n",
         encodeStart + kNotWave, "", {"out.zarn"}},
        {"Zarn output in a missing folder", "1\nin.wav\nnone/out.zarn\n",
         encodeStart, kZarnUnwritable, {}},
        {"Zarn output is the WAVE input", "1\nin.wav\nin.wav\n",
         encodeStart, sameFile("in.wav"), {}},
        {"Zarn output by another name", "1\nin.wav\n./in.wav\n",
         encodeStart, sameFile("./in.wav"), {}},
        {"Zarn output is a hard link to the input", "1\nin.wav\nhard.zarn\n",
         encodeStart, sameFile("hard.zarn"), {}},
        {"Zarn output is a symlink to the input", "1\nin.wav\nsym.zarn\n",
         encodeStart, sameFile("sym.zarn"), {}},
        {"missing Zarn input", "2\nmissing.zarn\nout.wav\n",
         decodeStart, kZarnUnreadable, {"out.wav"}},
        {"empty Zarn input name", "2\n\nout.wav\n",
         decodeStart, kZarnUnreadable, {"out.wav"}},
        {"Zarn input is a directory", "2\ndir\nout.wav\n",
         decodeStart, kZarnUnreadable, {"out.wav"}},
        {"empty Zarn input", "2\nempty.zarn\nout.wav\n",
         decodeStart, kZarnTooSmall, {"out.wav"}},
        {"Zarn input of 26 bytes", "2\ntiny.zarn\nout.wav\n",
         decodeStart, kZarnTooSmall, {"out.wav"}},
        {"WAVE output in a missing folder", "2\nz.zarn\nnone/out.wav\n",
         decodeStart + waveUnopenable("none/out.wav", "skrivning"), "", {}},
        {"WAVE output is the Zarn input", "2\nz.zarn\nz.zarn\n",
         decodeStart, sameFile("z.zarn"), {}},
        {"WAVE output is a hard link to the input", "2\nz.zarn\nhard.wav\n",
         decodeStart, sameFile("hard.wav"), {}},
        {"WAVE output is a symlink to the input", "2\nz.zarn\nsym.wav\n",
         decodeStart, sameFile("sym.wav"), {}},
        {"entry 3 stops after a failed encode", "3\nmissing.wav\nmid.zarn\nout.wav\n",
         kWaveIn + kZarnOut + kWaveOut + kEncodeStart + openForReading("missing.wav"), "",
         {"mid.zarn", "out.wav"}},
        {"entry 4 stops after a failed decode", "4\nmissing.zarn\nmid.wav\nout.zarn\n",
         kZarnIn + kWaveOut + kZarnOut + kDecodeStart, kZarnUnreadable, {"mid.wav", "out.zarn"}},
        {"entry 4 refuses to decode onto its input", "4\nz.zarn\nz.zarn\nout.zarn\n",
         kZarnIn + kWaveOut + kZarnOut + kDecodeStart, sameFile("z.zarn"), {"out.zarn"}},
        {"entry 9 without input.wav", "9\n",
         kEncodeStart + openForReading("input.wav"), "", {"output.zarn", "output.wav"}},
        // A full disk: /dev/full opens, and every write to it fails.
        {"Zarn output cannot be written", "1\nin.wav\n/dev/full\n",
         encodeStart, writeFailed("/dev/full"), {}},
        {"WAVE output cannot be written", "2\nz.zarn\n/dev/full\n",
         decodeStart, writeFailed("/dev/full"), {}},
        {"entry 3 stops after a failed write", "3\nin.wav\n/dev/full\nout.wav\n",
         kWaveIn + kZarnOut + kWaveOut + kEncodeStart, writeFailed("/dev/full"), {"out.wav"}},
        {"entry 3 reports its decode's failed write", "3\nin.wav\nmid.zarn\n/dev/full\n",
         kWaveIn + kZarnOut + kWaveOut + kEncode + kDecodeStart, writeFailed("/dev/full"), {}},
        {"entry 4 stops after a failed write", "4\nz.zarn\n/dev/full\nout.zarn\n",
         kZarnIn + kWaveOut + kZarnOut + kDecodeStart, writeFailed("/dev/full"), {"out.zarn"}},
        {"entry 4 reports its encode's failed write", "4\nz.zarn\nmid.wav\n/dev/full\n",
         kZarnIn + kWaveOut + kZarnOut + kDecode + kEncodeStart, writeFailed("/dev/full"), {}},
        // At the end of the input a name is empty, never the one typed before.
        {"end of input leaves the WAVE input name empty", "1\nin.wav\nout.zarn\n1\n",
         kWaveIn + kZarnOut + kEncode + kMenu + "\n" + encodeStart + openForReading(""), "",
         {}, true},
        {"end of input keeps an unfinished line", "1\nin.wav\nout.zarn\n1\nin.wav",
         kWaveIn + kZarnOut + kEncode + kMenu + "\n" + encodeStart, kZarnUnwritable, {}, true},
        {"end of input leaves the Zarn input name empty", "2\nz.zarn\nout.wav\n2\n",
         decodeStart + kDone + kMenu + "\n" + decodeStart, kZarnUnreadable, {}, true},
    };
    // clang-format on
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::map<std::string, Bytes> fixtures = makeFixtures(dir);
        const RunResult result = run(GetParam(), dir, c.endsInput ? c.script : c.script + "5\n");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, kTitle + kMenu + "\n" + c.console);
        EXPECT_EQ(result.err, c.err);
        for (const std::string& name : c.absent) EXPECT_FALSE(fileExists(dir.file(name))) << name;
        for (const auto& [name, bytes] : fixtures)
            EXPECT_TRUE(readFile(dir.file(name)) == bytes) << name;
    }
}

// Entry 9's fixed names, each in turn led to a full disk through a link.
TEST_P(Failure, Entry9ReportsAFailedWriteAndStops) {
    for (const std::string full : {"output.zarn", "output.wav"}) {
        SCOPED_TRACE(full);
        TempDir dir;
        writeFile(dir.file("input.wav"), makeWaveFile(makeMusicSignal(600, 5)));
        std::filesystem::create_symlink("/dev/full", dir.file(full));
        const RunResult result = run(GetParam(), dir, "9\n5\n");
        EXPECT_EQ(result.exitStatus, 1);
        const std::string console = full == "output.zarn" ? kEncodeStart : kEncode + kDecodeStart;
        EXPECT_EQ(result.out, kTitle + kMenu + "\n" + console);
        EXPECT_EQ(result.err, writeFailed(full));
        if (full == "output.zarn") {
            EXPECT_FALSE(fileExists(dir.file("output.wav")));
        }
    }
}

// A file-size limit (ulimit -f) reached half-way through either output: the
// write fails as on a full disk, with the same line and status, where the
// signal such a write raises would end the program without a word.
TEST_P(Failure, OutputPastTheFileSizeLimit) {
    constexpr std::uint64_t kLimit = 50 * 1024;
    TempDir dir;
    // Ten seconds: the WAVE output and the Zarn output of either program
    // come to several times the limit.
    writeSamples(dir, "in.wav", makeMusicSignal(10 * 44100, 5));
    ASSERT_NO_FATAL_FAILURE(convert(GetParam(), dir, '1', "in.wav", "in.zarn"));
    struct Case {
        const char* what;
        std::string script;
        std::string console;
        std::string output;
    };
    const Case cases[] = {
        {"encode", "1\nin.wav\nout.zarn\n5\n", kWaveIn + kZarnOut + kEncodeStart, "out.zarn"},
        {"decode", "2\nin.zarn\nout.wav\n5\n", kZarnIn + kWaveOut + kDecodeStart, "out.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult result = runProgramWithFileSizeLimit(GetParam().path, dir.path(), c.script, kLimit);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, kTitle + kMenu + "\n" + c.console);
        EXPECT_EQ(result.err, writeFailed(c.output));
        // What did fit is there, up to the limit and no further.
        EXPECT_EQ(readFile(dir.file(c.output)).size(), kLimit);
    }
}

}  // namespace
}  // namespace zarn::test
