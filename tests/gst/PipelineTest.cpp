// The plugin's elements in the pipelines players build: both forms decode
// through uridecodebin to the library's samples, seek to the sample, tell
// their duration, channels and tags before playing, play past damage with
// a warning, and encode what decodebin gives with the pipeline's tags.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include "lib/zarn.h"
#include "tests/gst/GstTestSupport.h"

namespace zarn::test {
namespace {

using Samples = std::vector<Sample>;

std::string uriOf(const std::string& path) {
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    std::string out = uri;
    g_free(uri);
    return out;
}

struct Played {
    Samples samples;  // interleaved, as the pipeline gave them
    std::vector<GstAudioChannelPosition> positions;
    std::uint64_t firstSample = 0;  // the first buffer's place, from its time
    std::vector<std::string> warnings;
    std::string error;
};

// What `description` (ending in an appsink named "sink") plays, from
// `seekTo` nanoseconds on when given.
Played play(const std::string& description, GstClockTime seekTo = GST_CLOCK_TIME_NONE) {
    startGStreamer();
    Played out;
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (pipeline == nullptr) {
        out.error = error != nullptr ? error->message : "no pipeline";
        g_clear_error(&error);
        return out;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (gst_element_get_state(pipeline, nullptr, nullptr, 20 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS &&
        GST_CLOCK_TIME_IS_VALID(seekTo)) {
        EXPECT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), (gint64)seekTo));
        gst_element_get_state(pipeline, nullptr, nullptr, 20 * GST_SECOND);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    bool first = true;
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND)) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (first) {
            GstAudioInfo info;
            gst_audio_info_from_caps(&info, gst_sample_get_caps(sample));
            out.positions.assign(info.position, info.position + GST_AUDIO_INFO_CHANNELS(&info));
            out.firstSample = gst_util_uint64_scale_round(GST_BUFFER_PTS(buffer), 44100, GST_SECOND);
            first = false;
        }
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const auto* samples = reinterpret_cast<const Sample*>(map.data);
        out.samples.insert(out.samples.end(), samples, samples + map.size / sizeof(Sample));
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    while (GstMessage* message = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_WARNING | GST_MESSAGE_ERROR))) {
        GError* said = nullptr;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) {
            gst_message_parse_warning(message, &said, nullptr);
            out.warnings.emplace_back(said->message);
        } else {
            gst_message_parse_error(message, &said, nullptr);
            out.error = said->message;
        }
        g_clear_error(&said);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return out;
}

Played playFile(const std::string& path, GstClockTime seekTo = GST_CLOCK_TIME_NONE) {
    return play("uridecodebin uri=" + uriOf(path) + " ! appsink name=sink", seekTo);
}

// The library's decoding of an Ogg Zarn file, in the stream's channel order.
struct Memory {
    const Bytes* bytes;
    std::size_t at = 0;
};

Samples decodeOgg(const Bytes& bytes, int& channels) {
    Memory memory{&bytes};
    zarn_io_callbacks io{};
    io.read = [](void* user, std::uint8_t* buffer, std::size_t size) -> long {
        auto& m = *static_cast<Memory*>(user);
        const std::size_t take = std::min(size, m.bytes->size() - m.at);
        std::memcpy(buffer, m.bytes->data() + m.at, take);
        m.at += take;
        return static_cast<long>(take);
    };
    io.seek = [](void* user, std::int64_t offset, int whence) -> int {
        auto& m = *static_cast<Memory*>(user);
        const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? std::int64_t(m.at) : std::int64_t(m.bytes->size());
        if (base + offset < 0 || std::uint64_t(base + offset) > m.bytes->size()) return -1;
        m.at = std::size_t(base + offset);
        return 0;
    };
    io.tell = [](void* user) -> std::int64_t { return std::int64_t(static_cast<Memory*>(user)->at); };
    int error = 0;
    zarn_ogg_file* file = zarn_ogg_file_open(nullptr, &io, &memory, &error);
    EXPECT_NE(file, nullptr) << zarn_strerror(error);
    if (file == nullptr) return {};
    channels = zarn_ogg_file_channels(file);
    Samples out;
    Sample buffer[4096 * 8];
    for (long n; (n = zarn_ogg_file_read(file, buffer, 4096)) > 0;) out.insert(out.end(), buffer, buffer + n * channels);
    zarn_ogg_file_close(file);
    return out;
}

