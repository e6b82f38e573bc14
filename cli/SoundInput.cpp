#include "cli/SoundInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "cli/FileFailure.h"
#include "cli/Tags.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

// A WAVE's size field of 2 GiB or more is most likely "unknown", as a
// program writing to a pipe writes it (0xFFFFFFFF, or 0x7FFFFFFF): no promise.
constexpr double kUnknownSize = 0x7FFFFFFF;

// Bytes per frame where the samples are stored plainly; 0 where they are not.
std::uint64_t plainFrameBytes(const SF_INFO& info) {
    std::uint64_t width = 0;
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW: width = 1; break;
        case SF_FORMAT_PCM_16: width = 2; break;
        case SF_FORMAT_PCM_24: width = 3; break;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: width = 4; break;
        case SF_FORMAT_DOUBLE: width = 8; break;
        default: break;
    }
    return width * static_cast<std::uint64_t>(info.channels);
}

// Whether the pipe `descriptor` begins with FLAC's "fLaC", seen without
// taking a byte from it: tee(2) copies the bytes waiting in it into a pipe
// of this function's own. False for what is no pipe, and for a stream that
// gives fewer than four bytes within a second.
bool pipeStartsWithFlac(int descriptor) {
    int copy[2];
    if (pipe2(copy, O_CLOEXEC) != 0) return false;
    std::array<char, 4> start{};
    ssize_t seen = 0;
    for (int wait = 0; wait < 1000 && seen < 4; ++wait) {
        const ssize_t count = tee(descriptor, copy[1], start.size(), 0);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        // The copy holds the waiting bytes from the first: read them out, so
        // that the next copy starts at the first again.
        seen = read(copy[0], start.data(), static_cast<std::size_t>(count));
        if (seen < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(copy[0]);
    close(copy[1]);
    return seen >= 4 && std::memcmp(start.data(), "fLaC", 4) == 0;
}

// The two numbers of a line of libsndfile's log such as
// "data : 617400 (should be 99956)", where `label` is "data : ".
bool loggedMismatch(const std::string& log, const char* label, double& said, double& found) {
    const std::size_t at = log.find(std::string("\n") + label);
    if (at == std::string::npos) return false;
    unsigned long long first = 0, second = 0;
    const std::string format = std::string("\n") + label + "%llu (should be %llu)";
    if (std::sscanf(log.c_str() + at, format.c_str(), &first, &second) != 2 || second == 0) return false;
    said = static_cast<double>(first);
    found = static_cast<double>(second);
    return true;
}

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



std::string openFailure(int error) {
    switch (error) {
        case SF_ERR_UNRECOGNISED_FORMAT: return text::tr("is not a sound file that libsndfile knows");
        case SF_ERR_UNSUPPORTED_ENCODING: return text::tr("uses an encoding that libsndfile cannot read");
        case SF_ERR_MALFORMED_FILE: return text::tr("is a damaged sound file");
        default: return text::tr("cannot be read");
    }
}

}  // namespace

std::string channelsName(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return text::format(text::trn("%d channel", "%d channels", static_cast<unsigned long>(channels)), channels);
}

std::string rateName(int rate) {
    // Thousandths, without trailing zeros: 44.1 kHz, 48 kHz, 11.025 kHz.
    int decimals = 3;
    for (int rest = rate % 1000; decimals > 0 && rest % 10 == 0; rest /= 10) --decimals;
    return text::format("%.*f kHz", decimals, rate / 1000.0);
}

// A FLAC stream on a pipe, read for libsndfile through its virtual I/O.
// libsndfile reading a pipe itself cannot go back to the start once it has
// looked at the first bytes to tell the format, and FLAC's decoder starts
// there again; here the first 64 KiB are kept, so it can. A seek beyond
// them fails, as on a pipe, and the length is unknown but large, so that
// libsndfile reads to the stream's end. (Other formats are read by
// libsndfile itself, which knows to skip a WAVE's chunks on a pipe; told a
// stream can seek, it would seek over the samples to look for chunks after
// them.)
class SoundInput::PipeReader {
public:
    explicit PipeReader(int descriptor) : descriptor_(descriptor) {}

    SF_VIRTUAL_IO* io() {
        static SF_VIRTUAL_IO calls{
            [](void*) -> sf_count_t { return sf_count_t{1} << 62; },
            [](sf_count_t offset, int whence, void* user) {
                return static_cast<PipeReader*>(user)->seek(offset, whence);
            },
            [](void* to, sf_count_t count, void* user) { return static_cast<PipeReader*>(user)->read(to, count); },
            nullptr,
            [](void* user) { return static_cast<PipeReader*>(user)->at_; },
        };
        return &calls;
    }

    // Whether the stream has ended, or failed, with every byte given out.
    bool ended() const { return ended_ && at_ >= kept_; }
    int error() const { return error_; }

private:
    sf_count_t read(void* to, sf_count_t count) {
        auto* out = static_cast<std::uint8_t*>(to);
        sf_count_t done = 0;
        while (done < count) {
            if (at_ < kept_) {
                const sf_count_t part = std::min(kept_ - at_, count - done);
                std::memcpy(out + done, start_.data() + at_, static_cast<std::size_t>(part));
                at_ += part;
                done += part;
            } else if (kept_ < kKept) {
                if (!keepMore()) break;
            } else {
                // Past the kept start: straight from the stream.
                const ssize_t got = ::read(descriptor_, out + done, static_cast<std::size_t>(count - done));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) {
                    end(got);
                    break;
                }
                at_ += got;
                done += got;
            }
        }
        return done;
    }

    sf_count_t seek(sf_count_t offset, int whence) {
        const sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? at_ + offset : -1;
        if (target == at_) return at_;
        // Beyond the start no byte is kept: such a seek fails as on a pipe.
        // Within the start, only what is needed is waited for.
        if (target < 0 || at_ > kept_ || target > kKept) return -1;
        while (target > kept_ && keepMore()) {
        }
        if (target > kept_) return -1;
        at_ = target;
        return at_;
    }

    // Reads more of the stream's start; false at its end.
    bool keepMore() {
        for (;;) {
            const ssize_t got = ::read(descriptor_, start_.data() + kept_, static_cast<std::size_t>(kKept - kept_));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return end(got);
            kept_ += got;
            return true;
        }
    }

    bool end(ssize_t got) {
        if (got < 0) error_ = errno;
        ended_ = true;
        return false;
    }

    static constexpr sf_count_t kKept = 1 << 16;

    int descriptor_;
    std::array<std::uint8_t, kKept> start_;    // the stream's first bytes
    sf_count_t kept_ = 0;                      // how many of them have come
    sf_count_t at_ = 0;                        // the position libsndfile reads at
    bool ended_ = false;
    int error_ = 0;
};

