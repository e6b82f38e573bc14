// The Ogg Zarn calls of libzarn: the encoder that writes pages through the
// caller's write function, the decoder fed bytes as they come, and the file
// read through the caller's read, seek and tell. Each is the container's
// C++ class behind the C interface: no exception crosses it, and every
// failure and every damage becomes a code.

#include <ogg/ogg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "container/OggZarnDecoder.h"
#include "container/OggZarnEncoder.h"
#include "container/OggZarnHeaders.h"
#include "container/OggZarnReader.h"
#include "container/PageSeeker.h"
#include "lib/LibrarySupport.h"
#include "lib/zarn.h"

static_assert(ZARN_MAX_CHANNELS == zarn::kMaxChannels, "the channel count is the container's own");

namespace {

using zarn::library::create;
using zarn::library::GivenSettings;
using zarn::library::report;
using zarn::library::Standing;
using Decoder = zarn::OggZarnDecoder;

int codeFor(Decoder::Damage damage, zarn::HeaderError header) {
    switch (damage) {
        case Decoder::Damage::none: return ZARN_OK;
        case Decoder::Damage::lostSync: return ZARN_ERROR_LOST_SYNC;
        case Decoder::Damage::hole: return ZARN_ERROR_HOLE;
        case Decoder::Damage::badPacket: return ZARN_ERROR_BAD_PACKET;
        case Decoder::Damage::badGranule: return ZARN_ERROR_BAD_GRANULE;
        case Decoder::Damage::truncated: return ZARN_ERROR_CUT_SHORT;
        case Decoder::Damage::badHeader:
            if (header == zarn::HeaderError::version) return ZARN_ERROR_VERSION;
            if (header == zarn::HeaderError::channels) return ZARN_ERROR_CHANNELS;
            return ZARN_ERROR_BAD_HEADER;
    }
    return ZARN_ERROR_BAD_HEADER;
}

// A link's comment header, kept past the reader's next call: the vendor
// and each comment NUL-terminated, one after another, in room made at
// creation for the largest header the reader takes.
class Tags {
public:
    Tags() : text_(new char[zarn::OggZarnReader::kMaxHeaderBytes + 1]) { text_[0] = '\0'; }

    void keep(const zarn::CommentHeader& header) {
        std::size_t at = 0;
        const auto append = [&](std::string_view text) {
            std::memcpy(&text_[at], text.data(), text.size());
            at += text.size();
            text_[at++] = '\0';
        };
        // Every length field of 4 bytes becomes one NUL: the header's size
        // bounds the text's.
        append(header.vendor());
        count_ = 0;
        auto cursor = header.comments();
        for (std::string_view comment; cursor.next(comment); ++count_) append(comment);
        seenIndex_ = -1;
    }

    const char* vendor() const { return &text_[0]; }
    int count() const { return static_cast<int>(count_); }
    // Tag `index`, found from the last one asked for when it lies after it,
    // so that asking for each in turn costs one pass.
    const char* tag(int index) const {
        if (index < 0 || static_cast<std::uint32_t>(index) >= count_) return nullptr;
        if (index <= seenIndex_) {
            seenIndex_ = -1;
            seenAt_ = 0;
        }
        if (seenIndex_ < 0) seenAt_ = std::strlen(&text_[0]) + 1;
        else seenAt_ += std::strlen(&text_[seenAt_]) + 1;
        for (seenIndex_ = seenIndex_ < 0 ? 0 : seenIndex_ + 1; seenIndex_ < index; ++seenIndex_) {
            seenAt_ += std::strlen(&text_[seenAt_]) + 1;
        }
        return &text_[seenAt_];
    }

private:
    std::unique_ptr<char[]> text_;
    std::uint32_t count_ = 0;
    mutable int seenIndex_ = -1;      // the tag last found, -1 for none
    mutable std::size_t seenAt_ = 0;  // where it starts
};

// The first damage met, and how many.
struct DamageSeen {
    zarn_damage first{ZARN_OK, 0, 0};
    std::uint64_t count = 0;

