// Every fast kernel against its literal twin, compared bit for bit, on every
// vector path this machine can take. Inputs include silence and constants
// (signed zeros), full-scale, subnormal and non-finite values, and random
// blocks; a failure names the path, the case and the seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decoder/Dequantise.h"
#include "dsp/Fft.h"
#include "dsp/Mirror.h"
#include "dsp/FrameWindow.h"
#include "encoder/BitAllocator.h"
#include "encoder/MaskingModel.h"
#include "encoder/Quantiser.h"
#include "encoder/QuietThreshold.h"
#include "reduced/Dft.h"
#include "common/BandTable.h"
#include "common/RoundToSample.h"
#include "common/VectorDispatch.h"
#include "tests/reference/LiteralKernels.h"
#include "tests/support/BandTestUtil.h"
#include "tests/support/EveryVectorPath.h"

namespace zarn {
namespace {

constexpr int kRandomBlocks = 300;

using test::sameBits;

// Time-domain blocks as the encoder meets them: windowed 16-bit samples, and
// the corner cases around them.
std::vector<Block> testBlocks() {
    std::vector<Block> blocks;
    Block block{};
    blocks.push_back(block);  // silence
    block.fill(-0.0);
    blocks.push_back(block);
    for (double value : {1.0, -1.0, 1000.0, 32767.0, -32768.0, 1e-300, 4.9e-324}) {
        block.fill(value);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i < kBlockLength; ++i) block[i] = i % 2 ? -32768.0 : 32767.0;
    blocks.push_back(block);
    for (std::size_t i = 0; i < kBlockLength; ++i) block[i] = std::ldexp(static_cast<double>(i % 7) - 3, -1060);
    blocks.push_back(block);  // subnormal
    block.fill(0.0);
    block[1] = 1.0;
    blocks.push_back(block);
    for (const double odd : {static_cast<double>(NAN), HUGE_VAL, -HUGE_VAL}) {
        block.fill(0.0);
        block[3] = odd;
        block[300] = 5.0;
        blocks.push_back(block);
    }
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_int_distribution<int> quiet(-3, 3);
    for (int b = 0; b < kRandomBlocks; ++b) {
        for (std::size_t i = 0; i < kBlockLength; ++i) block[i] = b % 3 == 2 ? quiet(random) : sample(random);
        if (b % 2) literal::applyWindow(block.data(), static_cast<std::int32_t>(kBlockLength));
        blocks.push_back(block);
    }
    return blocks;
}

class EveryVectorPath : public test::OnEveryVectorPath {
protected:
    void TearDown() override {
        useTuning(detectedTuning());
        OnEveryVectorPath::TearDown();
    }
};

TEST_P(EveryVectorPath, FftForwardMatchesTheRecursiveTransform) {
    const auto blocks = testBlocks();
    const Fft fft(kBlockLength);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        SpectrumPart re, im, expectRe, expectIm;
        re.fill(7.0), im.fill(7.0), expectRe.fill(7.0), expectIm.fill(7.0);
        fft.forward(blocks[b].data(), re.data(), im.data());
        literal::fftForward(blocks[b].data(), expectRe.data(), expectIm.data());
        ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
        ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));
    }
}

TEST_P(EveryVectorPath, FftInverseMatchesTheRecursiveTransform) {
    // Mirrored spectra as the decoder meets them, and arbitrary ones whose
    // imaginary parts need not cancel. One object runs both directions.
    const auto blocks = testBlocks();
    const Fft fft(kBlockLength);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        SpectrumPart mirroredRe{}, mirroredIm{};
        fft.forward(blocks[b].data(), mirroredRe.data(), mirroredIm.data());
        mirror(mirroredRe.data(), mirroredIm.data());
        const std::pair<const Block&, const Block&> spectra[] = {
            {mirroredRe, mirroredIm}, {blocks[b], blocks[(b + 1) % blocks.size()]}};
        for (const auto& [re, im] : spectra) {
            Block y, expectY, expectIm;
            fft.inverse(re.data(), im.data(), y.data());
            literal::fftInverse(re.data(), im.data(), expectY.data(), expectIm.data());
            ASSERT_TRUE(sameBits(y.data(), expectY.data(), kBlockLength));
        }
    }
}


