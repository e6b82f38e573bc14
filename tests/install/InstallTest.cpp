// The install step: what lands under the prefix, that the installed programs
// work from there, and that their manual pages render without a warning.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "lib/zarn.h"
#include "tests/support/Locales.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

// Runs the host's `command` in `directory` through the shell, with no input.
RunResult shell(const std::string& directory, const std::string& command) {
    return runCommand(command, directory, "");
}

// A user's CMake project around the example program.
constexpr char kUserProject[] = R"(cmake_minimum_required(VERSION 3.16)
project(user LANGUAGES C)
find_package(Zarn 1.0 REQUIRED)
add_executable(by-find-package ${EXAMPLE})
target_link_libraries(by-find-package PRIVATE Zarn::${ZARN_TARGET} m)
)";

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

TEST_F(Installed, ThePrefixHoldsTheProgramsTheLibraryAndTheirManualPagesAndNothingElse) {
    std::set<std::string> expected;
    for (const std::string& name : pages()) {
        expected.insert("bin/" + name);
        expected.insert("share/man/man1/" + name + ".1");
    }
    const std::string lib = ZARN_INSTALL_LIBDIR;
    for (const char* file : {"/libzarn.so", "/libzarn.so.1", "/libzarn.so.1.0.0", "/libzarn.a", "/pkgconfig/zarn.pc",
                             "/cmake/Zarn/ZarnConfig.cmake", "/cmake/Zarn/ZarnConfigVersion.cmake",
                             "/cmake/Zarn/ZarnTargets.cmake"}) {
        expected.insert(lib + file);
    }
    expected.insert("include/zarn.h");
    expected.insert("include/zarn_version.h");
    expected.insert("share/man/man3/zarn.3");
    if (ZARN_INSTALLS_OGG_PAGE) expected.insert("share/man/man5/zarn-ogg.5");
    if (ZARN_INSTALLS_CATALOGUES) expected.insert(ZARN_INSTALL_LOCALEDIR "/da/LC_MESSAGES/zarn.mo");
    if (ZARN_INSTALLS_GST_PLUGIN) expected.insert(lib + "/gstreamer-1.0/libgstzarn.so");
    expected.insert(ZARN_INSTALL_DATADIR "/mime/packages/zarn.xml");
    expected.insert(ZARN_INSTALL_DATADIR "/misc/zarn.magic");
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path(""))) {
        // As named: std::filesystem::relative would resolve the library's links.
        const std::string file = entry.path().string().substr(path("").size());
        // The targets of each build type the package was installed from.
        if (!entry.is_directory() && file.rfind(lib + "/cmake/Zarn/ZarnTargets-", 0) != 0) found.insert(file);
    }
    EXPECT_EQ(found, expected);
}

// A C program of the library's users, built against the installed prefix
// through pkg-config and through CMake's find_package, and run.
TEST_F(Installed, AProgramBuildsAgainstTheInstalledLibraryBothWays) {
    if (!haveCommand("pkg-config")) GTEST_SKIP() << "pkg-config is not installed";
    TempDir work;
    const std::string example = shellWord(ZARN_EXAMPLE_SOURCE);
    const std::string pkgConfig = "PKG_CONFIG_PATH=" + shellWord(path(ZARN_INSTALL_LIBDIR "/pkgconfig")) +
                                  " pkg-config " + (ZARN_STATIC_PROGRAMS ? "--static " : "");
    const RunResult built = shell(work.path(), shellWord(ZARN_C_COMPILER) + " " + ZARN_PROGRAM_LINK_FLAGS + " " +
                                                   example + " -o by-pkg-config $(" + pkgConfig +
                                                   "--cflags --libs zarn) -lm");
    ASSERT_EQ(built.exitStatus, 0) << built.out << built.err;

    writeFile(work.file("CMakeLists.txt"), Bytes(std::begin(kUserProject), std::end(kUserProject) - 1));
    const RunResult configured = shell(
        work.path(), shellWord(ZARN_CMAKE_COMMAND) + " -S . -B build -DZarn_DIR=" +
                         shellWord(path(ZARN_INSTALL_LIBDIR "/cmake/Zarn")) +
                         " -DEXAMPLE=" + example + " " + ZARN_USER_CMAKE_OPTIONS + " && " +
                         shellWord(ZARN_CMAKE_COMMAND) + " --build build");
    ASSERT_EQ(configured.exitStatus, 0) << configured.out << configured.err;

    for (const char* program : {"by-pkg-config", "build/by-find-package"}) {
        const RunResult run = shell(work.path(), "LD_LIBRARY_PATH=" + shellWord(path(ZARN_INSTALL_LIBDIR)) + " " +
                                                     targetCommand(work.file(program)));
        EXPECT_EQ(run.exitStatus, 0) << program << run.err;
        EXPECT_EQ(run.out, "44100 samples in, 44288 out\n") << program;
    }
}

