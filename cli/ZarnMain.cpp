// zarn [OPTION]... FILE...: encodes sound files of any format libsndfile reads
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
#include "text/Translation.h"

namespace {

using zarn::text::N_;

const char* const kUsageLine = N_("Usage: zarn [OPTION]... FILE...\n");

const char* const kHelp =
    N_("Encodes sound files to Ogg Zarn (FILE.wav -> FILE.oza), or decodes Zarn files with -d.\n"
       "Anything libsndfile can read can be encoded: WAVE, AIFF, FLAC, Ogg, MP3 and more.\n"
       "Every channel up to 8, the sample rate and the tags are kept; the sound is coded at 44.1 kHz.\n"
       "FILE '-' is standard input; without -o the output then goes to standard output.\n"
       "\n"
       "  -d, --decode       decodes FILE.oza or FILE.zarn to FILE.wav (.flac, .aiff, .ogg, .mp3 by -o)\n"
       "  -t, --test         decodes without writing anything and says which files are damaged\n"
       "  -o, --output NAME  writes to NAME ('-' is standard output); only with one FILE\n"
       "  -b, --bitrate N    encodes at an average bit rate of N kbit/s over all channels, from\n"
       "                     64 to 320 per channel (default: 192 for mono, 160 per channel else)\n"
       "      --tag NAME=VALUE  adds a tag (TITLE=..., ARTIST=...); may be repeated\n"
       "      --raw          writes the bare mono stream (FILE.zarn) that zarnconv reads;\n"
       "                     so does an output name ending in .zarn\n"
       "      --full         writes the bare stream as zarnconv does, with masking\n"
       "      --basic        writes the bare stream as zarnbasic does, with 15 bits in every band\n"
       "      --no-dither    rounds samples wider than 16 bits instead of dithering them\n"
       "      --skip TIME    decodes from TIME: samples (44100) or [mm:]ss.sss (1:02.5, 1.5)\n"
       "      --until TIME   decodes up to TIME; +TIME counts from --skip\n"
       "      --rate N       decodes at N Hz instead of the original's rate\n"
       "  -F, --decode-through-errors  decodes a damaged file with the damage silent\n"
       "  -f, --force        overwrites an existing output file\n"
       "  -q, --quiet        writes only errors\n"
       "  -h, --help         shows this help\n"
       "      --version      shows the version\n"
       "  --                 the rest are file names, also those that begin with '-'\n"
       "\n"
       "Exit status: 0 when everything succeeded, 1 when a file failed, 2 on wrong usage.\n");

// Ends a run that wrote only to standard output (the help, the version): a
// text that did not all arrive is a failed write like any other.
int finishOutput() {
    errno = 0;
    std::cout.flush();
    if (std::cout) return 0;
    std::cerr << "zarn: " << zarn::cli::outputName("-") << ": "
              << zarn::cli::causeOf(errno != 0 ? errno : EIO, zarn::cli::Access::Write) << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zarn::cli;
    using zarn::text::tr;
    zarn::text::useUserLanguage();
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Help: std::cout << tr(kUsageLine) << tr(kHelp); return finishOutput();
        case CommandLine::Action::Version:
            std::cout << "zarn " << zarn_version() << " (" << sf_version_string() << ", " << soxr_version()
                      << ")\n";
            return finishOutput();
        case CommandLine::Action::WrongCall:
            std::cerr << "zarn: " << line.error << '\n' << tr(kUsageLine) << tr("Try 'zarn --help'.\n");
            return 2;
        case CommandLine::Action::Run: break;
    }
    const Options& options = line.options;
    installInterruptCleanup();
    const bool progress = !options.quiet && isatty(STDERR_FILENO);

    bool anyFailed = false;
    for (const std::string& input : options.files) {
        try {
            const std::string output =
                options.output ? *options.output : defaultOutput(input, options.mode, writesBareStream(options, ""));
            const Outcome outcome = options.mode == Mode::Encode   ? encodeFile(input, output, options, progress)
                                    : options.mode == Mode::Decode ? decodeFile(input, output, options, progress)
                                                                   : testFile(input, options, progress);
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
