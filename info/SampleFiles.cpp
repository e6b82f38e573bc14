#include "info/SampleFiles.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>

#include "cli/FileFailure.h"
#include "cli/MonoSource.h"
#include "cli/Resampler.h"
#include "cli/TpdfDither.h"
#include "container/OggZarnHeaders.h"
#include "text/Translation.h"
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

// Which of a WAVE file's channels goes in each place of the container's
// order, for 1 to 8 channels; more keep their own order.
std::size_t waveChannel(std::size_t channels, std::size_t place) {
    return channels <= kFromWave.size() ? kFromWave[channels - 1][place] : place;
}

// One channel at `rate` to kSampleRate, through libsoxr as zarn converts.
std::vector<double> converted(const std::vector<double>& in, int rate, const std::string& name) {
    cli::Resampler resampler(static_cast<double>(rate), name);
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(std::ceil(static_cast<double>(in.size()) * kSampleRate / rate)) + 1);
    std::array<double, 32768> block;
    for (std::size_t at = 0; at < in.size();) {
        std::size_t taken = 0;
        const std::size_t made = resampler.process(in.data() + at, in.size() - at, &taken, block.data(), block.size());
        out.insert(out.end(), block.begin(), block.begin() + made);
        at += taken;
    }
    for (std::size_t made; (made = resampler.process(nullptr, 0, nullptr, block.data(), block.size())) > 0;) {
        out.insert(out.end(), block.begin(), block.begin() + made);
    }
    return out;
}

}  // namespace

OriginalChannels SampleFiles::readOriginalChannels(const std::string& path) {
    OriginalChannels original;
    try {
        cli::SoundInput input(path, false);
        const auto channels = static_cast<std::size_t>(input.channels());
        const bool sameRate = input.sampleRate() == static_cast<int>(kSampleRate);
        const bool direct = sameRate && input.narrow();
        std::vector<std::vector<double>> planar(channels);
        const std::optional<std::uint64_t> frames = input.frames();
        if (frames) {
            if (*frames >= planar[0].max_size()) throw std::bad_alloc();
            for (auto& channel : planar) channel.reserve(static_cast<std::size_t>(*frames));
        }
        constexpr std::size_t kFrames = 4096;
        std::vector<double> block(kFrames * channels);
        for (std::size_t count; (count = input.readDoubles(block.data(), kFrames)) > 0;) {
            for (std::size_t place = 0; place < channels; ++place) {
                const std::size_t from = waveChannel(channels, place);
                for (std::size_t i = 0; i < count; ++i) planar[place].push_back(block[i * channels + from]);
            }
        }
        for (auto& channel : planar) {
            if (!sameRate) channel = converted(channel, input.sampleRate(), input.name());
            // Each channel's dither from the same seed, as a file of that
            // channel alone would get.
            cli::TpdfDither dither(!direct);
            std::vector<Sample> samples(channel.size());
            dither.quantise(channel.data(), channel.size(), samples.data());
            original.channels.push_back(std::move(samples));
        }
        std::string steps;
        if (!sameRate) {
            steps = text::format(text::tr("converted to %s"), cli::rateName(static_cast<int>(kSampleRate)).c_str());
        }
        if (!direct) steps += std::string(steps.empty() ? "" : ", ") + text::tr("dithered to 16 bits");
        original.description = input.description() + (steps.empty() ? "" : "; " + steps);
    } catch (const cli::FileFailure& failure) {
        throw OriginalRefused(failure.what());
    }
    return original;
}

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
