// Any bytes as samples through libzarn's encoders, every kind and bit rate,
// cut into pieces where the input says. The input is
//   byte 0      the kind: its value mod 4, where 3 is an int that is no kind
//               (bytes 1-4 give it), which must be refused
//   bytes 1-2   a bit rate from 58 to 327 kbit/s (outside 64..320 refused)
//   byte 3      where the output starts refusing: never when 0, else after
//               that many times 64 bytes
//   byte 4      how many of the next bytes (1 to 8) are piece sizes, used in
//               turn; the rest is the samples, 16-bit little-endian.
// The encoder is made from a settings struct. Every call must return one of
// its documented values; a write whose output
// takes everything succeeds, and so does finishing; the output comes in
// whole frames, one per 256 samples begun (one for none), the same bytes
// however the samples were cut, and decodes with the library's decoder to
// 256 samples a frame. An output that refuses fails the call that fed it,
// after the same bytes however the samples were cut, and every call after it
// is refused as failed, with the first cause kept. The frame-by-frame
// encoder, given the same samples hop by hop, gives the same frames. A
// difference aborts.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lib/zarn.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

// What an encoder's output function was handed, and where it starts to
// refuse (0: never).
struct Output {
    std::vector<std::uint8_t> bytes;
    std::size_t refuseAfter = 0;
    std::size_t frames = 0;  // of those bytes
    bool failed = false;     // whether a call failed, the output having refused
};

// Takes bytes that must be whole frames, until `refuseAfter` is passed.
int take(void* to, const std::uint8_t* bytes, std::size_t size) {
    auto& output = *static_cast<Output*>(to);
    check(size > 0);
    std::size_t frames = 0;
    for (std::size_t at = 0; at < size; ++frames) {
        zarn_frame_info info;
        check(zarn_frame_read_info(bytes + at, size - at, &info) == ZARN_OK);
        check(info.bytes >= ZARN_MIN_FRAME_BYTES && info.bytes <= ZARN_MAX_FRAME_BYTES);
        at += info.bytes;
    }
    if (output.refuseAfter != 0 && output.bytes.size() + size > output.refuseAfter) return -1;
    output.bytes.insert(output.bytes.end(), bytes, bytes + size);
    output.frames += frames;
    return 0;
}

int count(void* total, const std::int16_t*, std::size_t samples) {
    *static_cast<std::size_t*>(total) += samples;
    return 0;
}

struct Settings {
    int kind;
    int kbitPerSecond;
    std::size_t refuseAfter;
};

// Encodes `samples` with `settings`, in pieces of the sizes in `cuts` (in
// turn; whole when there are none), checking every call's value.
Output encode(const Settings& settings, const std::vector<std::int16_t>& samples, const std::uint8_t* cuts,
              std::size_t cutCount) {
    Output output;
    output.refuseAfter = settings.refuseAfter;
    int error = 1;
    zarn_encoder_settings given;
    zarn_encoder_settings_init(&given);
    given.kind = settings.kind;
    given.kbit_per_second = settings.kbitPerSecond;
    zarn_encoder* encoder = zarn_encoder_create_with(&given, take, &output, &error);
    const bool known = settings.kind == ZARN_ENCODER_FULL || settings.kind == ZARN_ENCODER_REDUCED ||
                       settings.kind == ZARN_ENCODER_BITRATE;
    const bool inRange = settings.kbitPerSecond >= ZARN_BITRATE_MIN && settings.kbitPerSecond <= ZARN_BITRATE_MAX;
    if (!known || (settings.kind == ZARN_ENCODER_BITRATE && !inRange)) {
        check(encoder == nullptr && error == ZARN_ERROR_ARGUMENT);
        return output;
    }
    check(encoder != nullptr && error == ZARN_OK);

    const int set = zarn_encoder_set_bitrate(encoder, settings.kbitPerSecond);
    check(set == (settings.kind == ZARN_ENCODER_BITRATE ? ZARN_OK : ZARN_ERROR_ARGUMENT));

    int failure = ZARN_OK;  // the first call that failed, once one has
    for (std::size_t at = 0, cut = 0; at < samples.size(); ++cut) {
        // Up to past the largest batch, so that every kind of cut comes up.
        const std::size_t piece = cutCount == 0 ? samples.size() : 1 + cuts[cut % cutCount] * 37u;
        const std::size_t taken = piece < samples.size() - at ? piece : samples.size() - at;
        const int written = zarn_encoder_write(encoder, samples.data() + at, taken);
        at += taken;
        if (failure != ZARN_OK) {
            check(written == ZARN_ERROR_FAILED);
        } else if (written != ZARN_OK) {
            check(written == ZARN_ERROR_OUTPUT && settings.refuseAfter != 0);
            failure = written;
        }
    }
    // No bit rate once samples came, whatever the kind; then the kind's own answer.
    if (!samples.empty()) {
        check(zarn_encoder_set_bitrate(encoder, ZARN_BITRATE_DEFAULT) ==
              (failure != ZARN_OK ? ZARN_ERROR_FAILED : ZARN_ERROR_STATE));
    }
    const int finished = zarn_encoder_finish(encoder);
    if (failure != ZARN_OK) {
        check(finished == ZARN_ERROR_FAILED);
    } else {
        check(finished == ZARN_OK || (finished == ZARN_ERROR_OUTPUT && settings.refuseAfter != 0));
        failure = finished;
    }
    const int after = failure != ZARN_OK ? ZARN_ERROR_FAILED : ZARN_ERROR_FINISHED;
    check(zarn_encoder_write(encoder, samples.data(), samples.empty() ? 0 : 1) == after);
    check(zarn_encoder_finish(encoder) == after);
    int cause = 1;
    check(zarn_encoder_state(encoder, &cause) == (failure != ZARN_OK ? ZARN_STATE_FAILED : ZARN_STATE_FINISHED));
    check(cause == failure);
    zarn_encoder_destroy(encoder);

    output.failed = failure != ZARN_OK;
    if (!output.failed) {
        // One frame per hop begun, and one for no samples at all.
        const std::size_t hops = (samples.size() + ZARN_FRAME_SAMPLES - 1) / ZARN_FRAME_SAMPLES;
        check(output.frames == (hops > 0 ? hops : 1));
    }
    check(output.bytes.size() <= settings.refuseAfter || settings.refuseAfter == 0);
    return output;
}

