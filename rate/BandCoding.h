#pragma once
// A band's coding and the fields it stores, chosen rather than cut: a band
// coded with g bits and exponent e holds each component x as a (g + 1)-bit
// field f, which every decoder turns back into f·2^(15 − g) / 2^e = f·Δ,
// the step Δ being 2^(15 − g − e). The rate encoder stores the nearest such
// value: f = round(x / Δ), held to the field's range −2^g .. 2^g − 1.

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

// Which part of a spectrum a row of values is.
enum class Part : std::uint8_t { real, imaginary };

// The bins of a band whose `part` a frame stores: every real part, and the
// imaginary parts the format stores (all but those of DC and Nyquist, which
// are zero in any real signal's spectrum, at a band's ends).
struct StoredBins {
    std::size_t first, end;
};
constexpr StoredBins storedBins(std::size_t band, Part part) {
    const std::size_t first = kBands.first[band], end = kBands.end[band];
    if (part == Part::real) return {first, end};
    return {storesImaginary(first) ? first : first + 1, storesImaginary(end - 1) ? end : end - 1};
}

// Every band's coding in a frame.
using BandCodings = std::array<BandCoding, kBandCount>;

// The allocation and scale of `codings`, into a frame.
void setSideFields(const BandCodings& codings, EncodedFrame& frame);

// Stores bins 0..256 of one part of a spectrum under `codings`: each field
// shifted into the top g + 1 bits of a Sample into `fields`, as the frame
// writer takes it, and into `decoded` what every decoder makes of it, the
// field times the step (exactly: both are powers of two apart from
// integers). Off bands hold zeros, and so do the imaginary parts of bins 0
// and 256.
void storePart(const double* x, const BandCodings& codings, Part part, Sample* fields, double* decoded);

}  // namespace zarn
