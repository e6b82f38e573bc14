// Sound to Ogg Zarn with the joint encoder: exact lengths at every channel
// count, what silence costs, the rate held over the sound alone, and mono
// packets that are the bare encoder's frames.

#include "container/OggZarnEncoder.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "container/OggZarnDecoder.h"
#include "rate/RateEncoder.h"
#include "tests/container/OggTestSupport.h"
#include "tests/rate/Snr.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

using Samples = std::vector<Sample>;
using Status = OggZarnEncoder::Status;

// `channels` of music, each of its own, interleaved.
Samples interleavedMusic(std::size_t samples, unsigned channels) {
    Samples out(samples * channels);
    for (unsigned c = 0; c < channels; ++c) {
        const Samples music = makeMusicSignal(samples, 3 + c);
        for (std::size_t i = 0; i < samples; ++i) out[i * channels + c] = music[i];
    }
    return out;
}

OggFile encode(const Samples& interleaved, unsigned channels, unsigned kbitPerSecond, std::size_t piece = 1000) {
    OggFile file;
    OggZarnEncoder::Settings settings;
    settings.channels = channels;
    settings.kbitPerSecond = kbitPerSecond;
    EXPECT_TRUE(OggZarnEncoder::valid(settings));
    const auto encoder = std::make_unique<OggZarnEncoder>(settings, keepPage, &file);
    const Bytes comments = commentsOf({});
    EXPECT_EQ(encoder->begin(comments.data(), comments.size()), Status::ok);
    const std::size_t frames = interleaved.size() / channels;
    for (std::size_t at = 0; at < frames; at += piece) {
        const std::size_t take = std::min(piece, frames - at);
        EXPECT_EQ(encoder->write(interleaved.data() + at * channels, take), Status::ok);
    }
    EXPECT_EQ(encoder->finish(), Status::ok);
    EXPECT_EQ(encoder->samples(), frames);
    return file;
}

struct Decoded {
    Samples samples;
    std::uint64_t length = ~0ull;
    bool damaged = false;
};

Decoded decode(const Bytes& bytes) {
    Decoded out;
    const auto decoder = std::make_unique<OggZarnDecoder>();
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    using Result = OggZarnDecoder::Result;
    bool more = true;  // the bytes may hold results yet: finish() only once they gave needMore
    for (Result result = decoder->next(at, left);; result = more ? decoder->next(at, left) : decoder->finish()) {
        if (result == Result::needMore) more = false;
        if (result == Result::samples)
            out.samples.insert(out.samples.end(), decoder->samples(),
                               decoder->samples() + decoder->frames() * decoder->channels());
        if (result == Result::linkEnd) out.length = decoder->length();
        if (result == Result::damaged || result == Result::failed) out.damaged = true;
        if (result == Result::end || result == Result::failed) break;
    }
    return out;
}

Samples channel(const Samples& interleaved, unsigned channels, unsigned c) {
    Samples out;
    for (std::size_t i = c; i < interleaved.size(); i += channels) out.push_back(interleaved[i]);
    return out;
}

std::size_t audioBytes(const OggFile& file) {
    return file.bytes.size() - file.pageStarts[2];  // after the two header pages
}

TEST(OggEncoder, EveryLengthAndChannelCountComesBackExactlyAndSounds) {
    for (const unsigned channels : {1u, 2u, 3u, 6u, 8u}) {
        for (const std::size_t samples : {0u, 1u, 255u, 256u, 257u, 44100u}) {
            const Samples input = interleavedMusic(samples, channels);
            const Decoded decoded = decode(encode(input, channels, 128 * channels).bytes);
            EXPECT_FALSE(decoded.damaged);
            EXPECT_EQ(decoded.length, samples) << channels << " channels";
            ASSERT_EQ(decoded.samples.size(), input.size()) << channels << " channels, " << samples << " samples";
            if (samples < 44100) continue;
            for (unsigned c = 0; c < channels; ++c)
                EXPECT_GT(snrDb(channel(input, channels, c), channel(decoded.samples, channels, c)), 10.0)
                    << channels << " channels, channel " << c;
        }
    }
}

TEST(OggEncoder, PiecesOfAnySizeGiveTheSameBytes) {
    const Samples input = interleavedMusic(20000, 2);
    const Bytes whole = encode(input, 2, 256, 20000).bytes;
    for (const std::size_t piece : {1u, 255u, 256u, 257u}) EXPECT_TRUE(encode(input, 2, 256, piece).bytes == whole);
}