TEST_P(EveryVectorPath, WindowMatchesTheDirectEvaluation) {
    const FrameWindow window;
    // Framing and windowing in one pass, on hops of 16-bit samples: the
    // extremes, silence and random ones, each after the one before.
    std::mt19937 random(3);
    std::vector<std::array<Sample, kHop>> hops(6);
    hops[0].fill(-32768), hops[1].fill(32767), hops[2].fill(0);
    for (std::size_t i = 0; i < kHop; ++i) hops[3][i] = static_cast<Sample>(i % 2 ? -32768 : 32767);
    for (std::size_t h = 4; h < hops.size(); ++h) {
        for (Sample& s : hops[h]) s = static_cast<Sample>(random());
    }
    // The keeping form carries each hop over as the next Block's first half.
    HalfBlock previous{}, kept{};
    for (const auto& hop : hops) {
        Block fast, keeping, slow;
        window.frameWindowed(previous.data(), hop.data(), fast.data());
        window.frameWindowedKeeping(kept.data(), hop.data(), keeping.data());
        for (std::size_t i = 0; i < kHop; ++i) {
            slow[i] = previous[i];
            slow[kHop + i] = hop[i];
            previous[i] = hop[i];
        }
        literal::applyWindow(slow.data(), static_cast<std::int32_t>(kBlockLength));
        ASSERT_TRUE(sameBits(fast.data(), slow.data(), kBlockLength));
        ASSERT_TRUE(sameBits(keeping.data(), slow.data(), kBlockLength));
        ASSERT_TRUE(sameBits(kept.data(), previous.data(), kHop));
    }
}


// The smallest magnitude in [low, high] at which a literal per-band decision
// differs from its decision at `low`: `decide(m)` must change once in between.
template <class Decide>
double flipPoint(Decide decide, double low, double high) {
    const auto start = decide(low);
    const double last = test::lastWhere(low, high, [&](double m) { return decide(m) == start; });
    return std::nextafter(last, HUGE_VAL);
}

// Magnitudes within a few hundred ulps of `point`, plus a spread around it.
std::vector<double> around(double point, std::mt19937& random) {
    std::vector<double> values;
    double up = point, down = point;
    for (int i = 0; i < 300; ++i) {
        values.push_back(up);
        values.push_back(down);
        up = std::nextafter(up, HUGE_VAL);
        down = std::nextafter(down, 0.0);
    }
    // The edges of the range in which the fast kernels evaluate the level
    // themselves: a power within 2^-30 of a boundary, a magnitude within 2^-31.
    for (double edge : {point * (1 + 0x1p-31), point * (1 - 0x1p-31)}) {
        for (int i = -50; i <= 50; ++i) values.push_back(edge + i * std::ldexp(point, -52));
    }
    std::uniform_real_distribution<double> spread(0.999, 1.001);
    for (int i = 0; i < 200; ++i) values.push_back(point * spread(random));
    return values;
}

// Spectra whose bins sit on and around every decision boundary of the
// threshold in quiet and of the allocation, with the component split between
// real and imaginary parts in different ways: first all boundaries mixed over
// all bins, then each band's own threshold in every one of its bins, so that
// the bins at the band edges meet it too, and last alone at a band's edge in
// an otherwise silent spectrum, where nothing else sends the frame the long
// way.
std::vector<std::pair<SpectrumPart, SpectrumPart>> boundarySpectra() {
    std::mt19937 random(7);
    std::vector<double> magnitudes;
    std::vector<std::vector<double>> ownBoundary(kBandCount);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t bin = kBands.first[band];
        const double point = flipPoint(
            [bin](double m) {
                SpectrumPart re{}, im{};
                re[bin] = m;
                literal::quietThreshold(re.data(), im.data());
                return re[bin] == 0.0;
            },
            1e-3, 1e4);
        ownBoundary[band] = around(point, random);
        magnitudes.insert(magnitudes.end(), ownBoundary[band].begin(), ownBoundary[band].end());
    }
    for (int g = 1; g <= 15; ++g) {
        const double point = flipPoint(
            [g](double m) {
                SpectrumPart re{}, im{};
                re[0] = m;
                BitAllocation allocation;
                literal::allocate(allocation, re.data(), im.data());
                return allocation[0] >= g;
            },
            0.5, 40000.0);
        for (double m : around(point, random)) magnitudes.push_back(m);
    }
    std::shuffle(magnitudes.begin(), magnitudes.end(), random);
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    std::size_t next = 0;
    const auto put = [&](SpectrumPart& re, SpectrumPart& im, std::size_t bin, double m) {
        switch (next++ % 4) {
            case 0: re[bin] = m; break;
            case 1: im[bin] = -m; break;
            default: {
                const double a = angle(random);
                re[bin] = m * std::cos(a);
                im[bin] = m * std::sin(a);
            }
        }
    };
    std::vector<std::pair<SpectrumPart, SpectrumPart>> spectra;
    for (std::size_t used = 0; used < magnitudes.size();) {
        SpectrumPart re{}, im{};
        for (std::size_t bin = 0; bin < kCodedBins && used < magnitudes.size(); ++bin) put(re, im, bin, magnitudes[used++]);
        spectra.emplace_back(re, im);
    }
    for (std::size_t s = 0; s < 60; ++s) {
        SpectrumPart re{}, im{};
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const std::vector<double>& own = ownBoundary[band];
            for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
                put(re, im, bin, own[(s * kBands.width(band) + bin - kBands.first[band]) % own.size()]);
            }
        }
        spectra.emplace_back(re, im);
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (const std::size_t bin : {std::size_t{kBands.first[band]}, std::size_t{kBands.last(band)}}) {
            for (std::size_t i = 0; i < ownBoundary[band].size(); i += 20) {
                SpectrumPart re{}, im{};
                put(re, im, bin, ownBoundary[band][i]);
                spectra.emplace_back(re, im);
            }
        }
    }
    // Silence, and the odd values a decision must survive.
    SpectrumPart re{}, im{};
    spectra.emplace_back(re, im);
    re[3] = NAN, im[40] = HUGE_VAL, re[200] = -0.0, im[201] = 1e-320;
    spectra.emplace_back(re, im);
    return spectra;
}

