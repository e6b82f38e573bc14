// Ogg Zarn end to end through zarn: what a recording holds (its channels,
// rate, length and tags) comes back, a span decodes to the full decoding's
// samples, damage is found and survived, silence costs next to nothing, and
// the files pass another program's check of the container.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "tests/cli/CliTestSupport.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

struct Sound {
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;  // interleaved
    std::size_t frames() const { return channels == 0 ? 0 : samples.size() / static_cast<std::size_t>(channels); }
    std::vector<std::int16_t> channel(int c) const {
        std::vector<std::int16_t> one;
        for (std::size_t i = static_cast<std::size_t>(c); i < samples.size(); i += static_cast<std::size_t>(channels))
            one.push_back(samples[i]);
        return one;
    }
};

Sound readSound(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Sound sound;
    if (file == nullptr) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        return sound;
    }
    sound.channels = info.channels;
    sound.rate = info.samplerate;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    EXPECT_EQ(sf_readf_short(file, sound.samples.data(), info.frames), info.frames);
    sf_close(file);
    return sound;
}

// Music of a seed of its own on every channel, full scale 1.0, interleaved.
std::vector<double> music(int channels, std::size_t frames, std::uint32_t seed = 3) {
    std::vector<double> interleaved(frames * static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c) {
        const std::vector<std::int16_t> one = makeMusicSignal(frames, seed + static_cast<std::uint32_t>(c));
        for (std::size_t i = 0; i < frames; ++i) interleaved[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = one[i] / 32768.0;
    }
    return interleaved;
}

std::vector<std::int16_t> slice(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    return std::vector<std::int16_t>(samples.begin() + static_cast<long>(std::min(from, samples.size())),
                                     samples.begin() + static_cast<long>(std::min(to, samples.size())));
}

// The packets of an Ogg file's one stream, as RFC 3533's lacing gives them.
std::vector<Bytes> oggPackets(const Bytes& file) {
    std::vector<Bytes> packets;
    Bytes packet;
    for (std::size_t at = 0; at + 27 <= file.size();) {
        EXPECT_TRUE(std::equal(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at) + 4,
                               std::string("OggS").begin()));
        const std::size_t segments = file[at + 26];
        std::size_t body = at + 27 + segments;
        for (std::size_t s = 0; s < segments; ++s) {
            const std::size_t size = file[at + 27 + s];
            packet.insert(packet.end(), file.begin() + static_cast<long>(body),
                          file.begin() + static_cast<long>(body + size));
            body += size;
            if (size < 255) packets.push_back(std::move(packet)), packet.clear();
        }
        at = body;
    }
    return packets;
}

// Each channel of `decoded` must be its own original's, not another's.
void expectChannelsInPlace(const Sound& decoded, const std::vector<double>& original, int channels,
                           const std::string& what) {
    for (int c = 0; c < channels; ++c) {
        std::vector<std::int16_t> mine;
        for (std::size_t i = static_cast<std::size_t>(c); i < original.size(); i += static_cast<std::size_t>(channels))
            mine.push_back(static_cast<std::int16_t>(std::lrint(original[i] * 32768.0)));
        EXPECT_GT(snrDb(mine, decoded.channel(c)), 8.0) << what << ", channel " << c;
    }
}

