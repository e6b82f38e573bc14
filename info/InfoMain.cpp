// zarninfo FILE.zarn [ORIGINAL.wav] [--picture OUT.png]: what is inside a Zarn
// file, how far its decoding lies from the original, and a picture of both.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/Fatal.h"
#include "info/FrameTable.h"
#include "info/InfoPicture.h"
#include "info/InfoReport.h"
#include "info/SampleFiles.h"
#include "info/SignalAnalysis.h"
#include "info/SignalComparison.h"

namespace {

const char* const kUsage =
    "Brug: zarninfo FIL.zarn [ORIGINAL.wav] [--picture BILLEDE.png]\n"
    "  FIL.zarn               Zarn-filen, der skal undersoeges\n"
    "  ORIGINAL.wav           WAVE PCM filen, som Zarn-filen blev lavet af; maaler konverteringen\n"
    "  --picture BILLEDE.png  tegner spektrogrammer, bit pr. baand og bitrate i et PNG-billede\n";

struct Arguments {
    std::vector<std::string> files;  // the Zarn file, then perhaps the original
    std::string picture;
    bool help = false;
    bool valid = true;
};

Arguments parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--picture" && i + 1 < argc && arguments.picture.empty()) {
            arguments.picture = argv[++i];
            arguments.valid = arguments.valid && !arguments.picture.empty();
        } else if (argument == "-h" || argument == "--help") {
            arguments.help = true;
        } else if (argument.empty() || argument[0] == '-') {
            arguments.valid = false;
        } else {
            arguments.files.push_back(argument);
        }
    }
    if (arguments.files.empty() || arguments.files.size() > 2) arguments.valid = false;
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zarn;
    const Arguments arguments = parse(argc, argv);
    if (arguments.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!arguments.valid) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string& zarnPath = arguments.files[0];
    const bool compare = arguments.files.size() == 2;
    const bool draw = !arguments.picture.empty();

    // Both inputs are read before anything is printed, so a refused file
    // leaves only its reader's message.
    const FrameTable frames(zarnPath);
    const std::vector<Sample> original =
        compare ? SampleFiles::readWave(arguments.files[1]) : std::vector<Sample>();
    InfoReport::printFile(std::cout, zarnPath, frames);
    if (!compare && !draw) return 0;

    const std::vector<Sample> decoded = SampleFiles::decode(zarnPath);
    std::optional<SignalAnalysis> originalAnalysis;
    if (compare) {
        originalAnalysis.emplace(original, frames.frameCount(), InfoPicture::kPlotWidth, true);
        InfoReport::printComparison(std::cout, arguments.files[1], SignalComparison(original, decoded),
                                    *originalAnalysis);
    }
    if (draw) {
        const SignalAnalysis decodedAnalysis(decoded, frames.frameCount(), InfoPicture::kPlotWidth, false);
        const Sonogram* originalSonogram = compare ? &originalAnalysis->spectrogram() : nullptr;
        if (!InfoPicture::write(arguments.picture, frames, originalSonogram, decodedAnalysis.spectrogram(),
                                FrequencyAxis(false))) {
            fail(std::cerr, "Ikke i stand til at skrive billedet " + arguments.picture);
        }
    }
    return 0;
}
