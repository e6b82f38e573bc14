// libzarn's Ogg Zarn calls through the C interface: streams written by its
// encoder and read back by both its decoders, fed and pulled, against the
// container's own decoder; exact lengths, tags, seeking, float samples,
// damage, refusals and the states that tell why.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <ogg/ogg.h>

#include "container/OggZarnDecoder.h"
#include "container/OggZarnHeaders.h"
#include "container/OggZarnWriter.h"
#include "lib/zarn.h"
#include "tests/lib/Collectors.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

using Samples = std::vector<std::int16_t>;

// `frames` frames of music, each channel its own.
Samples music(std::size_t frames, int channels) {
    Samples out(frames * static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c) {
        const Samples one = makeMusicSignal(frames, static_cast<std::uint32_t>(3 + c));
        for (std::size_t i = 0; i < frames; ++i) out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = one[i];
    }
    return out;
}

zarn_ogg_encoder_settings encoderSettings(int channels, const std::vector<const char*>& tags = {}) {
    zarn_ogg_encoder_settings settings;
    zarn_ogg_encoder_settings_init(&settings);
    settings.channels = channels;
    settings.original_rate = 48000;
    settings.tags = tags.empty() ? nullptr : tags.data();
    settings.tag_count = tags.size();
    return settings;
}

Bytes encodeOgg(const Samples& samples, int channels, const std::vector<const char*>& tags = {},
                std::size_t piece = 1000, std::int32_t serial = 0) {
    Bytes out;
    zarn_ogg_encoder_settings settings = encoderSettings(channels, tags);
    settings.serial = serial;
    int error = 1;
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&settings, collectBytes, &out, &error);
    EXPECT_EQ(error, ZARN_OK);
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < frames; at += piece) {
        const std::size_t take = std::min(piece, frames - at);
        EXPECT_EQ(zarn_ogg_encoder_write(encoder, samples.data() + at * static_cast<std::size_t>(channels), take),
                  ZARN_OK);
    }
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    EXPECT_EQ(zarn_ogg_encoder_position(encoder), frames);
    zarn_ogg_encoder_destroy(encoder);
    return out;
}

// What the container's own decoder gives for a whole file.
Samples reference(const Bytes& file) {
    OggZarnDecoder decoder;
    Samples out;
    const auto take = [&](OggZarnDecoder::Result result) {
        EXPECT_NE(result, OggZarnDecoder::Result::failed);
        if (result == OggZarnDecoder::Result::samples) {
            out.insert(out.end(), decoder.samples(), decoder.samples() + decoder.frames() * decoder.channels());
        }
        return result != OggZarnDecoder::Result::failed;
    };
    const std::uint8_t* at = file.data();
    std::size_t left = file.size();
    for (OggZarnDecoder::Result result; (result = decoder.next(at, left)) != OggZarnDecoder::Result::needMore;) {
        if (!take(result)) return out;
    }
    for (OggZarnDecoder::Result result; (result = decoder.finish()) != OggZarnDecoder::Result::end;) {
        if (!take(result)) break;
    }
    return out;
}

// The push decoder's output, with what it told of each call.
struct Pushed {
    Samples samples;
    std::vector<int> links;
    std::uint64_t nextPosition = 0;
    bool inOrder = true;  // each call's position follows the one before, within a link
    int channels = 0;
};

int keepPushed(void* to, const std::int16_t* samples, std::size_t frames, int channels, int link,
               std::uint64_t position) {
    auto& out = *static_cast<Pushed*>(to);
    if (out.links.empty() || out.links.back() != link) {
        out.links.push_back(link);
        out.nextPosition = 0;
    }
    out.inOrder = out.inOrder && position == out.nextPosition;
    out.nextPosition = position + frames;
    out.channels = channels;
    out.samples.insert(out.samples.end(), samples, samples + frames * static_cast<std::size_t>(channels));
    return 0;
}

struct PushResult {
    Pushed pushed;
    int status = ZARN_OK;
    int64_t length = -1;
    std::vector<std::string> tags;
    std::uint32_t rate = 0;
};

