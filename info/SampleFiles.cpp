#include "info/SampleFiles.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "common/Fatal.h"
#include "decoder/Decoder.h"
#include "decoder/FullDecoderSteps.h"
#include "wave/WaveReader.h"

namespace zarn {

std::vector<Sample> SampleFiles::readWave(const std::string& path) {
    WaveReader reader(path.c_str());
    std::vector<Sample> samples(static_cast<std::size_t>(reader.sampleCount()));
    reader.readSamples(samples.data(), samples.size());
    return samples;
}

std::vector<Sample> SampleFiles::decode(const std::string& zarnPath) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string wavePath = (folder / "zarninfo-XXXXXX").string();
    const int descriptor = mkstemp(wavePath.data());
    if (descriptor < 0) fail(std::cerr, "Ikke i stand til at oprette en midlertidig fil");
    close(descriptor);

    // The file has been read whole before this, so a damaged frame, whose
    // message the decoder would write into the hidden progress, cannot occur.
    std::ostringstream progress;
    std::streambuf* console = std::cout.rdbuf(progress.rdbuf());
    Decoder<FullDecoderSteps>::decode(zarnPath.c_str(), wavePath.c_str());
    std::cout.rdbuf(console);

    std::vector<Sample> samples = readWave(wavePath);
    std::filesystem::remove(wavePath, error);
    return samples;
}

}  // namespace zarn
