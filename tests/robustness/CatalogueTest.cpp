// A catalogue of malformed inputs and awkward names, run through the built
// programs. Whatever a conversion is handed, it either finishes its output or
// ends with one of the system's own messages and exit status 1, within a
// bounded time; where the formats decide the outcome, it is checked exactly.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <vector>

#include "common/Types.h"
#include "encoder/StoredComponents.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "stream/ZarnWriter.h"
#include "tests/robustness/Robustness.h"

namespace zarn::test {
namespace {

const BoundedProgram& zarnconv() {
    static const BoundedProgram program(ZARNCONV_PATH, 300);
    return program;
}

const BoundedProgram& zarnbasic() {
    static const BoundedProgram program(ZARNBASIC_PATH, 300);
    return program;
}

bool startsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether `text` ends with one of the message lines a conversion may end
// with on that stream; on standard error the message is all there is.
bool endsWithKnownFailure(const std::string& text, bool onStderr) {
    if (!endsWith(text, "\n")) return false;
    const std::size_t start = onStderr ? 0 : text.rfind('\n', text.size() - 2) + 1;
    const std::string line = text.substr(start);
    if (onStderr) {
        return line == kZarnUnreadable || line == kZarnUnwritable || line == kZarnTooSmall ||
               startsWith(line, "Fejl ved skrivning til ");
    }
    return line == kNotWave ||
           (startsWith(line, "Det er ikke muligt at aabne ") &&
            (endsWith(line, " til laesning!\n") || endsWith(line, " til skrivning!\n"))) ||
           (startsWith(line, "Header tag 0xFFF mangler (fejl: ") && endsWith(line, ")\n"));
}

// How a run must end: `frames` > 0 is a success whose WAVE output holds 256
// samples per frame; otherwise the failure `message` on its stream. Random
// inputs settle for any clean end.
struct Outcome {
    std::size_t frames = 0;
    std::string message;
    bool onStderr = false;
    bool anyCleanEnd = false;
};

Outcome converts(std::size_t frames) { return {frames, "", false, false}; }
Outcome failsOnStdout(const std::string& message) { return {0, message, false, false}; }
Outcome failsOnStderr(const std::string& message) { return {0, message, true, false}; }
Outcome anyCleanEnd() { return {0, "", false, true}; }

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// `conversions` is how many the script starts; `wave` the final WAVE output,
// or empty when it is a device.
void expectOutcome(const RunResult& result, const Outcome& expected, int conversions,
                   const std::string& wave) {
    ASSERT_NE(result.exitStatus, 124) << "timed out";
    if (expected.anyCleanEnd ? result.exitStatus == 0 : expected.frames > 0) {
        ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(countOf(result.out, kDone), static_cast<std::size_t>(conversions));
        if (wave.empty()) return;
        const Bytes output = readFile(wave);
        ASSERT_GE(output.size(), 44u + 512u);
        const std::size_t samples = (output.size() - 44) / 2;
        EXPECT_EQ(output.size() % 512, 44u);
        if (!expected.anyCleanEnd) {
            EXPECT_EQ(samples, 256 * expected.frames);
        }
        EXPECT_TRUE(prefix(output, 44) == finishedHeader(samples));
        return;
    }
    EXPECT_EQ(result.exitStatus, 1) << result.out << result.err;
    EXPECT_EQ(result.out.find(kDone), std::string::npos) << "success announced";
    if (expected.anyCleanEnd) {
        const bool onStderr = !result.err.empty();
        EXPECT_TRUE(endsWithKnownFailure(onStderr ? result.err : result.out, onStderr)) << result.out << result.err;
    } else if (expected.onStderr) {
        EXPECT_EQ(result.err, expected.message);
        EXPECT_TRUE(endsWith(result.out, "startes\n\n")) << result.out;
    } else {
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(endsWith(result.out, "\n" + expected.message)) << result.out;
    }
}

void expectDecode(const BoundedProgram& program, const Bytes& zarn, const Outcome& expected) {
    TempDir dir;
    writeFile(dir.file("in.zarn"), zarn);
    expectOutcome(program.run(dir, "2\nin.zarn\nout.wav\n5\n"), expected, 1, dir.file("out.wav"));
}

// Encodes, then decodes what was written (entry 3): the frame count shows in
// the decoded length. Returns the Zarn file.
Bytes expectRoundTrip(const BoundedProgram& program, const Bytes& wave, const Outcome& expected) {
    TempDir dir;
    writeFile(dir.file("in.wav"), wave);
    expectOutcome(program.run(dir, "3\nin.wav\nmid.zarn\nout.wav\n5\n"), expected, 2, dir.file("out.wav"));
    return readFile(dir.file("mid.zarn"));
}

Bytes randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// One frame per started hop of 256 samples, and at least one.
std::size_t framesFor(std::uint64_t samples) { return samples <= 256 ? 1 : (samples + 255) / 256; }

// What encoding `wave` must give: only its size and its bits per sample count.
Outcome encodeOutcome(const Bytes& wave) {
    if (wave.size() < 45) return failsOnStdout(kNotWave);
    const unsigned bits = wave[34] | (wave[35] << 8);
    if (bits == 0) return failsOnStdout(kNotWave);
    return converts(framesFor((wave.size() - 44) * 8 / bits));
}

// What decoding `zarn` must give as far as its size and first tag decide.
Outcome decodeOutcome(const Bytes& zarn) {
    if (zarn.size() < 27) return failsOnStderr(kZarnTooSmall);
    const unsigned tag = ((zarn[1] << 8) | zarn[0]) >> 4;
    return tag == 0xFFF ? anyCleanEnd() : failsOnStdout(badTag(tag));
}

// A 16-bit mono file of 1000 samples of music: four frames.
Bytes plainWave() { return makeWaveFile(makeMusicSignal(1000, 3)); }

TEST(Catalogue, WaveInputs) {
    const Bytes plain = plainWave();
    struct Case {
        std::string what;
        Bytes wave;
        bool unusedChange = false;  // the header changed only where the reader does not look
    };
    std::vector<Case> cases;
    for (std::size_t n = 0; n <= 45; ++n) cases.push_back({"its first " + std::to_string(n) + " bytes", prefix(plain, n)});
    const struct {
        const char* name;
        std::size_t offset, width;
    } fields[] = {{"RIFF", 0, 4},        {"RIFF size", 4, 4},  {"WAVE", 8, 4},           {"fmt", 12, 4},
                  {"fmt size", 16, 4},   {"format tag", 20, 2}, {"channels", 22, 2},     {"rate", 24, 4},
                  {"byte rate", 28, 4},  {"block align", 32, 2}, {"bits per sample", 34, 2}, {"data", 36, 4},
                  {"data size", 40, 4}};
    for (const auto& field : fields) {
        for (const std::uint32_t value : {0u, 0xFFFFFFFFu}) {
            cases.push_back({std::string(field.name) + (value ? " at its maximum" : " at 0"),
                             withField(plain, field.offset, field.width, value), field.offset != 34});
        }
    }
    for (const std::uint32_t bits : {1, 7, 8, 24, 32, 64}) {
        cases.push_back({std::to_string(bits) + " bits per sample", withField(plain, 34, 2, bits)});
    }
    cases.push_back({"stereo", withField(withField(withField(plain, 22, 2, 2), 28, 4, 176400), 32, 2, 4), true});
    for (const std::size_t length : {45, 46, 47, 99, 300, 1001, 4096, 20000}) {
        cases.push_back({std::to_string(length) + " random bytes", randomBytes(length, length)});
    }

    const Bytes plainZarn = expectRoundTrip(zarnconv(), plain, converts(4));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes zarn = expectRoundTrip(zarnconv(), c.wave, encodeOutcome(c.wave));
        if (c.unusedChange) {
            EXPECT_TRUE(zarn == plainZarn);
        }
    }
}

// Frames written by the system's own writer with every band's allocation and
// scale at one value and every coefficient at one value.
Bytes uniformFrames(const std::vector<std::array<int, 3>>& frames) {
    TempDir dir;
    const std::string path = dir.file("frames.zarn");
    {
        ZarnWriter writer(path.c_str());
        for (const auto& [bits, exponent, value] : frames) {
            EncodedFrame frame;
            frame.allocation.fill(static_cast<std::uint8_t>(bits));
            frame.scale.fill(static_cast<std::uint8_t>(exponent));
            SpectrumPart coefficients;
            coefficients.fill(value);
            storeComponents(coefficients.data(), coefficients.data(), frame);
            std::uint8_t bytes[kMaxFrameBytes];
            writer.write(bytes, packFrame(frame, bytes));
        }
    }
    return readFile(path);
}

TEST(Catalogue, ZarnInputs) {
    struct Case {
        std::string what;
        Bytes zarn;
        Outcome outcome;
    };
    std::vector<Case> cases;
    for (std::size_t length : {0, 1, 2, 13, 26, 27, 28, 29, 100, 1052, 5000, 65536}) {
        const Bytes zarn = randomBytes(length, 7 * length + 1);
        cases.push_back({std::to_string(length) + " random bytes", zarn, decodeOutcome(zarn)});
    }
    // A tag, then random allocations, scales, coefficients and whatever follows.
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        for (std::size_t length : {27, 28, 300, 1052, 4000}) {
            Bytes zarn = randomBytes(length, seed * 1000 + length);
            zarn[0] |= 0xF0;
            zarn[1] = 0xFF;
            cases.push_back({"a tag and " + std::to_string(length - 2) + " random bytes", zarn, anyCleanEnd()});
        }
    }
    const Bytes silent = uniformFrames({{0, 15, 0}});
    ASSERT_EQ(silent.size(), 28u);
    cases.push_back({"a silent frame", silent, converts(1)});
    cases.push_back({"a silent frame and 26 zero bytes", concat({silent, Bytes(26, 0)}), converts(1)});
    cases.push_back({"a silent frame and 27 zero bytes", concat({silent, Bytes(27, 0)}), failsOnStdout(badTag(0))});
    // Tag, allocations and scales all ones, then coefficients of −1: frames of 1052 bytes.
    cases.push_back({"a tag and 1050 bytes FF", Bytes(1052, 0xFF), converts(1)});
    cases.push_back({"a tag and 3000 bytes FF", Bytes(3002, 0xFF), converts(2)});
    cases.push_back({"the tag only, then zeros", concat({{0xF0, 0xFF}, Bytes(1100, 0)}), failsOnStdout(badTag(0))});
    // Allocation and scale at 0, 1 and 15 under full-scale coefficients: the
    // decoder must saturate where the sums leave the 16-bit range.
    cases.push_back({"header fields at 0 and at their maximum",
                     uniformFrames({{0, 0, 0}, {15, 0, 32767}, {15, 0, -32768}, {15, 15, 32767},
                                    {1, 0, -32768}, {1, 15, 16384}, {0, 15, 0}}),
                     converts(7)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectDecode(zarnconv(), c.zarn, c.outcome);
    }
}

// A stream of two frames, encoded by `program` from 512 samples of music,
// and the length of its first frame.
struct TwoFrames {
    Bytes zarn;
    std::size_t firstFrame;
};

TwoFrames encodeTwoFrames(const BoundedProgram& program) {
    const std::vector<std::int16_t> music = makeMusicSignal(512, 9);
    TempDir dir;
    writeFile(dir.file("one.wav"), makeWaveFile({music.begin(), music.begin() + 256}));
    writeFile(dir.file("two.wav"), makeWaveFile(music));
    const RunResult result = program.run(dir, "1\none.wav\none.zarn\n1\ntwo.wav\ntwo.zarn\n5\n");
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    const Bytes one = readFile(dir.file("one.zarn")), two = readFile(dir.file("two.zarn"));
    // The first frame sees only the first 256 samples, so both files begin with it.
    EXPECT_TRUE(one.size() < two.size() && prefix(two, one.size()) == one);
    return {two, one.size()};
}

// Decodes every one of `zarns` in one run of `program`, which must finish
// them all; returns the outputs.
std::vector<Bytes> decodeAll(const BoundedProgram& program, const std::vector<Bytes>& zarns) {
    TempDir dir;
    std::string script;
    for (std::size_t i = 0; i < zarns.size(); ++i) {
        const std::string name = std::to_string(i);
        writeFile(dir.file(name + ".zarn"), zarns[i]);
        script += "2\n" + name + ".zarn\n" + name + ".wav\n";
    }
    const RunResult result = program.run(dir, script + "5\n");
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(countOf(result.out, kDone), zarns.size()) << "stopped after the last of these";
    std::vector<Bytes> outputs;
    for (std::size_t i = 0; i < zarns.size(); ++i) outputs.push_back(readFile(dir.file(std::to_string(i) + ".wav")));
    return outputs;
}

// Cut anywhere, `stream` decodes to its whole frames; before the first one
// is whole that is 256 zero samples, and below 27 bytes the file is refused.
void expectCuts(const TwoFrames& stream, const BoundedProgram& decoder, const std::vector<std::size_t>& cuts) {
    const Bytes oneFrame = decodeAll(decoder, {prefix(stream.zarn, stream.firstFrame)})[0];
    const Bytes noFrame = concat({finishedHeader(256), Bytes(512, 0)});
    std::vector<Bytes> zarns;
    std::vector<std::size_t> decodable;
    for (const std::size_t cut : cuts) {
        if (cut < 27) {
            SCOPED_TRACE("cut at " + std::to_string(cut));
            expectDecode(decoder, prefix(stream.zarn, cut), failsOnStderr(kZarnTooSmall));
        } else if (cut < stream.zarn.size()) {
            zarns.push_back(prefix(stream.zarn, cut));
            decodable.push_back(cut);
        }
    }
    const std::vector<Bytes> outputs = decodeAll(decoder, zarns);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::size_t cut = decodable[i];
        EXPECT_TRUE(outputs[i] == (cut < stream.firstFrame ? noFrame : oneFrame)) << "cut at " << cut;
    }
}