PushResult push(const Bytes& file, std::size_t piece, bool through = false) {
    PushResult result;
    zarn_ogg_decoder_settings settings;
    zarn_ogg_decoder_settings_init(&settings);
    settings.through_damage = through;
    int error = 1;
    zarn_ogg_decoder* decoder = zarn_ogg_decoder_create(&settings, keepPushed, &result.pushed, &error);
    EXPECT_EQ(error, ZARN_OK);
    for (std::size_t at = 0; at < file.size() && result.status == ZARN_OK; at += piece) {
        result.status = zarn_ogg_decoder_write(decoder, file.data() + at, std::min(piece, file.size() - at));
    }
    if (result.status == ZARN_OK) result.status = zarn_ogg_decoder_finish(decoder);
    result.length = zarn_ogg_decoder_length(decoder);
    result.rate = zarn_ogg_decoder_original_rate(decoder);
    for (int i = 0; i < zarn_ogg_decoder_tag_count(decoder); ++i) result.tags.emplace_back(zarn_ogg_decoder_tag(decoder, i));
    zarn_ogg_decoder_destroy(decoder);
    return result;
}

// A file in memory behind the read, seek and tell callbacks.
struct MemoryFile {
    explicit MemoryFile(const Bytes* file) : bytes(file) {}

    const Bytes* bytes;
    std::int64_t at = 0;
    bool failReads = false;
    bool throwOnRead = false;
    // When set, each read first calls the file back, and keeps what it got.
    zarn_ogg_file* callBack = nullptr;
    std::vector<long> callBackOutcomes;
};

long readMemory(void* user, std::uint8_t* buffer, std::size_t size) {
    auto& file = *static_cast<MemoryFile*>(user);
    if (file.throwOnRead) throw std::runtime_error("the network is gone");
    if (file.callBack != nullptr) {
        std::int16_t one[8];
        file.callBackOutcomes.push_back(zarn_ogg_file_read(file.callBack, one, 1));
        file.callBackOutcomes.push_back(zarn_ogg_file_seek(file.callBack, 0));
        file.callBackOutcomes.push_back(zarn_ogg_file_state(file.callBack, nullptr) == ZARN_STATE_BUSY ? ZARN_ERROR_BUSY : 0);
    }
    if (file.failReads) return -1;
    const auto left = static_cast<std::size_t>(static_cast<std::int64_t>(file.bytes->size()) - file.at);
    const std::size_t take = std::min(size, left);
    std::memcpy(buffer, file.bytes->data() + file.at, take);
    file.at += static_cast<std::int64_t>(take);
    return static_cast<long>(take);
}

int seekMemory(void* user, std::int64_t offset, int whence) {
    auto& file = *static_cast<MemoryFile*>(user);
    const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.at : static_cast<std::int64_t>(file.bytes->size());
    if (base + offset < 0 || base + offset > static_cast<std::int64_t>(file.bytes->size())) return -1;
    file.at = base + offset;
    return 0;
}

std::int64_t tellMemory(void* user) { return static_cast<MemoryFile*>(user)->at; }

constexpr zarn_io_callbacks kMemory{readMemory, seekMemory, tellMemory};

zarn_ogg_file* openMemory(MemoryFile& file, int* error, bool through = false) {
    zarn_ogg_decoder_settings settings;
    zarn_ogg_decoder_settings_init(&settings);
    settings.through_damage = through;
    return zarn_ogg_file_open(&settings, &kMemory, &file, error);
}

// Everything left to read, `piece` frames a call.
Samples readAll(zarn_ogg_file* file, std::size_t piece, long* last = nullptr) {
    const auto channels = static_cast<std::size_t>(zarn_ogg_file_channels(file));
    Samples out;
    std::vector<std::int16_t> buffer(piece * channels);
    for (long got; (got = zarn_ogg_file_read(file, buffer.data(), piece)) != 0;) {
        if (got < 0) {
            if (last != nullptr) *last = got;
            return out;
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(out.size()), buffer.begin(),
                   buffer.begin() + got * static_cast<long>(channels));
    }
    if (last != nullptr) *last = 0;
    return out;
}

