// The C interface of libzarn over the streaming coder. Everything C++ stays
// behind it: no exception crosses it, and every failure becomes a code.

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "common/EncodedFrame.h"
#include "decoder/FullSynthesis.h"
#include "decoder/StreamDecoder.h"
#include "encoder/FullAnalysis.h"
#include "encoder/StreamEncoder.h"
#include "lib/LibrarySupport.h"
#include "lib/zarn.h"
#include "rate/RateEncoder.h"
#include "reduced/ReducedAnalysis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

static_assert(ZARN_SAMPLE_RATE == zarn::kSampleRate && ZARN_FRAME_SAMPLES == zarn::kHop &&
                  ZARN_MAX_FRAME_BYTES == zarn::kMaxFrameBytes && ZARN_MIN_FRAME_BYTES == zarn::kMinFrameBytes &&
                  ZARN_BANDS == zarn::kBandCount,
              "the public constants are the codec's own");
static_assert(ZARN_BITRATE_MIN == zarn::RateEncoder::kLowestBitrate &&
                  ZARN_BITRATE_MAX == zarn::RateEncoder::kHighestBitrate &&
                  ZARN_BITRATE_DEFAULT == zarn::RateEncoder::kDefaultBitrate,
              "the bit rates are the rate encoder's own");

namespace {

// What an encoder does, whichever analysis it was made with.
class EncoderCore {
public:
    virtual ~EncoderCore() = default;
    virtual bool write(const zarn::Sample* samples, std::size_t count) = 0;
    virtual bool finish() = 0;
    // False for an encoder without a bit rate.
    virtual bool setBitrate(unsigned) { return false; }
};

// The caller's write function as the streaming coder's output.
struct ByteSink {
    zarn_write_fn write;
    void* user;
    bool operator()(const std::uint8_t* bytes, std::size_t size) const { return write(user, bytes, size) == 0; }
};

template <class Core>
class EncoderOf final : public EncoderCore {
public:
    explicit EncoderOf(ByteSink sink) : sink_(sink) {}
    bool write(const zarn::Sample* samples, std::size_t count) override { return stream_.write(samples, count, sink_); }
    bool finish() override { return stream_.finish(sink_); }
    bool setBitrate(unsigned kbitPerSecond) override {
        if constexpr (std::is_same_v<Core, zarn::RateEncoder>) {
            stream_.core().setBitrate(kbitPerSecond);
            return true;
        }
        return false;
    }

private:
    ByteSink sink_;
    zarn::StreamEncoderOf<Core> stream_;
};

struct SampleSink {
    zarn_samples_fn output;
    void* user;
    bool operator()(const zarn::Sample* samples, std::size_t count) const { return output(user, samples, count) == 0; }
};

using zarn::library::create;
using zarn::library::GivenSettings;
using zarn::library::guarded;
using zarn::library::report;
using zarn::library::Standing;

using DecoderStatus = zarn::StreamDecoder<zarn::FullSynthesis>::Status;

int codeFor(DecoderStatus status) {
    switch (status) {
        case DecoderStatus::ok: return ZARN_OK;
        case DecoderStatus::badTag: return ZARN_ERROR_BAD_TAG;
        case DecoderStatus::truncated: return ZARN_ERROR_TRUNCATED;
        case DecoderStatus::refused: return ZARN_ERROR_OUTPUT;
    }
    return ZARN_ERROR_STATE;
}

}  // namespace

struct zarn_encoder {
    explicit zarn_encoder(EncoderCore* c) : core(c) {}
    ~zarn_encoder() { delete core; }
    zarn_encoder(const zarn_encoder&) = delete;
    zarn_encoder& operator=(const zarn_encoder&) = delete;

    EncoderCore* core;  // the streaming encoder of the kind asked for
    Standing standing;
    bool written = false;  // whether samples have reached it
};

struct zarn_decoder {
    explicit zarn_decoder(SampleSink s) : sink(s) {}

    SampleSink sink;
    zarn::StreamDecoder<zarn::FullSynthesis> stream;
    Standing standing;
};

namespace zarn::library {

bool takeEncoderSettings(const zarn_encoder_settings* given, zarn_encoder_settings& settings, int* error) {
    zarn_encoder_settings_init(&settings);
    const GivenSettings<zarn_encoder_settings> reading(given, settings);
    if (!reading.known()) {
        report(ZARN_ERROR_SETTINGS, error);
        return false;
    }
    reading.take(&zarn_encoder_settings::kind, settings);
    reading.take(&zarn_encoder_settings::kbit_per_second, settings);
    // A rate of 0 (a struct zeroed but for its size) is the default; only
    // the bit-rate kind has one to check.
    if (settings.kbit_per_second == 0) settings.kbit_per_second = ZARN_BITRATE_DEFAULT;
    if (settings.kind == ZARN_ENCODER_BITRATE &&
        (settings.kbit_per_second < ZARN_BITRATE_MIN || settings.kbit_per_second > ZARN_BITRATE_MAX)) {
        report(ZARN_ERROR_ARGUMENT, error);
        return false;
    }
    return true;
}

}  // namespace zarn::library

