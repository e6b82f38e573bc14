#include "bench/FrameCorpus.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "reduced/ReducedAnalysis.h"
#include "reduced/ReducedSynthesis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "stream/FrameReader.h"
#include "tools/MusicSignal.h"

namespace zarn::bench {

namespace {

constexpr std::size_t kSignalSeconds = 8;  // 1378 frames of the music-like signal
constexpr std::size_t kKeptFrames = 32;

std::size_t index(Program program) { return program == Program::full ? 0 : 1; }

void copySpectrum(const double* re, const double* im, Spectrum& to) {
    std::copy_n(re, kCodedBins, to.re.begin());
    std::copy_n(im, kCodedBins, to.im.begin());
}

// Keeps what the frame encoder shows of the frame being encoded.
struct EncoderOnlooker {
    EncoderFrame frame;

    void framed(const double* x) { std::copy_n(x, kBlockLength, frame.raw.begin()); }
    void windowed(const double* x) { std::copy_n(x, kBlockLength, frame.windowed.begin()); }
    void spectrum(EncoderStage stage, const double* re, const double* im) {
        switch (stage) {
            case EncoderStage::transformed: return copySpectrum(re, im, frame.transformed);
            case EncoderStage::audible: return copySpectrum(re, im, frame.audible);
            case EncoderStage::masked: return copySpectrum(re, im, frame.masked);
            case EncoderStage::scaled: return copySpectrum(re, im, frame.scaled);
            default: return;
        }
    }
};

struct DecoderOnlooker {
    DecoderFrame frame;

    void spectrum(const double* re, const double* im) {
        std::copy_n(re, kBlockLength, frame.full.re.begin());
        std::copy_n(im, kBlockLength, frame.full.im.begin());
    }
    void transformedBack(const double* y) { std::copy_n(y, kBlockLength, frame.inverse.begin()); }
};

// Every frame of the signal through one program's frame encoder, then its
// frame decoder; a few dozen spread over the signal are kept.
class Corpus {
public:
    Corpus() : samples_(makeMusicSignal(kSignalSeconds * kSampleRate)) {
        encode<FullAnalysis>(Program::full);
        encode<ReducedAnalysis>(Program::reduced);
        decode<FullSynthesis>(Program::full);
        decode<ReducedSynthesis>(Program::reduced);
    }

    const std::vector<EncoderFrame>& encoder(Program p) const { return encoder_[index(p)]; }
    const std::vector<DecoderFrame>& decoder(Program p) const { return decoder_[index(p)]; }
    const std::vector<std::uint8_t>& stream(Program p) const { return streams_[index(p)]; }
    const std::vector<Sample>& samples() const { return samples_; }

private:
    std::size_t frameCount() const { return samples_.size() / kHop; }
    bool kept(std::size_t frame) const {
        const std::size_t stride = frameCount() / kKeptFrames;
        return frame % stride == stride / 2 && frame / stride < kKeptFrames;
    }

    template <class Analysis>
    void encode(Program p) {
        FrameEncoder<Analysis> core;
        EncoderOnlooker onlooker;
        std::vector<std::uint8_t>& stream = streams_[index(p)];
        std::array<std::uint8_t, kMaxFrameBytes> bytes{};
        for (std::size_t f = 0; f < frameCount(); ++f) {
            core.encode(samples_.data() + f * kHop, onlooker.frame.stored, onlooker);
            const std::size_t length = packFrame(onlooker.frame.stored, bytes.data());
            stream.insert(stream.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
            if (kept(f)) encoder_[index(p)].push_back(onlooker.frame);
        }
    }

    template <class Synthesis>
    void decode(Program p) {
        const std::vector<std::uint8_t>& stream = streams_[index(p)];
        FrameReader reader(stream.data(), stream.size());
        FrameDecoder<Synthesis> core;
        DecoderOnlooker onlooker;
        EncodedFrame frame;
        std::array<Sample, kHop> hop{};
        for (std::size_t f = 0; reader.readFrames(&frame, 1); ++f) {
            onlooker.frame.stored = frame;
            core.decode(frame, hop.data(), onlooker);
            if (kept(f)) decoder_[index(p)].push_back(onlooker.frame);
        }
    }

    std::vector<Sample> samples_;
    std::vector<EncoderFrame> encoder_[2];
    std::vector<DecoderFrame> decoder_[2];
    std::vector<std::uint8_t> streams_[2];
};

const Corpus& corpus() {
    static const Corpus instance;
    return instance;
}

}  // namespace

const std::vector<EncoderFrame>& encoderFrames(Program program) { return corpus().encoder(program); }
const std::vector<DecoderFrame>& decoderFrames(Program program) { return corpus().decoder(program); }
const std::vector<std::uint8_t>& zarnStream(Program program) { return corpus().stream(program); }
const std::vector<Sample>& signal() { return corpus().samples(); }

StreamFrames::StreamFrames(Program program) : stream_(zarnStream(program)) {
    reader_.emplace(stream_.data(), stream_.size());
}

const EncodedFrame& StreamFrames::next(benchmark::State& state) {
    if (!reader_->readFrames(&frame_, 1)) {
        state.PauseTiming();
        reader_.emplace(stream_.data(), stream_.size());
        state.ResumeTiming();
        reader_->readFrames(&frame_, 1);
    }
    return frame_;
}

void countFrames(benchmark::State& state, std::size_t framesPerIteration) {
    const auto frames = static_cast<double>(state.iterations() * framesPerIteration);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * framesPerIteration));
    state.counters["audio_s"] = benchmark::Counter(frames * kHop / kSampleRate, benchmark::Counter::kIsRate);
}

}  // namespace zarn::bench
