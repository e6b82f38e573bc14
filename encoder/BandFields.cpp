#include "encoder/BandFields.h"

#include <cassert>
#include <cmath>

#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

// Every band's largest magnitude and energy over its padded run.
struct MeasureKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* values, double* peak, double* energy) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        for (std::size_t band = 0; band < kBandCount; ++band) {
            const double* x = values + kComponentLayout.offset[band];
            Real largest = {}, sum = {};
            for (std::size_t i = 0; i < kComponentLayout.padded[band]; i += N) {
                Real v;
                L::load(v, x + i);
                sum += v * v;
                L::absolute(v);
                greaterOf(largest, largest, v);
            }
            double top = 0.0, total = 0.0;
            for (int lane = 0; lane < N; ++lane) {
                top = largest[lane] > top ? largest[lane] : top;
                total += sum[lane];
            }
            peak[band] = top;
            energy[band] = total;
        }
    }
};

struct ErrorKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, std::size_t padded, const FieldScale* scales, std::size_t count,
                                       double* errors) {
        using L = Lanes<N>;
        using Real = typename L::Real;
        Real shift;
        L::splat(shift, kRoundingShift);
        for (std::size_t c = 0; c < count; ++c) {
            Real toField, step, low, high;
            L::splat(toField, scales[c].toField);
            L::splat(step, scales[c].step);
            L::splat(low, scales[c].low);
            L::splat(high, scales[c].high);
            Real sum = {};
            for (std::size_t i = 0; i < padded; i += N) {
                Real v, f, held;
                L::load(v, x + i);
                f = (v * toField + shift) - shift;
                greaterOf(held, f, low);
                lesserOf(f, held, high);
                const Real e = v - f * step;
                sum += e * e;
            }
            double total = 0.0;
            for (int lane = 0; lane < N; ++lane) total += sum[lane];
            errors[c] = total;
        }
    }
};

}  // namespace

void BandComponents::gather(const double* re, const double* im) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        double* to = values.data() + kComponentLayout.offset[band];
        const std::size_t first = kBands.first[band], end = kBands.end[band];
        for (std::size_t bin = first; bin < end; ++bin) *to++ = re[bin];
        for (std::size_t bin = first; bin < end; ++bin)
            if (storesImaginary(bin)) *to++ = im[bin];
    }
    runOnVectorPath<MeasureKernel>(static_cast<const double*>(values.data()), peak.data(), energy.data());
}

void quantisationErrors(const double* x, std::size_t padded, const FieldScale* scales, std::size_t count,
                        double* errors) {
    assert(padded % ComponentLayout::kAlign == 0);
    runOnVectorPath<ErrorKernel>(x, padded, scales, count, errors);
}

void storeBand(const double* re, const double* im, std::size_t band, BandCoding coding,
               std::array<Sample, kCodedBins>& outRe, std::array<Sample, kCodedBins>& outIm) {
    const std::size_t first = kBands.first[band], end = kBands.end[band];
    if (coding.bits == 0) {
        for (std::size_t bin = first; bin < end; ++bin) outRe[bin] = outIm[bin] = 0;
        return;
    }
    const FieldScale scale = FieldScale::of(coding.bits, coding.exponent);
    const int shift = 15 - coding.bits;
    const auto stored = [&](double x) {
        // The field times 2^(15 − g) fills a Sample's top bits; the lowest
        // field, −2^g, gives −32768.
        return static_cast<Sample>(static_cast<int>(fieldOf(x, scale)) * (1 << shift));
    };
    for (std::size_t bin = first; bin < end; ++bin) {
        outRe[bin] = stored(re[bin]);
        outIm[bin] = storesImaginary(bin) ? stored(im[bin]) : Sample{0};
    }
}

}  // namespace zarn