TEST(OggLibrary, EveryLengthComesBackExactlyAtEveryChannelCountFedOrPulled) {
    for (const int channels : {1, 2, 6}) {
        for (const std::size_t frames : {0u, 1u, 255u, 256u, 257u, 44100u}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(frames) + " frames");
            const Samples in = music(frames, channels);
            const Bytes file = encodeOgg(in, channels);
            const Samples expected = reference(file);
            EXPECT_EQ(expected.size(), in.size());

            for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{7}}) {
                const PushResult pushed = push(file, piece);
                EXPECT_EQ(pushed.status, ZARN_OK);
                EXPECT_EQ(pushed.length, static_cast<int64_t>(frames));
                EXPECT_EQ(pushed.rate, 48000u);
                EXPECT_TRUE(pushed.pushed.samples == expected);
                EXPECT_TRUE(pushed.pushed.inOrder);
            }

            MemoryFile memory{&file};
            int error = 1;
            zarn_ogg_file* opened = openMemory(memory, &error);
            ASSERT_NE(opened, nullptr) << zarn_strerror(error);
            EXPECT_EQ(zarn_ogg_file_channels(opened), channels);
            EXPECT_EQ(zarn_ogg_file_original_rate(opened), 48000u);
            EXPECT_EQ(zarn_ogg_file_length(opened), static_cast<int64_t>(frames));
            long last = 1;
            EXPECT_TRUE(readAll(opened, 300, &last) == expected);
            EXPECT_EQ(last, 0);
            EXPECT_EQ(zarn_ogg_file_position(opened), frames);
            EXPECT_EQ(zarn_ogg_file_state(opened, nullptr), ZARN_STATE_OPEN);
            zarn_ogg_file_close(opened);
        }
    }
}

TEST(OggLibrary, SeekingGivesTheWholeDecodesSamplesFromAnyPoint) {
    const int channels = 2;
    const std::size_t frames = 5 * 44100 + 77;
    const Bytes file = encodeOgg(music(frames, channels), channels);
    const Samples whole = reference(file);
    MemoryFile memory{&file};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    ASSERT_NE(opened, nullptr);
    // The first sample, inside a hop, hop and page boundaries (a page holds
    // 172 hops), the last sample, and back again.
    const std::uint64_t page = 172 * 256;
    for (const std::uint64_t target :
         {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{256}, page - 1, page, page + 1, 3 * page + 129,
          std::uint64_t{frames - 1}, std::uint64_t{1}, std::uint64_t{frames - 300}}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(zarn_ogg_file_seek(opened, target), ZARN_OK);
        EXPECT_EQ(zarn_ogg_file_position(opened), target);
        std::vector<std::int16_t> got(1000 * channels);
        const long read = zarn_ogg_file_read(opened, got.data(), 1000);
        const std::size_t expected = std::min<std::size_t>(1000, frames - target);
        ASSERT_EQ(read, static_cast<long>(expected));
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + read * channels,
                               whole.begin() + static_cast<std::ptrdiff_t>(target * channels)));
    }
    // At or past the end, nothing is left to read.
    EXPECT_EQ(zarn_ogg_file_seek(opened, frames), ZARN_OK);
    std::int16_t one[2];
    EXPECT_EQ(zarn_ogg_file_read(opened, one, 1), 0);
    EXPECT_EQ(zarn_ogg_file_seek(opened, frames + 1000000), ZARN_OK);
    EXPECT_EQ(zarn_ogg_file_read(opened, one, 1), 0);
    // And reading on from a seek runs to the very end.
    EXPECT_EQ(zarn_ogg_file_seek(opened, page + 3), ZARN_OK);
    const Samples rest = readAll(opened, 4096);
    EXPECT_TRUE(rest.size() == (frames - page - 3) * channels &&
                std::equal(rest.begin(), rest.end(), whole.begin() + static_cast<std::ptrdiff_t>((page + 3) * channels)));
    zarn_ogg_file_close(opened);
}

TEST(OggLibrary, FloatSamplesAreTheSixteenBitOnesOver32768AndGoInRounded) {
    const int channels = 2;
    const Samples in = music(3000, channels);
    const Bytes file = encodeOgg(in, channels);
    MemoryFile memory{&file};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    const Samples integers = readAll(opened, 500);
    ASSERT_EQ(zarn_ogg_file_seek(opened, 0), ZARN_OK);
    std::vector<float> floats(integers.size());
    std::size_t at = 0;
    for (long got; (got = zarn_ogg_file_read_float(opened, floats.data() + at, 333)) > 0;) at += static_cast<std::size_t>(got) * channels;
    ASSERT_EQ(at, integers.size());
    for (std::size_t i = 0; i < at; ++i) ASSERT_EQ(floats[i], static_cast<float>(integers[i]) / 32768.0f) << i;
    zarn_ogg_file_close(opened);

    // Floats in: scaled, rounded to nearest, clipped; the same stream as the
    // integers they stand for.
    std::vector<float> asFloats(in.size());
    Samples expected(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        asFloats[i] = static_cast<float>(in[i]) / 32768.0f + 0.4f / 32768.0f;
        expected[i] = in[i];
    }
    const float edges[] = {1.0f, -1.0f, 2.5f, -7.0f, 0.6f / 32768.0f, -0.6f / 32768.0f, std::nanf("")};
    const std::int16_t edgeValues[] = {32767, -32768, 32767, -32768, 1, -1, 0};
    for (std::size_t i = 0; i < 7; ++i) {
        asFloats[i] = edges[i];
        expected[i] = edgeValues[i];
    }
    Bytes fromFloats;
    const zarn_ogg_encoder_settings settings = encoderSettings(channels);
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&settings, collectBytes, &fromFloats, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_write_float(encoder, asFloats.data(), 3000), ZARN_OK);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    zarn_ogg_encoder_destroy(encoder);
    EXPECT_TRUE(fromFloats == encodeOgg(expected, channels, {}, 3000));
}

