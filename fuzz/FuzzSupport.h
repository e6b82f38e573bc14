#pragma once
// What the fuzz targets share. They feed their bytes to the readers straight
// from memory and run the per-frame cores, with the programs' one fatal exit
// turned into an exception that ends just the one input.

namespace zarn::fuzz {

// Thrown by the fuzz build's fail() in place of ending the process, so that
// one run can go on to the next input; caught only by the targets.
struct Stopped {};

// Sends std::cout and std::cerr nowhere: failures write their message first.
void silenceConsole();

}  // namespace zarn::fuzz
