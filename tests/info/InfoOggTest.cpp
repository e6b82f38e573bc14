// zarninfo on Ogg Zarn: the stream's own figures (channels, coupling hop by
// hop, the original rate, the exact length, tags, silent hops), each
// channel's figures as those of its frames taken out as a bare stream, each
// channel measured against its own channel of the original, and damage
// reported where the file goes on.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "container/OggZarnEncoder.h"
#include "container/OggZarnReader.h"
#include "container/OggZarnWriter.h"
#include "stream/FramePacking.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/container/JointEncoding.h"
#include "tests/info/InfoTestSupport.h"
#include "tests/support/Locales.h"

namespace zarn::test {
namespace {

using Channels = std::vector<std::vector<Sample>>;

// An Ogg Zarn file as the tests write it, and what they know of it.
struct OggSound {
    Bytes bytes;
    std::vector<Bytes> bare;  // each channel's frames, as a .zarn holds them
    std::size_t hops = 0;
    std::size_t midSideHops = 0;
    std::size_t silentHops = 0;
    std::vector<std::size_t> pageStarts;
};

bool keepPage(void* user, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
              std::size_t bodySize) {
    auto& sound = *static_cast<OggSound*>(user);
    sound.pageStarts.push_back(sound.bytes.size());
    sound.bytes.insert(sound.bytes.end(), header, header + headerSize);
    sound.bytes.insert(sound.bytes.end(), body, body + bodySize);
    return true;
}

// `input` coded together by the joint rate encoder; a hop that is silent in
// every channel becomes an empty packet.
OggSound writeOgg(const Channels& input, std::uint32_t originalRate, const std::vector<std::string_view>& tags) {
    const std::size_t channels = input.size(), samples = input[0].size();
    const std::vector<JointHop> hops = encodeJoint(input);
    OggSound sound;
    sound.bare.resize(channels);
    OggZarnWriter writer(5, keepPage, &sound);
    Identification header;
    header.channels = static_cast<std::uint8_t>(channels);
    header.coupling = channels > 1 ? Coupling::frontPair : Coupling::separate;
    header.originalRate = originalRate;
    Bytes comments(commentHeaderBytes("test vendor", tags.data(), tags.size()));
    HeaderError error;
    EXPECT_EQ(writeComments("test vendor", tags.data(), tags.size(), comments.data(), comments.size(), error),
              comments.size());
    EXPECT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    std::vector<std::array<std::uint8_t, kMaxFrameBytes>> packed(channels);
    std::vector<FrameBytes> frames(channels);
    for (std::size_t h = 0; h < hops.size(); ++h) {
        // Digital silence in every channel, over the hop and the one before
        // (which its block overlaps), is an empty packet: every channel's
        // silent frame.
        bool silent = true;
        for (std::size_t i = h == 0 ? 0 : (h - 1) * kHop; i < std::min(samples, (h + 1) * kHop); ++i) {
            for (std::size_t c = 0; c < channels; ++c) silent = silent && input[c][i] == 0;
        }
        for (std::size_t c = 0; c < channels; ++c) {
            frames[c] = silent ? FrameBytes{kSilentFrame.data(), kSilentFrame.size()}
                               : FrameBytes{packed[c].data(), packFrame(hops[h].frames[c], packed[c].data())};
        }
        for (std::size_t c = 0; c < channels; ++c) {
            sound.bare[c].insert(sound.bare[c].end(), frames[c].bytes, frames[c].bytes + frames[c].size);
        }
        const auto status = silent ? writer.silentHop() : writer.hop(frames.data(), hops[h].midSide);
        EXPECT_EQ(status, OggZarnWriter::Status::ok);
        sound.silentHops += silent;
        sound.midSideHops += !silent && hops[h].midSide;
    }
    sound.hops = hops.size();
    EXPECT_EQ(writer.finish(samples), OggZarnWriter::Status::ok);
    return sound;
}

// A tone that swells and fades four times a second, over soft noise.
std::vector<Sample> tone(std::size_t samples, double hz, std::uint32_t seed) {
    constexpr double kPi = 3.14159265358979323846;
    const std::vector<Sample> noise = makeMusicSignal(samples, seed);
    std::vector<Sample> out(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        out[i] = static_cast<Sample>(std::lrint(6000.0 * (0.6 + 0.4 * std::sin(2 * kPi * 4 * t)) *
                                                    std::sin(2 * kPi * hz * t) +
                                                0.1 * noise[i]));
    }
    return out;
}

// A sound of its own in each channel: tones far apart, so that a channel
// measured against another lies far below the coding's own error.
Channels distinct(std::size_t samples, unsigned channels) {
    Channels out;
    for (unsigned c = 0; c < channels; ++c) out.push_back(tone(samples, 330.0 * (c + 1) + 17.0 * c * c, c + 1));
    return out;
}

// A stereo sound in three parts: both channels alike (mid/side pays), then
// digital silence, then two sounds of their own.
Channels threeParts() {
    constexpr std::size_t kPart = 40 * 256;
    const std::vector<Sample> one = makeMusicSignal(3 * kPart, 1), two = tone(3 * kPart, 1234.0, 9);
    Channels out(2, std::vector<Sample>(3 * kPart - 100, 0));
    for (std::size_t i = 0; i < kPart; ++i) out[0][i] = out[1][i] = one[i];
    for (std::size_t i = 2 * kPart; i < out[0].size(); ++i) {
        out[0][i] = one[i];
        out[1][i] = two[i];
    }
    return out;
}

void writeWave(const std::string& path, const Channels& vorbisOrder, const std::vector<unsigned>& waveOfPlace) {
    std::vector<double> frames;
    const std::size_t channels = vorbisOrder.size();
    std::vector<unsigned> placeOfWave(channels);
    for (unsigned place = 0; place < channels; ++place) placeOfWave[waveOfPlace[place]] = place;
    for (std::size_t i = 0; i < vorbisOrder[0].size(); ++i) {
        for (std::size_t w = 0; w < channels; ++w) frames.push_back(vorbisOrder[placeOfWave[w]][i] / 32768.0);
    }
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, static_cast<int>(channels), 44100, frames);
}

// The text of the report from the line that begins with `start` to the
// next that begins with `end` (or the end).
std::string section(const std::string& out, const std::string& start, const std::string& end = "\n\n\n") {
    const std::size_t from = out.find(start);
    if (from == std::string::npos) return "(no " + start + ")";
    const std::size_t to = out.find(end, from + start.size());
    return out.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// A bare report's figures and bands, without its first line: what a
// channel's section repeats.
std::string afterFirstLine(const std::string& out) { return out.substr(out.find('\n') + 1); }

std::size_t rowsWith(const std::string& out, const std::string& word) {
    std::istringstream lines(out);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        std::vector<std::string> row{std::istream_iterator<std::string>(cells), std::istream_iterator<std::string>()};
        count += row.size() >= 3 && row[2] == word;
    }
    return count;
}

TEST(InfoOgg, AStereoFileTellsItsCouplingSilenceRateLengthAndTags) {
    TempDir dir;
    const Channels input = threeParts();
    const OggSound sound = writeOgg(input, 48000, {"TITLE=Tre dele", "ARTIST=Åse Ødegård", "COMMENT="});
    ASSERT_GT(sound.midSideHops, 20u);
    ASSERT_GE(sound.silentHops, 38u);
    writeFile(dir.file("three.oza"), sound.bytes);
    const RunResult result = runInfo(dir, {"three.oza", "--hops"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Ogg Zarn file: three.oza\n", 0), 0u) << result.out;
    EXPECT_EQ(figure(result.out, "Channels"), "2 (left, right)");
    EXPECT_EQ(figure(result.out, "Coupling"), "left and right as mid/side where it saves bits");
    const auto share = [&](std::size_t hops) {
        std::ostringstream text;
        text.setf(std::ios::fixed);
        text.precision(1);
        text << hops << " (" << 100.0 * hops / sound.hops << " %)";
        return text.str();
    };
    EXPECT_EQ(figure(result.out, "Mid/side hops"), share(sound.midSideHops));
    EXPECT_EQ(figure(result.out, "Left/right hops"), share(sound.hops - sound.midSideHops - sound.silentHops));
    EXPECT_EQ(figure(result.out, "Silent hops (empty packets)"), share(sound.silentHops));
    EXPECT_EQ(figure(result.out, "Hops"), std::to_string(sound.hops));
    EXPECT_EQ(figure(result.out, "Original rate"), "48000 Hz");
    EXPECT_EQ(figure(result.out, "Length"), "30620 samples (0.694 s)");
    EXPECT_EQ(figure(result.out, "Damage"), "none");
    EXPECT_NE(result.out.find("Tags (vendor: test vendor):\n  TITLE=Tre dele\n  ARTIST=Åse Ødegård\n  COMMENT=\n"),
              std::string::npos)
        << result.out;
    // The hop table's coupling column says the same, hop by hop.
    EXPECT_EQ(rowsWith(result.out, "M/S"), sound.midSideHops);
    EXPECT_EQ(rowsWith(result.out, "silent"), sound.silentHops);
    EXPECT_EQ(rowsWith(result.out, "L/R"), sound.hops - sound.midSideHops - sound.silentHops);
}

// The stream's figures, the speakers and the damage in Danish, with the
// tags as the file holds them.
TEST(InfoOgg, TheReportInDanish) {
    ZARN_REQUIRE_LOCALE(kDanishUtf8);
    TempDir dir;
    const OggSound sound = writeOgg(threeParts(), 48000, {"TITLE=Tre dele"});
    Bytes flipped = sound.bytes;
    flipped[sound.pageStarts[3] + 100] ^= 0x01;
    writeFile(dir.file("three.oza"), flipped);
    const RunResult result = runInfo(dir, {"three.oza"}, kDanishUtf8);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Ogg Zarn-fil: three.oza\n", 0), 0u) << result.out;
    EXPECT_EQ(figure(result.out, "Kanaler"), "2 (venstre, højre)");
    EXPECT_EQ(figure(result.out, "Kobling"), "venstre og højre som midt/side, hvor det sparer bit");
    EXPECT_EQ(figure(result.out, "Oprindelig samplerate"), "48000 Hz");
    EXPECT_EQ(figure(result.out, "Længde"), "30620 samples (0,694 s)");
    EXPECT_NE(result.out.find("Mærker (leverandør: test vendor):\n  TITLE=Tre dele\n"), std::string::npos);
    EXPECT_NE(result.out.find("Skader, afkodet igennem:\n  ved sample "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\nKanal 2 af 2: højre\n"), std::string::npos);
}

TEST(InfoOgg, EachChannelsFiguresAreThoseOfItsFramesAsABareStream) {
    TempDir dir;
    const OggSound stereo = writeOgg(threeParts(), 44100, {});
    const OggSound mono = writeOgg({makeMusicSignal(50 * 256 + 3)}, 22050, {});
    for (const auto& [sound, speakers] : {std::pair<const OggSound&, std::vector<std::string>>{stereo, {"left", "right"}},
                                          {mono, {"mono"}}}) {
        writeFile(dir.file("file.oza"), sound.bytes);
        const RunResult ogg = runInfo(dir, {"file.oza"});
        ASSERT_EQ(ogg.exitStatus, 0) << ogg.err;
        EXPECT_NE(ogg.out.find("Tags (vendor: test vendor):\n  (none)\n"), std::string::npos) << ogg.out;
        const std::string count = std::to_string(speakers.size());
        for (unsigned c = 0; c < speakers.size(); ++c) {
            const std::string name = "channel" + std::to_string(c) + ".zarn";
            writeFile(dir.file(name), sound.bare[c]);
            const RunResult bare = runInfo(dir, {name});
            ASSERT_EQ(bare.exitStatus, 0) << bare.err;
            const std::string heading = "Channel " + std::to_string(c + 1) + " of " + count + ": " + speakers[c];
            EXPECT_EQ(section(ogg.out, heading, "\nChannel "), heading + "\n" + afterFirstLine(bare.out));
        }
    }
    // One channel: nothing to couple, and no hop is either kind.
    writeFile(dir.file("mono.oza"), mono.bytes);
    const RunResult result = runInfo(dir, {"mono.oza", "--hops"});
    EXPECT_EQ(figure(result.out, "Coupling"), "every channel on its own");
    EXPECT_EQ(result.out.find("Mid/side hops"), std::string::npos);
    EXPECT_EQ(figure(result.out, "Original rate"), "22050 Hz");
    EXPECT_EQ(rowsWith(result.out, "-"), mono.hops);
}

TEST(InfoOgg, EachChannelIsMeasuredAgainstItsOwnChannelOfTheOriginal) {
    TempDir dir;
    const Channels input = distinct(30 * 256 + 17, 6);
    writeFile(dir.file("six.oza"), writeOgg(input, 44100, {}).bytes);
    writeWave(dir.file("six.wav"), input, {0, 2, 1, 4, 5, 3});
    const RunResult result = runInfo(dir, {"six.oza", "six.wav"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::size_t compared = 0;
    for (std::size_t at = 0; (at = result.out.find("Compared with the original: six.wav (7697 samples)", at)) !=
                             std::string::npos;
         ++at) {
        ++compared;
        const double snr = std::stod(figure(result.out.substr(at), "SNR"));
        EXPECT_GT(snr, 10.0) << "channel " << compared;
    }
    EXPECT_EQ(compared, 6u);
    EXPECT_EQ(figure(result.out, "Original"), "WAVE, 6 channels, 44.1 kHz, 16 bit");

    // The same channels in the file's own order would be in the wrong
    // places once read as WAVE: centre and right change places.
    writeWave(dir.file("unordered.wav"), input, {0, 1, 2, 3, 4, 5});
    const RunResult swapped = runInfo(dir, {"six.oza", "unordered.wav"});
    ASSERT_EQ(swapped.exitStatus, 0) << swapped.err;
    const std::string second = section(swapped.out, "Channel 2 of 6");
    EXPECT_LT(std::stod(figure(second, "SNR")), 3.0) << second;
}

// The library's own encoder, stereo at 256 kbit/s with a pause of digital
// silence: the hops it counts as written and as empty are the report's.
TEST(InfoOgg, TheEncodersOwnFileReportsItsHopsAndItsSilence) {
    TempDir dir;
    Channels input = threeParts();
    std::vector<Sample> interleaved;
    for (std::size_t i = 0; i < input[0].size(); ++i) {
        interleaved.push_back(input[0][i]);
        interleaved.push_back(input[1][i]);
    }
    OggSound sound;
    OggZarnEncoder::Settings settings;
    settings.channels = 2;
    settings.kbitPerSecond = 256;
    settings.originalRate = 96000;
    ASSERT_TRUE(OggZarnEncoder::valid(settings));
    OggZarnEncoder encoder(settings, keepPage, &sound);
    const std::vector<std::string_view> tags{"GENRE=Støj"};
    Bytes comments(commentHeaderBytes("zarn", tags.data(), tags.size()));
    HeaderError error;
    writeComments("zarn", tags.data(), tags.size(), comments.data(), comments.size(), error);
    ASSERT_EQ(encoder.begin(comments.data(), comments.size()), OggZarnEncoder::Status::ok);
    ASSERT_EQ(encoder.write(interleaved.data(), input[0].size()), OggZarnEncoder::Status::ok);
    ASSERT_EQ(encoder.finish(), OggZarnEncoder::Status::ok);
    ASSERT_GT(encoder.silentHops(), 30u);
    writeFile(dir.file("song.oza"), sound.bytes);
    writeWave(dir.file("song.wav"), input, {0, 1});
    const RunResult result = runInfo(dir, {"song.oza", "song.wav"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(figure(result.out, "Hops"), std::to_string(encoder.hops()));
    EXPECT_EQ(figure(result.out, "Silent hops (empty packets)").substr(0, 3), std::to_string(encoder.silentHops()) + " ");
    EXPECT_EQ(figure(result.out, "Original rate"), "96000 Hz");
    EXPECT_EQ(figure(result.out, "Length"), "30620 samples (0.694 s)");
    EXPECT_NE(result.out.find("Tags (vendor: zarn):\n  GENRE=Støj\n"), std::string::npos) << result.out;
    for (const char* channel : {"Channel 1 of 2", "Channel 2 of 2"}) {
        EXPECT_GT(std::stod(figure(section(result.out, channel), "SNR")), 15.0) << channel;
    }
}

// --channel chooses the channel that the removed signal (and the picture)
// are of; an original at another rate is converted channel by channel.
TEST(InfoOgg, TheRemovedSignalIsOfTheChosenChannel) {
    TempDir dir;
    // The right channel far quieter, so that its error is too.
    Channels input = distinct(80 * 256, 2);
    for (Sample& s : input[1]) s = static_cast<Sample>(s / 16);
    writeFile(dir.file("two.oza"), writeOgg(input, 44100, {}).bytes);
    writeWave(dir.file("two.wav"), input, {0, 1});
    for (const unsigned channel : {1u, 2u}) {
        const std::string removed = "removed" + std::to_string(channel) + ".wav";
        const RunResult result = runInfo(dir, {"two.oza", "two.wav", "--channel", std::to_string(channel),
                                               "--removed", removed, "--picture", "p.png"});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        const std::vector<std::int16_t> samples = readSamples(dir.file(removed));
        ASSERT_EQ(samples.size(), input[0].size());
        double squares = 0.0;
        for (const std::int16_t s : samples) squares += static_cast<double>(s) * s;
        const double level = 10.0 * std::log10(squares / samples.size() / (32768.0 * 32768.0));
        const std::string own = section(result.out, "Channel " + std::to_string(channel) + " of 2");
        const std::string label = "Removed: original minus decoded, RMS";
        EXPECT_NEAR(std::stod(figure(own, label)), level, 0.01) << own;
        EXPECT_TRUE(std::filesystem::exists(dir.file("p.png")));
    }

    // At 48 kHz each channel is converted on its own: each still measures
    // against its own channel of the coded sound.
    std::vector<double> at48[2];
    for (unsigned c = 0; c < 2; ++c) at48[c] = resampled(asDoubles(input[c]), 44100, 48000);
    Channels back(2);
    for (unsigned c = 0; c < 2; ++c) {
        for (const double value : resampled(at48[c], 48000, 44100)) {
            back[c].push_back(static_cast<Sample>(std::clamp(std::lrint(value * 32768), -32768L, 32767L)));
        }
    }
    ASSERT_EQ(back[0].size(), input[0].size());
    writeFile(dir.file("back.oza"), writeOgg(back, 48000, {}).bytes);
    std::vector<double> frames;
    for (std::size_t i = 0; i < at48[0].size(); ++i) {
        frames.push_back(at48[0][i]);
        frames.push_back(at48[1][i]);
    }
    writeSound(dir.file("at48.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 48000, frames);
    const RunResult converted = runInfo(dir, {"back.oza", "at48.flac"});
    ASSERT_EQ(converted.exitStatus, 0) << converted.err;
    EXPECT_EQ(figure(converted.out, "Original"), "FLAC, stereo, 48 kHz, 24 bit; converted to 44.1 kHz, dithered to 16 bits");
    for (const char* channel : {"Channel 1 of 2", "Channel 2 of 2"}) {
        EXPECT_GT(std::stod(figure(section(converted.out, channel), "SNR")), 10.0) << channel;
    }
}

TEST(InfoOgg, AnOriginalOfAnotherChannelCountIsRefusedInOneLine) {
    TempDir dir;
    const Channels input = distinct(20 * 256, 2);
    writeFile(dir.file("two.oza"), writeOgg(input, 44100, {}).bytes);
    writeWave(dir.file("one.wav"), {input[0]}, {0});
    writeWave(dir.file("three.wav"), distinct(20 * 256, 3), {0, 1, 2});
    for (const auto& [name, line] : {std::pair<std::string, std::string>{"one.wav", "one.wav: 1 channel, where the "
                                                                                    "Zarn file has 2; it was not made "
                                                                                    "from this sound\n"},
                                     {"three.wav", "three.wav: 3 channels, where the Zarn file has 2; it was not made "
                                                   "from this sound\n"}}) {
        const RunResult result = runInfo(dir, {"two.oza", name});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, line);
    }
    // A channel the file does not have is refused too, for either form.
    const RunResult third = runInfo(dir, {"two.oza", "--channel", "3", "--picture", "p.png"});
    EXPECT_EQ(third.exitStatus, 1);
    EXPECT_EQ(third.err, "two.oza: there is no channel 3; the file has 2\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.png")));
}

TEST(InfoOgg, DamageIsReportedWithItsPlaceAndTheRestStillMeasured) {
    TempDir dir;
    const Channels input = distinct(600 * 256, 2);
    const OggSound sound = writeOgg(input, 44100, {"TITLE=x"});
    ASSERT_GE(sound.pageStarts.size(), 6u);
    // A flipped byte inside the fourth page's body: its CRC fails, and its
    // hops are lost.
    Bytes flipped = sound.bytes;
    flipped[sound.pageStarts[3] + 200] ^= 0x10;
    writeFile(dir.file("flipped.oza"), flipped);
    const RunResult result = runInfo(dir, {"flipped.oza"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(figure(result.out, "Length"), "153600 samples (3.483 s)");
    EXPECT_NE(figure(result.out, "Damage"), "none");
    const std::string damage = section(result.out, "Damage, decoded through:", "\n\n");
    const std::string lost = figure(result.out, "Lost hops (silent in their place)");
    const std::size_t lostHops = std::stoul(lost);
    EXPECT_GT(lostHops, 0u) << lost;
    EXPECT_NE(damage.find("pages missing: " + std::to_string(lostHops * 256) + " samples lost, played as silence"),
              std::string::npos)
        << damage;
    EXPECT_EQ(figure(result.out, "Hops"), std::to_string(sound.hops));

    // Cut in the middle of a page: the end is missing, and the length is
    // what could be decoded.
    const Bytes cut(sound.bytes.begin(), sound.bytes.begin() + static_cast<std::ptrdiff_t>(sound.pageStarts[4] + 100));
    writeFile(dir.file("cut.oza"), cut);
    const RunResult cutResult = runInfo(dir, {"cut.oza"});
    ASSERT_EQ(cutResult.exitStatus, 0) << cutResult.err;
    EXPECT_NE(figure(cutResult.out, "Length").find("as decoded: the end is missing"), std::string::npos)
        << cutResult.out;
    EXPECT_NE(cutResult.out.find("the stream ends without its last page"), std::string::npos) << cutResult.out;

    // Two files joined: the first stream is the one looked into, the
    // second counted.
    Bytes joined = writeOgg(distinct(3 * 256 + 1, 1), 8000, {}).bytes;
    joined.insert(joined.end(), sound.bytes.begin(), sound.bytes.end());
    writeFile(dir.file("joined.oza"), joined);
    const RunResult chain = runInfo(dir, {"joined.oza"});
    ASSERT_EQ(chain.exitStatus, 0) << chain.err;
    EXPECT_EQ(figure(chain.out, "Channels"), "1 (mono)");
    EXPECT_EQ(figure(chain.out, "Length"), "769 samples (0.017 s)");
    EXPECT_EQ(figure(chain.out, "Streams after this one"), "1");
    EXPECT_EQ(figure(chain.out, "Damage"), "none");

    // Nothing but pages of no Zarn stream.
    const Bytes headless(sound.bytes.begin() + static_cast<std::ptrdiff_t>(sound.pageStarts[2]), sound.bytes.end());
    writeFile(dir.file("headless.oza"), headless);
    const RunResult none = runInfo(dir, {"headless.oza"});
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_EQ(none.err, "headless.oza: holds no Zarn stream that can be read\n");
}

}  // namespace
}  // namespace zarn::test
