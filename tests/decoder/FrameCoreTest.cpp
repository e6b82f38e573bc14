// The per-frame cores in memory against the programs run through their
// menus: zarninfo, the benchmarks and the fuzz targets use the cores alone,
// so they must give exactly the programs' bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/VectorDispatch.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "reduced/ReducedAnalysis.h"
#include "reduced/ReducedSynthesis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "stream/FrameReader.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"
#include "wave/WaveReader.h"

namespace zarn::test {
namespace {

template <class Analysis>
Bytes encodeInMemory(const Bytes& wave) {
    WaveReader reader(wave.data(), wave.size());
    FrameEncoder<Analysis> core;
    std::array<Sample, kHop> hop{};
    EncodedFrame frame;
    Bytes zarn;
    std::uint8_t bytes[kMaxFrameBytes];
    for (std::uint64_t f = 0; f < FrameEncoder<Analysis>::frameCount(reader.sampleCount()); ++f) {
        reader.readSamples(hop.data(), kHop);
        core.encode(hop.data(), frame);
        zarn.insert(zarn.end(), bytes, bytes + packFrame(frame, bytes));
    }
    return zarn;
}

// The samples as the WAVE writer stores them, low byte first.
template <class Synthesis>
Bytes decodeInMemory(const Bytes& zarn) {
    FrameReader reader(zarn.data(), zarn.size());
    FrameDecoder<Synthesis> core;
    EncodedFrame frame;
    std::array<Sample, kHop> hop{};
    Bytes data;
    const auto append = [&] {
        for (const Sample s : hop) {
            data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) & 0xFF));
            data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        }
    };
    while (reader.readFrames(&frame, 1)) {
        if (core.decode(frame, hop.data())) append();
    }
    core.finish(hop.data());
    append();
    return data;
}

template <class Analysis, class Synthesis>
void expectTheProgramsBytes(const char* program) {
    const struct {
        const char* what;
        std::vector<Sample> samples;
    } signals[] = {
        {"one sample", {1234}},
        {"one hop", makeMusicSignal(256, 3)},
        {"a batch of hops", makeMusicSignal(8 * 256, 4)},
        {"a batch and one sample", makeMusicSignal(8 * 256 + 1, 5)},
        {"music", makeMusicSignal(3000, 9)},
        {"full-scale square", [] {
             std::vector<Sample> s(1500);
             for (std::size_t i = 0; i < s.size(); ++i) s[i] = (i / 40) % 2 ? 32767 : -32768;
             return s;
         }()},
    };
    for (const auto& signal : signals) {
        SCOPED_TRACE(std::string(program) + ", " + signal.what);
        TempDir dir;
        const Bytes wave = makeWaveFile(signal.samples);
        writeFile(dir.file("in.wav"), wave);
        const RunResult run = runProgram(program, dir.path(), "1\nin.wav\nout.zarn\n2\nout.zarn\nout.wav\n5\n");
        ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
        const Bytes zarn = readFile(dir.file("out.zarn"));
        EXPECT_TRUE(encodeInMemory<Analysis>(wave) == zarn);
        const Bytes decoded = readFile(dir.file("out.wav"));
        ASSERT_GT(decoded.size(), 44u);
        EXPECT_TRUE(decodeInMemory<Synthesis>(zarn) == Bytes(decoded.begin() + 44, decoded.end()));
        // A frame per hop begun, and a hop of samples per frame.
        const std::size_t frames = (signal.samples.size() + kHop - 1) / kHop;
        EXPECT_EQ(decoded.size(), 44 + 2 * kHop * frames);
    }
}

TEST(FrameCores, GiveZarnconvsBytes) { expectTheProgramsBytes<FullAnalysis, FullSynthesis>(ZARNCONV_PATH); }

TEST(FrameCores, GiveZarnbasicsBytes) { expectTheProgramsBytes<ReducedAnalysis, ReducedSynthesis>(ZARNBASIC_PATH); }

