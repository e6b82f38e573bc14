#include "cli/CommandLine.h"

#include <array>
#include <cstring>

namespace zarn::cli {
namespace {

// One option as it may be spelt. An option that takes a value gets it from
// the rest of its word or from the next argument; a new option with a value
// (a bit rate, say) is one more row and one more field in Options.
struct OptionSpec {
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
        wrongCall(line, "-d og -t kan ikke bruges sammen");
    }
    line.options.mode = mode;
}

const std::array<OptionSpec, 10> kOptions{{
    {'d', "decode", false, [](CommandLine& line, const std::string&) { setMode(line, Mode::Decode); }},
    {'t', "test", false, [](CommandLine& line, const std::string&) { setMode(line, Mode::Test); }},
    {'o', "output", true,
     [](CommandLine& line, const std::string& value) {
         if (value.empty()) wrongCall(line, "-o kraever et filnavn");
         if (line.options.output) wrongCall(line, "-o maa kun gives een gang");
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
    {'\0', "full", false, [](CommandLine& line, const std::string&) { line.options.kind = ZARN_ENCODER_FULL; }},
    {'\0', "basic", false,
     [](CommandLine& line, const std::string&) { line.options.kind = ZARN_ENCODER_REDUCED; }},
    {'\0', "no-dither", false, [](CommandLine& line, const std::string&) { line.options.dither = false; }},
}};

const OptionSpec* findShort(char name) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.shortName == name) return &spec;
    }
    return nullptr;
}

const OptionSpec* findLong(const std::string& name) {
    for (const OptionSpec& spec : kOptions) {
        if (name == spec.longName) return &spec;
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
            const OptionSpec* spec = findLong(name);
            if (spec == nullptr) {
                wrongCall(line, "ukendt tilvalg: --" + name);
            } else if (!spec->takesValue && equals != std::string::npos) {
                wrongCall(line, "--" + name + " tager ingen vaerdi");
            } else if (spec->takesValue && equals == std::string::npos && i + 1 >= argc) {
                wrongCall(line, "--" + name + " kraever en vaerdi");
            } else {
                spec->apply(line, !spec->takesValue           ? std::string()
                                  : equals != std::string::npos ? argument.substr(equals + 1)
                                                                : std::string(argv[++i]));
            }
        } else {
            for (std::size_t at = 1; at < argument.size(); ++at) {
                const OptionSpec* spec = findShort(argument[at]);
                if (spec == nullptr) {
                    wrongCall(line, std::string("ukendt tilvalg: -") + argument[at]);
                    break;
                }
                if (!spec->takesValue) {
                    spec->apply(line, std::string());
                    continue;
                }
                if (at + 1 < argument.size()) {
                    spec->apply(line, argument.substr(at + 1));
                } else if (i + 1 < argc) {
                    spec->apply(line, argv[++i]);
                } else {
                    wrongCall(line, std::string("-") + argument[at] + " kraever en vaerdi");
                }
                break;
            }
        }
    }
    if (line.action != CommandLine::Action::Run) return line;
    if (line.options.files.empty()) {
        wrongCall(line, "ingen filer");
    } else if (line.options.output && line.options.files.size() > 1) {
        wrongCall(line, "-o kan kun bruges med een inputfil");
    } else if (line.options.output && line.options.mode == Mode::Test) {
        wrongCall(line, "-t skriver ingen fil, saa -o giver ingen mening");
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
