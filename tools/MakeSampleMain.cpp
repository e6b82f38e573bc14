// zarnsample OUTPUT [SECONDS]: writes a music-like mono 16-bit 44100 Hz WAVE
// file, for trying the converters and for measuring them.

#include <cstdio>
#include <cstdlib>

#include "common/Types.h"
#include "tools/MusicSignal.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: zarnsample OUTPUT.wav [SECONDS]\n");
        return 2;
    }
    const double seconds = argc == 3 ? std::atof(argv[2]) : 4.0;
    if (!(seconds >= 0) || seconds > 24 * 3600) {
        std::fprintf(stderr, "zarnsample: SECONDS must lie between 0 and 86400\n");
        return 2;
    }
    const auto bytes = zarn::makeWaveFile(zarn::makeMusicSignal(static_cast<std::size_t>(seconds * zarn::kSampleRate)));
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
