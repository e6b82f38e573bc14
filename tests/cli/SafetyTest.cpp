// What zarn does when things go wrong: no partial output and no harm to an
// existing file, one line naming the file and the cause, the other files
// still converted, and the exit status saying which kind of failure it was.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/cli/CliTestSupport.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

class Safety : public ::testing::Test {
protected:
    void SetUp() override { writeFile(dir_.file("good.wav"), makeWaveFile(makeMusicSignal(5000, 4))); }

    TempDir dir_;
};

TEST_F(Safety, AnExistingOutputIsKeptUnlessForced) {
    writeFile(dir_.file("good.zarn"), Bytes{1, 2, 3});
    const RunResult refused = runZarn(dir_, "--raw good.wav");
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "zarn: good.zarn: already exists (-f overwrites)\n");
    EXPECT_TRUE(readFile(dir_.file("good.zarn")) == (Bytes{1, 2, 3}));
    EXPECT_EQ(runZarn(dir_, "--raw -f good.wav").exitStatus, 0);
    EXPECT_GT(readFile(dir_.file("good.zarn")).size(), 3u);
    EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"good.wav", "good.zarn"}));
}

TEST_F(Safety, TheInputIsNeverItsOwnOutput) {
    ASSERT_EQ(link(dir_.file("good.wav").c_str(), dir_.file("same.zarn").c_str()), 0);
    ASSERT_EQ(link(dir_.file("good.wav").c_str(), dir_.file("same").c_str()), 0);
    const Bytes before = readFile(dir_.file("good.wav"));
    // Standard output too may be the input, opened by the shell for
    // appending or for reading and writing. (A name that says WAVE is no
    // encode's output anyway.)
    for (const char* call : {"-f same -o same", "-f good.wav -o same.zarn", "-f - -o same <good.wav",
                             "good.wav -o - >>good.wav", "good.wav -o - 1<>good.wav"}) {
        SCOPED_TRACE(call);
        const RunResult result = runCommand("(" + zarnCommand() + " " + call + ")", dir_.path(), "");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find("the output file is the same as the input file"), std::string::npos) << result.err;
        EXPECT_TRUE(readFile(dir_.file("good.wav")) == before);
    }
}

// A damaged input, a full disk: the line names the file that failed and
// why, and the output folder holds no trace of the attempt.
TEST_F(Safety, AFailedConversionLeavesNothing) {
    ASSERT_EQ(runZarn(dir_, "--raw good.wav").exitStatus, 0);
    const Bytes good = readFile(dir_.file("good.zarn"));
    const std::string end = std::to_string(good.size());
    // Zeros where the next frame's tag should be; then the first 20 bytes of
    // a frame and no more.
    Bytes damaged = good, cut = good;
    damaged.insert(damaged.end(), 40, 0);
    cut.insert(cut.end(), good.begin(), good.begin() + 20);
    writeFile(dir_.file("damaged.zarn"), damaged);
    writeFile(dir_.file("cut.zarn"), cut);

    const RunResult decoded = runZarn(dir_, "-d damaged.zarn");
    EXPECT_EQ(decoded.exitStatus, 1);
    EXPECT_EQ(decoded.err, "zarn: damaged.zarn: damaged frame at byte " + end + "\n");
    const RunResult tested = runZarn(dir_, "-t good.zarn damaged.zarn cut.zarn");
    EXPECT_EQ(tested.exitStatus, 1);
    EXPECT_EQ(tested.err, "good.zarn: ok, 0.12 s\n"
                          "zarn: damaged.zarn: damaged frame at byte " + end + "\n"
                          "zarn: cut.zarn: the file ends in the middle of a frame at byte " + end + "\n");
    const RunResult decodedCut = runZarn(dir_, "-d cut.zarn");
    EXPECT_EQ(decodedCut.exitStatus, 1);

    for (const char* call : {"good.wav -o /dev/full", "-d good.zarn -o /dev/full"}) {
        SCOPED_TRACE(call);
        const RunResult full = runZarn(dir_, call);
        EXPECT_EQ(full.exitStatus, 1);
        EXPECT_EQ(full.err, "zarn: /dev/full: the disk is full\n");
    }
    // Past the file-size limit: a failed write like the others, where the
    // limit's signal would have ended zarn with its temporary file left.
    const RunResult limited =
        runCommand("ulimit -f 1 && " + zarnCommand() + " --basic good.wav -o big.zarn", dir_.path(), "");
    EXPECT_EQ(limited.exitStatus, 1);
    EXPECT_EQ(limited.err.rfind("zarn: big.zarn: ", 0), 0u) << limited.err;
    EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"cut.zarn", "damaged.zarn", "good.wav", "good.zarn"}));
}

