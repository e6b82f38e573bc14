#pragma once
// A frame's stored components gathered band by band, as the rate encoder
// measures them: each band's peak and energy, and the error and kept energy
// of each coding it weighs.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/Types.h"
#include "rate/BandCoding.h"
#include "stream/ZarnFormat.h"

namespace zarn {

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

}  // namespace zarn
