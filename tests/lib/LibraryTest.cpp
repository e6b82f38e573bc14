// libzarn through its C interface alone: the programs' bytes and samples,
// streaming cut anywhere, damage reported after every sample before it,
// misuse as codes (calls back from an output function, or its exceptions, too),
// threads, small stacks, what the shared library exports and what the static
// one holds.

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lib/zarn.h"
#include "tests/lib/Collectors.h"
#include "tests/lib/KindsFromC.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

using Samples = std::vector<std::int16_t>;

// `samples` encoded by a `kind` encoder fed `piece` samples a call.
Bytes encode(zarn_encoder_kind kind, const Samples& samples, std::size_t piece) {
    Bytes out;
    int error = 1;
    zarn_encoder* encoder = zarn_encoder_create(kind, collectBytes, &out, &error);
    EXPECT_EQ(error, ZARN_OK);
    for (std::size_t at = 0; at < samples.size(); at += piece) {
        EXPECT_EQ(zarn_encoder_write(encoder, samples.data() + at, std::min(piece, samples.size() - at)), ZARN_OK);
    }
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    return out;
}

// What a decoder fed `piece` bytes a call gave, and how it ended.
struct Decoded {
    Samples samples;
    int writeStatus = ZARN_OK;   // the first failure of a write, if any
    int finishStatus = ZARN_OK;  // finish, when no write failed
    std::uint64_t position = 0;
};

Decoded decode(const Bytes& stream, std::size_t piece) {
    Decoded result;
    zarn_decoder* decoder = zarn_decoder_create(collectSamples, &result.samples, nullptr);
    for (std::size_t at = 0; at < stream.size() && result.writeStatus == ZARN_OK; at += piece) {
        result.writeStatus = zarn_decoder_write(decoder, stream.data() + at, std::min(piece, stream.size() - at));
    }
    if (result.writeStatus == ZARN_OK) result.finishStatus = zarn_decoder_finish(decoder);
    result.position = zarn_decoder_position(decoder);
    zarn_decoder_destroy(decoder);
    return result;
}

// The offsets at which the stream's frames start, read with the frame call.
std::vector<std::size_t> frameStarts(const Bytes& stream) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < stream.size();) {
        zarn_frame_info info;
        EXPECT_EQ(zarn_frame_read_info(stream.data() + at, stream.size() - at, &info), ZARN_OK);
        starts.push_back(at);
        at += info.bytes;
    }
    return starts;
}

