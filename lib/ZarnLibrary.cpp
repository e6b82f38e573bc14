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

// Where an object stands: it takes input until it fails or is finished.
// While a call is handing out its output the object is busy: a call back
// into it from the caller's output function would refill the very buffer
// being handed out, or end the stream under the call, so it is refused.
enum class State { open, busy, failed, finished };

int report(int error, int* to) {
    if (to != nullptr) *to = error;
    return error;
}

// Runs `body`, which returns a code, so that no exception leaves the C
// interface: a lack of memory becomes `memory`, anything else `other`.
template <class Body>
int guarded(int memory, int other, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return memory;
    } catch (...) {
        return other;
    }
}

// Runs a call that feeds an object's stream and hands out its output, with
// the object busy meanwhile; it fails for good unless the call returns
// ZARN_OK. The codec throws nothing once an object is made, so what is
// thrown comes from a C++ output function of the caller's, and counts as its
// failure.
template <class Feed>
int feeding(State& state, State success, Feed&& feed) noexcept {
    state = State::busy;
    const int outcome = guarded(ZARN_ERROR_OUTPUT, ZARN_ERROR_OUTPUT, std::forward<Feed>(feed));
    state = outcome == ZARN_OK ? success : State::failed;
    return outcome;
}

// Creates a T, or reports why not. T's constructor may build the codec's
// process-wide tables, which allocate the first time, and its checks of its
// settings report through an exception (see LibraryFailure.cpp).
template <class T, class... Args>
T* create(int* error, Args&&... args) noexcept {
    T* object = nullptr;
    report(guarded(ZARN_ERROR_MEMORY, ZARN_ERROR_ARGUMENT,
                   [&] {
                       object = new (std::nothrow) T(std::forward<Args>(args)...);
                       return object != nullptr ? ZARN_OK : ZARN_ERROR_MEMORY;
                   }),
           error);
    return object;
}

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
    State state = State::open;
    bool written = false;  // whether samples have reached it
};

struct zarn_decoder {
    explicit zarn_decoder(SampleSink s) : sink(s) {}

    SampleSink sink;
    zarn::StreamDecoder<zarn::FullSynthesis> stream;
    State state = State::open;
};

extern "C" {

const char* zarn_strerror(int error) noexcept {
    switch (error) {
        case ZARN_OK: return "no error";
        case ZARN_ERROR_ARGUMENT: return "invalid argument";
        case ZARN_ERROR_MEMORY: return "out of memory";
        case ZARN_ERROR_BAD_TAG: return "frame tag missing: the stream is damaged";
        case ZARN_ERROR_TRUNCATED: return "the stream ends inside a frame";
        case ZARN_ERROR_OUTPUT: return "the output function reported a failure";
        case ZARN_ERROR_STATE: return "the object was finished, has failed, or is in a call already";
        default: return "unknown error";
    }
}

const char* zarn_version(void) noexcept { return "0.1.0"; }

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
    if (encoder->state != State::open || encoder->written) return ZARN_ERROR_STATE;
    return guarded(ZARN_ERROR_ARGUMENT, ZARN_ERROR_ARGUMENT, [&] {
        return encoder->core->setBitrate(static_cast<unsigned>(kbitPerSecond)) ? ZARN_OK : ZARN_ERROR_ARGUMENT;
    });
}

int zarn_encoder_write(zarn_encoder* encoder, const int16_t* samples, size_t count) noexcept {
    if (encoder == nullptr || (samples == nullptr && count > 0)) return ZARN_ERROR_ARGUMENT;
    if (encoder->state != State::open) return ZARN_ERROR_STATE;
    if (count == 0) return ZARN_OK;
    encoder->written = true;
    return feeding(encoder->state, State::open,
                   [&] { return encoder->core->write(samples, count) ? ZARN_OK : ZARN_ERROR_OUTPUT; });
}

int zarn_encoder_finish(zarn_encoder* encoder) noexcept {
    if (encoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (encoder->state != State::open) return ZARN_ERROR_STATE;
    return feeding(encoder->state, State::finished,
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

int zarn_decoder_write(zarn_decoder* decoder, const uint8_t* bytes, size_t size) noexcept {
    if (decoder == nullptr || (bytes == nullptr && size > 0)) return ZARN_ERROR_ARGUMENT;
    if (decoder->state != State::open) return ZARN_ERROR_STATE;
    if (size == 0) return ZARN_OK;
    return feeding(decoder->state, State::open,
                   [&] { return codeFor(decoder->stream.write(bytes, size, decoder->sink)); });
}

int zarn_decoder_finish(zarn_decoder* decoder) noexcept {
    if (decoder == nullptr) return ZARN_ERROR_ARGUMENT;
    if (decoder->state != State::open) return ZARN_ERROR_STATE;
    return feeding(decoder->state, State::finished, [&] { return codeFor(decoder->stream.finish(decoder->sink)); });
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
