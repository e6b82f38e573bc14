#pragma once
// The sound format an output's name asks for by its extension, read as flac,
// lame and sox read names. A decode writes the format its name says and
// refuses one it cannot write; an encode, which writes Zarn, refuses a name
// that says the file holds another sound. A name without an extension, or
// with one no sound format uses, gets zarn's own WAVE when decoded.

#include <string>

namespace zarn::cli {

// The libsndfile format (type and subtype) a decode to `name` is written in;
// 0 for zarn's own 16-bit WAVE, and -1 when the name asks for a format that
// cannot be written.
int decodedFormat(const std::string& name);

// Why `name` may not be the output of a decode (`decoding`) or an encode;
// empty when it may.
std::string outputRefusal(const std::string& name, bool decoding);

}  // namespace zarn::cli