TEST_P(EveryVectorPath, ThresholdInQuietDecidesEveryBoundaryAsTheLogarithmDoes) {
    const QuietThreshold threshold;
    const auto spectra = boundarySpectra();
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        SCOPED_TRACE("spectrum " + std::to_string(i));
        auto [re, im] = spectra[i];
        auto [expectRe, expectIm] = spectra[i];
        threshold.apply(re.data(), im.data());
        literal::quietThreshold(expectRe.data(), expectIm.data());
        ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
        ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));
    }
}

TEST_P(EveryVectorPath, AllocationDecidesEveryBoundaryAsTheLogarithmDoes) {
    const BitAllocator allocator;
    const auto spectra = boundarySpectra();
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        SCOPED_TRACE("spectrum " + std::to_string(i));
        const auto& [re, im] = spectra[i];
        BitAllocation fast, slow;
        allocator.allocate(fast, re.data(), im.data());
        literal::allocate(slow, re.data(), im.data());
        ASSERT_EQ(fast, slow);
    }
}

// The quantiser on re and im, in place, against its literal twin: the same
// exponents and the same bits.
void expectQuantisedAsLiterally(SpectrumPart& re, SpectrumPart& im) {
    auto expectRe = re, expectIm = im;
    ScaleExponents scale, expectScale;
    Quantiser().quantise(re.data(), im.data(), scale);
    literal::quantise(expectRe.data(), expectIm.data(), expectScale);
    ASSERT_EQ(scale, expectScale);
    ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
    ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));
}

TEST_P(EveryVectorPath, QuantiserExponentsFlipWhereDoublingDoes) {
    // Largest components at, just below and just above every power of two
    // that can decide an exponent, one per band.
    std::vector<double> largest = {0.0, 4.9e-324, HUGE_VAL, 32768.0, 32767.999999999996};
    for (int k = -30; k <= 16; ++k) {
        const double power = std::ldexp(1.0, k);
        largest.insert(largest.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, HUGE_VAL)});
    }
    for (std::size_t start = 0; start < largest.size(); start += kBandCount) {
        SpectrumPart re{}, im{};
        std::size_t bin = 0;
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double m = largest[(start + band) % largest.size()];
            (band % 2 ? im : re)[bin] = band % 3 ? m : -m;
            bin += kBandWidths[band];
        }
        ASSERT_NO_FATAL_FAILURE(expectQuantisedAsLiterally(re, im));
    }
}

TEST_P(EveryVectorPath, QuantiserFindsTheLargestAnywhereInItsBand) {
    // Each band's largest component at each of its bins in turn, real or
    // imaginary, among smaller ones, a NaN that must not win and infinities
    // in some frames: whichever lane or overlapping last vector meets it.
    std::mt19937 random(13);
    std::uniform_real_distribution<double> small(-1.0, 1.0);
    for (std::size_t at = 0; at < kBands.width(kBandCount - 1); ++at) {
        for (int variant = 0; variant < 4; ++variant) {
            SCOPED_TRACE("bin " + std::to_string(at) + " of each band, variant " + std::to_string(variant));
            SpectrumPart re{}, im{};
            for (std::size_t bin = 0; bin < kCodedBins; ++bin) re[bin] = small(random), im[bin] = -small(random);
            for (std::size_t band = 0; band < kBandCount; ++band) {
                const std::size_t bin = kBands.first[band] + at % kBands.width(band);
                const double largest = std::ldexp(1.0 + small(random) / 4, static_cast<int>(band % 16));
                ((at + band) % 2 ? im : re)[bin] = band % 3 ? largest : -largest;
                const std::size_t other = kBands.first[band] + (at + 1 + band) % kBands.width(band);
                if (variant == 1 && other != bin) ((at + band) % 2 ? re : im)[other] = NAN;
                if (variant == 2) ((at + band) % 2 ? re : im)[bin] = NAN;
                if (variant == 3 && band % 5 == 0) ((at + band) % 2 ? re : im)[other] = -HUGE_VAL;
            }
            ASSERT_NO_FATAL_FAILURE(expectQuantisedAsLiterally(re, im));
        }
    }
}