Samples wavSamples(const Bytes& wave) {
    Samples samples((wave.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(wave[44 + 2 * i] | wave[45 + 2 * i] << 8);
    }
    return samples;
}

// Runs a menu conversion, entry 1 or 2, of `program` in `dir`.
void convert(const char* program, const TempDir& dir, const char* entry, const char* from, const char* to) {
    const RunResult run =
        runProgram(program, dir.path(), std::string(entry) + "\n" + from + "\n" + to + "\n5\n");
    ASSERT_EQ(run.exitStatus, 0) << program << run.out << run.err;
}

TEST(Library, EncodesAsTheProgramsDoAndDecodesToTheirSamples) {
    // A length that is no multiple of a hop nor of a batch of eight.
    const Samples music = makeMusicSignal(9 * 2048 + 300, 4);
    TempDir dir;
    writeFile(dir.file("in.wav"), makeWaveFile(music));
    convert(ZARNCONV_PATH, dir, "1", "in.wav", "full.zarn");
    convert(ZARNBASIC_PATH, dir, "1", "in.wav", "basic.zarn");
    const Bytes full = encode(ZARN_ENCODER_FULL, music, music.size());
    const Bytes basic = encode(ZARN_ENCODER_REDUCED, music, music.size());
    ASSERT_TRUE(full == readFile(dir.file("full.zarn")));
    ASSERT_TRUE(basic == readFile(dir.file("basic.zarn")));

    for (const char* name : {"full", "basic"}) {
        SCOPED_TRACE(name);
        const Decoded decoded = decode(readFile(dir.file(std::string(name) + ".zarn")), 4096);
        EXPECT_EQ(decoded.finishStatus, ZARN_OK);
        const std::string zarn = std::string(name) + ".zarn";
        convert(ZARNCONV_PATH, dir, "2", zarn.c_str(), "byconv.wav");
        convert(ZARNBASIC_PATH, dir, "2", zarn.c_str(), "bybasic.wav");
        EXPECT_TRUE(decoded.samples == wavSamples(readFile(dir.file("byconv.wav"))));
        EXPECT_TRUE(decoded.samples == wavSamples(readFile(dir.file("bybasic.wav"))));
    }
    // No samples at all still make one frame, and it decodes to one hop.
    const Bytes empty = encode(ZARN_ENCODER_FULL, {}, 1);
    EXPECT_EQ(frameStarts(empty).size(), 1u);
    EXPECT_EQ(decode(empty, 1).samples, Samples(256, 0));
}

TEST(Library, PiecesOfAnySizeGiveTheSameBytesAndSamples) {
    const Samples music = makeMusicSignal(20 * 256 + 17, 9);
    for (const zarn_encoder_kind kind : {ZARN_ENCODER_FULL, ZARN_ENCODER_REDUCED}) {
        const Bytes whole = encode(kind, music, music.size());
        for (const std::size_t piece : {1, 2, 255, 256, 257, 2047, 2048, 2049, 5000}) {
            ASSERT_TRUE(encode(kind, music, piece) == whole) << "kind " << kind << ", " << piece << " a call";
        }
        const Decoded expected = decode(whole, whole.size());
        ASSERT_EQ(expected.samples.size(), 21u * 256);
        // Every size from one byte to past the largest frame, and then odd ones.
        for (std::size_t piece = 1; piece <= 1100; piece += piece < 64 ? 1 : 13) {
            const Decoded decoded = decode(whole, piece);
            ASSERT_EQ(decoded.finishStatus, ZARN_OK) << piece;
            ASSERT_TRUE(decoded.samples == expected.samples) << "kind " << kind << ", " << piece << " bytes a call";
        }
        // A frame at a time, as the frame call cuts them.
        Decoded byFrame;
        zarn_decoder* decoder = zarn_decoder_create(collectSamples, &byFrame.samples, nullptr);
        const std::vector<std::size_t> starts = frameStarts(whole);
        EXPECT_EQ(starts.size(), 21u);
        for (std::size_t f = 0; f < starts.size(); ++f) {
            const std::size_t end = f + 1 < starts.size() ? starts[f + 1] : whole.size();
            ASSERT_EQ(zarn_decoder_write(decoder, whole.data() + starts[f], end - starts[f]), ZARN_OK);
            EXPECT_EQ(byFrame.samples.size(), f * 256) << "a frame finishes the hop before it";
        }
        EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_OK);
        zarn_decoder_destroy(decoder);
        EXPECT_TRUE(byFrame.samples == expected.samples);
    }
}

TEST(Library, DamageIsReportedAfterEverySampleBeforeIt) {
    const Bytes stream = encode(ZARN_ENCODER_FULL, makeMusicSignal(12 * 256, 2), 4096);
    const std::vector<std::size_t> starts = frameStarts(stream);
    const Samples clean = decode(stream, stream.size()).samples;
    for (const std::size_t damaged : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
        Bytes bad = stream;
        bad[starts[damaged] + 1] ^= 0x80;  // the tag's top bit
        // A cut stream keeps what came before the cut frame and gets the last hop.
        const Bytes cut = prefix(stream, starts[damaged] + 40);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{100}, stream.size()}) {
            SCOPED_TRACE(testing::Message() << "frame " << damaged << ", " << piece << " bytes a call");
            const Decoded tagless = decode(bad, piece);
            EXPECT_EQ(tagless.writeStatus, ZARN_ERROR_BAD_TAG);
            EXPECT_EQ(tagless.position, starts[damaged]);
            const std::size_t before = damaged > 0 ? (damaged - 1) * 256 : 0;
            ASSERT_EQ(tagless.samples.size(), before);
            EXPECT_TRUE(std::equal(tagless.samples.begin(), tagless.samples.end(), clean.begin()));

            const Decoded truncated = decode(cut, piece);
            EXPECT_EQ(truncated.writeStatus, ZARN_OK);
            EXPECT_EQ(truncated.finishStatus, ZARN_ERROR_TRUNCATED);
            EXPECT_EQ(truncated.position, starts[damaged]);
            ASSERT_EQ(truncated.samples.size(), before + 256);
            EXPECT_TRUE(std::equal(truncated.samples.begin(), truncated.samples.begin() + before, clean.begin()));
        }
    }
    // Fewer bytes than a header, tag or not, are an unfinished frame.
    for (const Bytes& tail : {Bytes{0xAB}, Bytes(26, 0x00)}) {
        const Decoded decoded = decode(concat({stream, tail}), 64);
        EXPECT_EQ(decoded.finishStatus, ZARN_ERROR_TRUNCATED);
        EXPECT_EQ(decoded.position, stream.size());
        EXPECT_TRUE(decoded.samples == clean);
    }
}