// Frames of both programs: zarnconv's are shorter than the largest possible
// frame, zarnbasic's are exactly that long, so the reader meets the end of
// the file both with and without a whole frame's bytes at hand.
TEST(Catalogue, StreamCutAtEveryByte) {
    for (const BoundedProgram* encoder : {&zarnconv(), &zarnbasic()}) {
        const TwoFrames stream = encodeTwoFrames(*encoder);
        ASSERT_FALSE(HasFailure());
        std::vector<std::size_t> cuts(stream.zarn.size());
        for (std::size_t cut = 0; cut < cuts.size(); ++cut) cuts[cut] = cut;
        expectCuts(stream, zarnconv(), cuts);
    }
}

// Fewer bytes after the last frame than a frame header are ignored; more must
// begin with a tag.
TEST(Catalogue, TrailingBytes) {
    const TwoFrames stream = encodeTwoFrames(zarnconv());
    std::vector<Bytes> zarns = {stream.zarn};
    for (std::size_t count = 1; count <= 26; ++count) {
        zarns.push_back(concat({stream.zarn, randomBytes(count, static_cast<std::uint32_t>(count))}));
    }
    // Frames cut short: a silent one at 27 bytes, one of 1052 at 1000.
    zarns.push_back(concat({stream.zarn, {0xF0, 0xFF}, Bytes(25, 0)}));
    zarns.push_back(concat({stream.zarn, Bytes(1000, 0xFF)}));
    const std::vector<Bytes> outputs = decodeAll(zarnconv(), zarns);
    for (std::size_t i = 1; i < outputs.size(); ++i) EXPECT_TRUE(outputs[i] == outputs[0]) << "case " << i;

    for (const std::size_t count : {27, 28, 1000}) {
        SCOPED_TRACE(std::to_string(count) + " zero bytes after the last frame");
        expectDecode(zarnconv(), concat({stream.zarn, Bytes(count, 0)}), failsOnStdout(badTag(0)));
    }
}

