#include "cli/CommandLine.h"

#include <array>
#include <cstring>
#include <string>

#include "cli/FileFailure.h"
#include "cli/OutputFormat.h"
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

// A bit rate in kbit/s: digits alone, within what the rate encoder holds.
void setBitrate(CommandLine& line, const std::string& value) {
    int rate = 0;
    bool digits = !value.empty() && value.size() <= 3;
    for (const char c : value) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) rate = rate * 10 + (c - '0');
    }
    if (!digits || rate < ZARN_BITRATE_MIN || rate > ZARN_BITRATE_MAX) {
        wrongCall(line, text::format(text::tr("-b takes a bit rate from %d to %d kbit/s, not '%s'"), ZARN_BITRATE_MIN,
                                     ZARN_BITRATE_MAX, value.c_str()));
        return;
    }
    line.options.kind = ZARN_ENCODER_BITRATE;
    line.options.bitrate = rate;
}

const std::array<OptionRow, 11> kOptions{{
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

std::string defaultOutput(const std::string& input, Mode mode) {
    if (input == "-") return "-";
    return replaceExtension(input, mode == Mode::Decode ? ".wav" : ".zarn");
}

}  // namespace zarn::cli
