#pragma once
// Where each channel goes between the order of WAVE files (and libsndfile)
// and Ogg Zarn's, which is Vorbis's: the two list the same speakers, but
// WAVE puts the centre after the front pair and the LFE before the rears.

#include <sndfile.h>

#include <array>
#include <cstddef>

#include "container/OggZarnHeaders.h"

namespace zarn::cli {

// The speakers of WAVE's order for a channel count, for the channel mask
// libsndfile writes in a WAVE_FORMAT_EXTENSIBLE file.
inline std::array<int, kMaxChannels> waveSpeakers(unsigned channels) {
    switch (channels) {
        case 3: return {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER};
        case 4:
            return {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT};
        case 5:
            return {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_REAR_LEFT,
                    SF_CHANNEL_MAP_REAR_RIGHT};
        case 6:
            return {SF_CHANNEL_MAP_LEFT,      SF_CHANNEL_MAP_RIGHT,    SF_CHANNEL_MAP_CENTER,
                    SF_CHANNEL_MAP_LFE,       SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT};
        case 7:
            return {SF_CHANNEL_MAP_LEFT,        SF_CHANNEL_MAP_RIGHT,     SF_CHANNEL_MAP_CENTER,
                    SF_CHANNEL_MAP_LFE,         SF_CHANNEL_MAP_REAR_CENTER, SF_CHANNEL_MAP_SIDE_LEFT,
                    SF_CHANNEL_MAP_SIDE_RIGHT};
        case 8:
            return {SF_CHANNEL_MAP_LEFT,      SF_CHANNEL_MAP_RIGHT,      SF_CHANNEL_MAP_CENTER,
                    SF_CHANNEL_MAP_LFE,       SF_CHANNEL_MAP_REAR_LEFT,  SF_CHANNEL_MAP_REAR_RIGHT,
                    SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT};
        default: return {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT};
    }
}

// `frames` interleaved frames of `channels` from WAVE order to Ogg Zarn's
// (`toWave` false) or back, `from` and `to` apart.
template <typename T>
void reorderChannels(const T* from, T* to, std::size_t frames, unsigned channels, bool toWave) {
    const auto& map = kFromWave[channels - 1];
    for (std::size_t f = 0; f < frames; ++f) {
        const T* in = from + f * channels;
        T* out = to + f * channels;
        for (unsigned c = 0; c < channels; ++c) {
            if (toWave) {
                out[map[c]] = in[c];
            } else {
                out[c] = in[map[c]];
            }
        }
    }
}

}  // namespace zarn::cli
