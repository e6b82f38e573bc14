#include "cli/CommandLine.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "cli/FileFailure.h"
#include "cli/OutputFormat.h"
#include "cli/Tags.h"
#include "container/OggZarnHeaders.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

// One option as it may be spelt. An option that takes a value gets it from
// the rest of its word or from the next argument; a new option with a value
// (a bit rate, say) is one more row and one more field in Options.
struct OptionRow {
    char shortName;        // '\0' when there is only the long form
    const char* longName;  // without the leading "--"
    bool takesValue;
    void (*apply)(CommandLine& line, const std::string& value);
};

void wrongCall(CommandLine& line, const std::string& error) {
    // The first mistake is the one worth telling.
    if (line.action == CommandLine::Action::WrongCall) return;
    line.action = CommandLine::Action::WrongCall;
    line.error = error;
}

void setMode(CommandLine& line, Mode mode) {
    if (line.options.mode != Mode::Encode && line.options.mode != mode) {
        wrongCall(line, text::tr("-d and -t cannot be used together"));
    }
    line.options.mode = mode;
}

bool allDigits(const std::string& value) {
    if (value.empty()) return false;
    for (const char c : value) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A bit rate in kbit/s over all channels: digits alone, within what the
// rate encoder holds for eight channels; the file's channel count narrows
// it later.
void setBitrate(CommandLine& line, const std::string& value) {
    const int highest = static_cast<int>(highestKbitPerSecond(kMaxChannels));
    const bool digits = allDigits(value) && value.size() <= 4 && value[0] != '0';
    const int rate = digits ? std::stoi(value) : 0;
    if (!digits || rate < ZARN_BITRATE_MIN || rate > highest) {
        wrongCall(line, text::format(text::tr("-b takes a bit rate from %d to %d kbit/s, not '%s'"), ZARN_BITRATE_MIN,
                                     highest, value.c_str()));
        return;
    }
    line.options.kind = ZARN_ENCODER_BITRATE;
    line.options.bitrate = rate;
    line.options.bitrateGiven = true;
}

// "[mm:]ss[.sss]" or a whole number of samples.
std::optional<SpanPoint> parseTime(std::string value, bool mayCountFromSkip) {
    SpanPoint place;
    if (mayCountFromSkip && !value.empty() && value[0] == '+') {
        place.fromSkip = true;
        value.erase(0, 1);
    }
    if (allDigits(value)) {
        if (value.size() > 18) return std::nullopt;
        place.samples = std::stoull(value);
        return place;
    }
    const std::size_t colon = value.find(':');
    std::string minutes = colon == std::string::npos ? "0" : value.substr(0, colon);
    std::string seconds = colon == std::string::npos ? value : value.substr(colon + 1);
    const std::size_t point = seconds.find('.');
    const std::string whole = seconds.substr(0, point);
    const std::string fraction = point == std::string::npos ? "0" : seconds.substr(point + 1);
    if (!allDigits(minutes) || minutes.size() > 9 || whole.size() > 9 || (whole.empty() && fraction.empty()) ||
        (!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction)) ||
        (colon == std::string::npos && point == std::string::npos) || (colon != std::string::npos && seconds.empty())) {
        return std::nullopt;
    }
    place.isTime = true;
    // By hand: the C library reads a decimal point as the locale spells it,
    // and in Danish "1.5" would be 1.
    place.seconds = 60.0 * static_cast<double>(std::stoull(minutes)) +
                   (whole.empty() ? 0.0 : static_cast<double>(std::stoull(whole)));
    double unit = 0.1;
    for (const char digit : fraction) {
        place.seconds += unit * (digit - '0');
        unit /= 10.0;
    }
    return place;
}

void setTime(CommandLine& line, const std::string& value, bool until) {
    const std::optional<SpanPoint> place = parseTime(value, until);
    if (!place) {
        wrongCall(line, text::format(text::tr("%s takes samples (44100) or a time ([mm:]ss.sss), not '%s'"),
                                     until ? "--until" : "--skip", value.c_str()));
        return;
    }
    (until ? line.options.until : line.options.skip) = place;
}

void setRate(CommandLine& line, const std::string& value) {
    const bool digits = allDigits(value) && value.size() <= 6 && value[0] != '0';
    const int rate = digits ? std::stoi(value) : 0;
    if (!digits || rate < 1000 || rate > 384000) {
        wrongCall(line, text::format(text::tr("--rate takes a sample rate from 1000 to 384000 Hz, not '%s'"),
                                     value.c_str()));
        return;
    }
    line.options.rate = rate;
}

void addTag(CommandLine& line, const std::string& value) {
    if (!wellFormedTag(value)) {
        wrongCall(line, text::format(text::tr("--tag takes NAME=VALUE, not '%s'"), printableName(value).c_str()));
        return;
    }
    line.options.tags.push_back(value);
}