// Names that reach no regular file: no size to count samples by, so they are
// refused as unopenable, and none may block (a FIFO) or read for ever
// (/dev/zero). Devices as outputs take what is written, or refuse it; names
// no file can have are refused either way.
TEST(Catalogue, NamesThatAreNotFiles) {
    TempDir dir;
    writeFile(dir.file("in.wav"), plainWave());
    writeFile(dir.file("in.zarn"), uniformFrames({{15, 3, 1000}}));
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);
    struct Case {
        std::string script;
        Outcome outcome;
    };
    std::vector<Case> cases;
    const std::string tooLong(5000, 'n');
    for (const std::string& name : {std::string("."), std::string("/"), std::string("folder"), std::string("pipe"),
                                     std::string("/dev/null"), std::string("/dev/zero"), std::string("in.wav/"),
                                     std::string("in.zarn/"), tooLong}) {
        cases.push_back({"1\n" + name + "\nout.zarn\n", failsOnStdout(waveUnopenable(name, "laesning"))});
        cases.push_back({"2\n" + name + "\nout.wav\n", failsOnStderr(kZarnUnreadable)});
    }
    for (const std::string& name : {std::string("folder"), std::string(""), tooLong}) {
        cases.push_back({"1\nin.wav\n" + name + "\n", failsOnStderr(kZarnUnwritable)});
        cases.push_back({"2\nin.zarn\n" + name + "\n", failsOnStdout(waveUnopenable(name, "skrivning"))});
    }
    for (const std::string device : {"/dev/null", "/dev/zero"}) {
        cases.push_back({"1\nin.wav\n" + device + "\n", converts(4)});
        cases.push_back({"2\nin.zarn\n" + device + "\n", converts(1)});
    }
    cases.push_back({"1\nin.wav\n/dev/full\n", failsOnStderr(writeFailed("/dev/full"))});
    cases.push_back({"2\nin.zarn\n/dev/full\n", failsOnStderr(writeFailed("/dev/full"))});
    cases.push_back({"3\nin.wav\n/dev/full\nout.wav\n", failsOnStderr(writeFailed("/dev/full"))});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        expectOutcome(zarnconv().run(dir, c.script + "5\n"), c.outcome, 1, "");
    }
}

// The reduced program shares the readers and the pipeline templates; a few
// short cases show that its own steps take the same inputs.
TEST(Catalogue, ReducedProgram) {
    const Bytes wave = withField(plainWave(), 34, 2, 32);
    expectRoundTrip(zarnbasic(), wave, encodeOutcome(wave));
    expectRoundTrip(zarnbasic(), randomBytes(300, 3), encodeOutcome(randomBytes(300, 3)));
    Bytes tagged = randomBytes(1100, 4);
    tagged[0] |= 0xF0;
    tagged[1] = 0xFF;
    expectDecode(zarnbasic(), tagged, anyCleanEnd());
    expectDecode(zarnbasic(), uniformFrames({{15, 0, 32767}, {1, 0, -32768}}), converts(2));
    expectCuts(encodeTwoFrames(zarnbasic()), zarnbasic(), {26, 27, 212, 1051, 1052, 1078, 1079, 2103});
}

}  // namespace
}  // namespace zarn::test