    void note(int kind, std::uint64_t at, std::uint64_t samples) {
        if (count++ == 0) first = zarn_damage{kind, at, samples};
    }
    std::uint64_t tell(zarn_damage* damage) const {
        if (damage != nullptr) *damage = first;
        return count;
    }
};

int codeFor(Decoder::Failure failure, const Decoder& decoder) {
    switch (failure) {
        case Decoder::Failure::none: return ZARN_OK;
        case Decoder::Failure::damage: return codeFor(decoder.damage(), decoder.headerError());
        case Decoder::Failure::noRoom: return ZARN_ERROR_MEMORY;
        case Decoder::Failure::source: return ZARN_ERROR_IO;
    }
    return ZARN_ERROR_IO;
}

zarn_ogg_decoder_settings decoderSettings(const zarn_ogg_decoder_settings* given, bool& known) {
    zarn_ogg_decoder_settings settings;
    zarn_ogg_decoder_settings_init(&settings);
    const GivenSettings<zarn_ogg_decoder_settings> reading(given, settings);
    known = reading.known();
    reading.take(&zarn_ogg_decoder_settings::through_damage, settings);
    return settings;
}

// Finds the last granule of a stream in a file, reading back from its end a
// stretch at a time: the pages of the links after it are passed over.
class LastGranule {
public:
    static constexpr std::size_t kStretch = 2 * 65536;
    static constexpr std::size_t kLongestPage = 27 + 255 + 255 * 255;

    LastGranule() {
        ogg_sync_init(&sync_);
        ready_ = ogg_sync_buffer(&sync_, static_cast<long>(kStretch)) != nullptr;
    }
    ~LastGranule() { ogg_sync_clear(&sync_); }
    LastGranule(const LastGranule&) = delete;
    LastGranule& operator=(const LastGranule&) = delete;

    bool ready() const { return ready_; }

    enum class Found { granule, none, failed };
    Found find(const zarn::ByteSource& source, std::uint64_t size, int serial, std::int64_t& granule) {
        for (std::uint64_t end = size; end > 0;) {
            const std::uint64_t start = end > kStretch ? end - kStretch : 0;
            if (source.seek(source.user, static_cast<std::int64_t>(start)) != 0) return Found::failed;
            ogg_sync_reset(&sync_);
            char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(kStretch));
            std::size_t filled = 0;
            while (filled < end - start) {
                const long read = source.read(source.user, reinterpret_cast<std::uint8_t*>(buffer) + filled,
                                              static_cast<std::size_t>(end - start) - filled);
                if (read < 0) return Found::failed;
                if (read == 0) break;
                filled += static_cast<std::size_t>(read);
            }
            ogg_sync_wrote(&sync_, static_cast<long>(filled));
            bool found = false;
            ogg_page page;
            for (long step; (step = ogg_sync_pageseek(&sync_, &page)) != 0;) {
                if (step < 0 || ogg_page_serialno(&page) != serial || ogg_page_granulepos(&page) < 0) continue;
                granule = ogg_page_granulepos(&page);
                found = true;
            }
            if (found) return Found::granule;
            if (start == 0) break;
            // A page that began before this stretch ends within the next one.
            end = start + kLongestPage;
        }
        return Found::none;
    }

private:
    ogg_sync_state sync_;
    bool ready_ = false;
};

// What both decoders do with a result: keep a link's headers, its length
// and the damage met. `handle` gives ZARN_OK to read on, or the code to
// stop with.
struct DecoderCommon {
    explicit DecoderCommon(const zarn_ogg_decoder_settings& settings)
        : decoder(settings.through_damage != 0), through(settings.through_damage != 0) {}

    int handle(Decoder::Result result) {
        switch (result) {
            case Decoder::Result::header:
                ++links;
                tags.keep(decoder.comments());
                identification = decoder.identification();
                lengthKnown = false;
                return ZARN_OK;
            case Decoder::Result::damaged: {
                // Bytes before any header are no Ogg Zarn, rather than a
                // damaged one.
                const int code = links == 0 && decoder.damage() == Decoder::Damage::lostSync
                                     ? ZARN_ERROR_NOT_ZARN
                                     : codeFor(decoder.damage(), decoder.headerError());
                damage.note(code, decoder.damageAt(), decoder.damageSamples());
                return through ? ZARN_OK : code;
            }
            case Decoder::Result::linkEnd:
                lengthKnown = decoder.lengthKnown();
                length = decoder.length();
                return ZARN_OK;
            case Decoder::Result::failed: return codeFor(decoder.failure(), decoder);
            default: return ZARN_OK;
        }
    }