TEST(OggLibrary, TagsAndTheVendorComeBackPerLinkAndTheFileReadsItsFirstLink) {
    const std::vector<const char*> first{"TITLE=Første", "ARTIST=Ærø Kvartet", "TRACKNUMBER=1"};
    const std::vector<const char*> second{"TITLE=Anden"};
    const Bytes one = encodeOgg(music(1000, 1), 1, first);
    const Bytes two = encodeOgg(music(700, 1), 1, second, 1000, 1);  // a link of a chain has a serial of its own
    Bytes chain = one;
    chain.insert(chain.end(), two.begin(), two.end());

    MemoryFile memory{&chain};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(std::string(zarn_ogg_file_vendor(opened)), std::string("libzarn ") + zarn_version());
    ASSERT_EQ(zarn_ogg_file_tag_count(opened), 3);
    // In any order of asking.
    for (const int i : {0, 1, 2, 1, 0, 2}) EXPECT_STREQ(zarn_ogg_file_tag(opened, i), first[static_cast<std::size_t>(i)]);
    EXPECT_EQ(zarn_ogg_file_tag(opened, 3), nullptr);
    EXPECT_EQ(zarn_ogg_file_tag(opened, -1), nullptr);
    EXPECT_EQ(zarn_ogg_file_length(opened), 1000);
    EXPECT_EQ(readAll(opened, 256).size(), 1000u) << "the first link alone";
    zarn_ogg_file_close(opened);

    // The push decoder plays each link, and tells the last one's tags.
    const PushResult pushed = push(chain, 999);
    EXPECT_EQ(pushed.status, ZARN_OK);
    EXPECT_EQ(pushed.pushed.samples.size(), 1700u);
    EXPECT_EQ(pushed.pushed.links, (std::vector<int>{0, 1}));
    EXPECT_EQ(pushed.length, 700);
    EXPECT_EQ(pushed.tags, (std::vector<std::string>{"TITLE=Anden"}));
}

bool keepPage(void* to, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
              std::size_t bodySize) {
    auto& out = *static_cast<Bytes*>(to);
    out.insert(out.end(), header, header + headerSize);
    out.insert(out.end(), body, body + bodySize);
    return true;
}

TEST(OggLibrary, ATagThatHoldsANulStillLeavesTheTagsAfterItInPlace) {
    // Another writer's file: the C caller sees the first tag cut at its NUL,
    // and the next one whole.
    const std::string_view comments[] = {std::string_view("COMMENT=a\0b", 11), "TITLE=x"};
    Bytes header(commentHeaderBytes("v", comments, 2));
    HeaderError error = HeaderError::none;
    ASSERT_EQ(writeComments("v", comments, 2, header.data(), header.size(), error), header.size());
    Bytes file;
    OggZarnWriter writer(5, keepPage, &file);
    ASSERT_EQ(writer.begin(Identification{}, header.data(), header.size()), OggZarnWriter::Status::ok);
    ASSERT_EQ(writer.finish(0), OggZarnWriter::Status::ok);

    MemoryFile memory{&file};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    ASSERT_NE(opened, nullptr);
    ASSERT_EQ(zarn_ogg_file_tag_count(opened), 2);
    EXPECT_STREQ(zarn_ogg_file_tag(opened, 1), "TITLE=x");
    EXPECT_STREQ(zarn_ogg_file_tag(opened, 0), "COMMENT=a");
    EXPECT_STREQ(zarn_ogg_file_vendor(opened), "v");
    EXPECT_EQ(zarn_ogg_file_length(opened), 0);
    zarn_ogg_file_close(opened);
}

