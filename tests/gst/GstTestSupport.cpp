#include "tests/gst/GstTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "container/OggZarnEncoder.h"
#include "rate/RateEncoder.h"
#include "stream/FramePacking.h"
#include "tools/MusicSignal.h"

namespace zarn::test {

void startGStreamer() {
    static const bool started = [] {
        // The registry of the build's plugin alone beside the system's, so
        // that an installed copy, or the user's cache, plays no part.
        const std::string registry = ::testing::TempDir() + "zarn-gst-registry.bin";
        setenv("GST_REGISTRY", registry.c_str(), 1);
        setenv("GST_PLUGIN_PATH", ZARN_GST_PLUGIN_DIR, 1);
        setenv("GST_REGISTRY_FORK", "no", 1);
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)started;
}

std::vector<Sample> oggZarnInput(std::size_t samples, unsigned channels) {
    std::vector<Sample> out(samples * channels);
    for (unsigned c = 0; c < channels; ++c) {
        const std::vector<Sample> music = makeMusicSignal(samples, 11 + c);
        for (std::size_t i = 0; i < samples; ++i) out[i * channels + c] = music[i];
    }
    return out;
}

Bytes bareStream(std::size_t samples, unsigned kbitPerSecond) {
    std::vector<Sample> music = makeMusicSignal(samples, 4);
    const std::size_t hops = std::max<std::size_t>(1, (samples + kHop - 1) / kHop);
    music.resize(hops * kHop);
    std::vector<EncodedFrame> frames(hops);
    const auto encoder = std::make_unique<RateEncoder>(kbitPerSecond);
    UnwatchedEncoding nobody;
    encoder->encodeBatch(music.data(), hops, frames.data(), nobody, true);
    Bytes out;
    std::uint8_t frame[kMaxFrameBytes];
    for (const EncodedFrame& f : frames) {
        const std::size_t size = packFrame(f, frame);
        out.insert(out.end(), frame, frame + size);
    }
    return out;
}

namespace {

bool appendPage(void* to, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
                std::size_t bodySize) {
    auto& out = *static_cast<Bytes*>(to);
    out.insert(out.end(), header, header + headerSize);
    out.insert(out.end(), body, body + bodySize);
    return true;
}

}  // namespace

Bytes oggZarn(std::size_t samples, unsigned channels, const std::vector<std::string>& tags,
              std::uint32_t originalRate) {
    OggZarnEncoder::Settings settings;
    settings.channels = channels;
    settings.kbitPerSecond = 128 * channels;
    settings.originalRate = originalRate;
    settings.serial = 0x5a41524e;
    Bytes out;
    const auto encoder = std::make_unique<OggZarnEncoder>(settings, appendPage, &out);
    std::vector<std::string_view> views(tags.begin(), tags.end());
    Bytes comments(commentHeaderBytes("Zarn test", views.data(), views.size()));
    HeaderError error;
    EXPECT_EQ(writeComments("Zarn test", views.data(), views.size(), comments.data(), comments.size(), error),
              comments.size());
    EXPECT_EQ(encoder->begin(comments.data(), comments.size()), OggZarnEncoder::Status::ok);
    const std::vector<Sample> input = oggZarnInput(samples, channels);
    EXPECT_EQ(encoder->write(input.data(), samples), OggZarnEncoder::Status::ok);
    EXPECT_EQ(encoder->finish(), OggZarnEncoder::Status::ok);
    return out;
}

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "zarn-gst-" + std::to_string(getpid()) + "-" + name;
}

std::string writeFile(const std::string& name, const Bytes& bytes) {
    const std::string path = tempPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return path;
}

}  // namespace zarn::test
