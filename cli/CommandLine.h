#pragma once
// What a call of `zarn` asks for, read from its arguments in the manner of
// flac, opusenc and lame: short and long options and file names in any order,
// short options joined (-dfq), values after a space or an '=' (--output=NAME,
// -oNAME), and "--" before names that start with a dash.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/zarn.h"

namespace zarn::cli {

enum class Mode { Encode, Decode, Test };

// A place in a sound as flac's --skip and --until take it: a whole number
// of samples ("44100"), or a time, "[mm:]ss.sss" with a point or a colon
// ("1.5", "1:02.5"). --until's "+" counts from --skip.
struct SpanPoint {
    bool isTime = false;
    std::uint64_t samples = 0;
    double seconds = 0.0;
    bool fromSkip = false;

    // Samples per channel at `rate`.
    std::uint64_t at(int rate) const;
};

// A bit rate that -b did not set: for Ogg Zarn by the channel count, for
// the bare stream its own default.
unsigned defaultKbitPerSecond(unsigned channels);
// The bit rates over all channels that `channels` can be coded at.
unsigned lowestKbitPerSecond(unsigned channels);
unsigned highestKbitPerSecond(unsigned channels);

struct Options {
    Mode mode = Mode::Encode;
    zarn_encoder_kind kind = ZARN_ENCODER_BITRATE;  // the last of -b, --full and --basic given
    int bitrate = ZARN_BITRATE_DEFAULT;              // kbit/s, for ZARN_ENCODER_BITRATE; over all channels
    bool bitrateGiven = false;                       // -b was given; else Ogg Zarn's is by the channel count
    bool raw = false;                                // --raw: the bare mono stream, not Ogg Zarn
    bool throughDamage = false;                      // -F: decode through damage, with a warning
    std::optional<SpanPoint> skip, until;             // the span to decode
    std::optional<int> rate;                         // --rate: the decoding's rate, else the original's
    std::vector<std::string> tags;                   // --tag NAME=VALUE, in order
    bool force = false;   // an existing output file is replaced
    bool quiet = false;   // nothing but failures on standard error
    bool dither = true;   // wide samples get TPDF dither; otherwise they are rounded
    std::optional<std::string> output;  // -o: the one input's output, "-" for standard output
    std::vector<std::string> files;     // the inputs, "-" for standard input
};

struct CommandLine {
    enum class Action { Run, Help, Version, WrongCall };
    Action action = Action::Run;
    Options options;
    std::string error;  // for WrongCall: what was wrong, in the user's words
};

// Never fails: a wrong call comes back as Action::WrongCall with a reason.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Whether encoding `options` to `output` writes the bare stream: --raw,
// --full, --basic, or a name that ends in .zarn.
bool writesBareStream(const Options& options, const std::string& output);

// "sang.wav" -> "sang.zarn": the name with its extension, if any, replaced by
// `extension` (".zarn"); a leading dot of a file name is no extension.
std::string replaceExtension(const std::string& name, const char* extension);

// Where `input` goes in `options.mode` when no -o is given; "-" stays "-".
// An encode writes FILE.oza, or FILE.zarn for the bare stream (`bare`).
std::string defaultOutput(const std::string& input, Mode mode, bool bare = false);

}  // namespace zarn::cli
