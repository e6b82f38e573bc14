#include "info/SampleFiles.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>

#include "cli/FileFailure.h"
#include "cli/MonoSource.h"
#include "cli/SoundInput.h"
#include "decoder/FullSynthesis.h"
#include "decoder/Decoder.h"
#include "stream/ZarnReader.h"

namespace zarn {

namespace {

// Room for the samples the conversion will give for `input`, where its
// length is known (a converted rate may give one more than the ratio): a
// header may claim more than any memory holds, which is better found before
// reading than after.
void reserveFor(const cli::SoundInput& input, std::vector<Sample>& samples) {
    const std::optional<std::uint64_t> frames = input.frames();
    if (!frames) return;
    const double expected =
        std::ceil(static_cast<double>(*frames) * kSampleRate / static_cast<double>(input.sampleRate())) + 1.0;
    if (expected >= static_cast<double>(samples.max_size())) throw std::bad_alloc();
    samples.reserve(static_cast<std::size_t>(expected));
}

}  // namespace

OriginalSamples SampleFiles::readOriginal(const std::string& path) {
    OriginalSamples original;
    try {
        cli::SoundInput input(path, false);
        // With dither, as `zarn` converts unless told otherwise: its noise is
        // drawn from a fixed seed, so the samples match the encoded ones.
        cli::MonoSource source(input, true);
        reserveFor(input, original.samples);
        std::array<std::int16_t, cli::MonoSource::kBlock> block;
        for (std::size_t count; (count = source.read(block.data())) > 0;) {
            original.samples.insert(original.samples.end(), block.begin(), block.begin() + count);
        }
        const std::string steps = source.steps();
        original.description = input.description() + (steps.empty() ? "" : "; " + steps);
    } catch (const cli::FileFailure& failure) {
        throw OriginalRefused(failure.what());
    }
    return original;
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