// The MP3 decoder under libsndfile reports damage by printing it on
// standard error, as many lines as it finds faults, and then gives what it
// could decode as if nothing had happened; libsndfile has no way to silence
// it or to ask it. While it decodes, standard error is an anonymous file
// here: anything written there is the decoder's complaint.
class SoundInput::Complaints {
public:
    Complaints() : file_(anonymousFile()) {}
    ~Complaints() {
        if (file_ >= 0) close(file_);
    }
    Complaints(const Complaints&) = delete;
    Complaints& operator=(const Complaints&) = delete;

    // Standard error held back for the object's life.
    class Held {
    public:
        explicit Held(const Complaints& complaints) {
            if (complaints.file_ < 0) return;
            std::fflush(stderr);
            saved_ = dup(STDERR_FILENO);
            if (saved_ >= 0) dup2(complaints.file_, STDERR_FILENO);
        }
        ~Held() {
            if (saved_ < 0) return;
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        int saved_ = -1;
    };

    bool any() const {
        struct stat status;
        return file_ >= 0 && fstat(file_, &status) == 0 && status.st_size > 0;
    }

private:
    int file_;
};

SoundInput::SoundInput(const std::string& name, bool hintAtDecoding) : name_(name), hintAtDecoding_(hintAtDecoding) {
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
        if (ownsDescriptor_) close(descriptor_);
        throw FileFailure(inputName(name_), text::tr("is a directory"));
    }
    identity_ = {status.st_dev, status.st_ino};
    try {
        openSound();
    } catch (...) {
        if (file_ != nullptr) sf_close(file_);
        if (ownsDescriptor_) close(descriptor_);
        throw;
    }
}

void SoundInput::openSound() {
    struct stat status;
    streamed_ = fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode) || lseek(descriptor_, 0, SEEK_CUR) < 0;
    complaints_ = std::make_unique<Complaints>();
    {
        const Complaints::Held held(*complaints_);
        if (streamed_ && pipeStartsWithFlac(descriptor_)) {
            pipe_ = std::make_unique<PipeReader>(descriptor_);
            file_ = sf_open_virtual(pipe_->io(), SFM_READ, &info_, pipe_.get());
        } else {
            // libsndfile closes a descriptor it owns when opening fails as
            // well; keeping ownership here closes it exactly once either way.
            file_ = sf_open_fd(descriptor_, SFM_READ, &info_, SF_FALSE);
        }
    }
    if (file_ == nullptr) {
        const int error = sf_error(nullptr);
        // A Zarn file is the likeliest sound libsndfile does not know.
        const bool zarn = hintAtDecoding_ && name_.size() > 5 && name_.compare(name_.size() - 5, 5, ".zarn") == 0;
        const std::string cause = openFailure(error);
        throw FileFailure(inputName(name_), zarn ? text::format(text::tr("%s (-d decodes Zarn files)"), cause.c_str())
                                                 : cause);
    }
    if (info_.channels < 1 || info_.samplerate < 1) {
        throw FileFailure(inputName(name_), text::tr("is a damaged sound file"));
    }
    if ((info_.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG) complaints_.reset();
    throwIfComplaints();
    promised_ = promisedFrames();
}

