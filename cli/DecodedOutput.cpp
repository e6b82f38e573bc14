#include "cli/DecodedOutput.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>

#include "cli/FileFailure.h"
#include "lib/zarn.h"
#include "wave/WaveHeader.h"

namespace zarn::cli {
namespace {

// The RIFF size counts the 36 bytes of the header after it as well.
constexpr std::uint64_t kMostWaveDataBytes = 0xFFFFFFFFu - 36;

class WaveOutput final : public DecodedOutput {
public:
    explicit WaveOutput(OutputFile& file) : file_(file) {
        const WaveHeader header = decodedWaveHeader(file.seekable() ? std::optional<std::uint64_t>(0) : std::nullopt);
        file_.write(header.data(), header.size());
    }

    bool write(const std::int16_t* samples, std::size_t count) noexcept override {
        while (count > 0) {
            const std::size_t part = std::min(count, bytes_.size() / 2);
            for (std::size_t i = 0; i < part; ++i) {
                const auto value = static_cast<std::uint16_t>(samples[i]);
                bytes_[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
                bytes_[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
            }
            if (!file_.write(bytes_.data(), 2 * part)) return false;
            dataBytes_ += 2 * part;
            samples += part;
            count -= part;
        }
        return true;
    }

    void finish() override {
        if (file_.seekable()) {
            const WaveHeader header = decodedWaveHeader(dataBytes_);
            file_.rewrite(0, header.data(), header.size());
        }
        if (!file_.flush()) throw FileFailure(outputName(file_.name()), file_.cause());
    }

    std::string cause() const override { return file_.cause(); }

private:
    OutputFile& file_;
    std::uint64_t dataBytes_ = 0;
    std::array<std::uint8_t, 8192> bytes_;  // little-endian samples on their way to the file
};

// libsndfile writes and seeks on the output's descriptor itself.
class SndfileOutput final : public DecodedOutput {
public:
    SndfileOutput(OutputFile& file, int format) : file_(file) {
        SF_INFO info{};
        info.samplerate = ZARN_SAMPLE_RATE;
        info.channels = 1;
        info.format = format | SF_FORMAT_PCM_16;
        sndfile_ = sf_open_fd(file.descriptor(), SFM_WRITE, &info, SF_FALSE);
        if (sndfile_ == nullptr) throw FileFailure(outputName(file.name()), text::tr("cannot be written"));
    }
    ~SndfileOutput() override { sf_close(sndfile_); }
    SndfileOutput(const SndfileOutput&) = delete;
    SndfileOutput& operator=(const SndfileOutput&) = delete;

    bool write(const std::int16_t* samples, std::size_t count) noexcept override {
        errno = 0;
        if (sf_writef_short(sndfile_, samples, static_cast<sf_count_t>(count)) == static_cast<sf_count_t>(count))
            return true;
        if (error_ == 0) error_ = errno != 0 ? errno : EIO;
        return false;
    }

    void finish() override {
        errno = 0;
        const int status = sf_close(sndfile_);
        sndfile_ = nullptr;
        if (status != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
        if (error_ != 0) throw FileFailure(outputName(file_.name()), cause());
    }

    std::string cause() const override { return causeOf(error_, Access::Write); }

private:
    OutputFile& file_;
    SNDFILE* sndfile_ = nullptr;
    int error_ = 0;  // errno of the first failed write
};

bool endsWith(const std::string& name, const char* ending) {
    const std::string suffix = ending;
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

WaveHeader decodedWaveHeader(std::optional<std::uint64_t> dataBytes) {
    WaveHeader header = waveHeader(dataBytes.value_or(0));
    if (!dataBytes || *dataBytes > kMostWaveDataBytes) {
        storeLittle32(&header[kWaveRiffSizeOffset], 0xFFFFFFFFu);
        storeLittle32(&header[kWaveDataSizeOffset], 0xFFFFFFFFu);
    }
    return header;
}

std::unique_ptr<DecodedOutput> openDecodedOutput(OutputFile& file) {
    const std::string& name = file.name();
    if (endsWith(name, ".flac")) return std::make_unique<SndfileOutput>(file, SF_FORMAT_FLAC);
    if (endsWith(name, ".aiff") || endsWith(name, ".aif")) return std::make_unique<SndfileOutput>(file, SF_FORMAT_AIFF);
    return std::make_unique<WaveOutput>(file);
}

}  // namespace zarn::cli
