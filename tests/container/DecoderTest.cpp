// Ogg Zarn to samples: exact lengths at every channel count, the bare
// decoder's samples for mono, the front pair through mid/side, gapless
// joins, seeking and damage, over streams of the real encoders.

#include "container/OggZarnDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "decoder/FullSynthesis.h"
#include "decoder/StreamDecoder.h"
#include "tests/container/JointEncoding.h"
#include "tests/container/OggTestSupport.h"

namespace zarn::test {
namespace {

using Result = OggZarnDecoder::Result;
using Damage = OggZarnDecoder::Damage;
using Samples = std::vector<Sample>;

// `channels` tones of their own, channel c at frequency step 0.01·(c + 1).
std::vector<Samples> tones(std::size_t samples, unsigned channels) {
    std::vector<Samples> out(channels, Samples(samples));
    for (unsigned c = 0; c < channels; ++c) {
        for (std::size_t i = 0; i < samples; ++i) {
            out[c][i] = static_cast<Sample>(8000.0 * std::sin(0.01 * (c + 1) * static_cast<double>(i)));
        }
    }
    return out;
}

// Channels coded together, into Ogg Zarn with coupling 1; `reference` gets
// what CoupledDecoder makes of the same frames, as long as the input.
OggFile writeJoint(const std::vector<Samples>& input, std::vector<Samples>* reference = nullptr) {
    const std::size_t channels = input.size(), samples = input[0].size();
    const std::vector<JointHop> hops = encodeJoint(input);
    const auto decoder = std::make_unique<CoupledDecoder>(channels);
    OggFile file;
    OggZarnWriter writer(11, keepPage, &file);
    Identification header;
    header.channels = static_cast<std::uint8_t>(channels);
    header.coupling = channels > 1 ? Coupling::frontPair : Coupling::separate;
    const Bytes comments = commentsOf({"TITLE=joint"});
    EXPECT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    std::vector<Samples> decoded(channels, Samples((hops.size() + 1) * kHop));
    std::vector<std::array<std::uint8_t, kMaxFrameBytes>> packed(channels);
    std::vector<FrameBytes> bytes(channels);
    Sample* to[kMaxChannels] = {};
    std::size_t written = 0;
    for (const JointHop& hop : hops) {
        for (std::size_t c = 0; c < channels; ++c) {
            bytes[c] = {packed[c].data(), packFrame(hop.frames[c], packed[c].data())};
            to[c] = decoded[c].data() + written * kHop;
        }
        EXPECT_EQ(writer.hop(bytes.data(), hop.midSide), OggZarnWriter::Status::ok);
        if (decoder->decode(hop.frames.data(), hop.midSide, to)) ++written;
    }
    for (std::size_t c = 0; c < channels; ++c) to[c] = decoded[c].data() + written * kHop;
    decoder->finish(to);
    EXPECT_EQ(writer.finish(samples), OggZarnWriter::Status::ok);
    if (reference != nullptr) {
        for (auto& channel : decoded) channel.resize(samples);
        *reference = decoded;
    }
    return file;
}

// The bare stream's decoding by the programs' own decoder.
Samples decodeBare(const Bytes& stream) {
    Samples out;
    StreamDecoder<FullSynthesis> decoder;
    const auto keep = [&out](const Sample* samples, std::size_t count) {
        out.insert(out.end(), samples, samples + count);
        return true;
    };
    EXPECT_EQ(decoder.write(stream.data(), stream.size(), keep), StreamDecoder<FullSynthesis>::Status::ok);
    decoder.finish(keep);
    return out;
}

struct Decoded {
    Samples samples;  // interleaved, every link one after another
    std::vector<Damage> damage;
    std::vector<std::uint64_t> damageAt;
    std::vector<std::uint64_t> lengths;
    std::vector<unsigned> channels;
    std::vector<bool> changed;
    std::vector<std::string> tags;
    Result last = Result::end;
};

// Takes one result into `out`; false once there are no more.
bool collect(OggZarnDecoder& decoder, Result result, Decoded& out, std::size_t& linkStart) {
    switch (result) {
        case Result::header: {
            out.channels.push_back(decoder.channels());
            out.changed.push_back(decoder.headerChanged());
            auto cursor = decoder.comments().comments();
            for (std::string_view tag; cursor.next(tag);) out.tags.emplace_back(tag);
            linkStart = out.samples.size();
            break;
        }
        case Result::samples:
            EXPECT_EQ(decoder.position(), (out.samples.size() - linkStart) / decoder.channels()) << "a gap or overlap";
            out.samples.insert(out.samples.end(), decoder.samples(),
                               decoder.samples() + decoder.frames() * decoder.channels());
            break;
        case Result::damaged:
            out.damage.push_back(decoder.damage());
            out.damageAt.push_back(decoder.damageAt());
            break;
        case Result::linkEnd:
            out.lengths.push_back(decoder.lengthKnown() ? decoder.length() : ~0ull);
            break;
        case Result::needMore:
            break;
        case Result::end:
        case Result::failed:
            out.last = result;
            return false;
    }
    return true;
}

Decoded decodeOgg(const Bytes& bytes, bool through = false, std::size_t piece = 1000) {
    Decoded out;
    OggZarnDecoder decoder(through);
    std::size_t linkStart = 0;
    bool going = true;
    for (std::size_t at = 0; at < bytes.size() && going; at += piece) {
        const std::uint8_t* p = bytes.data() + at;
        std::size_t left = std::min(piece, bytes.size() - at);
        for (Result result; going && (result = decoder.next(p, left)) != Result::needMore;) {
            going = collect(decoder, result, out, linkStart);
        }
    }
    while (going) going = collect(decoder, decoder.finish(), out, linkStart);
    return out;
}

Samples channel(const Samples& interleaved, unsigned channels, unsigned c) {
    Samples out;
    for (std::size_t i = c; i < interleaved.size(); i += channels) out.push_back(interleaved[i]);
    return out;
}

TEST(OggDecoder, GivesExactlyTheLengthAtEveryChannelCount) {
    for (const std::size_t samples : {0u, 1u, 255u, 256u, 257u, 44100u * 3 + 77}) {
        for (unsigned channels = 1; channels <= kMaxChannels; ++channels) {
            if (samples > 257 && channels != 1 && channels != 2 && channels != 8) continue;
            std::vector<Samples> reference;
            const OggFile file = writeJoint(tones(samples, channels), &reference);
            const Decoded decoded = decodeOgg(file.bytes);
            SCOPED_TRACE(testing::Message() << samples << " samples, " << channels << " channels");
            EXPECT_EQ(decoded.last, Result::end);
            EXPECT_TRUE(decoded.damage.empty());
            ASSERT_EQ(decoded.lengths, std::vector<std::uint64_t>{samples});
            ASSERT_EQ(decoded.samples.size(), samples * channels);
            EXPECT_EQ(decoded.tags, std::vector<std::string>{"TITLE=joint"});
            for (unsigned c = 0; c < channels; ++c) EXPECT_EQ(channel(decoded.samples, channels, c), reference[c]);
        }
    }
}

TEST(OggDecoder, AMonoStreamGivesTheBareDecodersSamples) {
    for (const std::size_t samples : {1u, 300u, 44100u * 2 + 5}) {
        const Bytes bare = encodeChannel(samples, 0);
        const Decoded decoded = decodeOgg(writeOgg({framesOf(bare)}, samples).bytes, false, 333);
        Samples expected = decodeBare(bare);
        ASSERT_GE(expected.size(), samples);
        expected.resize(samples);
        EXPECT_EQ(decoded.samples, expected);
    }
}

TEST(OggDecoder, EmptyPacketsAreSilentHopsWithTheOverlapKept) {
    const std::size_t samples = 20 * kHop;
    std::vector<Bytes> frames = framesOf(encodeChannel(samples, 0));
    OggFile file;
    {
        OggZarnWriter writer(3, keepPage, &file);
        const Bytes comments = commentsOf({});
        ASSERT_EQ(writer.begin(Identification{}, comments.data(), comments.size()), OggZarnWriter::Status::ok);
        for (std::size_t hop = 0; hop < frames.size(); ++hop) {
            if (hop == 7 || hop == 8) {
                ASSERT_EQ(writer.silentHop(), OggZarnWriter::Status::ok);
                frames[hop].assign(kSilentFrame.begin(), kSilentFrame.end());
            } else {
                const FrameBytes frame{frames[hop].data(), frames[hop].size()};
                ASSERT_EQ(writer.hop(&frame), OggZarnWriter::Status::ok);
            }
        }
        ASSERT_EQ(writer.finish(samples), OggZarnWriter::Status::ok);
    }
    Bytes bare;
    for (const Bytes& frame : frames) bare.insert(bare.end(), frame.begin(), frame.end());
    Samples expected = decodeBare(bare);
    expected.resize(samples);
    EXPECT_EQ(decodeOgg(file.bytes).samples, expected);
}

TEST(OggDecoder, ARightThatIsTheLeftInvertedComesBack) {
    std::vector<Samples> input = tones(44100, 1);
    input.push_back(input[0]);
    for (Sample& s : input[1]) s = static_cast<Sample>(-s);
    const Decoded decoded = decodeOgg(writeJoint(input).bytes);
    ASSERT_EQ(decoded.samples.size(), 2 * input[0].size());
    double signal = 0.0, error = 0.0;
    const Samples right = channel(decoded.samples, 2, 1);
    for (std::size_t i = 0; i < right.size(); ++i) {
        signal += static_cast<double>(input[1][i]) * input[1][i];
        error += (static_cast<double>(input[1][i]) - right[i]) * (static_cast<double>(input[1][i]) - right[i]);
    }
    EXPECT_GT(10.0 * std::log10(signal / error), 20.0);
}

TEST(OggDecoder, TwoHalvesJoinWithoutAGap) {
    // Halves of one tone, each its own stream, joined end to end.
    const std::size_t half = 44100 + 100;
    const Samples whole = tones(2 * half, 1)[0];
    Samples joined;
    for (const std::size_t start : {std::size_t{0}, half}) {
        std::vector<Samples> part{Samples(whole.begin() + static_cast<std::ptrdiff_t>(start),
                                          whole.begin() + static_cast<std::ptrdiff_t>(start + half))};
        const Decoded decoded = decodeOgg(writeJoint(part).bytes);
        joined.insert(joined.end(), decoded.samples.begin(), decoded.samples.end());
    }
    ASSERT_EQ(joined.size(), whole.size());
    const Decoded all = decodeOgg(writeJoint({whole}).bytes);
    double signal = 0.0, error = 0.0;
    for (std::size_t i = half - 512; i < half + 512; ++i) {
        signal += static_cast<double>(all.samples[i]) * all.samples[i];
        error += (static_cast<double>(all.samples[i]) - joined[i]) * (static_cast<double>(all.samples[i]) - joined[i]);
    }
    EXPECT_GT(10.0 * std::log10(signal / error), 20.0) << "the join falls apart";
}

TEST(OggDecoder, ChainedLinksAreDecodedInTurnWithTheirChangesTold) {
    OggFile first = writeJoint(tones(1000, 1));
    const OggFile second = writeJoint(tones(700, 2));
    const OggFile third = writeJoint(tones(300, 2));
    first.bytes.insert(first.bytes.end(), second.bytes.begin(), second.bytes.end());
    first.bytes.insert(first.bytes.end(), third.bytes.begin(), third.bytes.end());
    const Decoded decoded = decodeOgg(first.bytes);
    EXPECT_EQ(decoded.last, Result::end);
    EXPECT_EQ(decoded.lengths, (std::vector<std::uint64_t>{1000, 700, 300}));
    EXPECT_EQ(decoded.channels, (std::vector<unsigned>{1, 2, 2}));
    EXPECT_EQ(decoded.changed, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(decoded.samples.size(), 1000u + 2 * 700 + 2 * 300);
}

TEST(OggDecoder, ALinkOfAnUnknownVersionIsPassedOverAndTheNextPlayed) {
    OggFile later = writeJoint(tones(500, 2));
    ogg_page view{};
    view.header = later.bytes.data();
    view.header_len = 27 + view.header[26];
    view.body = view.header + view.header_len;
    view.body_len = static_cast<long>(later.pageBodies[0]);
    view.body[8] = 0x20;
    ogg_page_checksum_set(&view);
    const OggFile known = writeJoint(tones(300, 1));
    later.bytes.insert(later.bytes.end(), known.bytes.begin(), known.bytes.end());
    const Decoded decoded = decodeOgg(later.bytes);
    EXPECT_EQ(decoded.last, Result::end);
    EXPECT_EQ(decoded.damage, std::vector<Damage>{Damage::badHeader});
    EXPECT_EQ(decoded.lengths, std::vector<std::uint64_t>{300});
    EXPECT_EQ(decoded.samples.size(), 300u);
}

class OggSeeking : public testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = new OggFile(writeJoint(tones(kSamples, 2)));
        full_ = new Decoded(decodeOgg(file_->bytes));
    }
    static void TearDownTestSuite() {
        delete file_;
        delete full_;
    }