TEST(OggEncoder, DigitalSilenceCostsOnlyTheContainer) {
    const std::size_t tenSeconds = 10 * kSampleRate;
    const OggFile file = encode(Samples(2 * tenSeconds), 2, 256);
    // One lacing value a hop, and a page header a second.
    EXPECT_LT(audioBytes(file), 3000u);
    const Decoded decoded = decode(file.bytes);
    EXPECT_EQ(decoded.length, tenSeconds);
    EXPECT_TRUE(std::all_of(decoded.samples.begin(), decoded.samples.end(), [](Sample s) { return s == 0; }));
}

TEST(OggEncoder, TheRateIsHeldOverTheSoundAlone) {
    // Five seconds of music, half a minute of digital silence, five more:
    // the music costs what it does without the pause, and the pause does not
    // buy the music after it a burst of bits.
    const std::size_t five = 5 * kSampleRate;
    const Samples music = interleavedMusic(2 * five, 1);
    Samples paused(music.begin(), music.begin() + five);
    paused.resize(paused.size() + 30 * kSampleRate);
    paused.insert(paused.end(), music.begin() + five, music.end());
    const double alone = static_cast<double>(audioBytes(encode(music, 1, 128)));
    const double withPause = static_cast<double>(audioBytes(encode(paused, 1, 128)));
    EXPECT_NEAR(withPause / alone, 1.0, 0.05);
    EXPECT_NEAR(alone * 8 / 10.0 / 1000.0, 128.0, 128.0 * 0.05);
}

TEST(OggEncoder, AMonoStreamsPacketsAreTheBareEncodersFrames) {
    const Samples music = makeMusicSignal(3 * kSampleRate, 5);
    const ReadBack read = readOgg(encode(music, 1, 128).bytes);
    const auto bare = std::make_unique<RateEncoder>(128);
    const std::size_t hops = (music.size() + kHop - 1) / kHop;
    std::vector<EncodedFrame> frames(hops);
    Samples padded = music;
    padded.resize(hops * kHop);
    UnwatchedEncoding nobody;
    bare->encodeBatch(padded.data(), hops, frames.data(), nobody, true);
    ASSERT_EQ(read.hops.size(), hops);
    std::array<std::uint8_t, kMaxFrameBytes> bytes{};
    for (std::size_t hop = 0; hop < hops; ++hop) {
        const std::size_t size = packFrame(frames[hop], bytes.data());
        ASSERT_EQ(read.hops[hop].frames.size(), 1u);
        EXPECT_TRUE(read.hops[hop].frames[0] == Bytes(bytes.begin(), bytes.begin() + size)) << "hop " << hop;
    }
}

TEST(OggEncoder, RefusesWhatItCannotEncode) {
    OggZarnEncoder::Settings settings;
    settings.channels = 0;
    EXPECT_FALSE(OggZarnEncoder::valid(settings));
    settings.channels = 9;
    EXPECT_FALSE(OggZarnEncoder::valid(settings));
    settings.channels = 2;
    settings.kbitPerSecond = 100;  // under 64 a channel
    EXPECT_FALSE(OggZarnEncoder::valid(settings));
    settings.kbitPerSecond = 256;
    settings.originalRate = 0;
    EXPECT_FALSE(OggZarnEncoder::valid(settings));
    settings.originalRate = 8000;
    EXPECT_TRUE(OggZarnEncoder::valid(settings));

    OggFile file;
    const auto encoder = std::make_unique<OggZarnEncoder>(settings, keepPage, &file);
    const Sample two[2] = {1, 2};
    EXPECT_EQ(encoder->write(two, 1), Status::state) << "samples before the headers";
    const Bytes comments = commentsOf({"TITLE=x"});
    ASSERT_EQ(encoder->begin(comments.data(), comments.size()), Status::ok);
    EXPECT_EQ(encoder->write(two, 1), Status::ok);
    EXPECT_EQ(encoder->finish(), Status::ok);
    EXPECT_EQ(encoder->write(two, 1), Status::state) << "samples after the end";
    EXPECT_EQ(readOgg(file.bytes).identifications.at(0).originalRate, 8000u);
}

}  // namespace
}  // namespace zarn::test
