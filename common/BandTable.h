#pragma once
// The 25 critical bands in the forms the codec walks them: first and end bin
// of each band, and the band of each bin. Everything is derived once, at
// compile time, from the widths in Types.h, so no two places can disagree.

#include <array>
#include <cstdint>

#include "common/Types.h"

namespace zarn {

struct BandTable {
    std::array<std::uint16_t, kBandCount> first{};  // first bin of each band
    std::array<std::uint16_t, kBandCount> end{};    // one past the last bin of each band
    std::array<std::uint8_t, kCodedBins> bandOf{};  // the band each of bins 0..256 belongs to

    constexpr std::uint16_t last(std::size_t band) const { return static_cast<std::uint16_t>(end[band] - 1); }
    constexpr std::uint16_t width(std::size_t band) const {
        return static_cast<std::uint16_t>(end[band] - first[band]);
    }
};

constexpr BandTable makeBandTable() {
    BandTable table;
    std::uint16_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        table.first[band] = bin;
        for (std::uint8_t i = 0; i < kBandWidths[band]; ++i) table.bandOf[bin++] = static_cast<std::uint8_t>(band);
        table.end[band] = bin;
    }
    return table;
}

inline constexpr BandTable kBands = makeBandTable();

static_assert(kBands.first[0] == 0 && kBands.end[kBandCount - 1] == kCodedBins,
              "the bands cover bins 0..256 exactly");
static_assert(kBands.first[24] == 180 && kBands.last(23) == 179 && kBands.last(0) == 1,
              "band 0 is bins 0 and 1, band 24 bins 180..256");

}  // namespace zarn
