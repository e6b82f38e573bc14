// The rate encoder's measurements of a frame, on every vector path: each
// band's peak and energy as gather() finds them, and each candidate coding's
// error and kept energy, against the sums written out component by
// component in the one order every path keeps. Their lanes are summed across
// bands by transposition, where a lane taken for another band's would go
// unnoticed by any decoder; and a sum one bit off on one path can change a
// band's coding, and so the stream, on that path alone.

#include "rate/BandComponents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/BandTable.h"
#include "common/BandKernels.h"
#include "tests/support/EveryVectorPath.h"

namespace zarn {
namespace {

class BandComponentsOnEveryPath : public test::OnEveryVectorPath {};

// A spectrum whose bands lie 6 dB apart in turn, so that no band's sums
// resemble its neighbours'.
void makeSpectrum(std::mt19937& random, SpectrumPart& re, SpectrumPart& im) {
    std::normal_distribution<double> noise(0.0, 1.0);
    re.fill(0.0), im.fill(0.0);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const double level = std::ldexp(100.0, static_cast<int>(band % 7));
        for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
            re[bin] = level * noise(random);
            im[bin] = bin == 0 || bin == kNyquistBin ? 0.0 : level * noise(random);
        }
    }
}

// The components a band stores in the order the encoder gathers them: its
// real parts, then its imaginary parts but those of bins 0 and 256, then
// zeros up to a multiple of eight.
std::vector<double> componentsOf(const SpectrumPart& re, const SpectrumPart& im, std::size_t band) {
    std::vector<double> values;
    for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) values.push_back(re[bin]);
    for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
        if (bin != 0 && bin != kNyquistBin) values.push_back(im[bin]);
    }
    values.resize((values.size() + 7) / 8 * 8, 0.0);
    return values;
}

// The sum of term(value) over a band's components as every path adds them:
// value i into lane i mod 8, each lane in order, then lane i and i + 4,
// i and i + 2, i and i + 1.
template <class Term>
double sumOnEightLanes(const std::vector<double>& values, Term term) {
    double lanes[8] = {};
    for (std::size_t i = 0; i < values.size(); ++i) lanes[i % 8] += term(values[i]);
    for (int half = 4; half >= 1; half /= 2) {
        for (int k = 0; k < half; ++k) lanes[k] += lanes[k + half];
    }
    return lanes[0];
}

TEST_P(BandComponentsOnEveryPath, GatherMeasuresEachBandsPeakAndEnergy) {
    std::mt19937 random(3);
    for (int trial = 0; trial < 10; ++trial) {
        SpectrumPart re, im;
        makeSpectrum(random, re, im);
        BandComponents components;
        components.gather(re.data(), im.data());
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const std::vector<double> values = componentsOf(re, im, band);
            double peak = 0.0;
            for (double x : values) peak = std::max(peak, std::fabs(x));
            EXPECT_EQ(components.peak[band], peak) << "band " << band;
            EXPECT_EQ(components.energy[band], sumOnEightLanes(values, [](double x) { return x * x; }))
                << "band " << band;
        }
    }
}

TEST_P(BandComponentsOnEveryPath, EveryCandidatesErrorAndKeptEnergyAreMeasured) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> anyBits(1, 13);
    for (int trial = 0; trial < 10; ++trial) {
        SpectrumPart re, im;
        makeSpectrum(random, re, im);
        BandComponents components;
        components.gather(re.data(), im.data());
        // Every other band, each with three codings at and above its
        // exponent, clipping included.
        BandCandidates candidates;
        for (std::size_t band = trial % 2; band < kBandCount; band += 2) {
            const int bits = anyBits(random);
            const std::uint8_t top = scaleExponentFor(components.peak[band]);
            const BandCoding codings[BandCandidates::kPerBand] = {
                {static_cast<std::uint8_t>(bits), top},
                {static_cast<std::uint8_t>(bits + 1), top},
                {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(std::min(top + 1, 15))}};
            candidates.add(band, codings);
        }
        quantisationErrors(components, candidates);
        for (std::size_t at = 0; at < candidates.count; ++at) {
            for (std::size_t c = 0; c < BandCandidates::kPerBand; ++c) {
                const FieldScale& scale = candidates.scales[at][c];
                const std::vector<double> values = componentsOf(re, im, candidates.band[at]);
                const auto decoded = [&scale](double x) { return fieldOf(x, scale) * scale.step; };
                const std::string where = "band " + std::to_string(candidates.band[at]) + ", candidate " +
                                          std::to_string(c);
                EXPECT_EQ(candidates.errors[c][at],
                          sumOnEightLanes(values, [&](double x) { return (x - decoded(x)) * (x - decoded(x)); }))
                    << where;
                EXPECT_EQ(candidates.kept[c][at],
                          sumOnEightLanes(values, [&](double x) { return decoded(x) * decoded(x); }))
                    << where;
            }
        }
    }
}

ZARN_ON_EVERY_VECTOR_PATH(BandComponentsOnEveryPath);

}  // namespace
}  // namespace zarn