std::optional<std::uint64_t> SoundInput::promisedFrames() const {
    if (info_.frames <= 0 || info_.frames == SF_COUNT_MAX) return std::nullopt;
    const auto frames = static_cast<std::uint64_t>(info_.frames);
    if (streamed_) {
        // From a pipe, libsndfile counts what the header says. A WAVE's size
        // field may say "unknown".
        const std::uint64_t frameBytes = plainFrameBytes(info_);
        if (static_cast<double>(frames) * static_cast<double>(frameBytes) >= kUnknownSize) return std::nullopt;
        return frames;
    }
    // From a file, libsndfile counts only the frames that are there where a
    // header promises more, and says what the header said in its log alone.
    std::array<char, 4096> text{};
    sf_command(file_, SFC_GET_LOG_INFO, text.data(), static_cast<int>(text.size()));
    const std::string log = text.data();
    double said = 0.0, found = 0.0;
    if (loggedMismatch(log, "data : ", said, found) && said > found && said < kUnknownSize) {
        return static_cast<std::uint64_t>(std::floor(static_cast<double>(frames) * (said / found)));
    }
    unsigned long long commFrames = 0;
    const std::size_t at = log.find("Frame count read from 'COMM' chunk (");
    if (at != std::string::npos &&
        std::sscanf(log.c_str() + at, "Frame count read from 'COMM' chunk (%llu)", &commFrames) == 1 &&
        commFrames > frames) {
        return static_cast<std::uint64_t>(commFrames);
    }
    return frames;
}

SoundInput::~SoundInput() {
    sf_close(file_);
    if (ownsDescriptor_) close(descriptor_);
}

bool SoundInput::allBytesRead() const {
    if (pipe_) return pipe_->ended() && pipe_->error() == 0;
    if (streamed_) return false;
    struct stat status;
    const off_t at = lseek(descriptor_, 0, SEEK_CUR);
    return fstat(descriptor_, &status) == 0 && at >= status.st_size;
}

std::vector<std::string> SoundInput::tags() const { return soundTags(file_); }

std::string SoundInput::truncated() const {
    // An MP3's length is an estimate from its size unless its encoder wrote
    // a tag with the count; its decoder tells of damage instead (Complaints).
    const bool mpeg = (info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    if (mpeg || !ended_ || !promised_ || framesRead_ >= *promised_) return "";
    return text::format(text::tr("expected %llu samples, got %llu samples"),
                        static_cast<unsigned long long>(*promised_), static_cast<unsigned long long>(framesRead_));
}

std::optional<std::uint64_t> SoundInput::frames() const {
    // From a pipe, a WAVE's size fields may say "unknown" (0xFFFFFFFF),
    // which libsndfile reports as a count of its own; only a file that can
    // be sought in has a length to trust.
    if (streamed_ || !info_.seekable || info_.frames <= 0) return std::nullopt;
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

void SoundInput::throwIfComplaints() const {
    if (complaints_ && complaints_->any()) {
        throw FileFailure(inputName(name_), text::tr("is a damaged sound file (errors in the MP3 data)"));
    }
}

std::size_t SoundInput::checked(sf_count_t read, std::size_t asked) {
    throwIfComplaints();
    const bool failed = read < 0 || (read == 0 && sf_error(file_) != SF_ERR_NO_ERROR);
    // A decoder that loses its way at the very end of the bytes (FLAC cut
    // off in a frame) met the end, not damage.
    if (failed && !(promised_ && framesRead_ < *promised_ && allBytesRead())) {
        throw FileFailure(inputName(name_), text::tr("error while reading"));
    }
    const std::size_t frames = failed ? 0 : static_cast<std::size_t>(read);
    framesRead_ += frames;
    if (frames < asked) ended_ = true;
    return frames;
}

std::size_t SoundInput::readShorts(std::int16_t* frames, std::size_t count) {
    sf_count_t got = 0;
    if (complaints_) {
        const Complaints::Held held(*complaints_);
        got = sf_readf_short(file_, frames, static_cast<sf_count_t>(count));
    } else {
        got = sf_readf_short(file_, frames, static_cast<sf_count_t>(count));
    }
    return checked(got, count);
}

std::size_t SoundInput::readDoubles(double* frames, std::size_t count) {
    sf_count_t got = 0;
    if (complaints_) {
        const Complaints::Held held(*complaints_);
        got = sf_readf_double(file_, frames, static_cast<sf_count_t>(count));
    } else {
        got = sf_readf_double(file_, frames, static_cast<sf_count_t>(count));
    }
    const std::size_t read = checked(got, count);
    // libsndfile's full scale is 1.0: integer samples scaled by a power of
    // two, so 16-bit values come out whole. A NaN, which only a float file
    // holds, would come out of the resampler as a burst at full scale.
    const std::size_t values = read * static_cast<std::size_t>(info_.channels);
    for (std::size_t i = 0; i < values; ++i) {
        if (std::isnan(frames[i])) {
            frames[i] = 0.0;
            ++nanSamples_;
        }
        frames[i] *= 32768.0;
    }
    return read;
}

}  // namespace zarn::cli