int refuse(void*, const std::uint8_t*, std::size_t) { return -1; }

TEST(Library, ReportsMisuseAndFailuresAsCodes) {
    int error = ZARN_OK;
    EXPECT_EQ(zarn_encoder_create(ZARN_ENCODER_FULL, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_encoder_create(7, collectBytes, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);
    // From C, where any int may come; each refused with the code.
    int errors[ZARN_TEST_UNKNOWN_KINDS];
    EXPECT_EQ(create_unknown_kinds_from_c(errors), 0u);
    for (const int code : errors) EXPECT_EQ(code, ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_decoder_create(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(zarn_encoder_write(nullptr, nullptr, 0), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_decoder_finish(nullptr), ZARN_ERROR_ARGUMENT);
    zarn_encoder_destroy(nullptr);
    zarn_decoder_destroy(nullptr);

    // An output that refuses fails the call that fed it (a frame goes once a
    // sample after it has come), and the encoder stays failed.
    zarn_encoder* encoder = zarn_encoder_create(ZARN_ENCODER_FULL, refuse, nullptr, &error);
    const Samples hop(256, 100);
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), hop.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), 1), ZARN_ERROR_OUTPUT);
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), hop.size()), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_ERROR_FAILED);
    int cause = ZARN_OK;
    EXPECT_EQ(zarn_encoder_state(encoder, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_OUTPUT) << "the first cause, not the refusals after it";
    zarn_encoder_destroy(encoder);

    Bytes out;
    encoder = zarn_encoder_create(ZARN_ENCODER_REDUCED, collectBytes, &out, nullptr);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, 128), ZARN_ERROR_ARGUMENT) << "only the bit-rate kind has one";
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), hop.size()), ZARN_ERROR_FINISHED);
    EXPECT_EQ(zarn_encoder_state(encoder, &cause), ZARN_STATE_FINISHED);
    EXPECT_EQ(cause, ZARN_OK);
    zarn_encoder_destroy(encoder);

    // A bit rate within range, and only before the first sample.
    Bytes ignored;
    encoder = zarn_encoder_create(ZARN_ENCODER_BITRATE, collectBytes, &ignored, nullptr);
    EXPECT_EQ(zarn_encoder_set_bitrate(nullptr, 128), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, ZARN_BITRATE_MIN - 1), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, ZARN_BITRATE_MAX + 1), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, ZARN_BITRATE_MAX), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), 0), ZARN_OK);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, ZARN_BITRATE_MIN), ZARN_OK) << "no sample has come yet";
    EXPECT_EQ(zarn_encoder_write(encoder, hop.data(), hop.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, 128), ZARN_ERROR_STATE);
    zarn_encoder_destroy(encoder);

    Samples samples;
    zarn_decoder* decoder = zarn_decoder_create(collectSamples, &samples, nullptr);
    EXPECT_EQ(zarn_decoder_state(decoder, &cause), ZARN_STATE_OPEN);
    EXPECT_EQ(zarn_decoder_write(decoder, Bytes(30, 0).data(), 30), ZARN_ERROR_BAD_TAG);
    EXPECT_EQ(zarn_decoder_write(decoder, out.data(), out.size()), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_decoder_state(decoder, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_BAD_TAG);
    EXPECT_EQ(zarn_decoder_state(nullptr, &cause), ZARN_ERROR_ARGUMENT);
    zarn_decoder_destroy(decoder);

    for (const int code : std::initializer_list<int>{ZARN_OK, ZARN_ERROR_ARGUMENT, ZARN_ERROR_MEMORY, ZARN_ERROR_BAD_TAG,
                                                     ZARN_ERROR_TRUNCATED, ZARN_ERROR_OUTPUT, ZARN_ERROR_STATE, -99}) {
        EXPECT_GT(std::string(zarn_strerror(code)).size(), 0u);
    }
    // Every code has a text of its own.
    const std::string unknown = zarn_strerror(-99);
    for (int code = ZARN_ERROR_ARGUMENT; code >= ZARN_ERROR_BAD_COMMENT; --code) {
        EXPECT_NE(zarn_strerror(code), unknown) << code;
        for (int other = ZARN_ERROR_ARGUMENT; other > code; --other) {
            EXPECT_STRNE(zarn_strerror(code), zarn_strerror(other)) << code << " and " << other;
        }
    }
    EXPECT_EQ(std::string(zarn_version()), std::to_string(ZARN_VERSION_MAJOR) + "." +
                                                std::to_string(ZARN_VERSION_MINOR) + "." +
                                                std::to_string(ZARN_VERSION_PATCH));
}

