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

    // Decodes `zarnPath` into a fresh file in the system's temporary folder,
    // reads it back and removes it. The decoder's progress lines are kept off
    // the console.
    static std::vector<Sample> decode(const std::string& zarnPath);
};

}  // namespace zarn