    Decoder decoder;
    bool through;
    Tags tags;
    zarn::Identification identification{};
    int links = 0;
    bool lengthKnown = false;
    std::uint64_t length = 0;
    DamageSeen damage;
};

}  // namespace

struct zarn_ogg_decoder {
    zarn_ogg_decoder(const zarn_ogg_decoder_settings& settings, zarn_ogg_samples_fn o, void* u)
        : common(settings), output(o), user(u) {}

    int take(Decoder::Result result) {
        if (result != Decoder::Result::samples) return common.handle(result);
        const Decoder& decoder = common.decoder;
        return output(user, decoder.samples(), decoder.frames(), static_cast<int>(decoder.channels()),
                      common.links - 1, decoder.position()) == 0
                   ? ZARN_OK
                   : ZARN_ERROR_OUTPUT;
    }

    DecoderCommon common;
    zarn_ogg_samples_fn output;
    void* user;
    Standing standing;
};

namespace {

// The caller's read, seek and tell as the container's byte source.
struct CallerFile {
    zarn_io_callbacks io;
    void* user;

    static long read(void* file, std::uint8_t* buffer, std::size_t size) {
        const auto* self = static_cast<const CallerFile*>(file);
        return self->io.read(self->user, buffer, size);
    }
    static int seek(void* file, std::int64_t offset) {
        const auto* self = static_cast<const CallerFile*>(file);
        return self->io.seek(self->user, offset, SEEK_SET);
    }
};

}  // namespace

struct zarn_ogg_file {
    zarn_ogg_file(const zarn_ogg_decoder_settings& settings, const zarn_io_callbacks& io, void* user)
        : common(settings), file{io, user} {
        source.user = &file;
        source.read = CallerFile::read;
        source.seek = CallerFile::seek;
    }

    // Reads the headers and the length; ZARN_OK or why not.
    int open() {
        if (!finder.ready()) return ZARN_ERROR_MEMORY;
        if (file.io.seek(file.user, 0, SEEK_END) != 0) return ZARN_ERROR_IO;
        const std::int64_t end = file.io.tell(file.user);
        if (end < 0 || file.io.seek(file.user, 0, SEEK_SET) != 0) return ZARN_ERROR_IO;
        size = static_cast<std::uint64_t>(end);
        while (common.links == 0) {
            const Decoder::Result result = common.decoder.pull(source);
            if (result == Decoder::Result::end) return ZARN_ERROR_NOT_ZARN;
            if (const int code = common.handle(result)) return code;
        }
        // The decoder reads on from where it stopped: the length is found
        // elsewhere in the file, and the file put back.
        const std::int64_t reading = file.io.tell(file.user);
        if (reading < 0) return ZARN_ERROR_IO;
        std::int64_t granule = 0;
        switch (finder.find(source, size, common.decoder.serial(), granule)) {
            case LastGranule::Found::failed: return ZARN_ERROR_IO;
            case LastGranule::Found::none: length = ZARN_ERROR_CUT_SHORT; break;
            case LastGranule::Found::granule:
                length = std::max<std::int64_t>(0, granule - common.identification.preSkip);
                break;
        }
        return file.io.seek(file.user, reading, SEEK_SET) == 0 ? ZARN_OK : ZARN_ERROR_IO;
    }