// Output functions of a C++ caller that throw, as such a caller's may.
int throwOnBytes(void*, const std::uint8_t*, std::size_t) { throw std::runtime_error("the disk is gone"); }
int throwOnSamples(void*, const std::int16_t*, std::size_t) { throw std::bad_alloc(); }

TEST(Library, AnExceptionFromAnOutputFunctionStaysInsideAndFailsTheCall) {
    // However far through a stream it comes, it fails the call as a refusal
    // does, and the object stays failed.
    const Samples music = makeMusicSignal(3 * 32 * 256, 4);
    for (const zarn_encoder_kind kind : {ZARN_ENCODER_FULL, ZARN_ENCODER_REDUCED, ZARN_ENCODER_BITRATE}) {
        SCOPED_TRACE(kind);
        zarn_encoder* encoder = zarn_encoder_create(kind, throwOnBytes, nullptr, nullptr);
        EXPECT_EQ(zarn_encoder_write(encoder, music.data(), music.size()), ZARN_ERROR_OUTPUT);
        EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_ERROR_FAILED);
        zarn_encoder_destroy(encoder);
        encoder = zarn_encoder_create(kind, throwOnBytes, nullptr, nullptr);
        EXPECT_EQ(zarn_encoder_write(encoder, music.data(), 100), ZARN_OK);
        EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_ERROR_OUTPUT);
        zarn_encoder_destroy(encoder);
    }

    const Bytes stream = encode(ZARN_ENCODER_FULL, Samples(3 * 256, 500), 256);
    zarn_decoder* decoder = zarn_decoder_create(throwOnSamples, nullptr, nullptr);
    EXPECT_EQ(zarn_decoder_write(decoder, stream.data(), stream.size()), ZARN_ERROR_OUTPUT);
    EXPECT_EQ(zarn_decoder_write(decoder, stream.data(), stream.size()), ZARN_ERROR_FAILED);
    zarn_decoder_destroy(decoder);
    decoder = zarn_decoder_create(throwOnSamples, nullptr, nullptr);
    EXPECT_EQ(zarn_decoder_write(decoder, stream.data(), ZARN_MIN_FRAME_BYTES - 1), ZARN_OK);
    EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_ERROR_OUTPUT);
    zarn_decoder_destroy(decoder);
}

// An output function that calls back into the object feeding it: each call
// it makes is counted with its outcome, and what it is given is kept.
template <class Object>
struct CallingBack {
    Object* object = nullptr;
    Bytes bytes;
    Samples samples;
    std::vector<int> outcomes;
};

int writeAndCallBack(void* to, const std::uint8_t* bytes, std::size_t size) {
    auto& back = *static_cast<CallingBack<zarn_encoder>*>(to);
    back.bytes.insert(back.bytes.end(), bytes, bytes + size);
    const Samples hop(256, 1000);
    back.outcomes.push_back(zarn_encoder_write(back.object, hop.data(), hop.size()));
    back.outcomes.push_back(zarn_encoder_finish(back.object));
    return 0;
}

int takeAndCallBack(void* to, const std::int16_t* samples, std::size_t count) {
    auto& back = *static_cast<CallingBack<zarn_decoder>*>(to);
    back.samples.insert(back.samples.end(), samples, samples + count);
    const Bytes frame(ZARN_MAX_FRAME_BYTES, 0xFF);
    back.outcomes.push_back(zarn_decoder_write(back.object, frame.data(), frame.size()));
    back.outcomes.push_back(zarn_decoder_finish(back.object));
    return 0;
}

// Whether the output function called back at all, and every call was refused
// as busy.
template <class Object>
void expectAllRefused(const CallingBack<Object>& back) {
    EXPECT_FALSE(back.outcomes.empty());
    EXPECT_EQ(std::count(back.outcomes.begin(), back.outcomes.end(), ZARN_ERROR_BUSY),
              static_cast<std::ptrdiff_t>(back.outcomes.size()));
}

