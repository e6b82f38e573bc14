// libzarn's settings structs and its frame-by-frame calls: settings read as
// far as the caller's size, and frames one at a time that are the
// streaming calls' bytes and samples.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lib/zarn.h"
#include "tests/lib/Collectors.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

using Samples = std::vector<std::int16_t>;

Bytes streamed(const zarn_encoder_settings* settings, const Samples& samples) {
    Bytes out;
    int error = 1;
    zarn_encoder* encoder = zarn_encoder_create_with(settings, collectBytes, &out, &error);
    EXPECT_EQ(error, ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, samples.data(), samples.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    return out;
}

// The frames of `samples`, one hop at a time, and each frame's size.
Bytes framed(const zarn_encoder_settings* settings, const Samples& samples, std::vector<std::size_t>& sizes) {
    int error = 1;
    zarn_frame_encoder* encoder = zarn_frame_encoder_create(settings, &error);
    EXPECT_EQ(error, ZARN_OK);
    Bytes out;
    const std::size_t hops = std::max<std::size_t>(1, (samples.size() + 255) / 256);
    for (std::size_t hop = 0; hop < hops; ++hop) {
        Samples in(256, 0);
        std::copy(samples.begin() + static_cast<std::ptrdiff_t>(std::min(samples.size(), hop * 256)),
                  samples.begin() + static_cast<std::ptrdiff_t>(std::min(samples.size(), hop * 256 + 256)), in.begin());
        std::uint8_t frame[ZARN_MAX_FRAME_BYTES];
        std::size_t size = 0;
        EXPECT_EQ(zarn_frame_encode(encoder, in.data(), hop + 1 == hops, frame, sizeof frame, &size), ZARN_OK);
        sizes.push_back(size);
        out.insert(out.end(), frame, frame + size);
    }
    EXPECT_EQ(zarn_frame_encoder_state(encoder, nullptr), ZARN_STATE_FINISHED);
    zarn_frame_encoder_destroy(encoder);
    return out;
}

TEST(Frames, OneHopAtATimeGivesTheStreamsBytesAndSamplesOneFrameLate) {
    const Samples music = makeMusicSignal(70 * 256 + 31, 9);
    for (const int kind : {ZARN_ENCODER_FULL, ZARN_ENCODER_REDUCED, ZARN_ENCODER_BITRATE}) {
        SCOPED_TRACE(kind);
        zarn_encoder_settings settings;
        zarn_encoder_settings_init(&settings);
        settings.kind = kind;
        settings.kbit_per_second = 96;
        std::vector<std::size_t> sizes;
        const Bytes stream = streamed(&settings, music);
        EXPECT_TRUE(framed(&settings, music, sizes) == stream);

        // Decoded frame by frame: nothing for the first, then each hop, then
        // the last at finish: the streaming decoder's samples.
        Samples expected;
        zarn_decoder* decoder = zarn_decoder_create_with(nullptr, collectSamples, &expected, nullptr);
        EXPECT_EQ(zarn_decoder_write(decoder, stream.data(), stream.size()), ZARN_OK);
        EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_OK);
        zarn_decoder_destroy(decoder);

        zarn_frame_decoder* frames = zarn_frame_decoder_create(nullptr, nullptr);
        Samples got;
        std::size_t at = 0;
        for (const std::size_t size : sizes) {
            std::int16_t hop[256];
            std::size_t count = 99;
            EXPECT_EQ(zarn_frame_decode(frames, stream.data() + at, size, hop, &count), ZARN_OK);
            EXPECT_EQ(count, at == 0 ? 0u : 256u);
            got.insert(got.end(), hop, hop + count);
            at += size;
        }
        std::int16_t last[256];
        EXPECT_EQ(zarn_frame_decoder_finish(frames, last), ZARN_OK);
        got.insert(got.end(), last, last + 256);
        EXPECT_TRUE(got == expected);
        EXPECT_EQ(zarn_frame_decoder_finish(frames, last), ZARN_ERROR_FINISHED);
        zarn_frame_decoder_destroy(frames);
    }
}