TEST(OggLibrary, DamageStopsAfterTheSamplesBeforeItOrIsDecodedThroughAndTold) {
    const std::size_t frames = 4 * 44100;
    const Bytes clean = encodeOgg(music(frames, 2), 2);
    const Samples whole = reference(clean);
    Bytes damaged = clean;
    damaged[damaged.size() / 2] ^= 0x10;  // a bad CRC in a page amid the sound

    const PushResult stopped = push(damaged, 4096);
    EXPECT_EQ(stopped.status, ZARN_ERROR_LOST_SYNC);
    EXPECT_LT(stopped.pushed.samples.size(), whole.size());
    EXPECT_TRUE(std::equal(stopped.pushed.samples.begin(), stopped.pushed.samples.end(), whole.begin()));

    const PushResult through = push(damaged, 4096, true);
    EXPECT_EQ(through.status, ZARN_OK);
    EXPECT_EQ(through.pushed.samples.size(), whole.size()) << "every sample after the damage where it belongs";
    EXPECT_EQ(through.length, static_cast<int64_t>(frames));

    MemoryFile memory{&damaged};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    ASSERT_NE(opened, nullptr);
    long last = 0;
    const Samples before = readAll(opened, 1024, &last);
    EXPECT_EQ(last, ZARN_ERROR_LOST_SYNC);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), whole.begin()));
    int cause = ZARN_OK;
    EXPECT_EQ(zarn_ogg_file_state(opened, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_LOST_SYNC);
    std::int16_t buffer[2];
    EXPECT_EQ(zarn_ogg_file_read(opened, buffer, 1), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_ogg_file_seek(opened, 0), ZARN_ERROR_FAILED);
    zarn_damage damage{};
    EXPECT_EQ(zarn_ogg_file_damage(opened, &damage), 1u);
    EXPECT_EQ(damage.kind, ZARN_ERROR_LOST_SYNC);
    EXPECT_GT(damage.at, 0u);
    EXPECT_LE(damage.at, frames);
    zarn_ogg_file_close(opened);

    memory.at = 0;
    opened = openMemory(memory, nullptr, true);
    const Samples all = readAll(opened, 1024, &last);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(all.size(), whole.size());
    EXPECT_GE(zarn_ogg_file_damage(opened, &damage), 1u) << "the bad page, and the hop it held lost";
    EXPECT_EQ(damage.kind, ZARN_ERROR_LOST_SYNC);
    zarn_ogg_file_close(opened);
}