extern "C" {

const char* zarn_strerror(int error) noexcept {
    switch (error) {
        case ZARN_OK: return "no error";
        case ZARN_ERROR_ARGUMENT: return "invalid argument";
        case ZARN_ERROR_MEMORY: return "out of memory";
        case ZARN_ERROR_BAD_TAG: return "frame tag missing: the stream is damaged";
        case ZARN_ERROR_TRUNCATED: return "the stream ends inside a frame";
        case ZARN_ERROR_OUTPUT: return "the output function reported a failure";
        case ZARN_ERROR_STATE: return "the call comes out of order";
        case ZARN_ERROR_FINISHED: return "the object was finished already";
        case ZARN_ERROR_FAILED: return "the object failed before";
        case ZARN_ERROR_BUSY: return "the object is in a call already: called from its own callback";
        case ZARN_ERROR_SETTINGS: return "settings of a size this library does not know";
        case ZARN_ERROR_LOST_SYNC: return "bytes that are no valid Ogg page: a bad CRC or a cut";
        case ZARN_ERROR_HOLE: return "pages of the stream are missing";
        case ZARN_ERROR_BAD_PACKET: return "an audio packet that does not parse";
        case ZARN_ERROR_BAD_GRANULE: return "a page's granule position contradicts the packets before it";
        case ZARN_ERROR_CUT_SHORT: return "the stream ends without its last page";
        case ZARN_ERROR_BAD_HEADER: return "an Ogg Zarn header that does not read";
        case ZARN_ERROR_VERSION: return "an Ogg Zarn mapping version this library does not know";
        case ZARN_ERROR_CHANNELS: return "a channel count of 0 or more than 8";
        case ZARN_ERROR_NOT_ZARN: return "no Ogg Zarn stream in the input";
        case ZARN_ERROR_IO: return "the read, seek or tell function failed";
        case ZARN_ERROR_BAD_COMMENT: return "a tag that is not NAME=value with a NAME of printable ASCII";
        default: return "unknown error";
    }
}

const char* zarn_version(void) noexcept { return ZARN_VERSION_STRING; }

void zarn_encoder_settings_init(zarn_encoder_settings* settings) noexcept {
    if (settings == nullptr) return;
    *settings = zarn_encoder_settings{};
    settings->size = sizeof *settings;
    settings->kind = ZARN_ENCODER_BITRATE;
    settings->kbit_per_second = ZARN_BITRATE_DEFAULT;
}

zarn_encoder* zarn_encoder_create_with(const zarn_encoder_settings* given, zarn_write_fn write, void* user,
                                       int* error) noexcept {
    zarn_encoder_settings settings;
    if (!zarn::library::takeEncoderSettings(given, settings, error)) return nullptr;
    zarn_encoder* encoder = zarn_encoder_create(settings.kind, write, user, error);
    if (encoder != nullptr && settings.kind == ZARN_ENCODER_BITRATE) {
        encoder->core->setBitrate(static_cast<unsigned>(settings.kbit_per_second));
    }
    return encoder;
}

int zarn_encoder_state(const zarn_encoder* encoder, int* cause) noexcept { return zarn::library::stateOf(encoder, cause); }

zarn_encoder* zarn_encoder_create(int kind, zarn_write_fn write, void* user, int* error) noexcept {
    if (write == nullptr) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    // The kind stays an int until it is known to be one of the enumeration:
    // a C caller may pass any value, which a zarn_encoder_kind cannot hold.
    const ByteSink sink{write, user};
    EncoderCore* core = nullptr;
    switch (kind) {
        case ZARN_ENCODER_FULL: core = create<EncoderOf<zarn::FrameEncoder<zarn::FullAnalysis>>>(error, sink); break;
        case ZARN_ENCODER_REDUCED:
            core = create<EncoderOf<zarn::FrameEncoder<zarn::ReducedAnalysis>>>(error, sink);
            break;
        case ZARN_ENCODER_BITRATE: core = create<EncoderOf<zarn::RateEncoder>>(error, sink); break;
        default: report(ZARN_ERROR_ARGUMENT, error); return nullptr;
    }
    if (core == nullptr) return nullptr;
    zarn_encoder* encoder = create<zarn_encoder>(error, core);
    if (encoder == nullptr) delete core;
    return encoder;
}

int zarn_encoder_set_bitrate(zarn_encoder* encoder, int kbitPerSecond) noexcept {
    if (encoder == nullptr || kbitPerSecond < ZARN_BITRATE_MIN || kbitPerSecond > ZARN_BITRATE_MAX)
        return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    if (encoder->written) return ZARN_ERROR_STATE;
    return guarded(ZARN_ERROR_ARGUMENT, ZARN_ERROR_ARGUMENT, [&] {
        return encoder->core->setBitrate(static_cast<unsigned>(kbitPerSecond)) ? ZARN_OK : ZARN_ERROR_ARGUMENT;
    });
}

int zarn_encoder_write(zarn_encoder* encoder, const int16_t* samples, size_t count) noexcept {
    if (encoder == nullptr || (samples == nullptr && count > 0)) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    if (count == 0) return ZARN_OK;
    encoder->written = true;
    return encoder->standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_OUTPUT,
                   [&] { return encoder->core->write(samples, count) ? ZARN_OK : ZARN_ERROR_OUTPUT; });
}

