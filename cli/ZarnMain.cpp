// zarn [TILVALG] FIL...: encodes sound files of any format libsndfile reads
// to Zarn, decodes Zarn files, or tests them; see doc/man/zarn.1.

#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CommandLine.h"
#include "cli/Conversions.h"
#include "cli/FileFailure.h"
#include "cli/InterruptCleanup.h"
#include "lib/zarn.h"

namespace {

const char* const kUsageLine = "Brug: zarn [TILVALG] FIL...\n";

const char* const kHelp =
    "Brug: zarn [TILVALG] FIL...\n"
    "Koder lydfiler til Zarn (FIL.wav -> FIL.zarn), eller afkoder Zarn-filer med -d.\n"
    "Alt, hvad libsndfile kan laese, kan kodes: WAVE, AIFF, FLAC, Ogg, MP3 m.fl.\n"
    "Flere kanaler mixes ned til mono, og andre samplefrekvenser konverteres til 44,1 kHz.\n"
    "FIL '-' er standard-input; uden -o skrives saa til standard-output.\n"
    "\n"
    "  -d, --decode       afkoder FIL.zarn til FIL.wav (.flac, .aiff, .ogg, .mp3 efter -o's navn)\n"
    "  -t, --test         afkoder uden at skrive noget og siger, hvilke filer der er beskadigede\n"
    "  -o, --output NAVN  skriver til NAVN ('-' er standard-output); kun med een FIL\n"
    "  -b, --bitrate N    koder med en gennemsnitlig bitrate paa N kbit/s, fra 64 til 320\n"
    "                     (standard: 192)\n"
    "      --full         koder som zarnconv, med maskering\n"
    "      --basic        koder som zarnbasic, med 15 bit i alle baand\n"
    "      --no-dither    afrunder samples bredere end 16 bit i stedet for at dithre\n"
    "  -f, --force        overskriver en eksisterende outputfil\n"
    "  -q, --quiet        skriver kun fejl\n"
    "  -h, --help         viser denne hjaelp\n"
    "      --version      viser versionen\n"
    "  --                 resten er filnavne, ogsaa dem der begynder med '-'\n"
    "\n"
    "Afslutningsstatus: 0 naar alt lykkedes, 1 naar en fil fejlede, 2 ved forkert brug.\n";

// Ends a run that wrote only to standard output (the help, the version): a
// text that did not all arrive is a failed write like any other.
int finishOutput() {
    errno = 0;
    std::cout.flush();
    if (std::cout) return 0;
    std::cerr << "zarn: " << zarn::cli::outputName("-") << ": "
              << zarn::cli::causeOf(errno != 0 ? errno : EIO, "skrive") << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zarn::cli;
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Help: std::cout << kHelp; return finishOutput();
        case CommandLine::Action::Version:
            std::cout << "zarn " << zarn_version() << " (" << sf_version_string() << ", " << soxr_version()
                      << ")\n";
            return finishOutput();
        case CommandLine::Action::WrongCall:
            std::cerr << "zarn: " << line.error << '\n' << kUsageLine << "Se 'zarn --help'.\n";
            return 2;
        case CommandLine::Action::Run: break;
    }
    const Options& options = line.options;
    installInterruptCleanup();
    const bool progress = !options.quiet && isatty(STDERR_FILENO);

    bool anyFailed = false;
    for (const std::string& input : options.files) {
        try {
            const std::string output = options.output ? *options.output : defaultOutput(input, options.mode);
            const Outcome outcome = options.mode == Mode::Encode   ? encodeFile(input, output, options, progress)
                                    : options.mode == Mode::Decode ? decodeFile(input, output, options, progress)
                                                                   : testFile(input, progress);
            if (options.quiet) continue;
            if (!outcome.warning.empty()) std::cerr << "zarn: " << outcome.warning << '\n';
            std::cerr << outcome.done << '\n';
        } catch (const FileFailure& failure) {
            std::cerr << "zarn: " << failure.what() << '\n';
            anyFailed = true;
        }
    }
    return anyFailed ? 1 : 0;
}