    // Up to `frames` frames into `out` (which converts each sample), as
    // zarn_ogg_file_read() tells.
    template <class Out>
    long read(std::size_t frames, Out out) {
        if (deferred != ZARN_OK) {
            const int code = deferred;
            deferred = ZARN_OK;
            return code;
        }
        if (const int refusal = standing.refusal()) return refusal;
        const unsigned channels = common.identification.channels;
        std::size_t given = 0;
        const int outcome = standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_IO, [&]() -> int {
            while (given < frames) {
                if (waiting > 0) {
                    const std::size_t take = std::min(waiting, frames - given);
                    out(waitingAt, take * channels, given * channels);
                    waitingAt += take * channels;
                    waiting -= take;
                    given += take;
                    position += take;
                    continue;
                }
                if (ended) break;
                const Decoder::Result result = common.decoder.pull(source);
                if (result == Decoder::Result::samples) {
                    waitingAt = common.decoder.samples();
                    waiting = common.decoder.frames();
                    position = common.decoder.position();
                } else if (result == Decoder::Result::end || result == Decoder::Result::linkEnd ||
                           result == Decoder::Result::header) {
                    // The first link is the file's: what follows it is left.
                    ended = true;
                } else if (const int code = common.handle(result)) {
                    return code;
                }
            }
            return ZARN_OK;
        });
        if (outcome == ZARN_OK) return static_cast<long>(given);
        // The frames read before a failure are given; the failure comes next.
        if (given > 0) {
            deferred = outcome;
            return static_cast<long>(given);
        }
        return outcome;
    }

    int seek(std::uint64_t sample) {
        if (const int refusal = standing.refusal()) return refusal;
        return standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_IO, [&]() -> int {
            if (!common.decoder.seek(source, size, sample)) return ZARN_ERROR_IO;
            waiting = 0;
            position = sample;
            ended = length >= 0 && sample >= static_cast<std::uint64_t>(length);
            deferred = ZARN_OK;
            return ZARN_OK;
        });
    }

    DecoderCommon common;
    CallerFile file;
    zarn::ByteSource source;
    LastGranule finder;
    Standing standing;
    std::uint64_t size = 0;
    std::int64_t length = ZARN_ERROR_CUT_SHORT;
    // Frames decoded and not yet read: `waiting` of them at `waitingAt`.
    const zarn::Sample* waitingAt = nullptr;
    std::size_t waiting = 0;
    std::uint64_t position = 0;
    bool ended = false;       // the first link's samples are all out
    int deferred = ZARN_OK;   // a failure met after frames that were given
};

struct zarn_ogg_encoder {
    zarn_ogg_encoder(const zarn::OggZarnEncoder::Settings& settings, zarn_write_fn w, void* u,
                     std::size_t commentBytes)
        : write(w),
          user(u),
          comments(new std::uint8_t[commentBytes]),
          commentSize(commentBytes),
          encoder(settings, keepPage, this) {}

    static bool keepPage(void* self, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
                         std::size_t bodySize) {
        auto* encoder = static_cast<zarn_ogg_encoder*>(self);
        return encoder->write(encoder->user, header, headerSize) == 0 &&
               encoder->write(encoder->user, body, bodySize) == 0;
    }

    int codeFor(zarn::OggZarnEncoder::Status status) const {
        switch (status) {
            case zarn::OggZarnEncoder::Status::ok: return ZARN_OK;
            case zarn::OggZarnEncoder::Status::output: return ZARN_ERROR_OUTPUT;
            case zarn::OggZarnEncoder::Status::argument: return ZARN_ERROR_ARGUMENT;
            case zarn::OggZarnEncoder::Status::state: return ZARN_ERROR_STATE;
        }
        return ZARN_ERROR_STATE;
    }

    // Writes the headers before the first sample or the end.
    int begin() {
        if (begun) return ZARN_OK;
        begun = true;
        return codeFor(encoder.begin(comments.get(), commentSize));
    }

    zarn_write_fn write;
    void* user;
    std::unique_ptr<std::uint8_t[]> comments;
    std::size_t commentSize;
    zarn::OggZarnEncoder encoder;
    Standing standing;
    bool begun = false;
    // Float samples brought to 16 bits, a stretch at a time.
    std::array<zarn::Sample, zarn::kHopSamples * zarn::kMaxChannels> converted{};
};

namespace {

constexpr char kVendor[] = "libzarn " ZARN_VERSION_STRING;

// [-1, 1) to the 16-bit range: scaled, rounded to nearest, clipped.
zarn::Sample fromFloat(float value) {
    const double scaled = static_cast<double>(value) * 32768.0;
    if (!(scaled == scaled)) return 0;
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<zarn::Sample>(std::lround(scaled));
}

}  // namespace

