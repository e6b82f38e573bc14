#include "cli/Conversions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "cli/DecodedOutput.h"
#include "cli/FileFailure.h"
#include "cli/MonoSource.h"
#include "cli/OutputFile.h"
#include "cli/Progress.h"
#include "cli/SoundInput.h"
#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

struct EncoderRelease {
    void operator()(zarn_encoder* encoder) const { zarn_encoder_destroy(encoder); }
};
struct DecoderRelease {
    void operator()(zarn_decoder* decoder) const { zarn_decoder_destroy(decoder); }
};

// A Zarn input read in 64 KiB blocks, from a name or from standard input.
class ByteInput {
public:
    explicit ByteInput(const std::string& name) : name_(name) {
        if (name == "-") {
            descriptor_ = STDIN_FILENO;
            owned_ = false;
        } else {
            descriptor_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
            if (descriptor_ < 0) throw FileFailure(inputName(name), causeOf(errno, Access::Read));
        }
        struct stat status;
        if (fstat(descriptor_, &status) != 0) fail(errno);
        if (S_ISDIR(status.st_mode)) fail(EISDIR);
        if (S_ISREG(status.st_mode)) size_ = static_cast<std::uint64_t>(status.st_size);
        identity_ = {status.st_dev, status.st_ino};
    }
    ~ByteInput() {
        if (owned_) close(descriptor_);
    }
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    // The next bytes into `block`; 0 at the end.
    std::size_t read(std::array<std::uint8_t, 1 << 16>& block) {
        for (;;) {
            const ssize_t count = ::read(descriptor_, block.data(), block.size());
            if (count >= 0) return static_cast<std::size_t>(count);
            if (errno != EINTR) fail(errno);
        }
    }

    std::optional<std::uint64_t> size() const { return size_; }
    FileIdentity identity() const { return identity_; }

private:
    [[noreturn]] void fail(int error) {
        if (owned_) close(descriptor_);
        owned_ = false;
        throw FileFailure(inputName(name_),
                          error == EISDIR ? text::tr("is a directory") : causeOf(error, Access::Read));
    }

    std::string name_;
    int descriptor_ = -1;
    bool owned_ = true;
    std::optional<std::uint64_t> size_;  // for the progress line, where known
    FileIdentity identity_{};
};

// The library's own texts (zarn_strerror) are English whatever the locale.
const char* libraryCause(int error) {
    switch (error) {
        case ZARN_ERROR_ARGUMENT: return text::tr("invalid argument");
        case ZARN_ERROR_MEMORY: return text::tr("out of memory");
        case ZARN_ERROR_BAD_TAG: return text::tr("frame tag missing: the stream is damaged");
        case ZARN_ERROR_TRUNCATED: return text::tr("the stream ends inside a frame");
        case ZARN_ERROR_OUTPUT: return text::tr("the output function reported a failure");
        case ZARN_ERROR_STATE: return text::tr("the object was finished, has failed, or is in a call already");
        default: return zarn_strerror(error);
    }
}

std::string libraryFailure(int error) {
    return text::format(text::tr("error in the Zarn library: %s"), libraryCause(error));
}

std::string seconds(std::uint64_t samples) {
    return text::format("%.2f s", static_cast<double>(samples) / ZARN_SAMPLE_RATE);
}

// Decodes `input` into `sink` (which returns 0 when it took the samples) and
// counts the samples; throws FileFailure naming the input for a damaged
// stream, or `outputFailure()` for a failed write.
template <typename Sink, typename OutputFailure>
std::uint64_t decodeStream(const std::string& input, ByteInput& bytes, Sink& sink, OutputFailure outputFailure,
                           bool showProgress) {
    struct Target {
        Sink& sink;
        std::uint64_t samples;
    } target{sink, 0};
    int error = ZARN_OK;
    const std::unique_ptr<zarn_decoder, DecoderRelease> decoder(zarn_decoder_create(
        [](void* user, const std::int16_t* samples, std::size_t count) {
            auto* to = static_cast<Target*>(user);
            to->samples += count;
            return to->sink(samples, count);
        },
        &target, &error));
    if (!decoder) throw FileFailure(inputName(input), libraryFailure(error));

    Progress progress(showProgress, inputName(input));
    std::array<std::uint8_t, 1 << 16> block;
    std::uint64_t read = 0;
    const auto check = [&](int status) {
        if (status == ZARN_OK) return;
        const auto at = static_cast<unsigned long long>(zarn_decoder_position(decoder.get()));
        const std::string name = inputName(input);
        if (status == ZARN_ERROR_BAD_TAG) {
            throw FileFailure(name, text::format(text::tr("damaged frame at byte %llu"), at));
        }
        if (status == ZARN_ERROR_TRUNCATED) {
            throw FileFailure(name, text::format(text::tr("the file ends in the middle of a frame at byte %llu"), at));
        }
        if (status == ZARN_ERROR_OUTPUT) outputFailure();
        throw FileFailure(inputName(input), libraryFailure(status));
    };
    for (std::size_t count; (count = bytes.read(block)) > 0;) {
        check(zarn_decoder_write(decoder.get(), block.data(), count));
        read += count;
        progress.update(read, bytes.size(), static_cast<double>(target.samples) / ZARN_SAMPLE_RATE);
    }
    // An empty file holds no stream; the decoder would finish it as one of
    // no frames.
    if (read == 0) throw FileFailure(inputName(input), text::tr("is empty, no Zarn data"));
    check(zarn_decoder_finish(decoder.get()));
    return target.samples;
}

}  // namespace