TEST_P(EveryVectorPath, QuantiserScalesAsRepeatedDoublingDoes) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    // Every other trial stays clear of the subnormals, where the fast paths
    // are meant to apply.
    std::uniform_int_distribution<int> anyExponent(-1080, 14), normalExponent(-990, 14);
    for (int trial = 0; trial < 500; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        auto& exponent = trial % 2 ? anyExponent : normalExponent;
        SpectrumPart re{}, im{};
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            // Every order of magnitude, subnormals included; some bands silent.
            if ((bin / 7 + trial) % 5 == 0) continue;
            re[bin] = std::ldexp(unit(random), exponent(random));
            im[bin] = std::ldexp(unit(random), exponent(random));
        }
        ASSERT_NO_FATAL_FAILURE(expectQuantisedAsLiterally(re, im));
    }
}


TEST_P(EveryVectorPath, MaskingMatchesTheDirectEvaluation) {
    const auto blocks = testBlocks();
    Fft fft(kBlockLength);
    const QuietThreshold threshold;
    MaskingModel masking(1.0);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        SpectrumPart re{}, im{};
        fft.forward(blocks[b].data(), re.data(), im.data());
        if (b % 2) threshold.apply(re.data(), im.data());
        auto expectRe = re, expectIm = im;
        masking.apply(re.data(), im.data());
        literal::mask(expectRe.data(), expectIm.data());
        ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
        ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));
    }
}

// The corners of rounding, random values on the writer's scale, and every
// quarter from -33000 to 33000 with the doubles on either side of it: every
// half and its neighbours, and every range between them.
std::vector<double> roundingValues() {
    std::vector<double> values = test::roundingCorners();
    std::mt19937 random(3);
    std::uniform_real_distribution<double> scaled(-32768.0, 32768.0);
    for (int i = 0; i < 5000; ++i) values.push_back(scaled(random));
    for (int q = -4 * 33000; q <= 4 * 33000; ++q) {
        const double x = q / 4.0;
        values.insert(values.end(), {x, std::nextafter(x, HUGE_VAL), std::nextafter(x, -HUGE_VAL)});
    }
    return values;
}

TEST_P(EveryVectorPath, BatchRoundingMatchesTheLiteralRounding) {
    // Each value in every lane and in the scalar tail: the batch starts up
    // to seven values later and ends up to seven earlier.
    const std::vector<double> values = roundingValues();
    for (std::size_t offset = 0; offset < 8; ++offset) {
        SCOPED_TRACE("offset " + std::to_string(offset));
        const std::size_t count = values.size() - offset - (7 * offset) % 8;
        std::vector<Sample> batch(count);
        roundToSamples(values.data() + offset, batch.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(batch[i], literal::roundToSample(values[offset + i])) << "value " << values[offset + i];
        }
    }
    for (const double x : values) ASSERT_EQ(roundToSample(x), literal::roundToSample(x)) << "value " << x;
}

// The literal direct transform costs milliseconds a block: a sample of the
// blocks, corners first, is enough to catch a table or order mistake.
TEST_P(EveryVectorPath, DftMatchesTheDirectSums) {
    const auto blocks = testBlocks();
    Dft dft;
    const std::size_t corners = blocks.size() - kRandomBlocks;
    for (std::size_t b = 0; b < blocks.size(); b += b < corners ? 1 : 40) {
        SCOPED_TRACE("block " + std::to_string(b));
        SpectrumPart re, im, expectRe, expectIm;
        re.fill(7.0), im.fill(7.0), expectRe.fill(7.0), expectIm.fill(7.0);
        dft.forward(blocks[b].data(), re.data(), im.data(), 512);
        literal::dftForward(blocks[b].data(), expectRe.data(), expectIm.data(), 512);
        ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
        ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));

        mirror(re.data(), im.data());
        Block y, expectY;
        dft.inverse(re.data(), im.data(), y.data(), 512);
        literal::dftInverse(re.data(), im.data(), expectY.data(), 512);
        ASSERT_TRUE(sameBits(y.data(), expectY.data(), kBlockLength));
    }
}

