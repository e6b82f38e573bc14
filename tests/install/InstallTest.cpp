// The install step: what lands under the prefix, that the installed programs
// work from there, and that their manual pages render without a warning.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

// Runs the host's `command` in `directory` through the shell, with no input.
RunResult shell(const std::string& directory, const std::string& command) {
    return runCommand(command, directory, "");
}

// One installation for all the tests in a process.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new TempDir;
        const RunResult result =
            shell(prefix_->path(), shellWord(ZARN_CMAKE_COMMAND) + " --install " + shellWord(ZARN_BUILD_DIR) +
                                       " --prefix " + shellWord(prefix_->path() + "/usr"));
        installStatus_ = result.exitStatus;
        installLog_ = result.out + result.err;
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(installStatus_, 0) << installLog_; }

    static std::string path(const std::string& relative) { return prefix_->path() + "/usr/" + relative; }
    static std::vector<std::string> pages() {
        std::vector<std::string> names = {"zarnconv", "zarnbasic"};
        if (ZARN_INSTALLS_ZARNINFO) names.push_back("zarninfo");
        if (ZARN_INSTALLS_ZARN) names.push_back("zarn");
        return names;
    }

    static TempDir* prefix_;
    static int installStatus_;
    static std::string installLog_;
};

TempDir* Installed::prefix_ = nullptr;
int Installed::installStatus_ = -1;
std::string Installed::installLog_;

TEST_F(Installed, ThePrefixHoldsTheProgramsAndTheirManualPagesAndNothingElse) {
    std::set<std::string> expected;
    for (const std::string& name : pages()) {
        expected.insert("bin/" + name);
        expected.insert("share/man/man1/" + name + ".1");
    }
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path(""))) {
        if (!entry.is_directory()) found.insert(std::filesystem::relative(entry.path(), path("")).string());
    }
    EXPECT_EQ(found, expected);
}

TEST_F(Installed, TheInstalledProgramsWorkFromThePrefix) {
    TempDir work;
    writeFile(work.file("in.wav"), makeWaveFile(makeMusicSignal(5000)));
    // Each program decodes what the other encoded.
    for (const auto& [program, input] : {std::pair{"zarnconv", "1\nin.wav\nfull.zarn\n5\n"},
                                         {"zarnbasic", "2\nfull.zarn\nfull.wav\n5\n"},
                                         {"zarnbasic", "1\nin.wav\nbasic.zarn\n5\n"},
                                         {"zarnconv", "2\nbasic.zarn\nbasic.wav\n5\n"}}) {
        const RunResult run = runProgram(path(std::string("bin/") + program), work.path(), input);
        ASSERT_EQ(run.exitStatus, 0) << program << " " << input << run.out << run.err;
    }
    EXPECT_EQ(readFile(work.file("full.wav")).size(), 44u + 2 * 5120);
    EXPECT_EQ(readFile(work.file("basic.wav")).size(), 44u + 2 * 5120);

    if (!ZARN_INSTALLS_ZARNINFO) return;
    const RunResult info = shell(work.path(), targetCommand(path("bin/zarninfo")) +
                                                  " full.zarn in.wav --picture full.png --removed removed.wav");
    ASSERT_EQ(info.exitStatus, 0) << info.out << info.err;
    EXPECT_EQ(info.out.rfind("Zarn-fil: full.zarn\n", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("Sammenlignet med original: in.wav (5000 samples)"), std::string::npos) << info.out;
    EXPECT_TRUE(fileExists(work.file("full.png")));
    EXPECT_EQ(readFile(work.file("removed.wav")).size(), 44u + 2 * 5000);
}

TEST_F(Installed, EveryManualPageRendersWithoutAWarning) {
    const bool groff = haveCommand("groff"), man = haveCommand("man");
    if (!groff && !man) GTEST_SKIP() << "neither groff nor man is installed";
    TempDir scratch;
    for (const std::string& name : pages()) {
        SCOPED_TRACE(name);
        const std::string page = path("share/man/man1/" + name + ".1");
        if (groff) {
            const RunResult lint = shell(scratch.path(), "LC_ALL=C.UTF-8 groff -ww -z -man " + shellWord(page));
            EXPECT_EQ(lint.exitStatus, 0);
            EXPECT_EQ(lint.out + lint.err, "");
        }
        if (!man) continue;
        const RunResult shown = shell(scratch.path(), "LC_ALL=C.UTF-8 MANWIDTH=80 man -l " + shellWord(page));
        EXPECT_EQ(shown.exitStatus, 0);
        EXPECT_EQ(shown.err, "");
        EXPECT_NE(shown.out.find("SYNOPSIS"), std::string::npos);
        EXPECT_NE(shown.out.find(name), std::string::npos);
        // The one non-ASCII letter the converters write shows as itself.
        if (name == "zarnconv") {
            EXPECT_NE(shown.out.find("Daempning til maskering skal v\xC3\xA6re mindre eller lig 1"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace zarn::test
