// The frame-by-frame calls of libzarn: one hop to one frame and one frame to
// one hop, into the caller's buffers, for a container of the caller's own.
// They are the streaming coder's cores without its batches.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "common/EncodedFrame.h"
#include "decoder/FrameDecoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/FrameEncoder.h"
#include "encoder/FullAnalysis.h"
#include "lib/LibrarySupport.h"
#include "lib/zarn.h"
#include "rate/RateEncoder.h"
#include "reduced/ReducedAnalysis.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace {

using zarn::library::create;
using zarn::library::GivenSettings;
using zarn::library::report;
using zarn::library::Standing;

// One hop into one frame, whichever core the settings chose.
class HopEncoder {
public:
    virtual ~HopEncoder() = default;
    virtual void encode(const zarn::Sample* hop, bool last, zarn::EncodedFrame& frame) = 0;
};

template <class Core>
class HopEncoderOf final : public HopEncoder {
public:
    explicit HopEncoderOf(unsigned kbitPerSecond) {
        if constexpr (std::is_same_v<Core, zarn::RateEncoder>) core_.setBitrate(kbitPerSecond);
        static_cast<void>(kbitPerSecond);
    }
    void encode(const zarn::Sample* hop, bool last, zarn::EncodedFrame& frame) override {
        zarn::UnwatchedEncoding nobody;
        core_.encodeBatch(hop, 1, &frame, nobody, last);
    }

private:
    Core core_;
};

}  // namespace

struct zarn_frame_encoder {
    explicit zarn_frame_encoder(HopEncoder* c) : core(c) {}
    ~zarn_frame_encoder() { delete core; }
    zarn_frame_encoder(const zarn_frame_encoder&) = delete;
    zarn_frame_encoder& operator=(const zarn_frame_encoder&) = delete;

    HopEncoder* core;
    zarn::EncodedFrame frame;
    Standing standing;
};

struct zarn_frame_decoder {
    zarn::FrameDecoder<zarn::FullSynthesis> core;
    zarn::EncodedFrame frame;
    Standing standing;
};

extern "C" {

zarn_frame_encoder* zarn_frame_encoder_create(const zarn_encoder_settings* given, int* error) noexcept {
    zarn_encoder_settings settings;
    if (!zarn::library::takeEncoderSettings(given, settings, error)) return nullptr;
    const auto rate = static_cast<unsigned>(settings.kbit_per_second);
    HopEncoder* core = nullptr;
    switch (settings.kind) {
        case ZARN_ENCODER_FULL: core = create<HopEncoderOf<zarn::FrameEncoder<zarn::FullAnalysis>>>(error, rate); break;
        case ZARN_ENCODER_REDUCED:
            core = create<HopEncoderOf<zarn::FrameEncoder<zarn::ReducedAnalysis>>>(error, rate);
            break;
        case ZARN_ENCODER_BITRATE: core = create<HopEncoderOf<zarn::RateEncoder>>(error, rate); break;
        default: report(ZARN_ERROR_ARGUMENT, error); return nullptr;
    }
    if (core == nullptr) return nullptr;
    zarn_frame_encoder* encoder = create<zarn_frame_encoder>(error, core);
    if (encoder == nullptr) delete core;
    return encoder;
}

int zarn_frame_encode(zarn_frame_encoder* encoder, const int16_t* samples, int last, uint8_t* frame,
                      size_t capacity, size_t* bytes) noexcept {
    if (encoder == nullptr || samples == nullptr || frame == nullptr || bytes == nullptr ||
        capacity < ZARN_MAX_FRAME_BYTES) {
        return ZARN_ERROR_ARGUMENT;
    }
    if (const int refusal = encoder->standing.refusal()) return refusal;
    encoder->core->encode(samples, last != 0, encoder->frame);
    *bytes = zarn::packFrame(encoder->frame, frame);
    if (last != 0) encoder->standing.finish();
    return ZARN_OK;
}

int zarn_frame_encoder_state(const zarn_frame_encoder* encoder, int* cause) noexcept {
    return zarn::library::stateOf(encoder, cause);
}

void zarn_frame_encoder_destroy(zarn_frame_encoder* encoder) noexcept { delete encoder; }

zarn_frame_decoder* zarn_frame_decoder_create(const zarn_decoder_settings* given, int* error) noexcept {
    zarn_decoder_settings settings;
    zarn_decoder_settings_init(&settings);
    if (!GivenSettings<zarn_decoder_settings>(given, settings).known()) {
        report(ZARN_ERROR_SETTINGS, error);
        return nullptr;
    }
    return create<zarn_frame_decoder>(error);
}

int zarn_frame_decode(zarn_frame_decoder* decoder, const uint8_t* frame, size_t size, int16_t* samples,
                      size_t* count) noexcept {
    if (count != nullptr) *count = 0;
    if (decoder == nullptr || (frame == nullptr && size > 0) || samples == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    const zarn::Unpacked unpacked = zarn::unpackFrame(frame, size, decoder->frame);
    // Bytes that are not exactly one frame are the caller's to replace; the
    // decoder goes on as if they had not come.
    if (unpacked.outcome == zarn::Unpacked::Outcome::badTag) return ZARN_ERROR_BAD_TAG;
    if (unpacked.outcome != zarn::Unpacked::Outcome::frame || unpacked.bytes != size) return ZARN_ERROR_TRUNCATED;
    if (decoder->core.decode(decoder->frame, samples) && count != nullptr) *count = ZARN_FRAME_SAMPLES;
    return ZARN_OK;
}

int zarn_frame_decoder_finish(zarn_frame_decoder* decoder, int16_t* samples) noexcept {
    if (decoder == nullptr || samples == nullptr) return ZARN_ERROR_ARGUMENT;
    if (const int refusal = decoder->standing.refusal()) return refusal;
    decoder->core.finish(samples);
    decoder->standing.finish();
    return ZARN_OK;
}

int zarn_frame_decoder_state(const zarn_frame_decoder* decoder, int* cause) noexcept {
    return zarn::library::stateOf(decoder, cause);
}

void zarn_frame_decoder_destroy(zarn_frame_decoder* decoder) noexcept { delete decoder; }

}  // extern "C"
