#include "rate/BandCoding.h"


#include "common/Lanes.h"
#include "common/VectorDispatch.h"

namespace zarn {

namespace {

// Fields as the top bits of Samples: each field times 2^(15 − g) (the
// lowest field, −2^g, gives −32768), and what a decoder makes of each, the
// field times the step, for `count` values on N lanes. With `spill`, the
// last vector is whole even past `count`: the values after a band's are the
// next band's, which it stores over afterwards, and most bands are a few
// bins wide, where a value at a time cost more than the rest.
template <int N>
ZARN_ALWAYS_INLINE void storeRun(const double* x, std::size_t count, const FieldScale& scale, double toSample,
                                 bool spill, Sample* out, double* decoded) {
    using L = Lanes<N>;
    using Real = typename L::Real;
    // Broadcast by adding to zeros: none of these is −0.
    const Real shift = Real{} + kRoundingShift, toField = Real{} + scale.toField, low = Real{} + scale.low,
               high = Real{} + scale.high, up = Real{} + toSample, step = Real{} + scale.step;
    const auto storeVector = [&](std::size_t i) {
        Real v, f, held;
        L::load(v, x + i);
        f = (v * toField + shift) - shift;
        greaterOf(held, f, low);
        lesserOf(f, held, high);
        L::store(decoded + i, f * step);
        const typename L::Int32 samples = __builtin_convertvector(f * up, typename L::Int32);
        if constexpr (N == 4) {
            narrowToSamples(out + i, samples);
        } else {
            for (int lane = 0; lane < N; ++lane) out[i + static_cast<std::size_t>(lane)] = static_cast<Sample>(samples[lane]);
        }
    };
    std::size_t i = 0;
    for (; i + N <= count; i += N) storeVector(i);
    if (i == count) return;
    if (spill) {
        storeVector(i);
        return;
    }
    for (; i < count; ++i) {
        const double f = fieldOf(x[i], scale);
        decoded[i] = f * scale.step;
        out[i] = static_cast<Sample>(static_cast<int>(f * toSample));
    }
}

// Every band of one part of a spectrum.
struct StoreKernel {
    template <int N>
    static ZARN_ALWAYS_INLINE void run(const double* x, const BandCoding* codings, Part part, Sample* out,
                                       double* decoded) {
        for (std::size_t band = 0; band < kBandCount; ++band) {
            if (codings[band].bits == 0) {
                for (std::size_t bin = kBands.first[band]; bin < kBands.end[band]; ++bin) out[bin] = 0, decoded[bin] = 0.0;
                continue;
            }
            const FieldScale scale = FieldScale::of(codings[band].bits, codings[band].exponent);
            const double toSample = kPowerOfTwo(fieldShift(codings[band].bits));
            const StoredBins bins = storedBins(band, part);
            // Bands in order, so that what one spills the next overwrites;
            // the last has nothing after it.
            storeRun<N>(x + bins.first, bins.end - bins.first, scale, toSample, band + 1 < kBandCount,
                        out + bins.first, decoded + bins.first);
        }
        if (part == Part::imaginary) {
            out[0] = out[kNyquistBin] = 0;
            decoded[0] = decoded[kNyquistBin] = 0.0;
        }
    }
};

}  // namespace

void setSideFields(const BandCodings& codings, EncodedFrame& frame) {
    for (std::size_t band = 0; band < kBandCount; ++band) {
        frame.allocation[band] = codings[band].bits;
        frame.scale[band] = codings[band].exponent;
    }
}

void storePart(const double* x, const BandCodings& codings, Part part, Sample* fields, double* decoded) {
    runOnVectorPath<StoreKernel, 4>(x, static_cast<const BandCoding*>(codings.data()), part, fields, decoded);
}

}  // namespace zarn
