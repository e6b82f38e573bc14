#include "cli/SoundInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/FileFailure.h"

namespace zarn::cli {
namespace {

std::string formatName(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV: return "WAVE";
        case SF_FORMAT_WAVEX: return "WAVE (extensible)";
        case SF_FORMAT_RF64: return "RF64";
        case SF_FORMAT_W64: return "Wave64";
        case SF_FORMAT_AIFF: return "AIFF";
        case SF_FORMAT_FLAC: return "FLAC";
        case SF_FORMAT_CAF: return "CAF";
        case SF_FORMAT_OGG:
            return subtype == SF_FORMAT_OPUS ? "Ogg Opus" : subtype == SF_FORMAT_VORBIS ? "Ogg Vorbis" : "Ogg";
        case SF_FORMAT_MPEG: return subtype == SF_FORMAT_MPEG_LAYER_III ? "MP3" : "MPEG";
        default: break;
    }
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) return info.name;
    return text::tr("sound");
}

// The sample width where the file has one; compressed formats have none.
std::string widthName(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return "8 bit";
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_ALAC_16: return "16 bit";
        case SF_FORMAT_ALAC_20: return "20 bit";
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_ALAC_24: return "24 bit";
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32: return "32 bit";
        case SF_FORMAT_FLOAT: return text::tr("32 bit float");
        case SF_FORMAT_DOUBLE: return text::tr("64 bit float");
        case SF_FORMAT_ULAW: return "u-law";
        case SF_FORMAT_ALAW: return "A-law";
        default: return "";
    }
}

std::string channelsName(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return text::format(text::trn("%d channel", "%d channels", static_cast<unsigned long>(channels)), channels);
}


std::string openFailure(int error) {
    switch (error) {
        case SF_ERR_UNRECOGNISED_FORMAT: return text::tr("is not a sound file that libsndfile knows");
        case SF_ERR_UNSUPPORTED_ENCODING: return text::tr("uses an encoding that libsndfile cannot read");
        case SF_ERR_MALFORMED_FILE: return text::tr("is a damaged sound file");
        default: return text::tr("cannot be read");
    }
}

}  // namespace

std::string rateName(int rate) {
    // Thousandths, without trailing zeros: 44.1 kHz, 48 kHz, 11.025 kHz.
    int decimals = 3;
    for (int rest = rate % 1000; decimals > 0 && rest % 10 == 0; rest /= 10) --decimals;
    return text::format("%.*f kHz", decimals, rate / 1000.0);
}

SoundInput::SoundInput(const std::string& name) : name_(name) {
    if (name == "-") {
        descriptor_ = STDIN_FILENO;
        ownsDescriptor_ = false;
    } else {
        descriptor_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor_ < 0) throw FileFailure(inputName(name_), causeOf(errno, Access::Read));
    }
    struct stat status;
    if (fstat(descriptor_, &status) != 0) throw FileFailure(inputName(name_), causeOf(errno, Access::Read));
    if (S_ISDIR(status.st_mode)) {
        close(descriptor_);
        throw FileFailure(inputName(name_), text::tr("is a directory"));
    }
    identity_ = {status.st_dev, status.st_ino};
    // libsndfile closes a descriptor it owns when opening fails as well;
    // keeping ownership here closes it exactly once either way.
    file_ = sf_open_fd(descriptor_, SFM_READ, &info_, SF_FALSE);
    if (file_ == nullptr) {
        const int error = sf_error(nullptr);
        if (ownsDescriptor_) close(descriptor_);
        // A Zarn file is the likeliest sound libsndfile does not know.
        const bool zarn = name.size() > 5 && name.compare(name.size() - 5, 5, ".zarn") == 0;
        const std::string cause = openFailure(error);
        throw FileFailure(inputName(name_), zarn ? text::format(text::tr("%s (-d decodes Zarn files)"), cause.c_str())
                                                 : cause);
    }
    if (info_.channels < 1 || info_.samplerate < 1) {
        sf_close(file_);
        if (ownsDescriptor_) close(descriptor_);
        throw FileFailure(inputName(name_), text::tr("is a damaged sound file"));
    }
}

SoundInput::~SoundInput() {
    sf_close(file_);
    if (ownsDescriptor_) close(descriptor_);
}

std::optional<std::uint64_t> SoundInput::frames() const {
    // From a pipe, a WAVE's size fields may say "unknown" (0xFFFFFFFF),
    // which libsndfile reports as a count of its own; only a file that can
    // be sought in has a length to trust.
    if (!info_.seekable || info_.frames <= 0) return std::nullopt;
    return static_cast<std::uint64_t>(info_.frames);
}

bool SoundInput::narrow() const {
    switch (info_.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
        case SF_FORMAT_IMA_ADPCM:
        case SF_FORMAT_MS_ADPCM:
        case SF_FORMAT_GSM610:
        case SF_FORMAT_VOX_ADPCM:
        case SF_FORMAT_G721_32:
        case SF_FORMAT_G723_24:
        case SF_FORMAT_G723_40:
        case SF_FORMAT_DWVW_12:
        case SF_FORMAT_DWVW_16:
        case SF_FORMAT_DPCM_8:
        case SF_FORMAT_DPCM_16:
        case SF_FORMAT_ALAC_16: return true;
        default: return false;
    }
}

std::string SoundInput::description() const {
    std::string text = formatName(info_.format) + ", " + channelsName(info_.channels) + ", " +
                       rateName(info_.samplerate);
    const std::string width = widthName(info_.format & SF_FORMAT_SUBMASK);
    return width.empty() ? text : text + ", " + width;
}

std::size_t SoundInput::checked(sf_count_t read) {
    if (read < 0 || (read == 0 && sf_error(file_) != SF_ERR_NO_ERROR)) {
        throw FileFailure(inputName(name_), text::tr("error while reading"));
    }
    return static_cast<std::size_t>(read);
}

std::size_t SoundInput::readShorts(std::int16_t* frames, std::size_t count) {
    return checked(sf_readf_short(file_, frames, static_cast<sf_count_t>(count)));
}

std::size_t SoundInput::readDoubles(double* frames, std::size_t count) {
    const std::size_t read = checked(sf_readf_double(file_, frames, static_cast<sf_count_t>(count)));
    // libsndfile's full scale is 1.0: integer samples scaled by a power of
    // two, so 16-bit values come out whole.
    const std::size_t values = read * static_cast<std::size_t>(info_.channels);
    for (std::size_t i = 0; i < values; ++i) frames[i] *= 32768.0;
    return read;
}

}  // namespace zarn::cli
