// zarnjoint: codes a WAVE's channels together at one total bit rate, as the
// joint rate encoder does, and writes what the reference decoding of its
// frames gives back. A measurement tool for quality.sh, not a codec: the
// frames go nowhere but the decoding.
//
//   zarnjoint KBIT_PER_SECOND INPUT.wav OUTPUT.wav [--choice cost|estimate|lr|ms|alternate]
//
// INPUT is 44.1 kHz, 1 to 8 channels (read with libsndfile, in its channel
// order; the front pair is taken as the coupling takes it). OUTPUT is 16-bit
// WAVE of the same channels, lined up with INPUT sample for sample and as
// long. Prints, one "name value" per line: bytes (the frames', as a bare
// stream would hold them), kbps (those bytes × 8 over the duration) and
// midside (the share of hops coded as mid and side).

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "decoder/CoupledDecoder.h"
#include "rate/JointRateEncoder.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace {

using zarn::JointRateEncoder;
using zarn::kHop;
using zarn::Sample;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "zarnjoint: %s\n", message.c_str());
    std::exit(1);
}

JointRateEncoder::Choice choiceNamed(const std::string& name) {
    if (name == "cost") return JointRateEncoder::Choice::byCost;
    if (name == "estimate") return JointRateEncoder::Choice::byEstimate;
    if (name == "lr") return JointRateEncoder::Choice::leftRight;
    if (name == "ms") return JointRateEncoder::Choice::midSide;
    if (name == "alternate") return JointRateEncoder::Choice::everyOther;
    fail("--choice is cost, estimate, lr, ms or alternate, not " + name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && !(argc == 6 && std::strcmp(argv[4], "--choice") == 0))
        fail("usage: zarnjoint KBIT_PER_SECOND INPUT.wav OUTPUT.wav [--choice cost|estimate|lr|ms|alternate]");
    const long kbit = std::strtol(argv[1], nullptr, 10);
    const JointRateEncoder::Choice choice = argc == 6 ? choiceNamed(argv[5]) : JointRateEncoder::Choice::byCost;

    SF_INFO info{};
    SNDFILE* in = sf_open(argv[2], SFM_READ, &info);
    if (!in) fail(std::string(argv[2]) + ": " + sf_strerror(nullptr));
    const auto channels = static_cast<std::size_t>(info.channels);
    if (info.samplerate != static_cast<int>(zarn::kSampleRate)) fail("the input must be at 44100 Hz");
    if (channels < 1 || channels > JointRateEncoder::kMostChannels) fail("the input must have 1 to 8 channels");
    if (kbit < static_cast<long>(JointRateEncoder::kLowestBitrate * channels) ||
        kbit > static_cast<long>(JointRateEncoder::kHighestBitrate * channels))
        fail("the rate must be 64 to 320 kbit/s a channel");
    const auto frames = static_cast<std::size_t>(info.frames);
    std::vector<Sample> interleaved(frames * channels);
    if (sf_readf_short(in, interleaved.data(), info.frames) != info.frames) fail("cannot read the input whole");
    sf_close(in);

    // Each channel on its own, completed to whole hops with silence.
    const std::size_t hops = (frames + kHop - 1) / kHop;
    std::vector<std::vector<Sample>> input(channels, std::vector<Sample>(hops * kHop));
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < channels; ++c) input[c][i] = interleaved[i * channels + c];

    const auto encoder = std::make_unique<JointRateEncoder>(channels, static_cast<unsigned>(kbit), choice);
    const auto decoder = std::make_unique<zarn::CoupledDecoder>(channels);
    std::vector<std::vector<Sample>> output(channels, std::vector<Sample>((hops + 1) * kHop));
    std::vector<zarn::EncodedFrame> hopFrames(channels);
    std::uint8_t packed[zarn::kMaxFrameBytes];
    std::size_t bytes = 0, midSide = 0, written = 0;
    const Sample* from[JointRateEncoder::kMostChannels] = {};
    Sample* to[JointRateEncoder::kMostChannels] = {};
    for (std::size_t hop = 0; hop < hops; ++hop) {
        for (std::size_t c = 0; c < channels; ++c) {
            from[c] = input[c].data() + hop * kHop;
            to[c] = output[c].data() + written * kHop;
        }
        const zarn::HopCoupling coupling = encoder->encode(from, hop + 1 == hops, hopFrames.data());
        if (coupling == zarn::HopCoupling::midSide) ++midSide;
        for (const zarn::EncodedFrame& frame : hopFrames) bytes += zarn::packFrame(frame, packed);
        if (decoder->decode(hopFrames.data(), coupling == zarn::HopCoupling::midSide, to)) ++written;
    }
    for (std::size_t c = 0; c < channels; ++c) to[c] = output[c].data() + written * kHop;
    decoder->finish(to);

    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < channels; ++c) interleaved[i * channels + c] = output[c][i];
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(argv[3], SFM_WRITE, &outInfo);
    if (!out) fail(std::string(argv[3]) + ": " + sf_strerror(nullptr));
    if (sf_writef_short(out, interleaved.data(), info.frames) != info.frames) fail("cannot write the output");
    sf_close(out);

    const double seconds = static_cast<double>(hops * kHop) / zarn::kSampleRate;
    std::printf("bytes %zu\nkbps %.1f\nmidside %.3f\n", bytes, 8.0 * static_cast<double>(bytes) / seconds / 1000.0,
                hops ? static_cast<double>(midSide) / static_cast<double>(hops) : 0.0);
    return 0;
}
