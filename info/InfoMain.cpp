// zarninfo FILE.zarn [ORIGINAL] [--picture OUT.png [--log-frequency]]
// [--removed OUT.wav]: what is inside a Zarn file, how far its decoding lies
// from the original, a picture of both, and what was removed, to listen to.

#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/Fatal.h"
#include "common/FileIdentity.h"
#include "info/FrameTable.h"
#include "info/FrequencyAxis.h"
#include "info/InfoPicture.h"
#include "info/InfoReport.h"
#include "info/OggZarnContents.h"
#include "info/RemovedSignal.h"
#include "info/SampleFiles.h"
#include "info/SignalAnalysis.h"
#include "info/SignalComparison.h"
#include "text/Translation.h"
#include "wave/WaveWriter.h"

namespace {

using zarn::text::format;
using zarn::text::N_;
using zarn::text::tr;
using zarn::text::trn;

const char* const kUsage =
    N_("Usage: zarninfo FILE [ORIGINAL] [--hops] [--channel N] [--picture PICTURE.png [--log-frequency]]\n"
       "                [--removed REMOVED.wav]\n"
       "  FILE                   the Zarn file to look into: a bare stream (.zarn) or Ogg Zarn (.oza),\n"
       "                         told apart by content\n"
       "  ORIGINAL               the sound file (WAVE, FLAC, MP3, ...) the Zarn file was made from; measures\n"
       "                         the conversion against it, read as zarn reads it, channel by channel\n"
       "  --hops                 one row per hop: its bytes, bit rate and, in Ogg Zarn, its coupling\n"
       "  --channel N            the channel (from 1, the first) that the picture and the removed sound\n"
       "                         show; 1 unless given\n"
       "  --picture PICTURE.png  draws spectrograms, bits per band and bit rate in a PNG picture\n"
       "  --log-frequency        draws the spectrograms with a logarithmic frequency axis, 50 Hz to 22 kHz\n"
       "  --removed REMOVED.wav  writes the original minus the decoded sound, what was removed, as\n"
       "                         WAVE PCM (mono, 16 bit, 44100 Hz); needs ORIGINAL\n");

struct Arguments {
    std::vector<std::string> files;  // the Zarn file, then perhaps the original
    std::optional<std::string> picture;
    std::optional<std::string> removed;
    bool logFrequency = false;
    bool hops = false;
    unsigned channel = 0;  // from 0; the option counts from 1
    bool channelGiven = false;
    bool help = false;
    bool valid = true;
};

// Whether two outputs would be one file: by name however spelt (./x and x),
// through links, or as one file that both names already reach.
bool sameOutput(const std::string& first, const std::string& second) {
    const auto resolved = [](const std::string& name, std::error_code& error) {
        const std::filesystem::path absolute = std::filesystem::absolute(name, error);
        return error ? absolute : std::filesystem::weakly_canonical(absolute, error);
    };
    std::error_code error;
    const std::filesystem::path one = resolved(first, error);
    const std::filesystem::path other = error ? std::filesystem::path() : resolved(second, error);
    if (error) return first == second;
    return one == other || zarn::isSameFile(first.c_str(), second.c_str());
}

Arguments parse(int argc, char** argv) {
    Arguments arguments;
    // An option that takes a file takes the next argument, once, and never an
    // empty one or another option: "--picture --removed r.wav" would make an
    // intended output an input.
    auto takeFile = [&](int& i, std::optional<std::string>& file) {
        if (i + 1 >= argc || file) {
            arguments.valid = false;
            return;
        }
        file = argv[++i];
        arguments.valid = arguments.valid && !file->empty() && (*file)[0] != '-';
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--picture") {
            takeFile(i, arguments.picture);
        } else if (argument == "--removed") {
            takeFile(i, arguments.removed);
        } else if (argument == "--log-frequency" && !arguments.logFrequency) {
            arguments.logFrequency = true;
        } else if (argument == "--hops" && !arguments.hops) {
            arguments.hops = true;
        } else if (argument == "--channel" && !arguments.channelGiven && i + 1 < argc) {
            arguments.channelGiven = true;
            const std::string number = argv[++i];
            const bool digits = !number.empty() && number.size() <= 3 &&
                                number.find_first_not_of("0123456789") == std::string::npos;
            const unsigned channel = digits ? static_cast<unsigned>(std::stoul(number)) : 0;
            arguments.valid = arguments.valid && channel >= 1;
            arguments.channel = channel >= 1 ? channel - 1 : 0;
        } else if (argument == "-h" || argument == "--help") {
            arguments.help = true;
        } else if (argument.empty() || argument[0] == '-') {
            arguments.valid = false;
        } else {
            arguments.files.push_back(argument);
        }
    }
    if (arguments.files.empty() || arguments.files.size() > 2) arguments.valid = false;
    // What was removed needs what it was removed from; the axis needs a picture.
    if (arguments.removed && arguments.files.size() != 2) arguments.valid = false;
    if (arguments.logFrequency && !arguments.picture) arguments.valid = false;
    if (arguments.picture && arguments.removed && sameOutput(*arguments.picture, *arguments.removed)) {
        arguments.valid = false;
    }
    return arguments;
}

