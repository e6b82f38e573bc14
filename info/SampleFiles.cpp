#include "info/SampleFiles.h"

#include <new>

#include "decoder/FullSynthesis.h"
#include "decoder/Decoder.h"
#include "stream/ZarnReader.h"
#include "wave/WaveReader.h"

namespace zarn {

std::vector<Sample> SampleFiles::readWave(const std::string& path) {
    WaveReader reader(path.c_str());
    // A header may claim more samples than a vector can count, where the
    // cast to its size would cut the count short.
    std::vector<Sample> samples;
    if (reader.sampleCount() > samples.max_size()) throw std::bad_alloc();
    samples.resize(static_cast<std::size_t>(reader.sampleCount()));
    reader.readSamples(samples.data(), samples.size());
    return samples;
}

std::vector<Sample> SampleFiles::decode(const std::string& zarnPath) {
    ZarnReader reader(zarnPath.c_str());
    StreamDecoder<FullSynthesis> stream;
    std::vector<Sample> samples;
    const auto keep = [&samples](const Sample* decoded, std::size_t count) {
        samples.insert(samples.end(), decoded, decoded + count);
        return true;
    };
    decodeAll(reader, stream, keep);
    return samples;
}

}  // namespace zarn
