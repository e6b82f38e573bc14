#include "cli/DecodedOutput.h"

#include <sndfile.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "cli/ChannelOrder.h"
#include "cli/FileFailure.h"
#include "cli/OutputFormat.h"
#include "lib/zarn.h"
#include "text/Translation.h"
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
    // A decode that failed half-way to a file written in place (standard
    // output redirected to one) leaves what it wrote, and readers believe
    // the header's sizes: they are made to hold the whole samples that are
    // there. A temporary file goes anyway.
    ~WaveOutput() override {
        if (finished_ || !file_.seekable()) return;
        file_.flush();
        const std::optional<std::uint64_t> inFile = file_.bytesInFile();
        const std::uint64_t headerBytes = WaveHeader().size();
        if (!inFile || *inFile < headerBytes) return;
        const WaveHeader header = decodedWaveHeader((*inFile - headerBytes) & ~std::uint64_t{1});
        file_.patch(0, header.data(), header.size());
    }
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

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
        finished_ = true;
    }

    std::string cause() const override { return file_.cause(); }

private:
    OutputFile& file_;
    bool finished_ = false;
    std::uint64_t dataBytes_ = 0;
    std::array<std::uint8_t, 8192> bytes_;  // little-endian samples on their way to the file
};

// libsndfile writes and seeks on the output's descriptor itself. Where that
// cannot seek (a pipe), the file is made in an anonymous file and copied
// out at the end: libsndfile completes a FLAC's or an AIFF's header by
// seeking back to it, which on a pipe fails and puts the header's bytes at
// the end of the stream instead.
class SndfileOutput final : public DecodedOutput {
public:
    SndfileOutput(OutputFile& file, int format, const SoundShape& shape) : file_(file) {
        int descriptor = file.descriptor();
        if (!file.seekable()) {
            staging_ = anonymousFile();
            if (staging_ < 0) throw FileFailure(outputName(file.name()), causeOf(errno, Access::CreateTemporary));
            descriptor = staging_;
        }
        SF_INFO info{};
        info.samplerate = shape.rate;
        info.channels = static_cast<int>(shape.channels);
        info.format = format;
        sndfile_ = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
        if (sndfile_ == nullptr) {
            if (staging_ >= 0) close(staging_);
            throw FileFailure(outputName(file.name()), text::tr("cannot be written"));
        }
        if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS || (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
            // Lossy: the best libsndfile's encoders offer.
            double quality = 1.0;
            sf_command(sndfile_, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
        }
        if (shape.channels > 2) {
            std::array<int, kMaxChannels> speakers = waveSpeakers(shape.channels);
            sf_command(sndfile_, SFC_SET_CHANNEL_MAP_INFO, speakers.data(),
                       static_cast<int>(sizeof(int) * shape.channels));
        }
        // Before the first sample, as libsndfile needs; a tag the format has
        // no room for is left out.
        for (const auto& [kind, value] : shape.tags) sf_set_string(sndfile_, kind, value.c_str());
    }
    ~SndfileOutput() override {
        sf_close(sndfile_);
        if (staging_ >= 0) close(staging_);
    }
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
        if (staging_ >= 0) copyStaged();
    }

    std::string cause() const override { return causeOf(error_, Access::Write); }

private:
    void copyStaged() {
        if (lseek(staging_, 0, SEEK_SET) != 0) {
            throw FileFailure(outputName(file_.name()), causeOf(errno, Access::Write));
        }
        for (;;) {
            const ssize_t count = read(staging_, copy_.data(), copy_.size());
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) throw FileFailure(outputName(file_.name()), causeOf(errno, Access::Write));
            if (count == 0) break;
            if (!file_.write(copy_.data(), static_cast<std::size_t>(count))) {
                throw FileFailure(outputName(file_.name()), file_.cause());
            }
        }
        if (!file_.flush()) throw FileFailure(outputName(file_.name()), file_.cause());
    }

    OutputFile& file_;
    SNDFILE* sndfile_ = nullptr;
    int error_ = 0;     // errno of the first failed write
    int staging_ = -1;  // the anonymous file written in place of a pipe
    std::array<std::uint8_t, 1 << 16> copy_;
};

}  // namespace

WaveHeader decodedWaveHeader(std::optional<std::uint64_t> dataBytes) {
    WaveHeader header = waveHeader(dataBytes.value_or(0));
    if (!dataBytes || *dataBytes > kMostWaveDataBytes) {
        storeLittle32(&header[kWaveRiffSizeOffset], 0xFFFFFFFFu);
        storeLittle32(&header[kWaveDataSizeOffset], 0xFFFFFFFFu);
    }
    return header;
}

std::unique_ptr<DecodedOutput> openDecodedOutput(OutputFile& file, const SoundShape& shape) {
    int format = file.name() == "-" ? 0 : decodedFormat(file.name());
    // The call was refused before any file was touched.
    if (format < 0) {
        throw FileFailure(outputName(file.name()), text::tr("cannot be written in the format its name says"));
    }
    if (format == 0) {
        if (shape.channels == 1 && shape.rate == ZARN_SAMPLE_RATE && shape.tags.empty()) {
            return std::make_unique<WaveOutput>(file);
        }
        format = (shape.channels > 2 ? SF_FORMAT_WAVEX : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    }
    return std::make_unique<SndfileOutput>(file, format, shape);
}

}  // namespace zarn::cli