// Exactly the original's length at every channel count, and each channel
// back in its own place, in a WAVE that names its speakers.
TEST(Ogg, EveryChannelComesBackAtItsLength) {
    TempDir dir;
    for (const int channels : {1, 2, 3, 6, 8}) {
        for (const std::size_t frames : {std::size_t{0}, std::size_t{1}, std::size_t{255}, std::size_t{256},
                                         std::size_t{257}, std::size_t{2 * 44100 + 99}}) {
            const std::string what = std::to_string(channels) + " channels, " + std::to_string(frames) + " frames";
            const std::vector<double> original = music(channels, frames);
            writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels, 44100, original);
            const RunResult encoded = runZarn(dir, "-f -q in.wav");
            ASSERT_EQ(encoded.exitStatus, 0) << what << encoded.err;
            const RunResult decoded = runZarn(dir, "-f -q -d in.oza -o out.wav");
            ASSERT_EQ(decoded.exitStatus, 0) << what << decoded.err;
            const Sound sound = readSound(dir.file("out.wav"));
            EXPECT_EQ(sound.channels, channels) << what;
            EXPECT_EQ(sound.rate, 44100) << what;
            EXPECT_EQ(sound.frames(), frames) << what;
            if (frames > 44100) expectChannelsInPlace(sound, original, channels, what);
        }
        if (channels <= 2) continue;
        SF_INFO info{};
        SNDFILE* file = sf_open(dir.file("out.wav").c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        std::vector<int> speakers(static_cast<std::size_t>(channels));
        EXPECT_EQ(sf_command(file, SFC_GET_CHANNEL_MAP_INFO, speakers.data(),
                             static_cast<int>(sizeof(int) * speakers.size())),
                  SF_TRUE)
            << channels << " channels: no channel mask";
        EXPECT_EQ(speakers[2], SF_CHANNEL_MAP_CENTER) << channels << " channels: WAVE's third is the centre";
        if (channels >= 6) {
            EXPECT_EQ(speakers[3], SF_CHANNEL_MAP_LFE);
        }
        sf_close(file);
    }
}

// Other rates come back at their rate and length; --rate gives another.
TEST(Ogg, TheOriginalRateComesBack) {
    TempDir dir;
    for (const int rate : {8000, 22050, 48000, 96000}) {
        // 6 at 48 kHz is 6 at 44.1, which comes back as 7.
        for (const std::size_t frames : {std::size_t{1}, std::size_t{6}, std::size_t{255}, static_cast<std::size_t>(rate) + 7}) {
            const std::string what = std::to_string(rate) + " Hz, " + std::to_string(frames) + " frames";
            const std::vector<double> original = music(2, frames);
            writeSound(dir.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, rate, original);
            ASSERT_EQ(runZarn(dir, "-f -q in.flac").exitStatus, 0) << what;
            ASSERT_EQ(runZarn(dir, "-f -q -d in.oza -o out.wav").exitStatus, 0) << what;
            const Sound sound = readSound(dir.file("out.wav"));
            EXPECT_EQ(sound.rate, rate) << what;
            EXPECT_EQ(sound.frames(), frames) << what;
            // Written to a pipe, the header cannot be given the length at
            // the original rate: the coded length gives it back exactly up
            // to 44.1 kHz, and within the ratio's rounding above.
            ASSERT_EQ(runCommand("(" + zarnCommand() + " -q - -o - <in.flac >piped.oza)", dir.path(), "").exitStatus,
                      0);
            ASSERT_EQ(runZarn(dir, "-f -q -d piped.oza -o piped.wav").exitStatus, 0) << what;
            const long piped = static_cast<long>(readSound(dir.file("piped.wav")).frames());
            if (rate <= 44100) {
                EXPECT_EQ(piped, static_cast<long>(frames)) << what;
            } else {
                EXPECT_LE(std::abs(piped - static_cast<long>(frames)), 1) << what;
            }
            if (frames > 1000 && rate <= 48000) expectChannelsInPlace(sound, original, 2, what);
            ASSERT_EQ(runZarn(dir, "-f -q -d --rate 44100 in.oza -o coded.wav").exitStatus, 0) << what;
            const std::size_t coded = static_cast<std::size_t>(std::llround(frames * 44100.0 / rate));
            EXPECT_EQ(readSound(dir.file("coded.wav")).frames(), coded) << what;
        }
    }
}

