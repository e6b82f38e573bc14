#pragma once

namespace zarn {

// The two conversions the menu can start. Each program plugs in its own
// pipelines; the menu itself is the same in both.
struct Conversions {
    void (*encode)(const char* waveInput, const char* zarnOutput);
    void (*decode)(const char* zarnInput, const char* waveOutput);
};

// Runs the console menu on standard input and output until the user picks
// entry 5 or the input ends; returns the exit status, 0. A failed conversion
// ends the process from inside instead, a write past the file-size limit
// included: the menu ignores the signal that would otherwise end it first.
int runMenu(const Conversions& conversions);

}  // namespace zarn