// The same samples through the frame-by-frame encoder, hop by hop.
std::vector<std::uint8_t> encodeFrames(const Settings& settings, const std::vector<std::int16_t>& samples) {
    zarn_encoder_settings given;
    zarn_encoder_settings_init(&given);
    given.kind = settings.kind;
    given.kbit_per_second = settings.kbitPerSecond;
    int error = 1;
    zarn_frame_encoder* encoder = zarn_frame_encoder_create(&given, &error);
    check(encoder != nullptr && error == ZARN_OK);
    std::vector<std::uint8_t> bytes;
    const std::size_t hops = samples.empty() ? 1 : (samples.size() + ZARN_FRAME_SAMPLES - 1) / ZARN_FRAME_SAMPLES;
    for (std::size_t hop = 0; hop < hops; ++hop) {
        std::int16_t in[ZARN_FRAME_SAMPLES] = {};
        for (std::size_t i = 0; i < ZARN_FRAME_SAMPLES && hop * ZARN_FRAME_SAMPLES + i < samples.size(); ++i) {
            in[i] = samples[hop * ZARN_FRAME_SAMPLES + i];
        }
        std::uint8_t frame[ZARN_MAX_FRAME_BYTES];
        std::size_t size = 0;
        check(zarn_frame_encode(encoder, in, hop + 1 == hops, frame, sizeof frame, &size) == ZARN_OK);
        check(size >= ZARN_MIN_FRAME_BYTES && size <= ZARN_MAX_FRAME_BYTES);
        bytes.insert(bytes.end(), frame, frame + size);
    }
    const std::int16_t silence[ZARN_FRAME_SAMPLES] = {};
    std::uint8_t frame[ZARN_MAX_FRAME_BYTES];
    std::size_t size = 0;
    check(zarn_frame_encode(encoder, silence, 0, frame, sizeof frame, &size) == ZARN_ERROR_FINISHED);
    zarn_frame_encoder_destroy(encoder);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    Settings settings;
    settings.kind = data[0] % 4;
    if (settings.kind == 3) {
        // Any int that is none of the kinds: from the input, then moved off
        // the three.
        const auto bits = static_cast<std::uint32_t>(data[1] | data[2] << 8 | data[3] << 16) |
                          static_cast<std::uint32_t>(data[4]) << 24;
        settings.kind = bits <= INT_MAX ? static_cast<int>(bits) : -static_cast<int>(~bits) - 1;
        if (settings.kind >= ZARN_ENCODER_FULL && settings.kind <= ZARN_ENCODER_BITRATE) settings.kind += 3;
    }
    settings.kbitPerSecond = 58 + (data[1] | data[2] << 8) % 270;
    settings.refuseAfter = static_cast<std::size_t>(data[3]) * 64;
    const std::size_t cutCount = 1 + data[4] % 8;
    if (size < 5 + cutCount) return 0;
    const std::uint8_t* cuts = data + 5;
    const std::uint8_t* bytes = cuts + cutCount;
    std::vector<std::int16_t> samples((size - 5 - cutCount) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));

    // The output is handed over in the same batches however the samples
    // come, so even a refusal comes after the same bytes.
    const Output cut = encode(settings, samples, cuts, cutCount);
    const Output whole = encode(settings, samples, nullptr, 0);
    check(cut.bytes == whole.bytes && cut.failed == whole.failed);
    if (cut.failed || cut.bytes.empty()) return 0;  // refused, or a kind that is none
    check(encodeFrames(settings, samples) == cut.bytes);

    std::size_t decoded = 0;
    int error = 1;
    zarn_decoder* decoder = zarn_decoder_create(count, &decoded, &error);
    check(decoder != nullptr && error == ZARN_OK);
    check(zarn_decoder_write(decoder, cut.bytes.data(), cut.bytes.size()) == ZARN_OK);
    check(zarn_decoder_finish(decoder) == ZARN_OK);
    check(zarn_decoder_position(decoder) == cut.bytes.size());
    zarn_decoder_destroy(decoder);
    check(decoded == cut.frames * ZARN_FRAME_SAMPLES);
    return 0;
}