Outcome encodeFile(const std::string& input, const std::string& output, const Options& options,
                       bool showProgress) {
    SoundInput sound(input);
    OutputFile file(output, options.force, sound.identity());
    MonoSource source(sound, options.dither);
    int error = ZARN_OK;
    const std::unique_ptr<zarn_encoder, EncoderRelease> encoder(zarn_encoder_create(
        options.kind,
        [](void* user, const std::uint8_t* bytes, std::size_t size) {
            return static_cast<OutputFile*>(user)->write(bytes, size) ? 0 : -1;
        },
        &file, &error));
    if (!encoder) throw FileFailure(inputName(input), libraryFailure(error));
    if (options.kind == ZARN_ENCODER_BITRATE) {
        const int status = zarn_encoder_set_bitrate(encoder.get(), options.bitrate);
        if (status != ZARN_OK) throw FileFailure(inputName(input), libraryFailure(status));
    }

    const auto check = [&](int status) {
        if (status == ZARN_ERROR_OUTPUT) throw FileFailure(outputName(output), file.cause());
        if (status != ZARN_OK) throw FileFailure(inputName(input), libraryFailure(status));
    };
    Progress progress(showProgress, inputName(input));
    const double inputRate = sound.sampleRate();
    std::array<std::int16_t, MonoSource::kBlock> block;
    for (std::size_t count; (count = source.read(block.data())) > 0;) {
        check(zarn_encoder_write(encoder.get(), block.data(), count));
        progress.update(source.inputFramesRead(), sound.frames(),
                        static_cast<double>(source.inputFramesRead()) / inputRate);
    }
    check(zarn_encoder_finish(encoder.get()));
    file.commit();

    std::string steps = source.steps();
    if (sound.nanSamples() > 0) {
        const auto nan = static_cast<unsigned long long>(sound.nanSamples());
        steps = text::format(text::trn("%llu NaN sample made silence", "%llu NaN samples made silence",
                                       static_cast<unsigned long>(nan)),
                             nan) +
                (steps.empty() ? "" : ", ") + steps;
    }
    const std::string truncated = sound.truncated();
    return {inputName(input) + " -> " + outputName(output) + ": " + sound.description() +
                (steps.empty() ? "" : "; " + steps),
            truncated.empty() ? ""
                              : text::format(text::tr("%s: warning: the file ends too early; %s"),
                                             inputName(input).c_str(), truncated.c_str())};
}

Outcome decodeFile(const std::string& input, const std::string& output, const Options& options,
                       bool showProgress) {
    ByteInput bytes(input);
    OutputFile file(output, options.force, bytes.identity());
    const std::unique_ptr<DecodedOutput> decoded = openDecodedOutput(file);
    const auto sink = [&decoded](const std::int16_t* samples, std::size_t count) {
        return decoded->write(samples, count) ? 0 : -1;
    };
    const std::uint64_t samples = decodeStream(
        input, bytes, sink, [&] { throw FileFailure(outputName(output), decoded->cause()); }, showProgress);
    decoded->finish();
    file.commit();
    return {text::format(text::tr("%s -> %s: decoded, %s"), inputName(input).c_str(), outputName(output).c_str(),
                         seconds(samples).c_str()),
            ""};
}

Outcome testFile(const std::string& input, bool showProgress) {
    ByteInput bytes(input);
    const auto sink = [](const std::int16_t*, std::size_t) { return 0; };
    const std::uint64_t samples = decodeStream(
        input, bytes, sink, [] {}, showProgress);
    return {text::format(text::tr("%s: ok, %s"), inputName(input).c_str(), seconds(samples).c_str()), ""};
}

}  // namespace zarn::cli