TEST(OggLibrary, InputThatIsNoOggZarnOrHasBadHeadersIsRefusedByKind) {
    const Bytes noise(5000, 0x5A);
    EXPECT_EQ(push(noise, 100).status, ZARN_ERROR_NOT_ZARN);
    EXPECT_EQ(push(Bytes{}, 100).status, ZARN_ERROR_NOT_ZARN);
    MemoryFile memory{&noise};
    int error = 0;
    EXPECT_EQ(openMemory(memory, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_NOT_ZARN);

    // The identification header's version and channel count, rewritten in
    // place with the page's CRC made good again.
    const Bytes file = encodeOgg(music(500, 2), 2);
    const auto rewritten = [&](std::size_t field, std::uint8_t value) {
        Bytes bytes = file;
        const std::size_t body = 27 + bytes[26];
        bytes[body + field] = value;
        ogg_page page{bytes.data(), static_cast<long>(body), bytes.data() + body, static_cast<long>(bytes[27])};
        ogg_page_checksum_set(&page);
        return bytes;
    };
    const std::size_t versionAt = 8, channelsAt = 9;  // after the 8-byte magic
    for (const auto& [bytes, code] : {std::pair{rewritten(versionAt, 0x20), ZARN_ERROR_VERSION},
                                      std::pair{rewritten(channelsAt, 0), ZARN_ERROR_CHANNELS},
                                      std::pair{rewritten(channelsAt, 255), ZARN_ERROR_CHANNELS}}) {
        EXPECT_EQ(push(bytes, 64).status, code);
        MemoryFile bad{&bytes};
        EXPECT_EQ(openMemory(bad, &error), nullptr);
        EXPECT_EQ(error, code);
    }
}

TEST(OggLibrary, RefusalsAreValuesAndSettingsAreReadAsFarAsTheirSize) {
    int error = 0;
    Bytes out;
    zarn_ogg_encoder_settings settings = encoderSettings(2);
    const auto refused = [&](const zarn_ogg_encoder_settings& given, zarn_write_fn write = collectBytes) {
        error = 0;
        zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&given, write, &out, &error);
        zarn_ogg_encoder_destroy(encoder);
        return encoder == nullptr ? error : ZARN_OK;
    };
    EXPECT_EQ(refused(settings), ZARN_OK);
    EXPECT_EQ(refused(settings, nullptr), ZARN_ERROR_ARGUMENT);
    for (const int channels : {0, -1, 9}) {
        zarn_ogg_encoder_settings bad = settings;
        bad.channels = channels;
        EXPECT_EQ(refused(bad), ZARN_ERROR_ARGUMENT) << channels;
    }
    for (const int rate : {-5, 2 * ZARN_BITRATE_MIN - 1, 2 * ZARN_BITRATE_MAX + 1}) {
        zarn_ogg_encoder_settings bad = settings;
        bad.kbit_per_second = rate;
        EXPECT_EQ(refused(bad), ZARN_ERROR_ARGUMENT) << rate;
    }
    zarn_ogg_encoder_settings bad = settings;
    bad.original_rate = 0;
    EXPECT_EQ(refused(bad), ZARN_ERROR_ARGUMENT);
    bad = settings;
    bad.tag_count = 1;
    EXPECT_EQ(refused(bad), ZARN_ERROR_ARGUMENT) << "tags NULL";
    const char* noEquals[] = {"TITLE"};
    const char* nameOutsideAscii[] = {"TÍTLE=x"};
    const char* nullTag[] = {nullptr};
    bad.tags = noEquals;
    EXPECT_EQ(refused(bad), ZARN_ERROR_BAD_COMMENT);
    bad.tags = nameOutsideAscii;
    EXPECT_EQ(refused(bad), ZARN_ERROR_BAD_COMMENT);
    bad.tags = nullTag;
    EXPECT_EQ(refused(bad), ZARN_ERROR_ARGUMENT);
    for (const std::size_t size : {std::size_t{0}, sizeof(size_t) - 1, sizeof settings + 1}) {
        bad = settings;
        bad.size = size;
        EXPECT_EQ(refused(bad), ZARN_ERROR_SETTINGS) << size;
    }

    // An older caller's struct ends before the tags: they take their default,
    // none, whatever lies beyond its size.
    const char* tags[] = {"TITLE=x"};
    zarn_ogg_encoder_settings older = settings;
    older.size = offsetof(zarn_ogg_encoder_settings, tags);
    older.tags = tags;
    older.tag_count = 1;
    out.clear();
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&older, collectBytes, &out, &error);
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    zarn_ogg_encoder_destroy(encoder);
    EXPECT_TRUE(push(out, 100).tags.empty());
    // NULL settings are every default: two channels.
    out.clear();
    encoder = zarn_ogg_encoder_create(nullptr, collectBytes, &out, &error);
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    zarn_ogg_encoder_destroy(encoder);
    EXPECT_EQ(push(out, 100).status, ZARN_OK);

    zarn_ogg_decoder_settings decoding;
    zarn_ogg_decoder_settings_init(&decoding);
    decoding.size = sizeof decoding + 8;
    EXPECT_EQ(zarn_ogg_decoder_create(&decoding, keepPushed, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_SETTINGS);
    EXPECT_EQ(zarn_ogg_decoder_create(nullptr, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);
    Bytes empty;
    MemoryFile memory{&empty};
    EXPECT_EQ(zarn_ogg_file_open(&decoding, &kMemory, &memory, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_SETTINGS);
    EXPECT_EQ(zarn_ogg_file_open(nullptr, nullptr, &memory, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);
    const zarn_io_callbacks noTell{readMemory, seekMemory, nullptr};
    EXPECT_EQ(zarn_ogg_file_open(nullptr, &noTell, &memory, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_ARGUMENT);

    // NULL objects and buffers.
    EXPECT_EQ(zarn_ogg_encoder_write(nullptr, nullptr, 0), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_encoder_finish(nullptr), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_decoder_write(nullptr, nullptr, 0), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_file_read(nullptr, nullptr, 0), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_file_seek(nullptr, 0), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_file_length(nullptr), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_file_state(nullptr, nullptr), ZARN_ERROR_ARGUMENT);
    EXPECT_EQ(zarn_ogg_decoder_tag(nullptr, 0), nullptr);
    zarn_ogg_encoder_destroy(nullptr);
    zarn_ogg_decoder_destroy(nullptr);
    zarn_ogg_file_close(nullptr);
}

// An output function that refuses once, and one that calls back into its
// own encoder.
int refuse(void*, const std::uint8_t*, std::size_t) { return -1; }

struct Reentry {
    zarn_ogg_encoder* encoder = nullptr;
    std::vector<int> outcomes;
    std::vector<int> states;
};

int callBack(void* to, const std::uint8_t*, std::size_t) {
    auto& back = *static_cast<Reentry*>(to);
    const std::int16_t frame[2] = {1, 2};
    back.outcomes.push_back(zarn_ogg_encoder_write(back.encoder, frame, 1));
    back.outcomes.push_back(zarn_ogg_encoder_finish(back.encoder));
    back.states.push_back(zarn_ogg_encoder_state(back.encoder, nullptr));
    return 0;
}

std::int16_t* buffer() {
    static std::int16_t room[1000 * ZARN_MAX_CHANNELS];
    return room;
}

TEST(OggLibrary, FinishedFailedAndBusyAreToldApartAndTheFirstCauseIsKept) {
    const Samples in = music(1000, 2);
    const zarn_ogg_encoder_settings settings = encoderSettings(2);
    zarn_ogg_encoder* encoder = zarn_ogg_encoder_create(&settings, refuse, nullptr, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_state(encoder, nullptr), ZARN_STATE_OPEN);
    EXPECT_EQ(zarn_ogg_encoder_write(encoder, in.data(), 1000), ZARN_ERROR_OUTPUT);
    EXPECT_EQ(zarn_ogg_encoder_write(encoder, in.data(), 1000), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_ERROR_FAILED);
    int cause = ZARN_OK;
    EXPECT_EQ(zarn_ogg_encoder_state(encoder, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_OUTPUT);
    zarn_ogg_encoder_destroy(encoder);

    Bytes out;
    encoder = zarn_ogg_encoder_create(&settings, collectBytes, &out, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_OK);
    EXPECT_EQ(zarn_ogg_encoder_write(encoder, in.data(), 1), ZARN_ERROR_FINISHED);
    EXPECT_EQ(zarn_ogg_encoder_finish(encoder), ZARN_ERROR_FINISHED);
    EXPECT_EQ(zarn_ogg_encoder_state(encoder, &cause), ZARN_STATE_FINISHED);
    EXPECT_EQ(cause, ZARN_OK);
    zarn_ogg_encoder_destroy(encoder);

    Reentry back;
    back.encoder = zarn_ogg_encoder_create(&settings, callBack, &back, nullptr);
    EXPECT_EQ(zarn_ogg_encoder_write(back.encoder, in.data(), 1000), ZARN_OK);
    EXPECT_EQ(zarn_ogg_encoder_finish(back.encoder), ZARN_OK);
    ASSERT_FALSE(back.outcomes.empty());
    EXPECT_EQ(std::count(back.outcomes.begin(), back.outcomes.end(), ZARN_ERROR_BUSY),
              static_cast<std::ptrdiff_t>(back.outcomes.size()));
    EXPECT_EQ(std::count(back.states.begin(), back.states.end(), ZARN_STATE_BUSY),
              static_cast<std::ptrdiff_t>(back.states.size()));
    zarn_ogg_encoder_destroy(back.encoder);

    // A decoder's damage is its first cause, and the finish after it fails.
    const Bytes file = encodeOgg(in, 2);
    Pushed pushed;
    zarn_ogg_decoder* decoder = zarn_ogg_decoder_create(nullptr, keepPushed, &pushed, nullptr);
    Bytes cut(file.begin(), file.end() - 10);
    EXPECT_EQ(zarn_ogg_decoder_write(decoder, cut.data(), cut.size()), ZARN_OK);
    EXPECT_EQ(zarn_ogg_decoder_finish(decoder), ZARN_ERROR_CUT_SHORT);
    EXPECT_EQ(zarn_ogg_decoder_finish(decoder), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_ogg_decoder_state(decoder, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_CUT_SHORT);
    zarn_ogg_decoder_destroy(decoder);

    // The file's own functions failing, or throwing, are its failure, and a
    // call back into the file from them is refused as busy.
    const Bytes longer = encodeOgg(music(2 * 44100, 2), 2);
    MemoryFile memory{&longer};
    zarn_ogg_file* opened = openMemory(memory, nullptr);
    ASSERT_NE(opened, nullptr);
    memory.callBack = opened;
    EXPECT_EQ(zarn_ogg_file_read(opened, buffer(), 1000), 1000);
    ASSERT_FALSE(memory.callBackOutcomes.empty());
    EXPECT_EQ(std::count(memory.callBackOutcomes.begin(), memory.callBackOutcomes.end(), ZARN_ERROR_BUSY),
              static_cast<std::ptrdiff_t>(memory.callBackOutcomes.size()));
    memory.callBack = nullptr;
    EXPECT_EQ(zarn_ogg_file_state(opened, &cause), ZARN_STATE_OPEN);
    memory.throwOnRead = true;
    long got = 0;
    while ((got = zarn_ogg_file_read(opened, buffer(), 1000)) > 0) {
    }
    EXPECT_EQ(got, ZARN_ERROR_IO) << "what was decoded before comes first";
    EXPECT_EQ(zarn_ogg_file_read(opened, buffer(), 1000), ZARN_ERROR_FAILED);
    EXPECT_EQ(zarn_ogg_file_state(opened, &cause), ZARN_STATE_FAILED);
    EXPECT_EQ(cause, ZARN_ERROR_IO);
    zarn_ogg_file_close(opened);
    memory = MemoryFile{&longer};
    memory.failReads = true;
    int error = 0;
    EXPECT_EQ(openMemory(memory, &error), nullptr);
    EXPECT_EQ(error, ZARN_ERROR_IO);
}

TEST(OggLibrary, NothingIsPrintedWhateverTheInput) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const Bytes file = encodeOgg(music(3000, 6), 6);
    for (std::size_t at = 0; at < file.size(); at += 97) {
        Bytes bad = file;
        bad[at] = static_cast<std::uint8_t>(~bad[at]);
        push(bad, 333, at % 2 == 0);
        MemoryFile memory{&bad};
        if (zarn_ogg_file* opened = openMemory(memory, nullptr, true)) {
            readAll(opened, 100);
            zarn_ogg_file_close(opened);
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(OggLibrary, TheExampleDecodesFromAGivenSecondWhatTheWholeDecodeHasThere) {
    const int channels = 2;
    const std::size_t frames = 3 * 44100 + 500;
    const Bytes file = encodeOgg(music(frames, channels), channels, {"TITLE=Prøve"});
    const Samples whole = reference(file);
    TempDir dir;
    writeFile(dir.file("in.oza"), file);
    for (const auto& [seconds, first] : {std::pair{"0", std::size_t{0}}, std::pair{"1.5", std::size_t{66150}},
                                         std::pair{"3", std::size_t{132300}}, std::pair{"9", frames}}) {
        SCOPED_TRACE(seconds);
        const RunResult run =
            runCommand(targetCommand(ZARN_DECODE_FROM_PATH) + " in.oza " + seconds, dir.path(), "");
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_NE(run.err.find("channels 2, original rate 48000 Hz, length 132800 samples per channel\nTITLE=Prøve\n"),
                  std::string::npos)
            << run.err;
        ASSERT_EQ(run.out.size(), (frames - first) * channels * 2);
        for (std::size_t i = 0; i < run.out.size() / 2; ++i) {
            const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(run.out[2 * i]) |
                                                         static_cast<std::uint8_t>(run.out[2 * i + 1]) << 8);
            ASSERT_EQ(value, whole[first * channels + i]) << i;
        }
    }
    const RunResult bad = runCommand(targetCommand(ZARN_DECODE_FROM_PATH) + " in.oza soon", dir.path(), "");
    EXPECT_EQ(bad.exitStatus, 2);
    writeFile(dir.file("noise.oza"), Bytes(3000, 7));
    const RunResult noise = runCommand(targetCommand(ZARN_DECODE_FROM_PATH) + " noise.oza 0", dir.path(), "");
    EXPECT_EQ(noise.exitStatus, 1);
    EXPECT_NE(noise.err.find(zarn_strerror(ZARN_ERROR_NOT_ZARN)), std::string::npos) << noise.err;
}

}  // namespace
}  // namespace zarn::test