// A long file, over many pages, comes back exactly as long, at the coded
// rate and at another.
TEST(Ogg, ALongFileComesBackAtItsLength) {
    TempDir dir;
    for (const int rate : {44100, 48000}) {
        const std::size_t frames = 40 * static_cast<std::size_t>(rate) + 1;
        writeSound(dir.file("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, rate, music(2, frames, 21));
        ASSERT_EQ(runZarn(dir, "-q -f long.wav").exitStatus, 0);
        ASSERT_EQ(runZarn(dir, "-q -f -d long.oza -o out.wav").exitStatus, 0);
        const Sound sound = readSound(dir.file("out.wav"));
        EXPECT_EQ(sound.rate, rate);
        EXPECT_EQ(sound.frames(), frames) << rate;
        EXPECT_GT(oggPackets(readFile(dir.file("long.oza"))).size(), 40u * 172) << "a packet per hop";
    }
}

// An album's tracks, each encoded and decoded on its own, join back to the
// whole: its length, with no dip in level where they meet.
TEST(Ogg, SplitAndJoinedIsGapless) {
    TempDir dir;
    const std::size_t frames = 2 * 44100, split = 44100 + 77;
    const std::vector<double> whole = music(2, frames, 11);
    writeSound(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
               std::vector<double>(whole.begin(), whole.begin() + 2 * split));
    writeSound(dir.file("b.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
               std::vector<double>(whole.begin() + 2 * split, whole.end()));
    ASSERT_EQ(runZarn(dir, "-q a.wav b.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -f -d a.oza b.oza").exitStatus, 0);
    const Sound a = readSound(dir.file("a.wav")), b = readSound(dir.file("b.wav"));
    ASSERT_EQ(a.frames() + b.frames(), frames);
    std::vector<std::int16_t> joined = a.samples;
    joined.insert(joined.end(), b.samples.begin(), b.samples.end());
    std::vector<std::int16_t> original;
    for (const double value : whole) original.push_back(static_cast<std::int16_t>(std::lrint(value * 32768.0)));
    // The level over 128 frames either side of the join, against the
    // original's there.
    const auto energy = [&](const std::vector<std::int16_t>& s) {
        double sum = 0.0;
        for (std::size_t i = 2 * (split - 128); i < 2 * (split + 128); ++i) sum += static_cast<double>(s[i]) * s[i];
        return sum;
    };
    EXPECT_GT(energy(joined), 0.7 * energy(original));
    EXPECT_GT(snrDb(slice(original, 2 * (split - 512), 2 * (split + 512)),
                    slice(joined, 2 * (split - 512), 2 * (split + 512))),
              8.0);
}

// The tags libsndfile reads, and --tag's, reach every output format as far
// as the format holds them: as far as libsndfile itself keeps them there.
TEST(Ogg, TagsReachEveryFormat) {
    TempDir dir;
    const std::map<int, std::string> tags{{SF_STR_TITLE, "Sang om søen"}, {SF_STR_ARTIST, "Kunstner"},
                                          {SF_STR_ALBUM, "Album"},        {SF_STR_DATE, "2026"},
                                          {SF_STR_GENRE, "Folk"},         {SF_STR_COMMENT, "En kommentar"},
                                          {SF_STR_TRACKNUMBER, "7"}};
    const auto writeTagged = [&](const std::string& path, int format, const std::map<int, std::string>& with) {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << path;
        for (const auto& [kind, value] : with) sf_set_string(file, kind, value.c_str());
        const std::vector<double> sound = music(1, 4410);
        sf_writef_double(file, sound.data(), static_cast<sf_count_t>(sound.size()));
        sf_close(file);
    };
    const auto readTags = [](const std::string& path) {
        std::map<int, std::string> found;
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (file == nullptr) return found;
        for (int kind = SF_STR_FIRST; kind <= SF_STR_LAST; ++kind) {
            const char* value = sf_get_string(file, kind);
            if (value != nullptr && *value != '\0') found[kind] = value;
        }
        sf_close(file);
        return found;
    };
    writeTagged(dir.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, tags);
    ASSERT_EQ(readTags(dir.file("in.flac")), tags);
    ASSERT_EQ(runZarn(dir, "-q in.flac").exitStatus, 0);
    // --tag replaces the input's tag of its name and adds the others.
    ASSERT_EQ(runZarn(dir, "-q in.flac -o given.oza --tag artist=Anden --tag TRACKNUMBER=8").exitStatus, 0);
    std::map<int, std::string> given = tags;
    given[SF_STR_ARTIST] = "Anden";
    given[SF_STR_TRACKNUMBER] = "8";
    for (const auto& [extension, format] :
         std::vector<std::pair<std::string, int>>{{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                  {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                                  {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                                  {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}) {
        SCOPED_TRACE(extension);
        writeTagged(dir.file("kept." + extension), format, tags);
        const std::map<int, std::string> kept = readTags(dir.file("kept." + extension));
        EXPECT_TRUE(kept.count(SF_STR_TITLE)) << "every format holds a title";
        ASSERT_EQ(runZarn(dir, "-q -d in.oza -o out." + extension).exitStatus, 0);
        EXPECT_EQ(readTags(dir.file("out." + extension)), kept);
        ASSERT_EQ(runZarn(dir, "-q -d given.oza -o given." + extension).exitStatus, 0);
        std::map<int, std::string> keptGiven;
        for (const auto& [kind, value] : kept) keptGiven[kind] = given[kind];
        EXPECT_EQ(readTags(dir.file("given." + extension)), keptGiven);
    }
    // The bare stream has no room for them, and says so.
    const RunResult bare = runZarn(dir, "in.flac --raw --tag GENRE=Jazz");
    EXPECT_EQ(bare.exitStatus, 0);
    EXPECT_NE(bare.err.find("; 8 tags left out (the bare stream holds none)\n"), std::string::npos) << bare.err;
}

// A span is the full decoding's samples, from a file (by seeking) and from
// a pipe (by dropping) alike, in samples or in time; in the bare stream too.
TEST(Ogg, SpansAreTheFullDecodingsSamples) {
    TempDir dir;
    writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music(2, 5 * 44100 + 3));
    ASSERT_EQ(runZarn(dir, "-q in.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -d in.oza -o full.wav").exitStatus, 0);
    const std::vector<std::int16_t> full = readSound(dir.file("full.wav")).samples;
    struct Case {
        std::string options;
        std::size_t from, to;
    };
    for (const Case& c : std::vector<Case>{{"--skip 0 --until 1", 0, 1},
                                           {"--skip 1000 --until 2000", 1000, 2000},
                                           {"--skip 44033 --until=+300", 44033, 44333},
                                           {"--skip 3:", 0, 0},
                                           {"--skip 0:03.5", 154350, 5 * 44100 + 3},
                                           {"--skip 1.5 --until 2", 66150, 2},
                                           {"--skip 220502", 220502, 220503},
                                           {"--skip 220503", 220503, 220503},
                                           {"--until 300000", 0, 220503},
                                           {"--skip 300000", 300000, 300000}}) {
        SCOPED_TRACE(c.options);
        if (c.options == "--skip 3:") {
            EXPECT_EQ(runZarn(dir, "-q -f -d in.oza -o span.wav " + c.options).exitStatus, 2);
            continue;
        }
        for (const std::string& from : {std::string("in.oza"), std::string("- <in.oza")}) {
            const RunResult result =
                runCommand("(" + zarnCommand() + " -q -f -d -o span.wav " + c.options + " " + from + ")", dir.path(), "");
            ASSERT_EQ(result.exitStatus, 0) << from << ": " << result.err;
            const std::size_t to = std::max(c.to, c.from);
            EXPECT_TRUE(readSound(dir.file("span.wav")).samples == slice(full, 2 * c.from, 2 * to))
                << from << ": " << readSound(dir.file("span.wav")).frames() << " frames";
        }
    }
    // At another rate the span is as long, and as the full decoding.
    writeSound(dir.file("in48.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000, music(1, 3 * 48000));
    ASSERT_EQ(runZarn(dir, "-q in48.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -d in48.oza -o full48.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -d in48.oza -o span48.wav --skip 100001 --until 120001").exitStatus, 0);
    const std::vector<std::int16_t> span48 = readSound(dir.file("span48.wav")).samples;
    ASSERT_EQ(span48.size(), 20000u);
    EXPECT_GT(snrDb(slice(readSound(dir.file("full48.wav")).samples, 100001, 120001), span48), 60.0);
    // The bare stream: frame-exact arithmetic on its own decoding.
    ASSERT_EQ(runZarn(dir, "-q --raw in.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -f -d in.zarn -o full.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -f -d in.zarn -o span.wav --skip 1000 --until 0:00.5").exitStatus, 0);
    EXPECT_TRUE(readSamples(dir.file("span.wav")) == slice(readSamples(dir.file("full.wav")), 1000, 22050));
}

// Files joined one after another (a chain) play link by link, and a span
// may begin in any of them.
TEST(Ogg, AChainPlaysLinkByLink) {
    TempDir dir;
    writeSound(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music(2, 30000, 5));
    writeSound(dir.file("b.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music(2, 20001, 9));
    ASSERT_EQ(runZarn(dir, "-q a.wav b.wav").exitStatus, 0);
    Bytes chain = readFile(dir.file("a.oza"));
    const Bytes second = readFile(dir.file("b.oza"));
    chain.insert(chain.end(), second.begin(), second.end());
    writeFile(dir.file("ab.oza"), chain);
    EXPECT_EQ(runZarn(dir, "-t ab.oza").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -f -d a.oza b.oza").exitStatus, 0);
    std::vector<std::int16_t> joined = readSound(dir.file("a.wav")).samples;
    const std::vector<std::int16_t> tail = readSound(dir.file("b.wav")).samples;
    joined.insert(joined.end(), tail.begin(), tail.end());
    ASSERT_EQ(runZarn(dir, "-q -d ab.oza -o whole.wav").exitStatus, 0);
    EXPECT_TRUE(readSound(dir.file("whole.wav")).samples == joined);
    for (const std::size_t skip : {std::size_t{29999}, std::size_t{30000}, std::size_t{40000}, std::size_t{60000}}) {
        ASSERT_EQ(runZarn(dir, "-q -f -d ab.oza -o span.wav --skip " + std::to_string(skip)).exitStatus, 0);
        EXPECT_TRUE(readSound(dir.file("span.wav")).samples == slice(joined, 2 * skip, joined.size())) << skip;
    }
}

// A flipped byte is found by -t and by -d, which then write nothing; -F
// decodes through it, silent where the damage is and as before elsewhere.
TEST(Ogg, DamageIsFoundAndSurvived) {
    TempDir dir;
    writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music(2, 3 * 44100));
    ASSERT_EQ(runZarn(dir, "-q in.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-d in.oza -o clean.wav").exitStatus, 0);
    EXPECT_EQ(runZarn(dir, "-t in.oza").exitStatus, 0);
    Bytes damaged = readFile(dir.file("in.oza"));
    damaged[damaged.size() / 2] ^= 0x04;
    writeFile(dir.file("bad.oza"), damaged);

    const RunResult tested = runZarn(dir, "-t bad.oza");
    EXPECT_EQ(tested.exitStatus, 1);
    EXPECT_EQ(std::count(tested.err.begin(), tested.err.end(), '\n'), 1) << tested.err;
    EXPECT_EQ(tested.err.rfind("zarn: bad.oza: a page is damaged (its CRC does not hold) at 1.", 0), 0u)
        << tested.err;
    EXPECT_NE(tested.err.find(" s (sample "), std::string::npos) << tested.err;
    const RunResult decoded = runZarn(dir, "-d bad.oza -o bad.wav");
    EXPECT_EQ(decoded.exitStatus, 1);
    EXPECT_FALSE(fileExists(dir.file("bad.wav")));
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"bad.oza", "clean.wav", "in.oza", "in.wav"}));

    const RunResult through = runZarn(dir, "-F -d bad.oza -o bad.wav");
    EXPECT_EQ(through.exitStatus, 0);
    EXPECT_EQ(through.err.rfind("zarn: bad.oza: warning: decoded through damage: a page is damaged", 0), 0u)
        << through.err;
    const std::vector<std::int16_t> clean = readSound(dir.file("clean.wav")).samples;
    const std::vector<std::int16_t> survived = readSound(dir.file("bad.wav")).samples;
    ASSERT_EQ(survived.size(), clean.size());
    EXPECT_TRUE(slice(survived, 0, 2 * 44100) == slice(clean, 0, 2 * 44100)) << "before the damage";
    std::size_t silent = 0, differ = 0;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        silent += survived[i] == 0 && clean[i] != 0;
        differ += survived[i] != clean[i];
    }
    EXPECT_GT(silent, 2u * 256) << "at least a hop silent in place of the lost page";
    EXPECT_LT(differ, 2u * 44100) << "and not much more than the lost page";
}

// A file cut short is reported where it ends; decoded through, it gives
// everything up to there, the rate conversion's last samples included.
TEST(Ogg, ACutFileDecodesToWhereItEnds) {
    TempDir dir;
    writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, music(2, 3 * 48000));
    ASSERT_EQ(runZarn(dir, "-q in.wav").exitStatus, 0);
    ASSERT_EQ(runZarn(dir, "-q -d in.oza -o clean.wav").exitStatus, 0);
    const Bytes whole = readFile(dir.file("in.oza"));
    writeFile(dir.file("cut.oza"), Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
    const RunResult cut = runZarn(dir, "-F -d cut.oza");
    ASSERT_EQ(cut.exitStatus, 0) << cut.err;
    const std::size_t at = cut.err.find("(sample ");
    ASSERT_NE(at, std::string::npos) << cut.err;
    const std::size_t end = std::stoul(cut.err.substr(at + 8));
    const std::vector<std::int16_t> decoded = readSound(dir.file("cut.wav")).samples;
    EXPECT_GE(decoded.size(), 2 * end);
    // As long as what was decoded at the coded rate, converted.
    ASSERT_EQ(runZarn(dir, "-q -F -d --rate 44100 cut.oza -o coded.wav").exitStatus, 0);
    const std::size_t coded = readSound(dir.file("coded.wav")).frames();
    EXPECT_EQ(decoded.size() / 2, static_cast<std::size_t>(std::llround(coded * 48000.0 / 44100.0)));
    EXPECT_TRUE(slice(decoded, 0, 2 * (end - 256)) == slice(readSound(dir.file("clean.wav")).samples, 0, 2 * (end - 256)));
}

// Digital silence costs only the container's bytes: a few KB for 10 s.
TEST(Ogg, SilenceCostsNextToNothing) {
    TempDir dir;
    writeSound(dir.file("silence.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
               std::vector<double>(10 * 44100, 0.0));
    writeSound(dir.file("stereo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
               std::vector<double>(2 * 10 * 44100, 0.0));
    ASSERT_EQ(runZarn(dir, "-q -b 128 silence.wav stereo.wav").exitStatus, 0);
    EXPECT_LT(readFile(dir.file("silence.oza")).size(), 4096u);
    EXPECT_LT(readFile(dir.file("stereo.oza")).size(), 4096u);
    ASSERT_EQ(runZarn(dir, "-q -f -d stereo.oza").exitStatus, 0);
    const Sound sound = readSound(dir.file("stereo.wav"));
    EXPECT_EQ(sound.frames(), 10u * 44100);
    EXPECT_TRUE(std::all_of(sound.samples.begin(), sound.samples.end(), [](std::int16_t s) { return s == 0; }));
}

// Music without digital silence: a mono Ogg Zarn's audio packets are the
// bare stream's frames, byte for byte.
TEST(Ogg, MonoPacketsAreTheBareStream) {
    TempDir dir;
    writeSound(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, music(1, 2 * 44100 + 5));
    for (const char* rate : {"128", "192", "320"}) {
        SCOPED_TRACE(rate);
        ASSERT_EQ(runZarn(dir, std::string("-q -f -b ") + rate + " in.wav").exitStatus, 0);
        ASSERT_EQ(runZarn(dir, std::string("-q -f --raw -b ") + rate + " in.wav").exitStatus, 0);
        const std::vector<Bytes> packets = oggPackets(readFile(dir.file("in.oza")));
        ASSERT_GT(packets.size(), 2u);
        Bytes frames;
        for (std::size_t p = 2; p < packets.size(); ++p) frames.insert(frames.end(), packets[p].begin(), packets[p].end());
        EXPECT_TRUE(frames == readFile(dir.file("in.zarn")));
    }
}

// ogginfo (vorbis-tools) finds no error or warning in what zarn writes.
TEST(Ogg, AnotherReaderFindsTheContainerWhole) {
    if (std::system("command -v ogginfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ogginfo";
    TempDir dir;
    writeSound(dir.file("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, music(1, 3 * 44100));
    writeSound(dir.file("six.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 6, 48000, music(6, 48000));
    writeSound(dir.file("empty.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, {});
    writeSound(dir.file("quiet.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, std::vector<double>(88200, 0.0));
    ASSERT_EQ(runZarn(dir, "-q mono.wav six.flac empty.wav quiet.wav").exitStatus, 0);
    for (const char* name : {"mono.oza", "six.oza", "empty.oza", "quiet.oza"}) {
        const RunResult checked = runCommand(std::string("ogginfo ") + name, dir.path(), "");
        EXPECT_EQ(checked.exitStatus, 0) << name << checked.out;
        for (const char* word : {"WARNING", "Warning", "ERROR", "Error"}) {
            EXPECT_EQ((checked.out + checked.err).find(word), std::string::npos) << name << ":\n" << checked.out;
        }
    }
}

// Refusals are one line each, and leave no file.
TEST(Ogg, RefusalsAreOneLine) {
    TempDir dir;
    writeSound(dir.file("nine.wav"), SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 9, 44100, music(9, 1000));
    const RunResult nine = runZarn(dir, "nine.wav");
    EXPECT_EQ(nine.exitStatus, 1);
    EXPECT_EQ(nine.err, "zarn: nine.wav: has 9 channels; Ogg Zarn holds at most 8\n");
    writeSound(dir.file("six.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6, 44100, music(6, 1000));
    const RunResult low = runZarn(dir, "-b 256 six.wav");
    EXPECT_EQ(low.exitStatus, 1);
    EXPECT_EQ(low.err, "zarn: six.wav: -b 256 is outside 384 to 1920 kbit/s for 6 channels\n");
    const RunResult tag = runZarn(dir, "--tag TITLE six.wav");
    EXPECT_EQ(tag.exitStatus, 2);
    EXPECT_EQ(tag.err.rfind("zarn: --tag takes NAME=VALUE, not 'TITLE'\n", 0), 0u) << tag.err;
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"nine.wav", "six.wav"}));
    // Ogg that holds no Zarn stream is no Zarn file.
    writeFile(dir.file("other.oza"), Bytes{'O', 'g', 'g', 'S', 0, 2, 0, 0});
    const RunResult other = runZarn(dir, "-t other.oza");
    EXPECT_EQ(other.exitStatus, 1);
    EXPECT_EQ(std::count(other.err.begin(), other.err.end(), '\n'), 1) << other.err;
}

}  // namespace
}  // namespace zarn::test