Samples decodeBare(const Bytes& bytes) {
    Samples out;
    int error = 0;
    zarn_decoder* decoder = zarn_decoder_create(
        [](void* user, const std::int16_t* samples, std::size_t count) {
            static_cast<Samples*>(user)->insert(static_cast<Samples*>(user)->end(), samples, samples + count);
            return 0;
        },
        &out, &error);
    EXPECT_EQ(zarn_decoder_write(decoder, bytes.data(), bytes.size()), ZARN_OK);
    EXPECT_EQ(zarn_decoder_finish(decoder), ZARN_OK);
    zarn_decoder_destroy(decoder);
    return out;
}

TEST(GstPipeline, BothFormsDecodeToTheLibrarysSamples) {
    const Bytes bare = bareStream(3 * 44100 + 100);
    const Played fromBare = playFile(writeFile("play.zarn", bare));
    EXPECT_EQ(fromBare.error, "");
    EXPECT_TRUE(fromBare.samples == decodeBare(bare));

    for (const unsigned channels : {1u, 2u}) {
        const Bytes ogg = oggZarn(2 * 44100 + 77, channels);
        const Played played = playFile(writeFile("play.oza", ogg));
        EXPECT_EQ(played.error, "");
        int got = 0;
        EXPECT_TRUE(played.samples == decodeOgg(ogg, got)) << channels << " channels";
        EXPECT_EQ(played.samples.size(), (2 * 44100 + 77) * channels);
    }
}

// What `zarn -d` writes for `path`, read back interleaved.
Samples zarnDecoded(const std::string& path) {
    const std::string wav = tempPath("zarn-d.wav");
    EXPECT_EQ(std::system(("'" ZARN_PATH "' -d -q -f -o '" + wav + "' '" + path + "'").c_str()), 0);
    SF_INFO info{};
    SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return {};
    Samples out(std::size_t(info.frames) * std::size_t(info.channels));
    sf_readf_short(file, out.data(), info.frames);
    sf_close(file);
    return out;
}

TEST(GstPipeline, BothFormsPlayAsZarnDecodesThem) {
    const std::string oza = writeFile("as-zarn.oza", oggZarn(3 * 44100 + 11, 2));
    const std::string bare = writeFile("as-zarn.zarn", bareStream(2 * 44100));
    EXPECT_TRUE(playFile(oza).samples == zarnDecoded(oza));
    EXPECT_TRUE(playFile(bare).samples == zarnDecoded(bare));
}

TEST(GstPipeline, SixChannelsComeOutEachInItsSpeakersPlace) {
    const Bytes ogg = oggZarn(44100, 6);
    const Played played = playFile(writeFile("six.oza", ogg));
    int channels = 0;
    const Samples stream = decodeOgg(ogg, channels);
    ASSERT_EQ(channels, 6);
    ASSERT_EQ(played.positions.size(), 6u);
    ASSERT_EQ(played.samples.size(), stream.size());
    // The stream's speakers in its own order.
    const GstAudioChannelPosition order[6] = {GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER,
                                              GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT,
                                              GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, GST_AUDIO_CHANNEL_POSITION_LFE1};
    for (unsigned out = 0; out < 6; ++out) {
        unsigned in = 0;
        while (in < 6 && order[in] != played.positions[out]) ++in;
        ASSERT_LT(in, 6u) << "no stream channel sits at output channel " << out;
        for (std::size_t f = 0; f < 44100; f += 97) ASSERT_EQ(played.samples[f * 6 + out], stream[f * 6 + in]) << f;
    }
    // LFE is the stream's last channel and not the output's last.
    EXPECT_NE(played.positions[5], GST_AUDIO_CHANNEL_POSITION_LFE1);
}