// However a stream is cut into batches, on every vector path, each frame and
// each hop comes out as one frame at a time gives it: batches of every size,
// a last partial one, and (for decoding) empty ones between them. Watched
// frames come out the same too.
template <class Analysis, class Synthesis>
void expectBatchesToMatchSingleFrames() {
    constexpr std::size_t kFrames = 41;
    std::vector<Sample> samples = makeMusicSignal(kFrames * kHop, 6);
    for (std::size_t i = 20 * kHop; i < 22 * kHop; ++i) samples[i] = (i / 3) % 2 ? 32767 : -32768;
    std::fill(samples.begin() + 30 * kHop, samples.begin() + 33 * kHop, 0);

    // An onlooker that asks for everything, the unwindowed Block included.
    struct Onlooker {
        void framed(const double*) { ++stages; }
        void windowed(const double*) { ++stages; }
        void spectrum(EncoderStage, const double*, const double*) { ++stages; }
        void spectrum(const double*, const double*) { ++stages; }
        void transformedBack(const double*) { ++stages; }
        int stages = 0;
    };

    std::vector<EncodedFrame> expectFrames(kFrames);
    std::vector<Sample> expectHops;
    {
        FrameEncoder<Analysis> encoder, watchedEncoder;
        FrameDecoder<Synthesis> decoder, watchedDecoder;
        Onlooker onlooker;
        std::array<Sample, kHop> hop{}, watchedHop{};
        for (std::size_t f = 0; f < kFrames; ++f) {
            encoder.encode(samples.data() + f * kHop, expectFrames[f]);
            EncodedFrame watched;
            watchedEncoder.encode(samples.data() + f * kHop, watched, onlooker);
            ASSERT_TRUE(watched == expectFrames[f]) << "watched frame " << f;
            const bool output = decoder.decode(expectFrames[f], hop.data());
            EXPECT_EQ(watchedDecoder.decode(expectFrames[f], watchedHop.data(), onlooker), output);
            if (output) {
                ASSERT_TRUE(watchedHop == hop) << "watched hop " << f;
                expectHops.insert(expectHops.end(), hop.begin(), hop.end());
            }
        }
        decoder.finish(hop.data());
        expectHops.insert(expectHops.end(), hop.begin(), hop.end());
        EXPECT_GT(onlooker.stages, 0);
    }

    constexpr std::size_t kBatch = FrameEncoder<Analysis>::kBatch;
    static_assert(FrameDecoder<Synthesis>::kBatch == kBatch, "both directions batch alike");
    std::mt19937 random(11);
    for (const VectorPath path : kVectorPaths) {
        if (!useVectorPath(path)) continue;
        for (int split = 0; split < 4; ++split) {
            SCOPED_TRACE(std::string(vectorPathName(path)) + ", split " + std::to_string(split));
            // Split 0 takes whole batches; the others random sizes, 0 included.
            const auto nextSize = [&](std::size_t left, std::size_t least) {
                const std::size_t size = split == 0 ? kBatch : least + random() % (kBatch + 1 - least);
                return std::min(size, left);
            };
            FrameEncoder<Analysis> encoder;
            std::vector<EncodedFrame> frames(kFrames);
            for (std::size_t done = 0; done < kFrames;) {
                const std::size_t count = nextSize(kFrames - done, 1);
                encoder.encodeBatch(samples.data() + done * kHop, count, frames.data() + done);
                done += count;
            }
            for (std::size_t f = 0; f < kFrames; ++f) ASSERT_TRUE(frames[f] == expectFrames[f]) << "frame " << f;

            FrameDecoder<Synthesis> decoder;
            std::vector<Sample> hops(kBatch * kHop);
            std::vector<Sample> decoded;
            for (std::size_t done = 0; done < kFrames;) {
                const std::size_t count = nextSize(kFrames - done, 0);
                const std::size_t finished = decoder.decodeBatch(frames.data() + done, count, hops.data());
                EXPECT_EQ(finished, done == 0 && count > 0 ? count - 1 : count);
                decoded.insert(decoded.end(), hops.begin(), hops.begin() + finished * kHop);
                done += count;
            }
            decoder.finish(hops.data());
            decoded.insert(decoded.end(), hops.begin(), hops.begin() + kHop);
            EXPECT_TRUE(decoded == expectHops);
        }
    }
    useVectorPath(widestVectorPath());
}

TEST(FrameCores, ZarnconvBatchesMatchSingleFrames) { expectBatchesToMatchSingleFrames<FullAnalysis, FullSynthesis>(); }

TEST(FrameCores, ZarnbasicBatchesMatchSingleFrames) {
    expectBatchesToMatchSingleFrames<ReducedAnalysis, ReducedSynthesis>();
}

}  // namespace
}  // namespace zarn::test