// The report must have reached standard output (a full disk, a closed
// output) for the run to count as done.
int finished() {
    std::cout.flush();
    if (!std::cout) zarn::fail(std::cerr, tr("Error writing to standard output"));
    return 0;
}

}  // namespace

// Fontconfig, which Cairo's text calls on, allocates a few hundred bytes of
// its own that it never frees; a sanitizer build should not count them
// against zarninfo.
#if defined(__SANITIZE_ADDRESS__)
#define ZARN_LEAKS_CHECKED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZARN_LEAKS_CHECKED
#endif
#endif
#ifdef ZARN_LEAKS_CHECKED
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif

int report(const Arguments& arguments);
int reportOgg(const Arguments& arguments);

namespace {

// The original of `frames`, or the one line that says why it is none: a
// file that is no sound, holds none, or is not as long as the Zarn file's
// frames say its original was (each frame is a hop, the last one completed
// with silence) would only give false figures.
void refuseUnfitting(const std::string& path, std::size_t samples, std::size_t frames) {
    using namespace zarn;
    if (samples == 0) fail(std::cerr, format(tr("%s: holds no sound"), path.c_str()));
    const std::size_t hops = (samples + kHop - 1) / kHop;
    if (hops != frames) {
        fail(std::cerr, format(tr("%s: %llu samples do not fit the Zarn file's %llu frames; it was not made from "
                                  "this sound"),
                               path.c_str(), static_cast<unsigned long long>(samples),
                               static_cast<unsigned long long>(frames)));
    }
}

zarn::OriginalSamples readOriginal(const std::string& path, const zarn::FrameTable& frames) {
    using namespace zarn;
    OriginalSamples original;
    try {
        original = SampleFiles::readOriginal(path);
    } catch (const OriginalRefused& refused) {
        fail(std::cerr, refused.what());
    }
    refuseUnfitting(path, original.samples.size(), frames.frameCount());
    return original;
}

// Every channel of the original of an Ogg Zarn file, which must have as
// many: a mix or a pick of them would be measured against sound the file
// never held.
zarn::OriginalChannels readOriginalChannels(const std::string& path, const zarn::OggZarnContents& file) {
    using namespace zarn;
    OriginalChannels original;
    try {
        original = SampleFiles::readOriginalChannels(path);
    } catch (const OriginalRefused& refused) {
        fail(std::cerr, refused.what());
    }
    if (original.channels.size() != file.channels()) {
        const auto channels = static_cast<unsigned>(original.channels.size());
        fail(std::cerr, format(trn("%s: %u channel, where the Zarn file has %u; it was not made from this sound",
                                   "%s: %u channels, where the Zarn file has %u; it was not made from this sound",
                                   channels),
                               path.c_str(), channels, file.channels()));
    }
    refuseUnfitting(path, original.channels[0].size(), file.hopCount());
    return original;
}

// The Zarn file as a bare stream has one channel.
void refuseChannel(const std::string& path, unsigned channel, unsigned channels) {
    using namespace zarn;
    if (channel < channels) return;
    fail(std::cerr, format(tr("%s: there is no channel %u; the file has %u"), path.c_str(), channel + 1, channels));
}

}  // namespace

int main(int argc, char** argv) {
    zarn::text::useUserLanguage();
    const Arguments arguments = parse(argc, argv);
    if (arguments.help) {
        std::cout << tr(kUsage);
        return finished();
    }
    if (!arguments.valid) {
        std::cerr << tr(kUsage);
        return 2;
    }
    // The signals are held whole in memory, as long as their files say they
    // are: a WAVE header can claim far more than any memory holds.
    try {
        return report(arguments);
    } catch (const std::bad_alloc&) {
        zarn::fail(std::cerr, tr("Not enough memory"));
    }
}

