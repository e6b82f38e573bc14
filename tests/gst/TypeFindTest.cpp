// GStreamer knows both forms of Zarn by their bytes alone, and takes
// neither MPEG audio, whose sync word looks like the frame tag, nor Ogg of
// another codec for Zarn.

#include <cstdio>
#include <string>

#include <sndfile.h>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "tests/gst/GstTestSupport.h"

namespace zarn::test {
namespace {

// The media type GStreamer finds for a file of `bytes` with a name that
// says nothing, as a player's pipeline finds it; "" for none.
std::string typeOf(const Bytes& bytes) {
    startGStreamer();
    const std::string path = writeFile("typefind-input", bytes);
    GstElement* pipeline = gst_parse_launch(("filesrc location=\"" + path + "\" ! typefind name=find ! fakesink").c_str(), nullptr);
    if (pipeline == nullptr) return "no pipeline";
    GstElement* find = gst_bin_get_by_name(GST_BIN(pipeline), "find");
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
    GstCaps* caps = nullptr;
    g_object_get(find, "caps", &caps, nullptr);
    std::string name = caps != nullptr ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
    if (caps != nullptr) gst_caps_unref(caps);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(find);
    gst_object_unref(pipeline);
    return name;
}

// MPEG-1 layer III frames at 128 kbit/s and 44.1 kHz, 417 bytes each, with
// nothing in them.
Bytes mpegAudio(std::size_t frames) {
    Bytes out;
    for (std::size_t f = 0; f < frames; ++f) {
        const Bytes header = {0xff, 0xfb, 0x90, 0x64};
        out.insert(out.end(), header.begin(), header.end());
        out.resize(out.size() + 413, 0);
    }
    return out;
}

// Ogg Vorbis, as libsndfile writes it.
Bytes oggVorbis() {
    const std::string path = tempPath("vorbis.ogg");
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr) return {};
    const std::vector<Sample> music = oggZarnInput(44100, 2);
    sf_writef_short(file, music.data(), 44100);
    sf_close(file);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    Bytes bytes;
    for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(in);
    return bytes;
}

TEST(GstTypeFind, KnowsBothFormsByTheirBytes) {
    EXPECT_EQ(typeOf(bareStream(5 * 44100)), "audio/x-zarn");
    EXPECT_EQ(typeOf(bareStream(5 * 44100, 64)), "audio/x-zarn");
    // Shorter than the frames that make a long stream certain: it ends
    // exactly after its last frame.
    EXPECT_EQ(typeOf(bareStream(600)), "audio/x-zarn");
    for (const unsigned channels : {1u, 2u, 6u}) EXPECT_EQ(typeOf(oggZarn(44100, channels)), "application/x-zarn-ogg");
    EXPECT_EQ(typeOf(oggZarn(0, 2)), "application/x-zarn-ogg");
}

TEST(GstTypeFind, TakesNeitherMpegAudioNorAnotherCodecsOgg) {
    EXPECT_EQ(typeOf(mpegAudio(20)), "audio/mpeg");
    EXPECT_EQ(typeOf(oggVorbis()), "audio/ogg");
    // A stream cut inside its first frames is no stream the finder is sure of.
    Bytes cut = bareStream(44100);
    cut.resize(cut.size() / 2 + 1);
    EXPECT_NE(typeOf(Bytes(cut.begin(), cut.begin() + 40)), "audio/x-zarn");
}

}  // namespace
}  // namespace zarn::test