const std::array<OptionRow, 17> kOptions{{
    {'d', "decode", false, [](CommandLine& line, const std::string&) { setMode(line, Mode::Decode); }},
    {'t', "test", false, [](CommandLine& line, const std::string&) { setMode(line, Mode::Test); }},
    {'o', "output", true,
     [](CommandLine& line, const std::string& value) {
         if (value.empty()) wrongCall(line, text::tr("-o takes a file name"));
         if (line.options.output) wrongCall(line, text::tr("-o may be given only once"));
         line.options.output = value;
     }},
    {'f', "force", false, [](CommandLine& line, const std::string&) { line.options.force = true; }},
    {'q', "quiet", false, [](CommandLine& line, const std::string&) { line.options.quiet = true; }},
    {'h', "help", false,
     [](CommandLine& line, const std::string&) {
         if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Help;
     }},
    {'\0', "version", false,
     [](CommandLine& line, const std::string&) {
         if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Version;
     }},
    {'b', "bitrate", true, setBitrate},
    {'\0', "full", false, [](CommandLine& line, const std::string&) { line.options.kind = ZARN_ENCODER_FULL; }},
    {'\0', "basic", false,
     [](CommandLine& line, const std::string&) { line.options.kind = ZARN_ENCODER_REDUCED; }},
    {'\0', "no-dither", false, [](CommandLine& line, const std::string&) { line.options.dither = false; }},
    {'\0', "raw", false, [](CommandLine& line, const std::string&) { line.options.raw = true; }},
    {'F', "decode-through-errors", false,
     [](CommandLine& line, const std::string&) { line.options.throughDamage = true; }},
    {'\0', "skip", true, [](CommandLine& line, const std::string& value) { setTime(line, value, false); }},
    {'\0', "until", true, [](CommandLine& line, const std::string& value) { setTime(line, value, true); }},
    {'\0', "rate", true, setRate},
    {'\0', "tag", true, addTag},
}};

std::string shortName(char name) { return std::string("-") + name; }

const OptionRow* findShort(char name) {
    for (const OptionRow& row : kOptions) {
        if (row.shortName == name) return &row;
    }
    return nullptr;
}

const OptionRow* findLong(const std::string& name) {
    for (const OptionRow& row : kOptions) {
        if (name == row.longName) return &row;
    }
    return nullptr;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            line.options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument.compare(0, 2, "--") == 0) {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionRow* row = findLong(name);
            if (row == nullptr) {
                wrongCall(line, text::format(text::tr("unknown option: %s"), ("--" + name).c_str()));
            } else if (!row->takesValue && equals != std::string::npos) {
                wrongCall(line, text::format(text::tr("%s takes no value"), ("--" + name).c_str()));
            } else if (row->takesValue && equals == std::string::npos && i + 1 >= argc) {
                wrongCall(line, text::format(text::tr("%s takes a value"), ("--" + name).c_str()));
            } else {
                row->apply(line, !row->takesValue           ? std::string()
                                  : equals != std::string::npos ? argument.substr(equals + 1)
                                                                : std::string(argv[++i]));
            }
        } else {
            for (std::size_t at = 1; at < argument.size(); ++at) {
                const OptionRow* row = findShort(argument[at]);
                if (row == nullptr) {
                    wrongCall(line, text::format(text::tr("unknown option: %s"), shortName(argument[at]).c_str()));
                    break;
                }
                if (!row->takesValue) {
                    row->apply(line, std::string());
                    continue;
                }
                if (at + 1 < argument.size()) {
                    row->apply(line, argument.substr(at + 1));
                } else if (i + 1 < argc) {
                    row->apply(line, argv[++i]);
                } else {
                    wrongCall(line, text::format(text::tr("%s takes a value"), shortName(argument[at]).c_str()));
                }
                break;
            }
        }
    }
    if (line.action != CommandLine::Action::Run) return line;
    if (line.options.files.empty()) {
        wrongCall(line, text::tr("no files"));
    } else if (line.options.output && line.options.files.size() > 1) {
        wrongCall(line, text::tr("-o can be used only with one input file"));
    } else if (line.options.output && line.options.mode == Mode::Test) {
        wrongCall(line, text::tr("-t writes no file, so -o makes no sense"));
    } else if (line.options.bitrate > ZARN_BITRATE_MAX && line.options.kind == ZARN_ENCODER_BITRATE &&
               writesBareStream(line.options, line.options.output.value_or(""))) {
        wrongCall(line, text::format(text::tr("-b takes a bit rate from %d to %d kbit/s for the bare stream"),
                                     ZARN_BITRATE_MIN, ZARN_BITRATE_MAX));
    } else if (line.options.output && *line.options.output != "-") {
        // Before any file is read: a name that says the wrong format is a
        // mistake of the call, not of a file.
        const std::string refusal = outputRefusal(*line.options.output, line.options.mode == Mode::Decode);
        if (!refusal.empty()) wrongCall(line, "-o " + printableName(*line.options.output) + ": " + refusal);
    }
    return line;
}

std::string replaceExtension(const std::string& name, const char* extension) {
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= base) return name + extension;
    return name.substr(0, dot) + extension;
}

std::uint64_t SpanPoint::at(int rate) const {
    if (!isTime) return samples;
    return static_cast<std::uint64_t>(std::llround(seconds * rate));
}

unsigned defaultKbitPerSecond(unsigned channels) {
    // Mono keeps the bare stream's rate; more channels get 160 each, which
    // puts a stereo file at 320, where the joint coding sounds as good as
    // a mono file does at 192.
    return channels == 1 ? ZARN_BITRATE_DEFAULT : 160 * channels;
}
unsigned lowestKbitPerSecond(unsigned channels) { return ZARN_BITRATE_MIN * channels; }
unsigned highestKbitPerSecond(unsigned channels) { return ZARN_BITRATE_MAX * channels; }

bool writesBareStream(const Options& options, const std::string& output) {
    if (options.raw || options.kind != ZARN_ENCODER_BITRATE) return true;
    const std::size_t dot = output.rfind('.');
    if (dot == std::string::npos || output.find('/', dot) != std::string::npos) return false;
    std::string extension = output.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "zarn";
}

std::string defaultOutput(const std::string& input, Mode mode, bool bare) {
    if (input == "-") return "-";
    return replaceExtension(input, mode == Mode::Decode ? ".wav" : bare ? ".zarn" : ".oza");
}

}  // namespace zarn::cli
