#pragma once

namespace zarn {

// True when `path` names a regular file (following links).
bool isRegularFile(const char* path);

// True when both names reach one existing file, by whatever names or links:
// writing to one would truncate the other.
bool isSameFile(const char* first, const char* second);

}  // namespace zarn

namespace zarn {

// Ends the process before `output` is opened for writing when it is the very
// file `input` names, so that a conversion never truncates its own input.
void refuseSameFile(const char* input, const char* output);

}  // namespace zarn