TEST(GstPipeline, SeeksToTheSampleInOggZarnAndToTheFrameInTheBareStream) {
    const std::size_t length = 5 * 44100;
    const Bytes ogg = oggZarn(length, 2);
    const std::string oza = writeFile("seek.oza", ogg);
    int channels = 0;
    const Samples whole = decodeOgg(ogg, channels);
    for (const std::uint64_t target : std::vector<std::uint64_t>{0, 1, 44100 + 129, 3 * 44100 + 256, length - 1}) {
        const GstClockTime at = gst_util_uint64_scale_int(target, GST_SECOND, 44100);
        const Played played = playFile(oza, at);
        EXPECT_EQ(played.firstSample, target);
        ASSERT_EQ(played.samples.size(), (length - target) * 2) << target;
        EXPECT_TRUE(std::equal(played.samples.begin(), played.samples.end(), whole.begin() + std::ptrdiff_t(target * 2)))
            << "from sample " << target;
    }

    const Bytes bare = bareStream(length);
    const std::string zarn = writeFile("seek.zarn", bare);
    const Samples bareWhole = decodeBare(bare);
    for (const std::uint64_t target : std::vector<std::uint64_t>{256 * 100, 256 * 300 + 17, 256 * 850}) {
        const Played played = playFile(zarn, gst_util_uint64_scale_int(target, GST_SECOND, 44100));
        EXPECT_LE(played.firstSample, target);
        EXPECT_GT(played.firstSample + 256, target);
        ASSERT_EQ(played.samples.size(), bareWhole.size() - played.firstSample) << target;
        EXPECT_TRUE(std::equal(played.samples.begin(), played.samples.end(),
                               bareWhole.begin() + std::ptrdiff_t(played.firstSample)))
            << "from sample " << target;
    }
}

TEST(GstPipeline, ThePlayerKnowsDurationChannelsAndTagsBeforePlaying) {
    startGStreamer();
    const std::string oza = writeFile("discover.oza", oggZarn(2 * 44100 + 5, 2, {"TITLE=Æblegrød", "ARTIST=Zarn"}));
    const std::string zarn = writeFile("discover.zarn", bareStream(1000 * 256));
    GstDiscoverer* discoverer = gst_discoverer_new(20 * GST_SECOND, nullptr);
    ASSERT_NE(discoverer, nullptr);
    for (const auto& [path, channels, samples] :
         {std::tuple<std::string, unsigned, std::uint64_t>{oza, 2, 2 * 44100 + 5}, {zarn, 1, 1000 * 256}}) {
        GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uriOf(path).c_str(), nullptr);
        ASSERT_NE(info, nullptr) << path;
        EXPECT_EQ(gst_discoverer_info_get_result(info), GST_DISCOVERER_OK) << path;
        EXPECT_EQ(gst_discoverer_info_get_duration(info), gst_util_uint64_scale_int(samples, GST_SECOND, 44100)) << path;
        GList* audio = gst_discoverer_info_get_audio_streams(info);
        ASSERT_NE(audio, nullptr) << path;
        auto* stream = GST_DISCOVERER_AUDIO_INFO(audio->data);
        EXPECT_EQ(gst_discoverer_audio_info_get_channels(stream), channels);
        EXPECT_EQ(gst_discoverer_audio_info_get_sample_rate(stream), 44100u);
        if (path == oza) {
            const GstTagList* tags = gst_discoverer_info_get_tags(info);
            gchar* title = nullptr;
            ASSERT_TRUE(tags != nullptr && gst_tag_list_get_string(tags, GST_TAG_TITLE, &title));
            EXPECT_STREQ(title, "Æblegrød");
            g_free(title);
        }
        gst_discoverer_stream_info_list_free(audio);
        gst_discoverer_info_unref(info);
    }
    g_object_unref(discoverer);
}