// The Ogg Zarn example, which uses the container's calls, built against the
// installed prefix as its users build it: it finds the version header beside
// zarn.h, and links libogg where the library is static.
TEST_F(Installed, TheOggExampleBuildsAgainstTheInstalledLibraryAndDecodesFromASecond) {
    if (!haveCommand("pkg-config")) GTEST_SKIP() << "pkg-config is not installed";
    TempDir work;
    const std::string pkgConfig = "PKG_CONFIG_PATH=" + shellWord(path(ZARN_INSTALL_LIBDIR "/pkgconfig")) +
                                  " pkg-config " + (ZARN_STATIC_PROGRAMS ? "--static " : "");
    const RunResult built =
        shell(work.path(), shellWord(ZARN_C_COMPILER) + " " + ZARN_PROGRAM_LINK_FLAGS + " " +
                               shellWord(ZARN_OGG_EXAMPLE_SOURCE) + " -o decode-from $(" + pkgConfig +
                               "--cflags --libs zarn)");
    ASSERT_EQ(built.exitStatus, 0) << built.out << built.err;

    Bytes file;
    zarn_ogg_encoder_settings settings;
    zarn_ogg_encoder_settings_init(&settings);
    settings.channels = 1;
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(
        &settings,
        [](void* to, const std::uint8_t* bytes, std::size_t size) {
            static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), bytes, bytes + size);
            return 0;
        },
        &file, nullptr);
    const std::vector<std::int16_t> music = makeMusicSignal(2 * 44100 + 10);
    ASSERT_EQ(zarn_ogg_encoder_write(encoder, music.data(), music.size()), ZARN_OK);
    ASSERT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    zarn_ogg_encoder_destroy(encoder);
    writeFile(work.file("in.oza"), file);

    const RunResult run = shell(work.path(), "LD_LIBRARY_PATH=" + shellWord(path(ZARN_INSTALL_LIBDIR)) + " " +
                                                 targetCommand(work.file("decode-from")) + " in.oza 1");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out.size(), (music.size() - 44100) * 2);
    EXPECT_EQ(run.err, "channels 1, original rate 44100 Hz, length 88210 samples per channel\n");
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
    EXPECT_EQ(info.out.rfind("Zarn file: full.zarn\n", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("Compared with the original: in.wav (5000 samples)"), std::string::npos) << info.out;
    EXPECT_TRUE(fileExists(work.file("full.png")));
    EXPECT_EQ(readFile(work.file("removed.wav")).size(), 44u + 2 * 5000);
}

// The installed programs find their catalogue under the prefix they were
// installed into, which is not the one they were built for.
TEST_F(Installed, TheInstalledProgramsSpeakDanish) {
    if (!ZARN_INSTALLS_CATALOGUES) GTEST_SKIP() << "msgfmt (gettext) is not installed: no catalogue";
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir work;
    const std::string danish = "env LC_ALL=" + kDanishUtf8 + " ";
    if (ZARN_INSTALLS_ZARN) {
        const RunResult help = shell(work.path(), danish + targetCommand(path("bin/zarn")) + " --help");
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_EQ(help.out.rfind("Brug: zarn [TILVALG]... FIL...\n", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("viser denne hjælp"), std::string::npos) << help.out;
    }
    if (ZARN_INSTALLS_ZARNINFO) {
        const RunResult info = shell(work.path(), danish + targetCommand(path("bin/zarninfo")) + " missing.zarn");
        EXPECT_EQ(info.exitStatus, 1);
        EXPECT_EQ(info.err, "Ikke i stand til at åbne Zarn-filen til læsning\n");
    }
}

TEST_F(Installed, EveryManualPageRendersWithoutAWarning) {
    const bool groff = haveCommand("groff"), man = haveCommand("man");
    if (!groff && !man) GTEST_SKIP() << "neither groff nor man is installed";
    TempDir scratch;
    // Each program's page in section 1, the library's in section 3, which
    // shares its name with the program zarn, and Ogg Zarn's in section 5.
    std::vector<std::pair<std::string, std::string>> all;
    for (const std::string& name : pages()) all.emplace_back(name, "share/man/man1/" + name + ".1");
    all.emplace_back("zarn", "share/man/man3/zarn.3");
    if (ZARN_INSTALLS_OGG_PAGE) all.emplace_back("zarn-ogg", "share/man/man5/zarn-ogg.5");
    for (const auto& [name, relative] : all) {
        SCOPED_TRACE(relative);
        const std::string page = path(relative);
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