int zarn_encoder_finish(zarn_encoder* encoder) noexcept {
    if (encoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = encoder->standing.refusal()) return refusal;
    return encoder->standing.feeding(ZARN_STATE_FINISHED, ZARN_ERROR_OUTPUT,
                   [&] { return encoder->core->finish() ? ZARN_OK : ZARN_ERROR_OUTPUT; });
}

void zarn_encoder_destroy(zarn_encoder* encoder) noexcept { delete encoder; }

zarn_decoder* zarn_decoder_create(zarn_samples_fn output, void* user, int* error) noexcept {
    if (output == nullptr) {
        report(ZARN_ERROR_ARGUMENT, error);
        return nullptr;
    }
    return create<zarn_decoder>(error, SampleSink{output, user});
}

void zarn_decoder_settings_init(zarn_decoder_settings* settings) noexcept {
    if (settings == nullptr) return;
    *settings = zarn_decoder_settings{};
    settings->size = sizeof *settings;
}

zarn_decoder* zarn_decoder_create_with(const zarn_decoder_settings* given, zarn_samples_fn output, void* user,
                                       int* error) noexcept {
    zarn_decoder_settings settings;
    zarn_decoder_settings_init(&settings);
    if (!GivenSettings<zarn_decoder_settings>(given, settings).known()) {
        report(ZARN_ERROR_SETTINGS, error);
        return nullptr;
    }
    return zarn_decoder_create(output, user, error);
}

int zarn_decoder_state(const zarn_decoder* decoder, int* cause) noexcept { return zarn::library::stateOf(decoder, cause); }

int zarn_decoder_write(zarn_decoder* decoder, const uint8_t* bytes, size_t size) noexcept {
    if (decoder == nullptr || (bytes == nullptr && size > 0)) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    if (size == 0) return ZARN_OK;
    return decoder->standing.feeding(ZARN_STATE_OPEN, ZARN_ERROR_OUTPUT,
                   [&] { return codeFor(decoder->stream.write(bytes, size, decoder->sink)); });
}

int zarn_decoder_finish(zarn_decoder* decoder) noexcept {
    if (decoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    return decoder->standing.feeding(ZARN_STATE_FINISHED, ZARN_ERROR_OUTPUT, [&] { return codeFor(decoder->stream.finish(decoder->sink)); });
}

uint64_t zarn_decoder_position(const zarn_decoder* decoder) noexcept {
    return decoder != nullptr ? decoder->stream.position() : 0;
}

void zarn_decoder_destroy(zarn_decoder* decoder) noexcept { delete decoder; }

int zarn_frame_read_info(const uint8_t* bytes, size_t size, zarn_frame_info* info) noexcept {
    if ((bytes == nullptr && size > 0) || info == nullptr) return ZARN_ERROR_ARGUMENT;
    zarn::EncodedFrame frame;
    const zarn::Unpacked unpacked = zarn::unpackFrame(bytes, size, frame);
    if (unpacked.outcome == zarn::Unpacked::Outcome::badTag) return ZARN_ERROR_BAD_TAG;
    info->bytes = unpacked.bytes;
    for (std::size_t band = 0; band < zarn::kBandCount; ++band) {
        info->bits[band] = frame.allocation[band];
        info->scale[band] = frame.scale[band];
    }
    return unpacked.outcome == zarn::Unpacked::Outcome::frame ? ZARN_OK : ZARN_ERROR_TRUNCATED;
}

}  // extern "C"
