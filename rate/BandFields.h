#pragma once
// The stored fields of a band, chosen rather than cut: a band coded with g
// bits and exponent e holds each component x as a (g + 1)-bit field f, which
// every decoder turns back into f·2^(15 − g) / 2^e = f·Δ, the step Δ being
// 2^(15 − g − e). The rate encoder stores the nearest such value:
// f = round(x / Δ), held to the field's range −2^g .. 2^g − 1.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/BandTable.h"
#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "stream/ZarnFormat.h"

namespace zarn {

// A band's coding: bits g (0: the band is off and stores nothing) and
// exponent e. An off band carries the largest exponent, as an empty band
// does in the menu programs' frames.
struct BandCoding {
    std::uint8_t bits = 0;
    std::uint8_t exponent = kMaxExponent;
};

// How far a field of g bits is shifted up in its word: 15 − g, so that a
// decoder reads it as f·2^(15 − g).
constexpr int fieldShift(int bits) { return kWordBits - 1 - bits; }

// Rounds to nearest, halves to even, for |v| < 2^51: adding 1.5·2^52 leaves
// no bits below the units, and taking it away again is exact. Plain IEEE
// arithmetic, so it gives the same bits on every machine and in every lane.
constexpr double kRoundingShift = 6755399441055744.0;

// What quantising with one (g, e) needs: the factor to the field's scale,
// the step back, and the field's range, all as doubles.
struct FieldScale {
    double toField;  // 1/Δ = 2^(g + e − 15)
    double step;     // Δ
    double low;      // −2^g
    double high;     // 2^g − 1

    static FieldScale of(int bits, int exponent) {
        const int stepExponent = fieldShift(bits) - exponent;
        return {kPowerOfTwo(-stepExponent), kPowerOfTwo(stepExponent), -kPowerOfTwo(bits), kPowerOfTwo(bits) - 1.0};
    }
};

// The field that stores x under `scale`.
inline double fieldOf(double x, const FieldScale& scale) {
    double f = (x * scale.toField + kRoundingShift) - kRoundingShift;
    if (f < scale.low) f = scale.low;
    if (f > scale.high) f = scale.high;
    return f;
}

// Where each band's run of its kStoredComponents starts in BandComponents.
// Each run is padded with zeros to a multiple of eight, so that the kernels
// over a band need no tail; a zero costs no error at any step.
struct ComponentLayout {
    static constexpr std::size_t kAlign = 8;

    std::array<std::uint16_t, kBandCount> offset{};
    std::array<std::uint16_t, kBandCount> padded{};
    std::size_t total = 0;
};

constexpr ComponentLayout makeComponentLayout() {
    ComponentLayout layout;
    std::size_t at = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const std::size_t count = kStoredComponents[band];
        const std::size_t padded =
            (count + ComponentLayout::kAlign - 1) / ComponentLayout::kAlign * ComponentLayout::kAlign;
        layout.offset[band] = static_cast<std::uint16_t>(at);
        layout.padded[band] = static_cast<std::uint16_t>(padded);
        at += padded;
    }
    layout.total = at;
    return layout;
}

inline constexpr ComponentLayout kComponentLayout = makeComponentLayout();

// A frame's stored components gathered band by band: the real part of every
// bin of a band, then its imaginary parts.
struct BandComponents {
    // Half the step of the finest coding, 15 bits at the largest exponent.
    static constexpr double kHalfFinestStep = 0.5 * kPowerOfTwo(fieldShift(kMaxBits) - kMaxExponent);

    alignas(64) std::array<double, kComponentLayout.total> values{};

    // Each band's largest magnitude and sum of squares, as gather() found them.
    std::array<double, kBandCount> peak{};
    std::array<double, kBandCount> energy{};

    // Gathers bins 0..256 of a spectrum, and measures each band; the
    // padding stays zero.
    void gather(const double* re, const double* im);

    // Whether every value of `band` rounds to 0 at the finest step any
    // coding has: digital silence, or what is left of it
    // after the transform's rounding, such as around a constant.
    bool holdsNothing(std::size_t band) const { return peak[band] < kHalfFinestStep; }

    const double* band(std::size_t b) const { return values.data() + kComponentLayout.offset[b]; }
};

// The candidate codings of the bands worth measuring in one frame, three
// each, and what each would cost in error and keep of the band's energy.
// Each candidate's results sit with the same candidate of the other bands,
// so that they can be compared a vector of bands at a time; the rows are
// padded to a multiple of eight bands.
struct BandCandidates {
    static constexpr std::size_t kPerBand = 3;
    static constexpr std::size_t kSlots = (kBandCount + 7) / 8 * 8;
    using Row = std::array<double, kSlots>;

    std::size_t count = 0;                      // bands measured
    std::array<std::uint8_t, kBandCount> band{};  // which, in order
    std::array<std::array<FieldScale, kPerBand>, kBandCount> scales{};
    std::array<Row, kPerBand> errors{};  // errors[c][at]: Σ (x − fieldOf(x)·Δ)²
    std::array<Row, kPerBand> kept{};    // kept[c][at]: Σ (fieldOf(x)·Δ)²

    // Adds band `b` with the codings at `codings` (kPerBand of them, all
    // with bits).
    void add(std::size_t b, const BandCoding* codings) {
        band[count] = static_cast<std::uint8_t>(b);
        for (std::size_t c = 0; c < kPerBand; ++c) scales[count][c] = FieldScale::of(codings[c].bits, codings[c].exponent);
        ++count;
    }
};

// Measures every candidate exactly: one pass over each band's padded run.
void quantisationErrors(const BandComponents& components, BandCandidates& candidates);

// Every band's coding in a frame.
using BandCodings = std::array<BandCoding, kBandCount>;

// The allocation and scale of `codings`, into a frame.
void setSideFields(const BandCodings& codings, EncodedFrame& frame);

// Which part of a spectrum a row of values is.
enum class Part : std::uint8_t { real, imaginary };

// Stores bins 0..256 of one part of a spectrum under `codings`: each field
// shifted into the top g + 1 bits of a Sample into `fields`, as the frame
// writer takes it, and into `decoded` what every decoder makes of it, the
// field times the step (exactly: both are powers of two apart from
// integers). Off bands hold zeros, and so do the imaginary parts of bins 0
// and 256.
void storePart(const double* x, const BandCodings& codings, Part part, Sample* fields, double* decoded);

}  // namespace zarn
