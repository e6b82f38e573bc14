#pragma once
// GStreamer started once for the plugin's tests, with the plugin from the
// build folder in a registry of their own, and streams to feed it.

#include <cstdint>
#include <string>
#include <vector>

#include <gst/gst.h>

#include "common/Types.h"

namespace zarn::test {

using Bytes = std::vector<std::uint8_t>;

// Starts GStreamer (once) with the build's plugin on its path.
void startGStreamer();

// A bare stream: `samples` of music at `kbitPerSecond`, as the rate encoder
// writes it.
Bytes bareStream(std::size_t samples, unsigned kbitPerSecond = 192);
// Ogg Zarn of `channels` channels of music, with `tags` (NAME=value).
Bytes oggZarn(std::size_t samples, unsigned channels, const std::vector<std::string>& tags = {},
              std::uint32_t originalRate = 44100);
// The interleaved samples the Ogg Zarn's input had.
std::vector<Sample> oggZarnInput(std::size_t samples, unsigned channels);

// A path of this name in the temporary folder that no other test process
// uses: ctest runs the tests of this program side by side.
std::string tempPath(const std::string& name);

// Writes `bytes` to a new file of this name in the test's temporary folder
// and returns its path.
std::string writeFile(const std::string& name, const Bytes& bytes);

}  // namespace zarn::test