extern "C" {

void zarn_ogg_decoder_settings_init(zarn_ogg_decoder_settings* settings) noexcept {
    if (settings == nullptr) return;
    *settings = zarn_ogg_decoder_settings{};
    settings->size = sizeof *settings;
}

zarn_ogg_decoder* zarn_ogg_decoder_create(const zarn_ogg_decoder_settings* given, zarn_ogg_samples_fn output,
                                          void* user, int* error) noexcept {
    bool known = false;
    const zarn_ogg_decoder_settings settings = decoderSettings(given, known);
    if (!known) {
        report(ZARN_ERROR_SETTINGS, error);
        return nullptr;
    }
    if (output == nullptr) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    return create<zarn_ogg_decoder>(error, settings, output, user);
}

int zarn_ogg_decoder_write(zarn_ogg_decoder* decoder, const uint8_t* bytes, size_t size) noexcept {
    if (decoder == nullptr || (bytes == nullptr && size > 0)) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    return decoder->standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_OUTPUT, [&]() -> int {
        for (;;) {
            const Decoder::Result result = decoder->common.decoder.next(bytes, size);
            if (result == Decoder::Result::needMore || result == Decoder::Result::end) return ZARN_OK;
            if (const int code = decoder->take(result)) return code;
        }
    });
}

