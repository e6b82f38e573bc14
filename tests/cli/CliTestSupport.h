#pragma once
// What zarn's end-to-end tests share: runs of zarn and of the menu programs,
// sound files in other formats made with libsndfile itself, and the
// signal-to-noise ratio of a decoding against its original.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zarn::test {

// Runs zarn with `arguments` (shell words) in `dir`, `input` on standard input.
RunResult runZarn(const TempDir& dir, const std::string& arguments, const std::string& input = "");

// The start of a shell command that runs zarn, for pipelines.
std::string zarnCommand();

// zarnconv's or zarnbasic's entry 1 (encode) or 2 (decode) through its menu.
void menuConvert(const char* programPath, const TempDir& dir, char entry, const std::string& input,
                 const std::string& output);

// Writes `frames` (interleaved, full scale 1.0) as a libsndfile `format`.
void writeSound(const std::string& path, int format, int channels, int rate, const std::vector<double>& frames);

// Every sample of a 16-bit mono file, as libsndfile reads it.
std::vector<std::int16_t> readSamples(const std::string& path);

// The music original as doubles, full scale 1.0.
std::vector<double> asDoubles(const std::vector<std::int16_t>& samples);

// `mono` converted from one rate to another by libsoxr: the tests' own
// stand-in for a recording made at another rate, and their own way back.
std::vector<double> resampled(const std::vector<double>& mono, int from, int to);

// 10·log10 of the original's energy over the error's, over the original's
// length (missing decoded samples count as errors); `lag` delays the decoding.
double snrDb(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded, long lag = 0);

// The names in `dir`, hidden ones included, sorted.
std::vector<std::string> filesIn(const TempDir& dir);

}  // namespace zarn::test
