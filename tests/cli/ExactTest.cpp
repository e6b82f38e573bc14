// Where zarn must write exactly what the menu programs write: 16-bit mono
// 44.1 kHz samples in any container or through any pipe are encoded as they
// are, and decoded WAVE files are zarnconv's.

#include <sndfile.h>

#include "tests/cli/CliTestSupport.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

const std::vector<std::int16_t>& samples() {
    static const std::vector<std::int16_t> signal = makeMusicSignal(44100 + 77, 21);
    return signal;
}

// The menu program's output for the samples as a plain 44-byte-header WAVE.
Bytes menuOutput(const char* program, char entry, const Bytes& input) {
    TempDir dir;
    writeFile(dir.file("in"), input);
    menuConvert(program, dir, entry, "in", "out");
    return readFile(dir.file("out"));
}

const Bytes& zarnconvEncoding() {
    static const Bytes bytes = menuOutput(ZARNCONV_PATH, '1', makeWaveFile(samples()));
    return bytes;
}

void appendLittle32(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void storeTag(Bytes& bytes, const char* tag, std::uint32_t size) {
    bytes.insert(bytes.end(), tag, tag + 4);
    appendLittle32(bytes, size);
}

// A WAVE as editors write them: a LIST chunk of odd size (with its pad byte)
// before the format, a fact chunk before the data, an id3 chunk after it.
Bytes waveWithChunks() {
    const Bytes plain = makeWaveFile(samples());
    const Bytes format(plain.begin() + 12, plain.begin() + 36);
    const Bytes data(plain.begin() + 44, plain.end());
    Bytes body;
    storeTag(body, "LIST", 5);
    body.insert(body.end(), {'I', 'N', 'F', 'O', 'x', 0});
    body.insert(body.end(), format.begin(), format.end());
    storeTag(body, "fact", 4);
    appendLittle32(body, static_cast<std::uint32_t>(samples().size()));
    storeTag(body, "data", static_cast<std::uint32_t>(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    storeTag(body, "id3 ", 4);
    body.insert(body.end(), {'T', 'A', 'G', 0});
    Bytes file;
    storeTag(file, "RIFF", static_cast<std::uint32_t>(body.size() + 4));
    file.insert(file.end(), {'W', 'A', 'V', 'E'});
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// As a program writing to a pipe leaves it: both sizes 0xFFFFFFFF.
Bytes waveOfUnknownSize() {
    Bytes file = makeWaveFile(samples());
    for (std::size_t at : {4u, 40u})
        for (std::size_t i = 0; i < 4; ++i) file[at + i] = 0xFF;
    return file;
}

// Encoding 16-bit mono 44.1 kHz input is zarnconv's and zarnbasic's byte for byte.
TEST(Exact, PlainWaveGivesTheMenuProgramsBytes) {
    TempDir dir;
    writeFile(dir.file("in.wav"), makeWaveFile(samples()));
    ASSERT_EQ(runZarn(dir, "--full in.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "--basic in.wav -o basic.zarn").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "--basic --full in.wav -o full.zarn").exitStatus, 0);
    EXPECT_TRUE(readFile(dir.file("in.zarn")) == zarnconvEncoding());
    EXPECT_TRUE(readFile(dir.file("full.zarn")) == zarnconvEncoding());
    EXPECT_TRUE(readFile(dir.file("basic.zarn")) == menuOutput(ZARNBASIC_PATH, '1', makeWaveFile(samples())));
}

TEST(Exact, EveryContainerOfTheSameSamplesGivesTheSameBytes) {
    struct Container {
        const char* name;
        int format;  // 0: the bytes are written by hand, above
    };
    for (const Container& container :
         {Container{"chunks.wav", 0}, {"unknown.wav", 0}, {"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
          {"in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}, {"in.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
          {"in.wavex", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16}}) {
        const std::string name = container.name;
        SCOPED_TRACE(name);
        TempDir dir;
        if (container.format != 0) {
            writeSound(dir.file(name), container.format, 1, 44100, asDoubles(samples()));
        } else {
            writeFile(dir.file(name), name == "chunks.wav" ? waveWithChunks() : waveOfUnknownSize());
        }
        const RunResult byName = runZarn(dir, "--full " + name + " -o out.zarn");
        EXPECT_EQ(byName.exitStatus, 0) << byName.err;
        EXPECT_TRUE(readFile(dir.file("out.zarn")) == zarnconvEncoding());
        // Standard input is a pipe here: libsndfile must read WAVE without seeking.
        if (name.find(".wav") == std::string::npos) continue;
        const RunResult piped =
            runCommand("(cat " + name + " | " + zarnCommand() + " --full - > piped.zarn)", dir.path(), "");
        EXPECT_EQ(piped.exitStatus, 0) << piped.err;
        EXPECT_TRUE(readFile(dir.file("piped.zarn")) == zarnconvEncoding());
    }
}

// Decoding writes zarnconv's WAVE, to a file or to standard output
// redirected to one (which can be rewritten, so its sizes are filled in).
TEST(Exact, DecodingGivesZarnconvsWave) {
    TempDir dir;
    writeFile(dir.file("in.zarn"), zarnconvEncoding());
    const Bytes expected = menuOutput(ZARNCONV_PATH, '2', zarnconvEncoding());
    ASSERT_EQ(runZarn(dir, "-d in.zarn").exitStatus, 0);
    EXPECT_TRUE(readFile(dir.file("in.wav")) == expected);
    ASSERT_EQ(runCommand("(" + zarnCommand() + " -d -o - in.zarn > redirected.wav)", dir.path(), "").exitStatus, 0);
    EXPECT_TRUE(readFile(dir.file("redirected.wav")) == expected);
    // FLAC and AIFF by the output's name, with the same samples.
    for (const char* name : {"out.flac", "OUT.AIFF"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(runZarn(dir, std::string("-d in.zarn -o ") + name).exitStatus, 0);
        const std::vector<std::int16_t> samples = readSamples(dir.file(name));
        writeFile(dir.file("again.wav"), makeWaveFile(samples));
        EXPECT_TRUE(readFile(dir.file("again.wav")) == expected);
    }
}

// Through pipes both ways, the WAVE on the pipe has sizes that say
// "unknown", and ordinary readers still take every sample.
TEST(Pipes, BothWaysWithAWaveOthersRead) {
    TempDir dir;
    writeFile(dir.file("in.wav"), makeWaveFile(samples()));
    const Bytes decoded = menuOutput(ZARNCONV_PATH, '2', zarnconvEncoding());
    const RunResult piped = runCommand(
        "(cat in.wav | " + zarnCommand() + " --full - | " + zarnCommand() + " -d - -o - | cat > out.wav)", dir.path(),
        "");
    ASSERT_EQ(piped.err.find("zarn:"), std::string::npos) << piped.err;
    const Bytes out = readFile(dir.file("out.wav"));
    ASSERT_EQ(out.size(), decoded.size());
    EXPECT_TRUE(Bytes(out.begin() + 44, out.end()) == Bytes(decoded.begin() + 44, decoded.end()));
    for (std::size_t at : {4u, 40u}) {
        EXPECT_EQ(Bytes(out.begin() + at, out.begin() + at + 4), Bytes(4, 0xFF)) << "size field at byte " << at;
    }
    const std::size_t count = (decoded.size() - 44) / 2;
    const RunResult python = runCommand(
        "python3 -c \"import wave; w = wave.open('out.wav'); "
        "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), len(w.readframes(1 << 30)) // 2)\"",
        dir.path(), "");
    ASSERT_EQ(python.exitStatus, 0) << python.err;
    EXPECT_EQ(python.out, "1 2 44100 " + std::to_string(count) + "\n");
    if (runCommand("command -v sox", dir.path(), "").exitStatus != 0) GTEST_SKIP() << "sox is not installed";
    const RunResult sox = runCommand("sox out.wav -t raw raw.pcm", dir.path(), "");
    ASSERT_EQ(sox.exitStatus, 0) << sox.err;
    EXPECT_TRUE(readFile(dir.file("raw.pcm")) == Bytes(decoded.begin() + 44, decoded.end()));
}

}  // namespace
}  // namespace zarn::test