int zarn_ogg_decoder_finish(zarn_ogg_decoder* decoder) noexcept {
    if (decoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    return decoder->standing.feeding(ZARN_STATE_FINISHED, ZARN_ERROR_OUTPUT, [&]() -> int {
        for (;;) {
            const Decoder::Result result = decoder->common.decoder.finish();
            if (result == Decoder::Result::end) break;
            if (const int code = decoder->take(result)) return code;
        }
        return decoder->common.links > 0 ? ZARN_OK : ZARN_ERROR_NOT_ZARN;
    });
}

int zarn_ogg_decoder_channels(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr && decoder->common.links > 0 ? decoder->common.identification.channels : 0;
}

uint32_t zarn_ogg_decoder_original_rate(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr && decoder->common.links > 0 ? decoder->common.identification.originalRate : 0;
}

int zarn_ogg_decoder_links(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr ? decoder->common.links : 0;
}

int64_t zarn_ogg_decoder_length(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr && decoder->common.lengthKnown ? static_cast<int64_t>(decoder->common.length) : -1;
}

const char* zarn_ogg_decoder_vendor(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr && decoder->common.links > 0 ? decoder->common.tags.vendor() : nullptr;
}

int zarn_ogg_decoder_tag_count(const zarn_ogg_decoder* decoder) noexcept {
    return decoder != nullptr && decoder->common.links > 0 ? decoder->common.tags.count() : 0;
}

const char* zarn_ogg_decoder_tag(const zarn_ogg_decoder* decoder, int index) noexcept {
    return decoder != nullptr && decoder->common.links > 0 ? decoder->common.tags.tag(index) : nullptr;
}

uint64_t zarn_ogg_decoder_damage(const zarn_ogg_decoder* decoder, zarn_damage* damage) noexcept {
    if (decoder == nullptr) return DamageSeen{}.tell(damage);
    return decoder->common.damage.tell(damage);
}

int zarn_ogg_decoder_state(const zarn_ogg_decoder* decoder, int* cause) noexcept {
    return zarn::library::stateOf(decoder, cause);
}

void zarn_ogg_decoder_destroy(zarn_ogg_decoder* decoder) noexcept { delete decoder; }

zarn_ogg_file* zarn_ogg_file_open(const zarn_ogg_decoder_settings* given, const zarn_io_callbacks* io, void* user,
                                  int* error) noexcept {
    bool known = false;
    const zarn_ogg_decoder_settings settings = decoderSettings(given, known);
    if (!known) {
        report(ZARN_ERROR_SETTINGS, error);
        return nullptr;
    }
    if (io == nullptr || io->read == nullptr || io->seek == nullptr || io->tell == nullptr) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    zarn_ogg_file* file = create<zarn_ogg_file>(error, settings, *io, user);
    if (file == nullptr) return nullptr;
    const int opened = zarn::library::guarded(ZARN_ERROR_MEMORY, ZARN_ERROR_IO, [&]() -> int { return file->open(); });
    if (opened != ZARN_OK) {
        delete file;
        report(opened, error);
        return nullptr;
    }
    return file;
}

int zarn_ogg_file_channels(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->common.identification.channels : 0;
}

uint32_t zarn_ogg_file_original_rate(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->common.identification.originalRate : 0;
}

int64_t zarn_ogg_file_length(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->length : int64_t{ZARN_ERROR_ARGUMENT};
}

const char* zarn_ogg_file_vendor(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->common.tags.vendor() : nullptr;
}

int zarn_ogg_file_tag_count(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->common.tags.count() : 0;
}

const char* zarn_ogg_file_tag(const zarn_ogg_file* file, int index) noexcept {
    return file != nullptr ? file->common.tags.tag(index) : nullptr;
}

long zarn_ogg_file_read(zarn_ogg_file* file, int16_t* buffer, size_t frames) noexcept {
    if (file == nullptr || (buffer == nullptr && frames > 0)) return ZARN_ERROR_ARGUMENT;
    return file->read(frames, [buffer](const zarn::Sample* from, std::size_t count, std::size_t at) {
        std::copy_n(from, count, buffer + at);
    });
}

long zarn_ogg_file_read_float(zarn_ogg_file* file, float* buffer, size_t frames) noexcept {
    if (file == nullptr || (buffer == nullptr && frames > 0)) return ZARN_ERROR_ARGUMENT;
    return file->read(frames, [buffer](const zarn::Sample* from, std::size_t count, std::size_t at) {
        for (std::size_t i = 0; i < count; ++i) buffer[at + i] = static_cast<float>(from[i]) / 32768.0f;
    });
}

int zarn_ogg_file_seek(zarn_ogg_file* file, uint64_t sample) noexcept {
    if (file == nullptr) return ZARN_ERROR_ARGUMENT;
    return file->seek(sample);
}

uint64_t zarn_ogg_file_position(const zarn_ogg_file* file) noexcept {
    return file != nullptr ? file->position : 0;
}

uint64_t zarn_ogg_file_damage(const zarn_ogg_file* file, zarn_damage* damage) noexcept {
    if (file == nullptr) return DamageSeen{}.tell(damage);
    return file->common.damage.tell(damage);
}

int zarn_ogg_file_state(const zarn_ogg_file* file, int* cause) noexcept { return zarn::library::stateOf(file, cause); }

void zarn_ogg_file_close(zarn_ogg_file* file) noexcept { delete file; }

void zarn_ogg_encoder_settings_init(zarn_ogg_encoder_settings* settings) noexcept {
    if (settings == nullptr) return;
    *settings = zarn_ogg_encoder_settings{};
    settings->size = sizeof *settings;
    settings->channels = 2;
    settings->kbit_per_second = 0;
    settings->original_rate = ZARN_SAMPLE_RATE;
}

zarn_ogg_encoder* zarn_ogg_encoder_create(const zarn_ogg_encoder_settings* given, zarn_write_fn write, void* user,
                                          int* error) noexcept {
    zarn_ogg_encoder_settings settings;
    zarn_ogg_encoder_settings_init(&settings);
    const GivenSettings<zarn_ogg_encoder_settings> reading(given, settings);
    if (!reading.known()) {
        report(ZARN_ERROR_SETTINGS, error);
        return nullptr;
    }
    reading.take(&zarn_ogg_encoder_settings::channels, settings);
    reading.take(&zarn_ogg_encoder_settings::kbit_per_second, settings);
    reading.take(&zarn_ogg_encoder_settings::original_rate, settings);
    reading.take(&zarn_ogg_encoder_settings::serial, settings);
    reading.take(&zarn_ogg_encoder_settings::tags, settings);
    reading.take(&zarn_ogg_encoder_settings::tag_count, settings);
    if (write == nullptr || settings.channels < 1 || settings.channels > ZARN_MAX_CHANNELS ||
        settings.kbit_per_second < 0 || (settings.tags == nullptr && settings.tag_count > 0)) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    zarn::OggZarnEncoder::Settings coding;
    coding.channels = static_cast<unsigned>(settings.channels);
    coding.kbitPerSecond = settings.kbit_per_second > 0
                               ? static_cast<unsigned>(settings.kbit_per_second)
                               : coding.channels * ZARN_OGG_BITRATE_DEFAULT_PER_CHANNEL;
    coding.originalRate = settings.original_rate;
    coding.serial = settings.serial;
    if (!zarn::OggZarnEncoder::valid(coding)) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    // The comment header is built once, here: the tags need not outlive
    // the call.
    zarn_ogg_encoder* encoder = nullptr;
    const int made = zarn::library::guarded(ZARN_ERROR_MEMORY, ZARN_ERROR_ARGUMENT, [&]() -> int {
        std::unique_ptr<std::string_view[]> tags(new std::string_view[settings.tag_count > 0 ? settings.tag_count : 1]);
        for (std::size_t i = 0; i < settings.tag_count; ++i) {
            if (settings.tags[i] == nullptr) return ZARN_ERROR_ARGUMENT;
            tags[i] = settings.tags[i];
        }
        const std::size_t bytes = zarn::commentHeaderBytes(kVendor, tags.get(), settings.tag_count);
        if (bytes > zarn::OggZarnReader::kMaxHeaderBytes) return ZARN_ERROR_BAD_COMMENT;
        std::unique_ptr<zarn_ogg_encoder> made(new zarn_ogg_encoder(coding, write, user, bytes));
        zarn::HeaderError header = zarn::HeaderError::none;
        if (zarn::writeComments(kVendor, tags.get(), settings.tag_count, made->comments.get(), bytes, header) !=
            bytes) {
            return ZARN_ERROR_BAD_COMMENT;
        }
        encoder = made.release();
        return ZARN_OK;
    });
    report(made, error);
    return encoder;
}

int zarn_ogg_encoder_write(zarn_ogg_encoder* encoder, const int16_t* samples, size_t frames) noexcept {
    if (encoder == nullptr || (samples == nullptr && frames > 0)) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    if (frames == 0) return ZARN_OK;
    return encoder->standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_OUTPUT, [&]() -> int {
        if (const int code = encoder->begin()) return code;
        return encoder->codeFor(encoder->encoder.write(samples, frames));
    });
}