int report(const Arguments& arguments) {
    using namespace zarn;
    const std::string& zarnPath = arguments.files[0];
    if (OggZarnContents::looksLikeOgg(zarnPath)) return reportOgg(arguments);
    const bool compare = arguments.files.size() == 2;
    const bool draw = arguments.picture.has_value();
    refuseChannel(zarnPath, arguments.channel, 1);

    // Every input is read, and the removed signal's file opened, before
    // anything is printed, so that a refused file leaves only its reader's
    // or writer's message; no output may replace an input.
    const FrameTable frames(zarnPath);
    const OriginalSamples original = compare ? readOriginal(arguments.files[1], frames) : OriginalSamples();
    const std::vector<Sample> decoded = compare || draw ? SampleFiles::decode(zarnPath) : std::vector<Sample>();
    for (const std::optional<std::string>& output : {arguments.picture, arguments.removed}) {
        for (const std::string& input : arguments.files) {
            if (output) refuseSameFile(input.c_str(), output->c_str());
        }
    }
    std::optional<WaveWriter> removedFile;
    if (arguments.removed) removedFile.emplace(arguments.removed->c_str());

    InfoReport::printFile(std::cout, zarnPath, frames);
    if (arguments.hops) InfoReport::printHops(std::cout, frames);
    std::optional<SignalAnalysis> originalAnalysis;
    if (compare) {
        const RemovedSignal removed(original.samples, decoded);
        originalAnalysis.emplace(original.samples, frames.frameCount(), InfoPicture::kPlotWidth, &frames);
        InfoReport::printComparison(std::cout, arguments.files[1], original.description,
                                    SignalComparison(original.samples, decoded), removed, *originalAnalysis);
        if (removedFile) {
            removedFile->writeSamples(removed.samples().data(), removed.samples().size());
            removedFile->finish();
            if (removedFile->failed()) fail(std::cerr, format(tr("Error writing to %s"), arguments.removed->c_str()));
        }
    }
    if (draw) {
        const SignalAnalysis decodedAnalysis(decoded, frames.frameCount(), InfoPicture::kPlotWidth, nullptr);
        const Sonogram* originalSonogram = compare ? &originalAnalysis->spectrogram() : nullptr;
        if (!InfoPicture::write(*arguments.picture, frames, originalSonogram, decodedAnalysis.spectrogram(),
                                FrequencyAxis(arguments.logFrequency))) {
            fail(std::cerr, format(tr("Cannot write the picture %s"), arguments.picture->c_str()));
        }
    }
    return finished();
}

namespace {

void writeRemoved(zarn::WaveWriter& file, const zarn::RemovedSignal& removed, const std::string& name) {
    using namespace zarn;
    file.writeSamples(removed.samples().data(), removed.samples().size());
    file.finish();
    if (file.failed()) fail(std::cerr, format(tr("Error writing to %s"), name.c_str()));
}

}  // namespace

// Ogg Zarn: the stream's figures, then each channel's as a bare file's,
// each against its own channel of the original; the picture and the removed
// sound are of the one channel chosen.
int reportOgg(const Arguments& arguments) {
    using namespace zarn;
    const std::string& path = arguments.files[0];
    const bool compare = arguments.files.size() == 2;
    const OggZarnContents file(path);
    refuseChannel(path, arguments.channel, file.channels());
    const OriginalChannels original = compare ? readOriginalChannels(arguments.files[1], file) : OriginalChannels();
    for (const std::optional<std::string>& output : {arguments.picture, arguments.removed}) {
        for (const std::string& input : arguments.files) {
            if (output) refuseSameFile(input.c_str(), output->c_str());
        }
    }
    std::optional<WaveWriter> removedFile;
    if (arguments.removed) removedFile.emplace(arguments.removed->c_str());

    InfoReport::printOggFile(std::cout, path, file);
    std::optional<SignalAnalysis> chosenOriginal;
    for (unsigned c = 0; c < file.channels(); ++c) {
        InfoReport::printChannel(std::cout, file, c);
        if (!compare) continue;
        const std::vector<Sample>& from = original.channels[c];
        const RemovedSignal removed(from, file.decoded(c));
        SignalAnalysis analysis(from, file.hopCount(), InfoPicture::kPlotWidth, &file.channel(c));
        InfoReport::printComparison(std::cout, arguments.files[1], original.description,
                                    SignalComparison(from, file.decoded(c)), removed, analysis);
        if (c != arguments.channel) continue;
        if (removedFile) writeRemoved(*removedFile, removed, *arguments.removed);
        chosenOriginal.emplace(std::move(analysis));
    }
    if (arguments.hops) InfoReport::printHops(std::cout, file);
    if (arguments.picture) {
        const unsigned c = arguments.channel;
        const SignalAnalysis decoded(file.decoded(c), file.hopCount(), InfoPicture::kPlotWidth, nullptr);
        const Sonogram* originalSonogram = chosenOriginal ? &chosenOriginal->spectrogram() : nullptr;
        if (!InfoPicture::write(*arguments.picture, file.channel(c), originalSonogram, decoded.spectrogram(),
                                FrequencyAxis(arguments.logFrequency))) {
            fail(std::cerr, format(tr("Cannot write the picture %s"), arguments.picture->c_str()));
        }
    }
    return finished();
}
