// Channels coded together: the front pair as left/right or mid/side hop by
// hop under one rate control. Every channel's frames are plain frames that
// every decoder plays; the pair comes back through the reference decoding
// (CoupledDecoder), across every change of coupling.

#include "rate/JointRateEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "decoder/CoupledDecoder.h"
#include "rate/RateEncoder.h"
#include "rate/RateProfile.h"
#include "reduced/ReducedSynthesis.h"
#include "stream/FramePacking.h"
#include "stream/FrameParser.h"
#include "stream/ZarnFormat.h"
#include "tests/rate/Snr.h"
#include "tools/MusicSignal.h"

namespace zarn {
namespace {

using test::snrDb;

using Samples = std::vector<Sample>;
using Bytes = std::vector<std::uint8_t>;
using Choice = JointRateEncoder::Choice;

// Channels of one length, a multiple of the hop.
using Channels = std::vector<Samples>;

struct Encoded {
    std::vector<EncodedFrame> frames;  // hop by hop, each hop's channels in order
    std::vector<HopCoupling> couplings;
    std::size_t channels = 0;
    std::size_t hops() const { return couplings.size(); }
    const EncodedFrame& frame(std::size_t hop, std::size_t channel) const { return frames[hop * channels + channel]; }
};

Encoded encode(const Channels& input, unsigned kbitPerSecond, Choice choice, std::size_t batch = 1) {
    const std::size_t channels = input.size(), hops = input[0].size() / kHop;
    const auto encoder = std::make_unique<JointRateEncoder>(channels, kbitPerSecond, choice);
    Encoded out;
    out.channels = channels;
    out.frames.resize(hops * channels);
    out.couplings.resize(hops);
    for (std::size_t at = 0; at < hops; at += batch) {
        const std::size_t count = std::min(batch, hops - at);
        const Sample* from[JointRateEncoder::kMostChannels] = {};
        for (std::size_t c = 0; c < channels; ++c) from[c] = input[c].data() + at * kHop;
        encoder->encodeBatch(from, count, out.frames.data() + at * channels, out.couplings.data() + at,
                             at + count == hops);
    }
    return out;
}

// The reference decoding, the run-in hop dropped and the last Block's second
// half flushed: as long as the input.
Channels decode(const Encoded& encoded) {
    CoupledDecoder decoder(encoded.channels);
    Channels out(encoded.channels, Samples(encoded.hops() * kHop));
    Sample* to[JointRateEncoder::kMostChannels] = {};
    std::size_t written = 0;
    for (std::size_t hop = 0; hop < encoded.hops(); ++hop) {
        for (std::size_t c = 0; c < encoded.channels; ++c) to[c] = out[c].data() + written * kHop;
        const bool midSide = encoded.couplings[hop] == HopCoupling::midSide;
        if (decoder.decode(&encoded.frames[hop * encoded.channels], midSide, to)) ++written;
    }
    for (std::size_t c = 0; c < encoded.channels; ++c) to[c] = out[c].data() + written * kHop;
    decoder.finish(to);
    return out;
}

Bytes channelBytes(const Encoded& encoded, std::size_t channel) {
    Bytes bytes;
    std::uint8_t packed[kMaxFrameBytes];
    for (std::size_t hop = 0; hop < encoded.hops(); ++hop) {
        const std::size_t size = packFrame(encoded.frame(hop, channel), packed);
        bytes.insert(bytes.end(), packed, packed + size);
    }
    return bytes;
}

double kbitPerSecond(const Encoded& encoded) {
    std::size_t bytes = 0;
    for (std::size_t c = 0; c < encoded.channels; ++c) bytes += channelBytes(encoded, c).size();
    return 8.0 * static_cast<double>(bytes) * kSampleRate / (static_cast<double>(encoded.hops() * kHop) * 1000.0);
}

// The pair's SNR: both channels' error against both channels' signal.
double pairSnrDb(const Channels& original, const Channels& decoded) {
    double signal = 0.0, noise = 0.0;
    for (std::size_t c = 0; c < 2; ++c) {
        for (std::size_t i = 0; i < original[c].size(); ++i) {
            const double d = static_cast<double>(original[c][i]) - decoded[c][i];
            signal += static_cast<double>(original[c][i]) * original[c][i];
            noise += d * d;
        }
    }
    return 10.0 * std::log10(signal / noise);
}

Sample clamped(double x) { return static_cast<Sample>(std::lround(std::clamp(x, -32768.0, 32767.0))); }

// A pair from two pieces of music: left = a + width·b, right = a − width·b,
// `width` from 0 (mono) up.
Channels stereo(std::size_t seconds, double width, std::uint32_t seed = 3) {
    const std::size_t count = seconds * kSampleRate / kHop * kHop;
    const Samples a = makeMusicSignal(count, seed), b = makeMusicSignal(count, seed + 17);
    Channels out(2, Samples(count));
    for (std::size_t i = 0; i < count; ++i) {
        out[0][i] = clamped(0.7 * (a[i] + width * b[i]));
        out[1][i] = clamped(0.7 * (a[i] - width * b[i]));
    }
    return out;
}

bool silentFrame(const EncodedFrame& frame) {
    return std::all_of(frame.allocation.begin(), frame.allocation.end(), [](std::uint8_t g) { return g == 0; });
}

TEST(JointStereoFrames, EveryChannelsFramesParseAndPlayInEveryDecoder) {
    // Mono-like for a second, then wide: both couplings in one stream.
    Channels input = stereo(1, 0.02);
    const Channels wide = stereo(1, 1.0, 9);
    for (std::size_t c = 0; c < 2; ++c) input[c].insert(input[c].end(), wide[c].begin(), wide[c].end());
    const Encoded encoded = encode(input, 256, Choice::byEstimate);
    EXPECT_NE(std::count(encoded.couplings.begin(), encoded.couplings.end(), HopCoupling::midSide), 0);
    EXPECT_NE(std::count(encoded.couplings.begin(), encoded.couplings.end(), HopCoupling::leftRight), 0);
    for (std::size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(testing::Message() << "channel " << c);
        const Bytes bytes = channelBytes(encoded, c);
        FrameParser parser;
        const std::uint8_t* at = bytes.data();
        std::size_t left = bytes.size(), hop = 0;
        EncodedFrame frame;
        FrameDecoder<FullSynthesis> full;
        FrameDecoder<ReducedSynthesis> reduced;
        Sample fullHop[kHop], reducedHop[kHop];
        while (parser.next(at, left, frame) == FrameParser::Outcome::frame) {
            ASSERT_LT(hop, encoded.hops());
            EXPECT_EQ(frame, encoded.frame(hop, c)) << "hop " << hop;
            EXPECT_EQ(full.decode(frame, fullHop), hop > 0);
            EXPECT_EQ(reduced.decode(frame, reducedHop), hop > 0);
            ++hop;
        }
        EXPECT_EQ(hop, encoded.hops());
        EXPECT_EQ(left, 0u);
        EXPECT_EQ(parser.pending(), 0u);
    }
}

TEST(JointStereoFrames, UncoupledTheReferenceDecodingIsEachChannelsOwn) {
    const Channels input = stereo(1, 0.5);
    const Encoded encoded = encode(input, 320, Choice::leftRight);
    const Channels decoded = decode(encoded);
    for (std::size_t c = 0; c < 2; ++c) {
        FrameDecoder<FullSynthesis> decoder;
        Samples alone;
        Sample hop[kHop];
        for (std::size_t f = 0; f < encoded.hops(); ++f)
            if (decoder.decode(encoded.frame(f, c), hop)) alone.insert(alone.end(), hop, hop + kHop);
        decoder.finish(hop);
        alone.insert(alone.end(), hop, hop + kHop);
        EXPECT_EQ(alone, decoded[c]) << "channel " << c;
    }
}

TEST(JointStereoFrames, OneChannelCodesAsTheMonoEncoderDoes) {
    const Samples music = makeMusicSignal(2 * kSampleRate / kHop * kHop, 8);
    for (const unsigned rate : {RateEncoder::kLowestBitrate, 128u, RateEncoder::kHighestBitrate}) {
        const Encoded joint = encode({music}, rate, Choice::byEstimate);
        const auto mono = std::make_unique<RateEncoder>(rate);
        std::vector<EncodedFrame> frames(joint.hops());
        UnwatchedEncoding nobody;
        mono->encodeBatch(music.data(), frames.size(), frames.data(), nobody, true);
        EXPECT_TRUE(frames == joint.frames) << rate << " kbit/s";
    }
}

TEST(JointStereoFrames, PiecesOfAnySizeGiveTheSameFrames) {
    const Channels input = stereo(2, 0.3);
    const Encoded whole = encode(input, 256, Choice::byCost);
    for (const std::size_t batch : {2u, 7u, 16u, 1000u}) {
        const Encoded pieces = encode(input, 256, Choice::byCost, batch);
        EXPECT_TRUE(pieces.frames == whole.frames) << "batch " << batch;
        EXPECT_TRUE(pieces.couplings == whole.couplings) << "batch " << batch;
    }
}

TEST(JointStereoRate, TheStreamsRateHoldsOverAllItsChannels) {
    struct Case {
        std::size_t channels;
        unsigned kbitPerSecond;
    };
    const Channels pair = stereo(10, 0.4);
    for (const Case c : {Case{2, 128}, Case{2, 256}, Case{2, 640}, Case{3, 384}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.kbitPerSecond);
        Channels input = pair;
        // A third channel of its own: the centre, between the pair.
        if (c.channels == 3) input.insert(input.begin() + 1, makeMusicSignal(pair[0].size(), 40));
        const double rate = kbitPerSecond(encode(input, c.kbitPerSecond, Choice::byCost));
        EXPECT_NEAR(rate, c.kbitPerSecond, 0.03 * c.kbitPerSecond);
    }
}

TEST(JointStereoCoupling, ALeftEqualToTheRightCodesTheSideAsNothing) {
    const Samples music = makeMusicSignal(2 * kSampleRate / kHop * kHop, 5);
    for (const Choice choice : {Choice::byCost, Choice::byEstimate}) {
        SCOPED_TRACE(testing::Message() << "choice " << static_cast<int>(choice));
        const Encoded encoded = encode({music, music}, 256, choice);
        // The cost the allocation measures leaves out the loss of each band's
        // level, so it may find a hop of identical channels a little cheaper
        // as two; the estimate never does.
        std::size_t midSide = 0;
        for (std::size_t hop = 0; hop < encoded.hops(); ++hop) {
            if (encoded.couplings[hop] != HopCoupling::midSide) continue;
            ++midSide;
            EXPECT_TRUE(silentFrame(encoded.frame(hop, 1))) << "hop " << hop;
        }
        EXPECT_GE(midSide, choice == Choice::byEstimate ? encoded.hops() : encoded.hops() * 95 / 100);
        const Channels decoded = decode(encoded);
        EXPECT_EQ(decoded[0], decoded[1]);
        EXPECT_GT(snrDb(music, decoded[0]), 25.0);
    }
}

TEST(JointStereoCoupling, ARightThatIsTheLeftInvertedComesBackAndCodesTheMidAsNothing) {
    Samples left(2 * kSampleRate / kHop * kHop), right(left.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = clamped(10000.0 * std::sin(kTwoPi * 1000.0 * static_cast<double>(i) / kSampleRate));
        right[i] = static_cast<Sample>(-left[i]);
    }
    const Encoded encoded = encode({left, right}, 256, Choice::byEstimate);
    std::size_t midSide = 0;
    for (std::size_t hop = 0; hop < encoded.hops(); ++hop) {
        if (encoded.couplings[hop] != HopCoupling::midSide) continue;
        ++midSide;
        EXPECT_TRUE(silentFrame(encoded.frame(hop, 0))) << "hop " << hop;
    }
    EXPECT_EQ(midSide, encoded.hops());
    const Channels decoded = decode(encoded);
    EXPECT_GT(snrDb(left, decoded[0]), 40.0);
    EXPECT_GT(snrDb(right, decoded[1]), 40.0);
}

TEST(JointStereoCoupling, ACouplingThatChangesEveryHopDecodesAsWellAsOneThatNeverDoes) {
    // Were the Blocks before a change not turned into the new coupling's
    // terms, by the encoder's model or the decoder, every change would leave
    // the error of a half Block uncorrected, or the wrong channel's.
    for (const double width : {0.1, 0.6}) {
        for (const unsigned rate : {192u, 384u}) {
            SCOPED_TRACE(testing::Message() << "width " << width << ", " << rate << " kbit/s");
            const Channels input = stereo(3, width);
            const double steady = pairSnrDb(input, decode(encode(input, rate, Choice::leftRight)));
            const Encoded changing = encode(input, rate, Choice::everyOther);
            const double changed = pairSnrDb(input, decode(changing));
            EXPECT_GT(changed, steady - 1.0);
        }
    }
}

TEST(JointStereoCoupling, TheChoiceNeverLosesToLeftAndRight) {
    // Nearly mono, mid and side alike (where left and right are apart), and
    // the side the louder; at the lowest rate and one where mid/side gains
    // most.
    for (const Choice choice : {Choice::byCost, Choice::byEstimate}) {
        for (const double width : {0.05, 1.0, 3.0}) {
            for (const unsigned rate : {128u, 384u}) {
                SCOPED_TRACE(testing::Message() << "choice " << static_cast<int>(choice) << ", width " << width
                                                << ", " << rate << " kbit/s");
                const Channels input = stereo(2, width, 11);
                const double apart = pairSnrDb(input, decode(encode(input, rate, Choice::leftRight)));
                const Encoded joint = encode(input, rate, choice);
                const double chosen = pairSnrDb(input, decode(joint));
                EXPECT_GT(chosen, apart - 0.3);
            }
        }
    }
}

TEST(JointStereoCoupling, AChannelOfItsOwnIsStillCodedAsLeftAndRight) {
    // The choice leans to mid/side, but not so far as to code one channel's
    // sound twice, in mid and in side, where the other is silent or faint.
    for (const double other : {0.0, 0.02}) {
        SCOPED_TRACE(testing::Message() << "other channel at " << other);
        const std::size_t count = 2 * kSampleRate / kHop * kHop;
        const Samples left = makeMusicSignal(count, 5), faint = makeMusicSignal(count, 6);
        Samples right(count);
        for (std::size_t i = 0; i < count; ++i) right[i] = clamped(other * faint[i]);
        const Encoded encoded = encode({left, right}, 256, Choice::byEstimate);
        const auto midSide = std::count(encoded.couplings.begin(), encoded.couplings.end(), HopCoupling::midSide);
        EXPECT_LT(midSide, static_cast<long>(encoded.hops() / 20));
    }
}

// Whether a frame codes any band from 6.4 kHz up, where a rate that cannot
// afford them in every Block codes them in every other.
bool codesHighBands(const EncodedFrame& frame) {
    return std::any_of(frame.allocation.begin() + kBandsTo6400Hz, frame.allocation.end(),
                       [](std::uint8_t g) { return g != 0; });
}

TEST(JointStereoWidth, AWidePairIsCodedWithTheProfileOfTwoChannelsANarrowOneOfFewer) {
    // At 256 kbit/s a narrow pair codes as 1.6 channels of 160 kbit/s,
    // the high bands in every Block; a pair whose side is as loud as its
    // mid is heard to be wide within a second and codes as two channels of
    // 128, the high bands in every other Block. Never both in two Blocks
    // running, once it is.
    for (const double width : {0.05, 1.0}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        const Encoded encoded = encode(stereo(3, width, 7), 256, Choice::byEstimate);
        std::size_t running = 0, carrying = 0;
        for (std::size_t hop = 2 * kSampleRate / kHop; hop < encoded.hops(); ++hop) {
            const bool now = codesHighBands(encoded.frame(hop, 0));
            carrying += now;
            running += now && codesHighBands(encoded.frame(hop - 1, 0));
        }
        ASSERT_GT(carrying, 50u);
        if (width < 0.5)
            EXPECT_GT(running, carrying / 2);
        else
            EXPECT_EQ(running, 0u);
    }
    // Two channels of 96 kbit/s would cut at 6.4 kHz: at 192 a wide pair
    // keeps the high bands all the same.
    const Encoded wide = encode(stereo(3, 1.0, 7), 192, Choice::byEstimate);
    std::size_t carrying = 0;
    for (std::size_t hop = 2 * kSampleRate / kHop; hop < wide.hops(); ++hop)
        carrying += codesHighBands(wide.frame(hop, 0));
    EXPECT_GT(carrying, 50u);
}

TEST(JointStereoCoupling, FiveChannelsCoupleTheFrontPairAroundTheCentreAndCodeTheRestAlone) {
    // Left and right equal, a centre and two rear channels of their own:
    // only the front pair's side is nothing.
    const std::size_t count = kSampleRate / kHop * kHop;
    const Samples front = makeMusicSignal(count, 21);
    const Channels input = {front, makeMusicSignal(count, 22), front, makeMusicSignal(count, 23),
                            makeMusicSignal(count, 24)};
    const Encoded encoded = encode(input, 5 * 128, Choice::byEstimate);
    for (std::size_t hop = 0; hop < encoded.hops(); ++hop) {
        ASSERT_EQ(encoded.couplings[hop], HopCoupling::midSide) << "hop " << hop;
        EXPECT_TRUE(silentFrame(encoded.frame(hop, 2))) << "hop " << hop;
        for (const std::size_t c : {0u, 1u, 3u, 4u}) EXPECT_FALSE(silentFrame(encoded.frame(hop, c))) << "hop " << hop;
    }
    const Channels decoded = decode(encoded);
    EXPECT_EQ(decoded[0], decoded[2]);
    for (std::size_t c = 0; c < input.size(); ++c) EXPECT_GT(snrDb(input[c], decoded[c]), 20.0) << "channel " << c;
}

}  // namespace
}  // namespace zarn