    // Everything from `target` on, read by seeking there.
    static Samples from(std::uint64_t target) {
        Memory memory{&file_->bytes};
        const ByteSource source{&memory, readMemory, seekMemory};
        OggZarnDecoder decoder;
        EXPECT_EQ(decoder.pull(source), Result::header);
        EXPECT_TRUE(decoder.seek(source, file_->bytes.size(), target));
        Samples out;
        for (Result result; (result = decoder.pull(source)) != Result::end;) {
            if (result == Result::failed) {
                ADD_FAILURE() << "stopped by damage " << static_cast<int>(decoder.damage()) << " at "
                              << decoder.damageAt();
                break;
            }
            if (result != Result::samples) continue;
            EXPECT_EQ(decoder.position(), target + out.size() / 2);
            out.insert(out.end(), decoder.samples(), decoder.samples() + 2 * decoder.frames());
        }
        return out;
    }

    static constexpr std::size_t kSamples = 44100 * 6 + 123;
    static OggFile* file_;
    static Decoded* full_;
};
OggFile* OggSeeking::file_ = nullptr;
Decoded* OggSeeking::full_ = nullptr;

TEST_F(OggSeeking, FromAnySampleGivesTheFullDecodesSamplesFromThere) {
    ASSERT_EQ(full_->samples.size(), 2 * kSamples);
    {
        Memory memory{&file_->bytes};
        OggZarnDecoder early;
        EXPECT_FALSE(early.seek({&memory, readMemory, seekMemory}, file_->bytes.size(), 1000)) << "before the headers";
        EXPECT_EQ(early.pull({&memory, readMemory, seekMemory}), Result::header);
    }
    std::vector<std::uint64_t> targets = {0, 1, 255, 256, 257, 1000, kSamples / 2 + 128, kSamples - 1, kSamples};
    for (std::size_t page = 2; page + 1 < file_->granules.size(); ++page) {
        const std::uint64_t boundary = static_cast<std::uint64_t>(file_->granules[page]) - kPreSkip;
        targets.insert(targets.end(), {boundary - 257, boundary - 256, boundary - 1, boundary, boundary + 1});
    }
    for (const std::uint64_t t : targets) {
        const Samples expected(full_->samples.begin() + static_cast<std::ptrdiff_t>(2 * t), full_->samples.end());
        EXPECT_EQ(from(t), expected) << "seeking to " << t;
    }
}

// A page of the seeking file's damaged by `damage`, decoded through and not.
class OggDamage : public OggSeeking {
protected:
    void expectSurvived(const Bytes& damaged, std::size_t page) {
        const std::uint64_t lostFrom = static_cast<std::uint64_t>(file_->granules[page - 1]) - kPreSkip;
        const std::uint64_t exactFrom = static_cast<std::uint64_t>(file_->granules[page]) - kPreSkip + kHop;
        const Decoded through = decodeOgg(damaged, true);
        EXPECT_EQ(through.last, Result::end);
        ASSERT_FALSE(through.damage.empty());
        EXPECT_NE(std::find(through.damage.begin(), through.damage.end(), Damage::hole), through.damage.end());
        EXPECT_EQ(through.damageAt.back(), lostFrom);
        ASSERT_EQ(through.samples.size(), full_->samples.size()) << "the timeline moved";
        const auto before = static_cast<std::ptrdiff_t>(2 * lostFrom);
        const auto after = static_cast<std::ptrdiff_t>(2 * exactFrom);
        EXPECT_TRUE(std::equal(full_->samples.begin(), full_->samples.begin() + before, through.samples.begin()));
        EXPECT_TRUE(std::equal(full_->samples.begin() + after, full_->samples.end(), through.samples.begin() + after));
        // Between the Block that fades out before the loss and the one that
        // fades in after it, nothing but silence.
        const auto quietFrom = static_cast<std::ptrdiff_t>(2 * (lostFrom + kHop));
        const auto quietTo = static_cast<std::ptrdiff_t>(2 * (exactFrom - 2 * kHop));
        ASSERT_LT(quietFrom, quietTo);
        EXPECT_TRUE(std::all_of(through.samples.begin() + quietFrom, through.samples.begin() + quietTo,
                                [](Sample s) { return s == 0; }))
            << "the lost span is not silent";

        const Decoded stopped = decodeOgg(damaged, false);
        EXPECT_EQ(stopped.last, Result::failed);
        ASSERT_EQ(stopped.damage.size(), 1u);
        EXPECT_LE(stopped.samples.size(), 2 * lostFrom);
        EXPECT_TRUE(std::equal(stopped.samples.begin(), stopped.samples.end(), full_->samples.begin()));
    }
};

TEST_F(OggDamage, AFlippedByteIsReportedAndTheRestIsExactInPlace) {
    const std::size_t page = 4;
    Bytes damaged = file_->bytes;
    damaged[file_->pageStarts[page] + 27 + 200] ^= 0x10;
    expectSurvived(damaged, page);
}

TEST_F(OggDamage, AMissingPageIsReportedAndTheRestIsExactInPlace) {
    const std::size_t page = 3;
    Bytes damaged(file_->bytes.begin(), file_->bytes.begin() + static_cast<std::ptrdiff_t>(file_->pageStarts[page]));
    damaged.insert(damaged.end(), file_->bytes.begin() + static_cast<std::ptrdiff_t>(file_->pageStarts[page + 1]),
                   file_->bytes.end());
    expectSurvived(damaged, page);
}

TEST_F(OggDamage, APacketThatDoesNotParseIsOneSilentHopInItsPlace) {
    // The first packet of a page gets a reserved coupling byte, and the page
    // a CRC that holds: only the packet is damaged.
    const std::size_t page = 3;
    Bytes damaged = file_->bytes;
    ogg_page view{};
    view.header = damaged.data() + file_->pageStarts[page];
    view.header_len = 27 + view.header[26];
    view.body = view.header + view.header_len;
    view.body_len = static_cast<long>(file_->pageBodies[page]);
    view.body[0] = 2;
    ogg_page_checksum_set(&view);
    const std::uint64_t lost = static_cast<std::uint64_t>(file_->granules[page - 1]) - kPreSkip;

    const Decoded through = decodeOgg(damaged, true);
    EXPECT_EQ(through.last, Result::end);
    EXPECT_EQ(through.damage, std::vector<Damage>{Damage::badPacket});
    EXPECT_EQ(through.damageAt, std::vector<std::uint64_t>{lost});
    ASSERT_EQ(through.samples.size(), full_->samples.size());
    const auto before = static_cast<std::ptrdiff_t>(2 * lost);
    const auto after = static_cast<std::ptrdiff_t>(2 * (lost + 2 * kHop));
    EXPECT_TRUE(std::equal(full_->samples.begin(), full_->samples.begin() + before, through.samples.begin()));
    EXPECT_FALSE(std::equal(full_->samples.begin() + before, full_->samples.begin() + after,
                            through.samples.begin() + before));
    EXPECT_TRUE(std::equal(full_->samples.begin() + after, full_->samples.end(), through.samples.begin() + after));

    const Decoded stopped = decodeOgg(damaged);
    EXPECT_EQ(stopped.last, Result::failed);
    EXPECT_EQ(stopped.samples.size(), 2 * lost);
}

TEST_F(OggDamage, AGapThatAGranuleClaimsPastAMinuteIsNotMadeUpAsSilence) {
    // A page gone, and every page after it claims to lie further on than
    // the decoder will fill: a few bytes must not give minutes of silence.
    const std::size_t page = 3;
    const std::uint64_t jump = (OggZarnDecoder::kMostFilledHops + 100) * kHop;
    Bytes damaged(file_->bytes.begin(), file_->bytes.begin() + static_cast<std::ptrdiff_t>(file_->pageStarts[page]));
    for (std::size_t later = page + 1; later < file_->pageStarts.size(); ++later) {
        const std::size_t start = damaged.size();
        const std::size_t end = later + 1 < file_->pageStarts.size() ? file_->pageStarts[later + 1] : file_->bytes.size();
        damaged.insert(damaged.end(), file_->bytes.begin() + static_cast<std::ptrdiff_t>(file_->pageStarts[later]),
                       file_->bytes.begin() + static_cast<std::ptrdiff_t>(end));
        const std::uint64_t granule = static_cast<std::uint64_t>(file_->granules[later]) + jump;
        for (int i = 0; i < 8; ++i) damaged[start + 6 + i] = static_cast<std::uint8_t>(granule >> (8 * i));
        ogg_page view{};
        view.header = damaged.data() + start;
        view.header_len = 27 + view.header[26];
        view.body = view.header + view.header_len;
        view.body_len = static_cast<long>(file_->pageBodies[later]);
        ogg_page_checksum_set(&view);
    }
    const std::uint64_t lostFrom = static_cast<std::uint64_t>(file_->granules[page - 1]) - kPreSkip;
    const std::uint64_t exactFrom = static_cast<std::uint64_t>(file_->granules[page]) - kPreSkip + kHop;

    OggZarnDecoder decoder(true);
    const std::uint8_t* bytes = damaged.data();
    std::size_t left = damaged.size();
    std::uint64_t frames = 0, holeAt = 0, holeSamples = 0, length = 0;
    bool exact = true;
    for (Result result = decoder.next(bytes, left); result != Result::end;
         result = result == Result::needMore ? decoder.finish() : decoder.next(bytes, left)) {
        ASSERT_NE(result, Result::failed);
        if (result == Result::damaged && decoder.damage() == Damage::hole) {
            holeAt = decoder.damageAt();
            holeSamples = decoder.damageSamples();
        }
        if (result == Result::linkEnd) length = decoder.length();
        if (result != Result::samples) continue;
        frames += decoder.frames();
        // What follows the gap is where the pages put it, and exact.
        if (decoder.position() < exactFrom + jump) continue;
        const std::uint64_t original = decoder.position() - jump;
        exact = exact && std::equal(decoder.samples(), decoder.samples() + 2 * decoder.frames(),
                                    full_->samples.begin() + static_cast<std::ptrdiff_t>(2 * original));
    }
    EXPECT_EQ(holeAt, lostFrom);
    EXPECT_GE(holeSamples, jump);
    EXPECT_EQ(length, kSamples + jump);
    EXPECT_TRUE(exact);
    EXPECT_LE(frames, kSamples + 2 * kHop) << "silence made up for the gap";
}

TEST(OggDecoder, AStreamCutShortGivesWhatItHoldsAndSaysSo) {
    const OggFile file = writeJoint(tones(44100, 1));
    const Bytes cut(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(file.bytes.size() / 2));
    const Decoded stopped = decodeOgg(cut);
    EXPECT_EQ(stopped.last, Result::failed);
    EXPECT_EQ(stopped.damage, std::vector<Damage>{Damage::truncated});
    const Decoded through = decodeOgg(cut, true);
    EXPECT_EQ(through.last, Result::end);
    EXPECT_EQ(through.samples.size(), stopped.samples.size() + kHop);
}

}  // namespace
}  // namespace zarn::test
