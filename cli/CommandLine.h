#pragma once
// What a call of `zarn` asks for, read from its arguments in the manner of
// flac, opusenc and lame: short and long options and file names in any order,
// short options joined (-dfq), values after a space or an '=' (--output=NAME,
// -oNAME), and "--" before names that start with a dash.

#include <optional>
#include <string>
#include <vector>

#include "lib/zarn.h"

namespace zarn::cli {

enum class Mode { Encode, Decode, Test };

struct Options {
    Mode mode = Mode::Encode;
    zarn_encoder_kind kind = ZARN_ENCODER_BITRATE;  // the last of -b, --full and --basic given
    int bitrate = ZARN_BITRATE_DEFAULT;              // kbit/s, for ZARN_ENCODER_BITRATE
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

// "sang.wav" -> "sang.zarn": the name with its extension, if any, replaced by
// `extension` (".zarn"); a leading dot of a file name is no extension.
std::string replaceExtension(const std::string& name, const char* extension);

// Where `input` goes in `options.mode` when no -o is given; "-" stays "-".
std::string defaultOutput(const std::string& input, Mode mode);

}  // namespace zarn::cli
