// The rate encoder's measurements of a frame, on every vector path: each
// band's peak and energy as gather() finds them, and each candidate coding's
// error and kept energy, against the sums written out component by
// component. Their lanes are summed across bands by transposition, where a
// lane taken for another band's would go unnoticed by any decoder.

#include "encoder/BandFields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "common/BandTable.h"
#include "common/BandKernels.h"
#include "tests/support/EveryVectorPath.h"

namespace zarn {
namespace {

class BandFieldsOnEveryPath : public test::OnEveryVectorPath {};

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

// The components a band stores: its real parts, and the imaginary parts but
// those of bins 0 and 256.
template <class Visit>
void forEachComponent(const SpectrumPart& re, const SpectrumPart& im, std::size_t band, Visit visit) {
    for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) {
        visit(re[bin]);
        if (bin != 0 && bin != kNyquistBin) visit(im[bin]);
    }
}

TEST_P(BandFieldsOnEveryPath, GatherMeasuresEachBandsPeakAndEnergy) {
    std::mt19937 random(3);
    for (int trial = 0; trial < 10; ++trial) {
        SpectrumPart re, im;
        makeSpectrum(random, re, im);
        BandComponents components;
        components.gather(re.data(), im.data());
        for (std::size_t band = 0; band < kBandCount; ++band) {
            double peak = 0.0, energy = 0.0;
            forEachComponent(re, im, band, [&](double x) {
                peak = std::max(peak, std::fabs(x));
                energy += x * x;
            });
            EXPECT_EQ(components.peak[band], peak) << "band " << band;
            EXPECT_NEAR(components.energy[band], energy, 1e-12 * energy) << "band " << band;
        }
    }
}

TEST_P(BandFieldsOnEveryPath, EveryCandidatesErrorAndKeptEnergyAreMeasured) {
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
                double error = 0.0, kept = 0.0;
                forEachComponent(re, im, candidates.band[at], [&](double x) {
                    const double y = fieldOf(x, scale) * scale.step;
                    error += (x - y) * (x - y);
                    kept += y * y;
                });
                const std::string where = "band " + std::to_string(candidates.band[at]) + ", candidate " +
                                          std::to_string(c);
                EXPECT_NEAR(candidates.errors[c][at], error, 1e-12 * error + 1e-300) << where;
                EXPECT_NEAR(candidates.kept[c][at], kept, 1e-12 * kept + 1e-300) << where;
            }
        }
    }
}

ZARN_ON_EVERY_VECTOR_PATH(BandFieldsOnEveryPath);

}  // namespace
}  // namespace zarn
