#include "info/SampleFiles.h"

#include <array>

#include "common/EncodedFrame.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "stream/ZarnReader.h"
#include "wave/WaveReader.h"

namespace zarn {

std::vector<Sample> SampleFiles::readWave(const std::string& path) {
    WaveReader reader(path.c_str());
    std::vector<Sample> samples(static_cast<std::size_t>(reader.sampleCount()));
    reader.readSamples(samples.data(), samples.size());
    return samples;
}

std::vector<Sample> SampleFiles::decode(const std::string& zarnPath) {
    ZarnReader reader(zarnPath.c_str());
    FrameDecoder<FullSynthesis> core;
    std::vector<Sample> samples;
    EncodedFrame frame;
    std::array<Sample, kHop> hop{};
    while (reader.readFrames(&frame, 1)) {
        if (core.decode(frame, hop.data())) samples.insert(samples.end(), hop.begin(), hop.end());
    }
    core.finish(hop.data());
    samples.insert(samples.end(), hop.begin(), hop.end());
    return samples;
}

}  // namespace zarn