TEST(Library, CallsFromInsideItsOwnOutputFunctionAreRefused) {
    // Whichever buffer the library is handing over, a call back into the
    // same object would refill it, or end the stream under the outer call.
    const Samples music = makeMusicSignal(40 * 256 + 17, 6);
    for (const zarn_encoder_kind kind : {ZARN_ENCODER_FULL, ZARN_ENCODER_REDUCED, ZARN_ENCODER_BITRATE}) {
        SCOPED_TRACE(kind);
        CallingBack<zarn_encoder> back;
        back.object = zarn_encoder_create(kind, writeAndCallBack, &back, nullptr);
        EXPECT_EQ(zarn_encoder_write(back.object, music.data(), music.size()), ZARN_OK);
        EXPECT_EQ(zarn_encoder_finish(back.object), ZARN_OK);
        zarn_encoder_destroy(back.object);
        expectAllRefused(back);
        EXPECT_TRUE(back.bytes == encode(kind, music, music.size()));
    }

    const Bytes stream = encode(ZARN_ENCODER_FULL, music, music.size());
    CallingBack<zarn_decoder> back;
    back.object = zarn_decoder_create(takeAndCallBack, &back, nullptr);
    EXPECT_EQ(zarn_decoder_write(back.object, stream.data(), stream.size()), ZARN_OK);
    EXPECT_EQ(zarn_decoder_finish(back.object), ZARN_OK);
    zarn_decoder_destroy(back.object);
    expectAllRefused(back);
    EXPECT_TRUE(back.samples == decode(stream, stream.size()).samples);
}

TEST(Library, EncodersInSeparateThreadsGiveTheBytesOfOne) {
    const Samples music = makeMusicSignal(40 * 256, 5);
    // The first objects of a process build the codec's tables: both at once here.
    Bytes fromThread[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&fromThread, &music, t] {
            fromThread[t] = encode(t % 2 ? ZARN_ENCODER_REDUCED : ZARN_ENCODER_FULL, music, 1000 + 7 * t);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(fromThread[0] == encode(ZARN_ENCODER_FULL, music, music.size()));
    EXPECT_TRUE(fromThread[1] == encode(ZARN_ENCODER_REDUCED, music, music.size()));
    EXPECT_TRUE(fromThread[2] == fromThread[0]);
    EXPECT_TRUE(fromThread[3] == fromThread[1]);
}

// A caller's threads may have small stacks: 128 KiB is some C libraries'
// default. Encoding and decoding there take the bytes and samples they take
// anywhere else, and do not overflow it.
TEST(Library, WorksOnAThreadWithA128KiBStack) {
    struct Job {
        Samples music = makeMusicSignal(100 * 256, 5);
        Bytes full, reduced;
        Decoded decoded;
    } job;
    const auto run = [](void* argument) -> void* {
        Job& job = *static_cast<Job*>(argument);
        job.full = encode(ZARN_ENCODER_FULL, job.music, 3000);
        job.reduced = encode(ZARN_ENCODER_REDUCED, job.music, 3000);
        job.decoded = decode(job.reduced, 3000);
        return nullptr;
    };
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 128 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &job), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
    EXPECT_TRUE(job.full == encode(ZARN_ENCODER_FULL, job.music, job.music.size()));
    EXPECT_TRUE(job.reduced == encode(ZARN_ENCODER_REDUCED, job.music, job.music.size()));
    EXPECT_TRUE(job.decoded.samples == decode(job.reduced, job.reduced.size()).samples);
    EXPECT_EQ(job.decoded.finishStatus, ZARN_OK);
}

TEST(Library, TheSharedLibraryExportsOnlyItsOwnFunctions) {
    if (!haveCommand(ZARN_TEST_NM)) GTEST_SKIP() << ZARN_TEST_NM " is not available";
    FILE* pipe = popen((shellWord(ZARN_TEST_NM) + " -D --defined-only " + shellWord(ZARN_SHARED_LIBRARY)).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string name(line);
        name = name.substr(name.find_last_of(' ') + 1);
        name = name.substr(0, name.find_first_of("@\n"));
        exported.push_back(name);
    }
    pclose(pipe);
    EXPECT_GE(exported.size(), 13u);
    for (const std::string& name : exported) {
        EXPECT_TRUE(name.rfind("zarn_", 0) == 0 || name == "ZARN_1") << name;
    }
}

TEST(Library, TheStaticLibraryHoldsItsOwnFailureAndNothingThatEndsTheProcess) {
    // Made of the codec's folder libraries: the programs' fail(), which ends
    // the process, must not come with them beside the library's own.
    if (!haveCommand(ZARN_TEST_NM)) GTEST_SKIP() << ZARN_TEST_NM " is not available";
    FILE* pipe = popen((shellWord(ZARN_TEST_NM) + " -C " + shellWord(ZARN_STATIC_LIBRARY)).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int failures = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const std::string symbol(line);
        if (symbol.find(" T zarn::fail(") != std::string::npos) ++failures;
        for (const char* ending : {" U exit\n", " U _exit\n", " U _Exit\n"})
            EXPECT_EQ(symbol.find(ending), std::string::npos) << symbol;
    }
    pclose(pipe);
    EXPECT_EQ(failures, 1);
}

}  // namespace
}  // namespace zarn::test