TEST(GstPipeline, ADamagedFilePlaysToItsEndWithAWarning) {
    const std::size_t length = 4 * 44100;
    Bytes ogg = oggZarn(length, 2);
    ogg[ogg.size() / 2] ^= 0x10;
    const Played played = playFile(writeFile("damaged.oza", ogg));
    EXPECT_EQ(played.error, "");
    EXPECT_EQ(played.samples.size(), length * 2) << "every sample in its place, the lost ones silent";
    ASSERT_FALSE(played.warnings.empty());
    EXPECT_NE(played.warnings[0].find("damaged"), std::string::npos) << played.warnings[0];
}

// A FLAC file written by libsndfile, with tags.
std::string taggedFlac(const std::string& name, int rate, int channels, std::size_t frames) {
    const std::string path = tempPath(name);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr);
    sf_set_string(file, SF_STR_TITLE, "Sang om sø og å");
    sf_set_string(file, SF_STR_ARTIST, "Zarn");
    const Samples music = oggZarnInput(frames, unsigned(channels));
    sf_writef_short(file, music.data(), sf_count_t(frames));
    sf_close(file);
    return path;
}

Bytes readBytes(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(std::uint8_t(c));
    std::fclose(file);
    return bytes;
}

TEST(GstPipeline, EncodesWhatDecodebinGivesWithThePipelinesTags) {
    startGStreamer();
    const std::string flac = taggedFlac("tagged.flac", 48000, 2, 48000 * 2);
    const std::string oza = tempPath("encoded.oza");
    GstElement* pipeline = gst_parse_launch(("filesrc location=\"" + flac +
                                             "\" ! decodebin ! audioconvert ! audioresample ! zarnenc ! "
                                             "filesink location=\"" + oza + "\"")
                                                .c_str(),
                                            nullptr);
    ASSERT_NE(pipeline, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    const Bytes bytes = readBytes(oza);
    int channels = 0;
    const Samples decoded = decodeOgg(bytes, channels);
    EXPECT_EQ(channels, 2);
    // Two seconds, brought to 44.1 kHz.
    EXPECT_NEAR(double(decoded.size()) / 2, 2 * 44100, 64);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("TITLE=Sang om sø og å"), std::string::npos);
    EXPECT_NE(text.find("ARTIST=Zarn"), std::string::npos);
}

TEST(GstPipeline, TheMenuProgramsEncodersWriteTheirExactBytes) {
    startGStreamer();
    const std::size_t frames = 44100 + 300;
    const Samples music = oggZarnInput(frames, 1);
    const std::string wav = tempPath("mono.wav");
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_short(file, music.data(), sf_count_t(frames));
    sf_close(file);
    for (const auto& [mode, kind] : {std::pair<const char*, int>{"full", ZARN_ENCODER_FULL}, {"reduced", ZARN_ENCODER_REDUCED}}) {
        const std::string out = tempPath(std::string("menu-") + mode + ".zarn");
        GstElement* pipeline = gst_parse_launch(("filesrc location=\"" + wav + "\" ! decodebin ! zarnenc mode=" + mode +
                                                 " ! filesink location=\"" + out + "\"")
                                                    .c_str(),
                                                nullptr);
        ASSERT_NE(pipeline, nullptr);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* end =
            gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        ASSERT_NE(end, nullptr);
        EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS) << mode;
        gst_message_unref(end);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);

        Bytes expected;
        int error = 0;
        zarn_encoder* encoder = zarn_encoder_create(
            kind,
            [](void* user, const std::uint8_t* bytes, std::size_t size) {
                static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), bytes, bytes + size);
                return 0;
            },
            &expected, &error);
        ASSERT_EQ(zarn_encoder_write(encoder, music.data(), music.size()), ZARN_OK);
        ASSERT_EQ(zarn_encoder_finish(encoder), ZARN_OK);
        zarn_encoder_destroy(encoder);
        EXPECT_TRUE(readBytes(out) == expected) << mode;
    }
}

}  // namespace
}  // namespace zarn::test
