// The high bands' segments: every other Block carries them, and what it
// carries is the spectrum of a plain high-pass filter's output over its two
// hops, less the line through the segment's ends.

#include "rate/HighBandSegments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <utility>
#include <vector>

#include "common/BandTable.h"
#include "dsp/Fft.h"
#include "tests/support/EveryVectorPath.h"

namespace zarn {
namespace {

// The filter as the audio cookbook writes it, one sample after another.
std::vector<double> highPassed(const std::vector<Sample>& input) {
    const double w0 = kTwoPi * 5000.0 / kSampleRate;
    const double alpha = std::sin(w0) / (2.0 * std::sqrt(0.5));
    const double c = std::cos(w0), a0 = 1.0 + alpha;
    const double b0 = (1.0 + c) / 2.0 / a0, b1 = -(1.0 + c) / a0, b2 = b0;
    const double a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
    std::vector<double> output(input.size());
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (std::size_t n = 0; n < input.size(); ++n) {
        const double x = input[n];
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        output[n] = y;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    return output;
}

// The segment goes through the real FFT of each path.
class HighBandSegmentsOnEveryPath : public test::OnEveryVectorPath {};

TEST_P(HighBandSegmentsOnEveryPath, EveryOtherBlockCarriesTheHighPassedSegmentMadeSmoothAcrossItsEnds) {
    constexpr std::size_t kHops = 24;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<Sample> input(kHops * kHop);
    for (Sample& s : input) s = static_cast<Sample>(sample(random));
    const std::vector<double> filtered = highPassed(input);

    HighBandSegments segments;
    const RealFft realFft(kBlockLength);
    const Fft fft(kBlockLength);
    const std::size_t first = kBands.first[HighBandSegments::kFirstBand];
    for (std::size_t hop = 0; hop < kHops; ++hop) {
        const bool carries = segments.next(input.data() + hop * kHop);
        ASSERT_EQ(carries, hop % 2 == 1) << "hop " << hop;
        if (!carries) continue;

        SpectrumPart re{}, im{};
        std::fill(re.begin(), re.end(), 7.0);
        std::fill(im.begin(), im.end(), 7.0);
        segments.aim(realFft, re.data(), im.data());

        // The filtered hops less a line and a parabola, whose two
        // coefficients solve for what follows.
        Block segment;
        const double* from = filtered.data() + (hop - 1) * kHop;
        const auto smoothed = [&](double lineCoefficient, double parabolaCoefficient) {
            for (std::size_t i = 0; i < kBlockLength; ++i) {
                const double n = static_cast<double>(i);
                segment[i] = from[i] - lineCoefficient * n - parabolaCoefficient * n * (n - 511.0);
            }
        };
        // The errors in the two conditions are linear in the coefficients:
        // measured at (0, 0), (1, 0) and (0, 1), solved, and checked below.
        const auto conditions = [&](double line, double parabola) {
            smoothed(line, parabola);
            const double endSlope = segment[511] - segment[510], startSlope = segment[1] - segment[0];
            return std::pair<double, double>{(segment[0] - segment[511]) - 0.5 * (endSlope + startSlope),
                                             endSlope - startSlope};
        };
        const auto [j0, k0] = conditions(0.0, 0.0);
        const auto [j1, k1] = conditions(1.0, 0.0);
        const auto [j2, k2] = conditions(0.0, 1.0);
        const double det = (j1 - j0) * (k2 - k0) - (j2 - j0) * (k1 - k0);
        const double line = (-j0 * (k2 - k0) + k0 * (j2 - j0)) / det;
        const double parabola = (-k0 * (j1 - j0) + j0 * (k1 - k0)) / det;
        // Across its ends the segment goes on as it came: its last sample
        // steps to its first as the samples beside them step, and its two
        // ends climb alike.
        const auto [wrapStep, slopes] = conditions(line, parabola);
        ASSERT_NEAR(wrapStep, 0.0, 1e-9 * 32768.0);
        ASSERT_NEAR(slopes, 0.0, 1e-9 * 32768.0);
        SpectrumPart expectRe{}, expectIm{};
        fft.forward(segment.data(), expectRe.data(), expectIm.data());
        double largest = 0.0;
        for (std::size_t bin = first; bin < kCodedBins; ++bin)
            largest = std::max({largest, std::abs(expectRe[bin]), std::abs(expectIm[bin])});
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            if (bin < first) {
                ASSERT_EQ(re[bin], 7.0) << "hop " << hop << ", bin " << bin << ": below the high bands";
                ASSERT_EQ(im[bin], 7.0) << "hop " << hop << ", bin " << bin << ": below the high bands";
            } else {
                ASSERT_NEAR(re[bin], expectRe[bin], 1e-9 * largest) << "hop " << hop << ", bin " << bin;
                ASSERT_NEAR(im[bin], expectIm[bin], 1e-9 * largest) << "hop " << hop << ", bin " << bin;
            }
        }
    }
}

ZARN_ON_EVERY_VECTOR_PATH(HighBandSegmentsOnEveryPath);

}  // namespace
}  // namespace zarn
