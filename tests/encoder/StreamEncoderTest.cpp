// The stream encoder's one contract with every core: full batches, and the
// stream's last batch, however short, marked as such; and each real core's
// bytes the same whatever pieces its samples come in.

#include "encoder/StreamEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "encoder/FullAnalysis.h"
#include "rate/RateEncoder.h"
#include "reduced/ReducedAnalysis.h"
#include "tools/MusicSignal.h"

namespace zarn {
namespace {

using Samples = std::vector<Sample>;
using Bytes = std::vector<std::uint8_t>;

// A core that encodes nothing but keeps what it was handed: the hops, and
// for each batch its size and whether it was called the last.
struct RecordingCore {
    static constexpr std::size_t kBatch = 4;

    struct Batch {
        std::size_t count;
        bool last;
    };

    template <class Watch>
    void encodeBatch(const Sample* hops, std::size_t count, EncodedFrame* frames, Watch&, bool last) {
        std::fill(frames, frames + count, EncodedFrame{});
        batches.push_back({count, last});
        samples.insert(samples.end(), hops, hops + count * kHop);
    }

    std::vector<Batch> batches;
    Samples samples;
};

// `samples` handed to a stream encoder `piece` at a time, then finished.
template <class Core>
void feed(StreamEncoderOf<Core>& encoder, const Samples& samples, std::size_t piece, Bytes* bytes = nullptr) {
    auto out = [bytes](const std::uint8_t* data, std::size_t size) {
        if (bytes != nullptr) bytes->insert(bytes->end(), data, data + size);
        return true;
    };
    for (std::size_t at = 0; at < samples.size(); at += piece)
        ASSERT_TRUE(encoder.write(samples.data() + at, std::min(piece, samples.size() - at), out));
    ASSERT_TRUE(encoder.finish(out));
}

TEST(StreamEncoderContract, OnlyTheStreamsLastBatchIsCalledLastAndEveryOtherIsFull) {
    constexpr std::size_t kBatchSamples = RecordingCore::kBatch * kHop;
    const std::size_t lengths[] = {0, 1, kHop, kBatchSamples - 1, kBatchSamples, kBatchSamples + 1,
                                   2 * kBatchSamples, 3 * kBatchSamples + 5};
    const std::size_t pieces[] = {1, 7, kHop, kBatchSamples, kBatchSamples + 1, 10 * kBatchSamples};
    for (const std::size_t length : lengths) {
        Samples samples(length);
        for (std::size_t i = 0; i < length; ++i) samples[i] = static_cast<Sample>(i % 1000 + 1);
        for (const std::size_t piece : pieces) {
            SCOPED_TRACE(testing::Message() << length << " samples, " << piece << " a call");
            const auto encoder = std::make_unique<StreamEncoderOf<RecordingCore>>();
            feed(*encoder, samples, piece);
            const auto& batches = encoder->core().batches;
            ASSERT_FALSE(batches.empty());
            for (std::size_t b = 0; b + 1 < batches.size(); ++b) {
                EXPECT_EQ(batches[b].count, RecordingCore::kBatch);
                EXPECT_FALSE(batches[b].last);
            }
            EXPECT_TRUE(batches.back().last);
            EXPECT_GE(batches.back().count, 1u);
            // One hop per hop begun (one for no samples), the last completed
            // with silence.
            const std::size_t hops = std::max<std::size_t>(1, (length + kHop - 1) / kHop);
            const Samples& handed = encoder->core().samples;
            ASSERT_EQ(handed.size(), hops * kHop);
            EXPECT_TRUE(std::equal(samples.begin(), samples.end(), handed.begin()));
            EXPECT_TRUE(std::all_of(handed.begin() + static_cast<std::ptrdiff_t>(length), handed.end(),
                                    [](Sample s) { return s == 0; }));
        }
    }
}

TEST(StreamEncoderContract, AnOutputThatRefusesStopsTheWrite) {
    const auto encoder = std::make_unique<StreamEncoderOf<RecordingCore>>();
    const auto refuse = [](const std::uint8_t*, std::size_t) { return false; };
    const Samples samples(3 * RecordingCore::kBatch * kHop);
    EXPECT_FALSE(encoder->write(samples.data(), samples.size(), refuse));
    EXPECT_EQ(encoder->core().batches.size(), 1u) << "nothing is encoded after the refusal";
}

// Each core's bytes for `samples` fed whole and in pieces of every size in
// `pieces`, around its batches' edges included.
template <class Core>
void expectTheSameBytesInAnyPieces(unsigned kbitPerSecond, const std::vector<std::size_t>& pieces) {
    const Samples music = makeMusicSignal(2 * Core::kBatch * kHop + 300, 3);
    for (const std::size_t length : {music.size(), 2 * Core::kBatch * kHop, Core::kBatch * kHop + 1}) {
        const Samples samples(music.begin(), music.begin() + static_cast<std::ptrdiff_t>(length));
        auto encode = [&](std::size_t piece) {
            const auto encoder = std::make_unique<StreamEncoderOf<Core>>();
            if constexpr (std::is_same_v<Core, RateEncoder>) encoder->core().setBitrate(kbitPerSecond);
            Bytes bytes;
            feed(*encoder, samples, piece, &bytes);
            return bytes;
        };
        const Bytes whole = encode(samples.size());
        for (const std::size_t piece : pieces) {
            SCOPED_TRACE(testing::Message() << length << " samples, " << piece << " a call");
            ASSERT_EQ(encode(piece), whole);
        }
    }
}

// Every piece size from one sample up to `upTo`, and those around `batch`
// hops and twice that.
std::vector<std::size_t> piecesUpTo(std::size_t upTo, std::size_t batch) {
    std::vector<std::size_t> pieces;
    for (std::size_t piece = 1; piece <= upTo; ++piece) pieces.push_back(piece);
    for (const std::size_t edge : {batch * kHop, 2 * batch * kHop})
        for (const std::size_t piece : {edge - 1, edge, edge + 1}) pieces.push_back(piece);
    return pieces;
}

TEST(StreamEncoderPieces, TheRateEncoderWritesTheSameBytesWhateverThePieces) {
    // The one core whose last Block differs: it must be the stream's last
    // however the samples came.
    for (const unsigned rate : {RateEncoder::kLowestBitrate, RateEncoder::kHighestBitrate}) {
        SCOPED_TRACE(rate);
        expectTheSameBytesInAnyPieces<RateEncoder>(rate, piecesUpTo(300, RateEncoder::kBatch));
    }
}

TEST(StreamEncoderPieces, TheMenuProgramsCoresWriteTheSameBytesWhateverThePieces) {
    expectTheSameBytesInAnyPieces<FrameEncoder<FullAnalysis>>(0, piecesUpTo(40, FullAnalysis::kBatch));
    expectTheSameBytesInAnyPieces<FrameEncoder<ReducedAnalysis>>(0, piecesUpTo(40, ReducedAnalysis::kBatch));
}

}  // namespace
}  // namespace zarn