int zarn_ogg_encoder_write_float(zarn_ogg_encoder* encoder, const float* samples, size_t frames) noexcept {
    if (encoder == nullptr || (samples == nullptr && frames > 0)) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    if (frames == 0) return ZARN_OK;
    return encoder->standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_OUTPUT, [&]() -> int {
        if (const int code = encoder->begin()) return code;
        const std::size_t channels = encoder->encoder.identification().channels;
        const std::size_t stretch = encoder->converted.size() / channels;
        for (std::size_t at = 0; at < frames; at += stretch) {
            const std::size_t take = std::min(stretch, frames - at);
            for (std::size_t i = 0; i < take * channels; ++i) {
                encoder->converted[i] = fromFloat(samples[at * channels + i]);
            }
            if (const int code = encoder->codeFor(encoder->encoder.write(encoder->converted.data(), take))) {
                return code;
            }
        }
        return ZARN_OK;
    });
}

int zarn_ogg_encoder_finish(zarn_ogg_encoder* encoder) noexcept {
    if (encoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    return encoder->standing.feeding(ZARN_STATE_FINISHED, ZARN_ERROR_OUTPUT, [&]() -> int {
        if (const int code = encoder->begin()) return code;
        return encoder->codeFor(encoder->encoder.finish());
    });
}

uint64_t zarn_ogg_encoder_position(const zarn_ogg_encoder* encoder) noexcept {
    return encoder != nullptr ? encoder->encoder.samples() : 0;
}

int zarn_ogg_encoder_state(const zarn_ogg_encoder* encoder, int* cause) noexcept {
    return zarn::library::stateOf(encoder, cause);
}

void zarn_ogg_encoder_destroy(zarn_ogg_encoder* encoder) noexcept { delete encoder; }

}  // extern "C"