TEST(Frames, BytesThatAreNotOneFrameAreRefusedAndTheDecoderGoesOn) {
    std::vector<std::size_t> sizes;
    const Samples music = makeMusicSignal(3 * 256, 2);
    const Bytes stream = framed(nullptr, music, sizes);
    zarn_frame_decoder* decoder = zarn_frame_decoder_create(nullptr, nullptr);
    std::int16_t hop[256];
    std::size_t count = 7;
    EXPECT_EQ(zarn_frame_decode(decoder, stream.data(), sizes[0] - 1, hop, &count), ZARN_ERROR_TRUNCATED);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(zarn_frame_decode(decoder, stream.data(), sizes[0] + sizes[1], hop, &count), ZARN_ERROR_TRUNCATED)
        << "two frames are not one";
    const Bytes noTag(ZARN_MIN_FRAME_BYTES, 0);
    EXPECT_EQ(zarn_frame_decode(decoder, noTag.data(), noTag.size(), hop, &count), ZARN_ERROR_BAD_TAG);
    EXPECT_EQ(zarn_frame_decoder_state(decoder, nullptr), ZARN_STATE_OPEN);
    EXPECT_EQ(zarn_frame_decode(decoder, stream.data(), sizes[0], hop, &count), ZARN_OK);
    EXPECT_EQ(count, 0u) << "still the first frame";
    EXPECT_EQ(zarn_frame_decode(decoder, nullptr, 0, hop, &count), ZARN_ERROR_TRUNCATED);
    EXPECT_EQ(zarn_frame_decode(decoder, stream.data(), sizes[0], nullptr, &count), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_frame_decode(nullptr, stream.data(), sizes[0], hop, &count), ZARN_ERROR_ARGUMENT);
    zarn_frame_decoder_destroy(decoder);

    zarn_frame_encoder* encoder = zarn_frame_encoder_create(nullptr, nullptr);
    std::uint8_t frame[ZARN_MAX_FRAME_BYTES];
    std::size_t size = 0;
    EXPECT_EQ(zarn_frame_encode(encoder, music.data(), 0, frame, ZARN_MAX_FRAME_BYTES - 1, &size), ZARN_ERROR_ARGUMENT)
        << "room for the largest frame, whatever this one's size";
    EXPECT_EQ(zarn_frame_encode(encoder, nullptr, 0, frame, sizeof frame, &size), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_frame_encoder_state(encoder, nullptr), ZARN_STATE_OPEN);
    zarn_frame_encoder_destroy(encoder);
}

TEST(Settings, AreReadAsFarAsTheCallersSizeAndAnUnknownSizeIsRefused) {
    const Samples music = makeMusicSignal(20 * 256, 4);
    zarn_encoder_settings settings;
    zarn_encoder_settings_init(&settings);
    EXPECT_EQ(settings.size, sizeof settings);
    EXPECT_EQ(settings.kind, ZARN_ENCODER_BITRATE);
    EXPECT_EQ(settings.kbit_per_second, ZARN_BITRATE_DEFAULT);

    // The settings' rate is set_bitrate's.
    settings.kbit_per_second = 96;
    Bytes old;
    zarn_encoder* encoder = zarn_encoder_create(ZARN_ENCODER_BITRATE, collectBytes, &old, nullptr);
    EXPECT_EQ(zarn_encoder_set_bitrate(encoder, 96), ZARN_OK);
    EXPECT_EQ(zarn_encoder_write(encoder, music.data(), music.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    EXPECT_TRUE(streamed(&settings, music) == old);
    // An older caller's struct that ends before the rate: the default, as
    // NULL settings and a zeroed rate give it.
    zarn_encoder_settings older = settings;
    older.size = offsetof(zarn_encoder_settings, kbit_per_second);
    const Bytes byDefault = streamed(nullptr, music);
    EXPECT_TRUE(streamed(&older, music) == byDefault);
    EXPECT_FALSE(byDefault == old);
    zarn_encoder_settings zeroed{sizeof zeroed, ZARN_ENCODER_BITRATE, 0};
    EXPECT_TRUE(streamed(&zeroed, music) == byDefault);
    zeroed.kind = ZARN_ENCODER_FULL;
    Bytes full;
    encoder = zarn_encoder_create(ZARN_ENCODER_FULL, collectBytes, &full, nullptr);
    EXPECT_EQ(zarn_encoder_write(encoder, music.data(), music.size()), ZARN_OK);
    EXPECT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
    zarn_encoder_destroy(encoder);
    EXPECT_TRUE(streamed(&zeroed, music) == full);

    int error = 0;
    for (const std::size_t size : {std::size_t{0}, sizeof(size_t) - 1, sizeof settings + 1}) {
        zarn_encoder_settings bad = settings;
        bad.size = size;
        EXPECT_EQ(zarn_encoder_create_with(&bad, collectBytes, &old, &error), nullptr);
        EXPECT_EQ(error, ZARN_ERROR_SETTINGS) << size;
        EXPECT_EQ(zarn_frame_encoder_create(&bad, &error), nullptr);
        EXPECT_EQ(error, ZARN_ERROR_SETTINGS) << size;
    }
    for (const int rate : {ZARN_BITRATE_MIN - 1, ZARN_BITRATE_MAX + 1, -1}) {
        zarn_encoder_settings bad = settings;
        bad.kbit_per_second = rate;
        EXPECT_EQ(zarn_encoder_create_with(&bad, collectBytes, &old, &error), nullptr);
        EXPECT_EQ(error, ZARN_ERROR_ARGUMENT) << rate;
        EXPECT_EQ(zarn_frame_encoder_create(&bad, &error), nullptr);
        EXPECT_EQ(error, ZARN_ERROR_ARGUMENT) << rate;
    }
    zarn_encoder_settings unknownKind = settings;
    unknownKind.kind = 3;
    EXPECT_EQ(zarn_frame_encoder_create(&unknownKind, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_encoder_create_with(&settings, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);

    zarn_decoder_settings decoding;
    zarn_decoder_settings_init(&decoding);
    decoding.size += 4;
    EXPECT_EQ(zarn_decoder_create_with(&decoding, collectSamples, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_SETTINGS);
    EXPECT_EQ(zarn_frame_decoder_create(&decoding, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_SETTINGS);
}

}  // namespace
}  // namespace zarn::test
