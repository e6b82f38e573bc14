#pragma once
// What the fuzz targets share. Inputs go through a real file because the
// readers measure their input's size on disk and refuse anything that is not a
// regular file.

#include <cstddef>
#include <cstdint>

namespace zarn::fuzz {

// Thrown by the fuzz build's fail() in place of ending the process, so that
// one run can go on to the next input; caught only by the targets.
struct Stopped {};

// Sends std::cout and std::cerr nowhere: the pipelines talk a lot.
void silenceConsole();

// Writes `data` to this process's scratch file and returns its name; the file
// is removed when the process ends.
const char* writeScratchFile(const std::uint8_t* data, std::size_t size);

}  // namespace zarn::fuzz
