#include "bench/FrameCorpus.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "dsp/Fft.h"
#include "dsp/FrameWindow.h"
#include "encoder/BitAllocator.h"
#include "encoder/MaskingModel.h"
#include "encoder/Quantiser.h"
#include "encoder/QuietThreshold.h"
#include "stream/ZarnReader.h"
#include "stream/ZarnWriter.h"
#include "tools/MusicSignal.h"

namespace zarn::bench {

namespace {

constexpr std::size_t kSampleRate = 44100;
constexpr std::size_t kSignalSeconds = 4;  // the signal's four chords twice over
constexpr std::size_t kKeptFrames = 32;
constexpr int kFileRepeats = 8;            // the file holds the signal this many times

// What the encoder hands the writer for one frame.
struct CodedFrame {
    Spectrum scaled;
    ScaleExponents scale{};
    BitAllocation allocation{};
};

std::size_t index(Program program) { return program == Program::full ? 0 : 1; }

// Every frame of the signal through both encoders' steps, as Encoder runs
// them. zarnbasic's direct transform is stood in for by the fast one: it gives
// the same spectrum to within rounding, and the steps after it cost the same.
class Corpus {
public:
    Corpus() {
        const auto samples = makeMusicSignal(kSignalSeconds * kSampleRate);
        const std::size_t frameCount = (samples.size() + kHop - 1) / kHop;
        const std::size_t stride = frameCount / kKeptFrames;
        auto sampleAt = [&](std::size_t frame, std::size_t i) {
            // Frame f ends with samples f·256 … f·256 + 255; before the first
            // and after the last sample the encoder sees zeros.
            const std::size_t position = frame * kHop + i;
            if (position < kHop || position - kHop >= samples.size()) return 0.0;
            return static_cast<double>(samples[position - kHop]);
        };

        FrameWindow window;
        Fft fft(kBlockLength);
        QuietThreshold quiet;
        MaskingModel masking(1.0);
        const Quantiser quantiser;
        const BitAllocator allocator;
        std::vector<CodedFrame> coded[2];
        for (auto& list : coded) list.resize(frameCount);

        for (std::size_t f = 0; f < frameCount; ++f) {
            EncoderFrame full;
            for (std::size_t i = 0; i < kBlockLength; ++i) full.raw[i] = sampleAt(f, i);
            full.windowed = full.raw;
            window.applyWindow(full.windowed.data(), static_cast<std::int32_t>(kBlockLength));
            fft.forward(full.windowed.data(), full.transformed.re.data(), full.transformed.im.data());
            EncoderFrame reduced = full;

            full.audible = full.transformed;
            quiet.apply(full.audible.re.data(), full.audible.im.data());
            full.masked = full.audible;
            masking.apply(full.masked.re.data(), full.masked.im.data());
            full.scaled = full.masked;
            quantiser.quantise(full.scaled.re.data(), full.scaled.im.data(), full.scale);
            allocator.allocate(full.allocation, full.scaled.re.data(), full.scaled.im.data());

            reduced.audible = reduced.masked = reduced.scaled = reduced.transformed;
            quantiser.quantise(reduced.scaled.re.data(), reduced.scaled.im.data(), reduced.scale);
            reduced.allocation.fill(15);

            const EncoderFrame* both[2] = {&full, &reduced};
            for (std::size_t p = 0; p < 2; ++p) {
                coded[p][f] = {both[p]->scaled, both[p]->scale, both[p]->allocation};
                if (f % stride == stride / 2 && encoder_[p].size() < kKeptFrames) encoder_[p].push_back(*both[p]);
            }
        }

        folder_ = makeFolder();
        for (std::size_t p = 0; p < 2; ++p) {
            files_[p] = (folder_ / (p == 0 ? "full.zarn" : "reduced.zarn")).string();
            ZarnWriter writer(files_[p].c_str());
            for (int r = 0; r < kFileRepeats; ++r) {
                for (const CodedFrame& c : coded[p]) {
                    writer.writeFrame(c.allocation, c.scale, c.scaled.re.data(), c.scaled.im.data());
                }
            }
            writer.close();
            if (writer.failed()) {
                std::fprintf(stderr, "could not write %s\n", files_[p].c_str());
                std::exit(1);
            }
            readBack(p, frameCount, stride);
        }
    }

    ~Corpus() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    Corpus(const Corpus&) = delete;
    Corpus& operator=(const Corpus&) = delete;

    const std::vector<EncoderFrame>& encoder(Program p) const { return encoder_[index(p)]; }
    const std::vector<DecoderFrame>& decoder(Program p) const { return decoder_[index(p)]; }
    const std::string& file(Program p) const { return files_[index(p)]; }

private:
    static std::filesystem::path makeFolder() {
        std::error_code error;
        std::filesystem::path base = std::filesystem::temp_directory_path(error);
        if (error) base = "/tmp";
        std::string pattern = (base / "zarn-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        return pattern;
    }

    // The decoder's view of the file just written, as Decoder steps through it.
    void readBack(std::size_t p, std::size_t frameCount, std::size_t stride) {
        ZarnReader reader(files_[p].c_str());
        Fft fft(kBlockLength);
        const Quantiser quantiser;
        for (std::size_t f = 0; f < frameCount; ++f) {
            DecoderFrame d;
            if (!reader.readFrame(d.scale, d.read.re.data(), d.read.im.data())) {
                std::fprintf(stderr, "%s ends early\n", files_[p].c_str());
                std::exit(1);
            }
            if (f % stride != stride / 2 || decoder_[p].size() == kKeptFrames) continue;
            d.full = d.read;
            quantiser.dequantise(d.full.re.data(), d.full.im.data(), d.scale);
            fft.mirror(d.full.re.data(), d.full.im.data());
            fft.inverse(d.full.re.data(), d.full.im.data(), d.inverse.data());
            decoder_[p].push_back(d);
        }
    }

    std::vector<EncoderFrame> encoder_[2];
    std::vector<DecoderFrame> decoder_[2];
    std::filesystem::path folder_;
    std::string files_[2];
};

const Corpus& corpus() {
    static const Corpus instance;
    return instance;
}

}  // namespace

const std::vector<EncoderFrame>& encoderFrames(Program program) { return corpus().encoder(program); }
const std::vector<DecoderFrame>& decoderFrames(Program program) { return corpus().decoder(program); }
const std::string& zarnFile(Program program) { return corpus().file(program); }

void countFrames(benchmark::State& state) {
    const auto frames = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["audio_s"] = benchmark::Counter(frames * kHop / kSampleRate, benchmark::Counter::kIsRate);
}

}  // namespace zarn::bench
