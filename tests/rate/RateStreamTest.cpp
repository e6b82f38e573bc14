// The rate encoder's streams as the library writes them: the same bytes on
// every machine, and the same bytes whatever pieces the samples come in.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "lib/zarn.h"
#include "tests/lib/Collectors.h"
#include "tests/support/FileBytes.h"

namespace zarn::test {
namespace {

using Samples = std::vector<std::int16_t>;

// A few seconds of tones and noise made with plain arithmetic alone (no
// sine or exponential of the C library, whose last bits may differ between
// machines), so that every machine encodes the very same samples: four
// tones turned by fixed rotations, in notes that decay, over noise from a
// xorshift generator; a second of near silence, then a louder passage that
// clips.
Samples mixture(std::size_t count) {
    struct Tone {
        double cos, sin, amplitude;
    };
    // cos and sin of 2π f / 44100 for 220, 1234.5, 7040 and 12003 Hz.
    const Tone tones[] = {{0.9995087954669746, 0.03133955622145082, 5000.0},
                          {0.9845718145979442, 0.17498097582111988, 2500.0},
                          {0.5377501425839678, 0.8431042546155975, 900.0},
                          {-0.13889091672951884, 0.9903076861511446, 300.0}};
    double re[4] = {1.0, 1.0, 1.0, 1.0}, im[4] = {};
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    double envelope = 0.0;
    Samples samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 22050 == 0) envelope = 1.0;  // a note every half second
        envelope *= 0.99993;
        double value = 0.0;
        for (std::size_t t = 0; t < 4; ++t) {
            const double r = re[t] * tones[t].cos - im[t] * tones[t].sin;
            im[t] = re[t] * tones[t].sin + im[t] * tones[t].cos;
            re[t] = r;
            value += tones[t].amplitude * im[t];
        }
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        const double noise = static_cast<double>(static_cast<std::int64_t>(state) >> 40) / 8388608.0;  // −1 .. 1
        value = envelope * value + 400.0 * noise;
        const double seconds = static_cast<double>(i) / ZARN_SAMPLE_RATE;
        if (seconds >= 2.0 && seconds < 3.0) value *= 0.001;
        if (seconds >= 3.5) value *= 3.0;
        value = std::clamp(value, -32768.0, 32767.0);
        samples[i] = static_cast<std::int16_t>(value < 0 ? value - 0.5 : value + 0.5);  // to nearest, halves away
    }
    return samples;
}

// `samples` encoded at `kbitPerSecond`, written in pieces whose sizes
// `nextSize` gives (any size it likes, the last piece cut short).
template <class Sizes>
Bytes encodeInPieces(int kbitPerSecond, const Samples& samples, Sizes nextSize) {
    Bytes out;
    int error = 1;
    zarn_encoder* encoder = zarn_encoder_create(ZARN_ENCODER_BITRATE, collectBytes, &out, &error);
    EXPECT_EQ(error, ZARN_OK);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, kbitPerSecond), ZARN_OK);
    for (std::size_t at = 0; at < samples.size();) {
        const std::size_t size = std::min<std::size_t>(nextSize(), samples.size() - at);
        EXPECT_EQ(zarn_encoder_write(encoder, samples.data() + at, size), ZARN_OK);
        at += size;
    }
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    return out;
}

Bytes encodeWhole(int kbitPerSecond, const Samples& samples) {
    return encodeInPieces(kbitPerSecond, samples, [&] { return samples.size(); });
}

std::uint64_t fnv1a(const Bytes& bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
    return hash;
}

// The bytes of five seconds at four rates, pinned on every machine the
// build is tested on (x86-64, and aarch64, s390x and i686 under an
// emulator; every vector path writes the same bytes as the portable one,
// which rate_encoder_test holds). The encoder's tables come from the C library's
// cos, tan, pow and atan, whose last bit could differ between machines; a
// changed hash here is a changed stream, and must be explained.
TEST(RateStreamGolden, TheBytesAtFourRatesAreTheSameOnEveryMachine) {
    struct Pinned {
        int kbitPerSecond;
        std::size_t size;
        std::uint64_t hash;
    };
    const Pinned pinned[] = {
        {64, 40036, 0x4EEB9446725F8773ull},
        {128, 80084, 0xCFD7945C4EAC168Cull},
        {192, 120072, 0x916AD88BA79134C5ull},
        {320, 200128, 0xA7706B3294423E23ull},
    };
    const Samples input = mixture(5 * ZARN_SAMPLE_RATE);
    for (const Pinned& p : pinned) {
        const Bytes stream = encodeWhole(p.kbitPerSecond, input);
        EXPECT_EQ(stream.size(), p.size) << p.kbitPerSecond << " kbit/s";
        EXPECT_EQ(fnv1a(stream), p.hash) << p.kbitPerSecond << " kbit/s: 0x" << std::hex << fnv1a(stream);
    }
}

// The encoder holds a hop back until it knows whether the stream ends there,
// so pieces must not change where a stream ends or what a batch holds:
// every size from one sample up to a few hundred, sizes either side of a hop
// and of a batch of hops, and random sizes, give the bytes of the samples
// written whole. The stream ends in a part of a hop.
TEST(RateStreamPieces, AnyPiecesGiveTheBytesOfTheWholeStream) {
    const Samples input = mixture(ZARN_SAMPLE_RATE * 3 / 2 + 77);
    const Bytes whole = encodeWhole(128, input);
    std::vector<std::size_t> sizes;
    for (std::size_t size = 1; size <= 40; ++size) sizes.push_back(size);
    for (const std::size_t size : {63u, 100u, 127u, 128u, 129u, 255u, 256u, 257u, 300u, 511u, 512u, 513u, 1000u,
                                   4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 12289u, 30000u})
        sizes.push_back(size);
    for (const std::size_t size : sizes) {
        const Bytes pieces = encodeInPieces(128, input, [&] { return size; });
        ASSERT_TRUE(pieces == whole) << "pieces of " << size << " samples";
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    for (const int rate : {64, 128, 192, 320}) {
        const Bytes at = rate == 128 ? whole : encodeWhole(rate, input);
        for (const std::size_t most : {8u, 600u, 10000u}) {
            std::uniform_int_distribution<std::size_t> size(0, most);
            const Bytes pieces = encodeInPieces(rate, input, [&] { return size(random); });
            ASSERT_TRUE(pieces == at) << rate << " kbit/s, random pieces of up to " << most << " samples";
        }
    }
}

}  // namespace
}  // namespace zarn::test
