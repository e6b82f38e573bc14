#pragma once

#include <string>
#include <vector>

#include "common/Types.h"

namespace zarn {

// The samples of the two signals that are compared: the original as the
// encoder reads it, and the Zarn file as the codec's own decoder renders it.
class SampleFiles {
public:
    // Every sample of a WAVE file, read by the codec's WAVE reader (which ends
    // the process with its own message on a file it refuses).
    static std::vector<Sample> readWave(const std::string& path);

    // Every sample that the full decoder makes of `zarnPath`, decoded in
    // memory with the codec's own frame decoder.
    static std::vector<Sample> decode(const std::string& zarnPath);
};

}  // namespace zarn