// Output that is not a plain new file still ends up whole: standard output
// opened for appending, where nothing can be rewritten, gets a WAVE of
// unknown size, as a pipe does; a link keeps pointing to the file it names,
// which gets the output; and a name as long as a name may be has room for
// its temporary name.
TEST_F(Safety, OutputReachedInOtherWaysIsWhole) {
    ASSERT_EQ(runZarn(dir_, "--raw good.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir_, "-d good.zarn -o plain.wav").exitStatus, 0);
    const std::vector<std::int16_t> decoded = readSamples(dir_.file("plain.wav"));

    ASSERT_EQ(runCommand("(" + zarnCommand() + " -d good.zarn -o - >>appended.wav)", dir_.path(), "").exitStatus, 0);
    EXPECT_TRUE(readSamples(dir_.file("appended.wav")) == decoded);

    writeFile(dir_.file("real.wav"), Bytes{1, 2, 3});
    ASSERT_EQ(symlink("real.wav", dir_.file("link.wav").c_str()), 0);
    ASSERT_EQ(runZarn(dir_, "-f -d good.zarn -o link.wav").exitStatus, 0);
    struct stat link;
    ASSERT_EQ(lstat(dir_.file("link.wav").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_TRUE(readSamples(dir_.file("real.wav")) == decoded);

    const std::string longest(250, 'a');  // with ".zarn", 255 bytes
    writeFile(dir_.file(longest + ".wav"), readFile(dir_.file("good.wav")));
    EXPECT_EQ(runZarn(dir_, "--raw " + longest + ".wav").exitStatus, 0);
    EXPECT_TRUE(readFile(dir_.file(longest + ".zarn")) == readFile(dir_.file("good.zarn")));
}

// zarn converting its standard input to out.zarn, stopped midway: it has
// read a header and a little sound, made its temporary file, and waits for
// the rest on a pipe that `feed` keeps open.
struct HalfwayZarn {
    pid_t child = -1;
    int feed = -1;
    Bytes rest;  // what the input still lacks
};

HalfwayZarn startHalfway(const TempDir& dir, const std::string& output = "out.zarn") {
    HalfwayZarn zarn;
    int toZarn[2];
    if (pipe(toZarn) != 0) return zarn;
    const std::string command = "cd " + shellWord(dir.path()) + " && exec " + zarnCommand() + " - -o " + output;
    zarn.child = fork();
    if (zarn.child == 0) {
        dup2(toZarn[0], STDIN_FILENO);
        close(toZarn[0]);
        close(toZarn[1]);
        signal(SIGINT, SIG_DFL);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toZarn[0]);
    zarn.feed = toZarn[1];
    const Bytes wave = makeWaveFile(makeMusicSignal(20000, 6));
    const Bytes start(wave.begin(), wave.begin() + 20000);
    zarn.rest.assign(wave.begin() + 20000, wave.end());
    EXPECT_EQ(write(zarn.feed, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    bool started = false;
    for (int wait = 0; wait < 2000 && !started; ++wait) {
        for (const std::string& name : filesIn(dir)) started = started || name.rfind("." + output, 0) == 0;
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(started) << "no temporary file appeared";
    return zarn;
}

// Interrupted while its input is still coming, zarn removes its temporary
// file and ends by the signal, as if it had none of its own.
TEST_F(Safety, AnInterruptLeavesNothing) {
    for (const char* output : {"out.zarn", "out.oza"}) {
        SCOPED_TRACE(output);
        const HalfwayZarn zarn = startHalfway(dir_, output);
        ASSERT_GT(zarn.child, 0);
        kill(zarn.child, SIGINT);
        int status = 0;
        waitpid(zarn.child, &status, 0);
        close(zarn.feed);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
        EXPECT_EQ(filesIn(dir_), std::vector<std::string>{"good.wav"});
    }
}

// Ogg Zarn's pages meet a full disk and the file-size limit as the bare
// stream does: one line, and no file left.
TEST_F(Safety, OggZarnLeavesNothingOnAFullDisk) {
    const RunResult full = runZarn(dir_, "good.wav -o /dev/full");
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_EQ(full.err, "zarn: /dev/full: the disk is full\n");
    const RunResult limited = runCommand("ulimit -f 1 && " + zarnCommand() + " good.wav -o big.oza", dir_.path(), "");
    EXPECT_EQ(limited.exitStatus, 1);
    EXPECT_EQ(limited.err.rfind("zarn: big.oza: ", 0), 0u) << limited.err;
    ASSERT_EQ(runZarn(dir_, "good.wav -o small.oza").exitStatus, 0);
    const RunResult decodeLimited =
        runCommand("ulimit -f 1 && " + zarnCommand() + " -d small.oza -o big.flac", dir_.path(), "");
    EXPECT_EQ(decodeLimited.exitStatus, 1);
    EXPECT_EQ(decodeLimited.err.rfind("zarn: big.flac: ", 0), 0u) << decodeLimited.err;
    EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"good.wav", "small.oza"}));
}

// A file that another program makes under the output's name while zarn
// writes is not replaced without -f; one replaced with -f keeps its
// permissions.
TEST_F(Safety, AFileMadeMeanwhileIsKept) {
    const HalfwayZarn zarn = startHalfway(dir_);
    ASSERT_GT(zarn.child, 0);
    writeFile(dir_.file("out.zarn"), Bytes{1, 2, 3});
    EXPECT_EQ(write(zarn.feed, zarn.rest.data(), zarn.rest.size()), static_cast<ssize_t>(zarn.rest.size()));
    close(zarn.feed);
    int status = 0;
    waitpid(zarn.child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_TRUE(readFile(dir_.file("out.zarn")) == (Bytes{1, 2, 3}));
    EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"good.wav", "out.zarn"}));

    ASSERT_EQ(chmod(dir_.file("out.zarn").c_str(), 0604), 0);
    ASSERT_EQ(runZarn(dir_, "-f good.wav -o out.zarn").exitStatus, 0);
    struct stat replaced;
    ASSERT_EQ(stat(dir_.file("out.zarn").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0604u);
    EXPECT_GT(replaced.st_size, 3);
}

// With several files, one that fails stops none of the others, and the
// status tells that one failed.
TEST_F(Safety, ABadFileAmongGoodOnes) {
    writeFile(dir_.file("text.txt"), Bytes{'h', 'e', 'j', '\n'});
    writeFile(dir_.file("other.wav"), makeWaveFile(makeMusicSignal(3000, 8)));
    const RunResult result = runZarn(dir_, "--raw good.wav text.txt missing.wav other.wav");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("zarn: text.txt: is not a sound file that libsndfile knows\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("zarn: missing.wav: does not exist\n"), std::string::npos) << result.err;
    EXPECT_EQ(filesIn(dir_),
              (std::vector<std::string>{"good.wav", "good.zarn", "other.wav", "other.zarn", "text.txt"}));
    const RunResult quiet = runZarn(dir_, "--raw -q -f good.wav other.wav");
    EXPECT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(Safety, AWrongCallChangesNothing) {
    // Which calls are wrong is the command line's own test; here, what a
    // wrong call does.
    for (const char* call : {"", "--bogus good.wav", "good.wav other.wav -o out.zarn"}) {
        SCOPED_TRACE(call);
        const RunResult result = runZarn(dir_, call);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_NE(result.err.find("\nUsage: zarn [OPTION]... FILE...\n"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(filesIn(dir_), std::vector<std::string>{"good.wav"});
    const RunResult help = runZarn(dir_, "--help");
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("Usage: zarn", 0), 0u);
    EXPECT_EQ(runZarn(dir_, "--version").exitStatus, 0);
}

}  // namespace
}  // namespace zarn::test