// The decoder's one-pass way back, for every 16-bit component under every
// exponent, in every band, against converting and halving e times; bins past
// 256 are left alone.
TEST(Dequantise, MatchesConvertingAndHalvingLiterally) {
    EncodedFrame frame;
    SpectrumPart re, im, expectRe, expectIm;
    re.fill(7.0), im.fill(7.0), expectRe.fill(7.0), expectIm.fill(7.0);
    for (int e = 0; e < 16; ++e) {
        for (int start = -32768; start < 32768; start += kCodedBins) {
            SCOPED_TRACE("exponent " + std::to_string(e) + ", from " + std::to_string(start));
            for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
                frame.re[bin] = static_cast<Sample>(start + static_cast<int>(bin));
                frame.im[bin] = static_cast<Sample>(-1 - start - static_cast<int>(bin));
                expectRe[bin] = frame.re[bin];
                expectIm[bin] = frame.im[bin];
            }
            for (std::size_t band = 0; band < kBandCount; ++band) {
                frame.scale[band] = static_cast<std::uint8_t>((e + band) % 16);
            }
            literal::dequantise(expectRe.data(), expectIm.data(), frame.scale);
            dequantise(frame, re.data(), im.data());
            ASSERT_TRUE(sameBits(re.data(), expectRe.data(), kBlockLength));
            ASSERT_TRUE(sameBits(im.data(), expectIm.data(), kBlockLength));
        }
    }
}

// Batches of every size up to past two sweeps give each frame the bits it
// gets alone, which the test above holds against the direct sums, the inverse
// under every tuning (each lays its sweeps out its own way); bins past 256 and
// frames past the batch are never written.
TEST_P(EveryVectorPath, DftBatchesMatchSingleFrames) {
    const auto blocks = testBlocks();
    Dft dft;
    constexpr std::size_t kMost = 2 * Dft::kBatch + 3;
    std::vector<SpectrumPart> re(kMost + 1), im(kMost + 1);
    std::vector<Block> y(kMost + 1);
    std::size_t next = 0;
    for (std::size_t count = 1; count <= kMost; ++count) {
        SCOPED_TRACE("batch of " + std::to_string(count));
        const double* x[kMost];
        double* outRe[kMost];
        double* outIm[kMost];
        for (std::size_t f = 0; f <= kMost; ++f) re[f].fill(7.0), im[f].fill(7.0), y[f].fill(7.0);
        for (std::size_t f = 0; f < count; ++f, next = (next + 7) % blocks.size()) {
            x[f] = blocks[next].data();
            outRe[f] = re[f].data();
            outIm[f] = im[f].data();
        }
        dft.forward(x, outRe, outIm, count);
        const double* inRe[kMost];
        const double* inIm[kMost];
        double* outY[kMost];
        for (std::size_t f = 0; f < count; ++f) {
            SpectrumPart expectRe, expectIm;
            expectRe.fill(7.0), expectIm.fill(7.0);
            dft.forward(x[f], expectRe.data(), expectIm.data(), 512);
            ASSERT_TRUE(sameBits(re[f].data(), expectRe.data(), kBlockLength)) << "frame " << f;
            ASSERT_TRUE(sameBits(im[f].data(), expectIm.data(), kBlockLength)) << "frame " << f;
            mirror(re[f].data(), im[f].data());
            inRe[f] = re[f].data();
            inIm[f] = im[f].data();
            outY[f] = y[f].data();
        }
        EXPECT_TRUE(std::all_of(re[count].begin(), re[count].end(), [](double v) { return v == 7.0; }));
        for (const Tuning tuning : kTunings) {
            SCOPED_TRACE(tuningName(tuning));
            useTuning(tuning);
            for (std::size_t f = 0; f <= kMost; ++f) y[f].fill(7.0);
            dft.inverse(inRe, inIm, outY, count);
            for (std::size_t f = 0; f < count; ++f) {
                Block expectY;
                dft.inverse(inRe[f], inIm[f], expectY.data(), 512);
                ASSERT_TRUE(sameBits(y[f].data(), expectY.data(), kBlockLength)) << "frame " << f;
            }
            EXPECT_TRUE(std::all_of(y[count].begin(), y[count].end(), [](double v) { return v == 7.0; }));
        }
    }
}

ZARN_ON_EVERY_VECTOR_PATH(EveryVectorPath);

}  // namespace
}  // namespace zarn
