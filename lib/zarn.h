/*
 * zarn.h: the Zarn audio codec as a C library.
 *
 * Zarn stores 16-bit mono sound at 44100 samples per second as frames of 256
 * samples each, back to back, with no file header. An encoder turns samples
 * into those bytes and a decoder turns them back into samples; both stream:
 * they take input in pieces of any size and hand their output, once it is
 * complete, to a function the caller gives them.
 *
 * Every function reports failure as a value: a negative zarn_error code, or
 * NULL with the code stored through an `error` pointer; no exception leaves
 * any of them, not even one thrown by a C++ output function, which counts as
 * that function's failure. The library never prints, never ends the
 * process, allocates memory only in the *_create functions and keeps no
 * state shared between objects, so separate objects may be used from
 * separate threads at once. One object must not be used from two threads at
 * once. An output function must not destroy the object that called it, and
 * its calls of that object's other functions are refused with
 * ZARN_ERROR_BUSY (its queries excepted).
 *
 *     #include <zarn.h>
 *     int written(void *file, const uint8_t *bytes, size_t size) {
 *         return fwrite(bytes, 1, size, file) == size ? 0 : -1;
 *     }
 *     int error;
 *     zarn_encoder *encoder = zarn_encoder_create(ZARN_ENCODER_FULL, written, stdout, &error);
 *     zarn_encoder_write(encoder, samples, count);   (as often as needed)
 *     zarn_encoder_finish(encoder);
 *     zarn_encoder_destroy(encoder);
 *
 * Build with `pkg-config --cflags --libs zarn`, or in CMake with
 * find_package(Zarn) and the target Zarn::zarn.
 */
#ifndef ZARN_H
#define ZARN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ZARN_EXPORT __attribute__((visibility("default")))
#else
#define ZARN_EXPORT
#endif

/* No function lets an exception out, whatever an output function does:
 * C++ callers may count on it. */
#if defined(__cplusplus) && __cplusplus >= 201103L
#define ZARN_NOEXCEPT noexcept
#else
#define ZARN_NOEXCEPT
#endif

/* The library's version, as numbers (ZARN_VERSION_MAJOR, _MINOR, _PATCH)
 * and as the text ZARN_VERSION_STRING, "MAJOR.MINOR.PATCH", in the header
 * installed beside this one. */
#include "zarn_version.h"

/* Samples per second of every signal the codec reads and writes. */
#define ZARN_SAMPLE_RATE 44100
/* Samples per frame: each frame decodes to this many samples. */
#define ZARN_FRAME_SAMPLES 256
/* The largest frame, in bytes, and the smallest. */
#define ZARN_MAX_FRAME_BYTES 1052
#define ZARN_MIN_FRAME_BYTES 28
/* Bands per frame, each with its own bits and scale exponent. */
#define ZARN_BANDS 25

/* What the functions return: ZARN_OK, or a negative code. */
typedef enum zarn_error {
    ZARN_OK = 0,
    ZARN_ERROR_ARGUMENT = -1,  /* a null pointer, or a setting out of range */
    ZARN_ERROR_MEMORY = -2,    /* the object could not be allocated */
    ZARN_ERROR_BAD_TAG = -3,   /* a frame does not begin with the frame tag 0xFFF */
    ZARN_ERROR_TRUNCATED = -4, /* the stream ends inside a frame */
    ZARN_ERROR_OUTPUT = -5,    /* the caller's output function reported a failure */
    ZARN_ERROR_STATE = -6,     /* a call out of order, such as a setting changed after samples */
    ZARN_ERROR_FINISHED = -7,  /* the object was finished: only destroying it remains */
    ZARN_ERROR_FAILED = -8,    /* the object failed before: its state query tells why */
    ZARN_ERROR_BUSY = -9,      /* called from inside the object's own output function */
    ZARN_ERROR_SETTINGS = -10, /* a settings struct whose size this library does not know */
    ZARN_ERROR_LOST_SYNC = -11,  /* bytes that are no valid page: a bad CRC, a cut, a join mid-page */
    ZARN_ERROR_HOLE = -12,       /* pages are missing */
    ZARN_ERROR_BAD_PACKET = -13, /* an audio packet that is no hop's frames */
    ZARN_ERROR_BAD_GRANULE = -14, /* a page's position contradicts the packets before it */
    ZARN_ERROR_CUT_SHORT = -15,  /* the stream ends without its last page */
    ZARN_ERROR_BAD_HEADER = -16, /* a header that does not read: cut short, a bad field or comment */
    ZARN_ERROR_VERSION = -17,    /* a mapping version this library does not know */
    ZARN_ERROR_CHANNELS = -18,   /* a channel count of 0 or more than ZARN_MAX_CHANNELS */
    ZARN_ERROR_NOT_ZARN = -19,   /* the input holds no Ogg Zarn stream */
    ZARN_ERROR_IO = -20,         /* the caller's read, seek or tell function failed */
    ZARN_ERROR_BAD_COMMENT = -21 /* a tag without '=', or with a NAME outside ASCII 0x20-0x7D */
} zarn_error;

/* Where an object stands, from zarn_*_state(). */
typedef enum zarn_state {
    ZARN_STATE_OPEN = 0,     /* it takes calls */
    ZARN_STATE_BUSY = 1,     /* one of its calls is running: an output function asks */
    ZARN_STATE_FAILED = 2,   /* a call failed; the first cause is kept */
    ZARN_STATE_FINISHED = 3  /* it was finished */
} zarn_state;

/* A text for `error` (a zarn_error), such as "frame tag missing"; never NULL.
 * The text is static: the caller must not free it. */
ZARN_EXPORT const char *zarn_strerror(int error) ZARN_NOEXCEPT;

/* The library's version as "MAJOR.MINOR.PATCH"; static, never NULL. */
ZARN_EXPORT const char *zarn_version(void) ZARN_NOEXCEPT;

/* ---- Encoding ---------------------------------------------------------- */

/* Which decisions the encoder makes. Every kind writes a valid Zarn stream
 * that every Zarn decoder plays.
 *   ZARN_ENCODER_FULL     the fast transform, a threshold in quiet and a
 *                         masking model that remove inaudible bins, and bits
 *                         measured per band: zarnconv's bytes
 *   ZARN_ENCODER_REDUCED  the direct transform and 15 bits in every band:
 *                         zarnbasic's bytes
 *   ZARN_ENCODER_BITRATE  bits and scale chosen per band for the best sound
 *                         at an average bit rate, set with
 *                         zarn_encoder_set_bitrate() (default 192 kbit/s):
 *                         files a fifth of the others' size or less */
typedef enum zarn_encoder_kind {
    ZARN_ENCODER_FULL = 0,
    ZARN_ENCODER_REDUCED = 1,
    ZARN_ENCODER_BITRATE = 2
} zarn_encoder_kind;

/* The bit rates that ZARN_ENCODER_BITRATE holds, in kbit/s. */
#define ZARN_BITRATE_MIN 64
#define ZARN_BITRATE_MAX 320
#define ZARN_BITRATE_DEFAULT 192

/* Receives the encoder's output: `size` bytes at `bytes`, valid only during
 * the call. Returns 0 when it took them; anything else makes the encoder
 * fail with ZARN_ERROR_OUTPUT, as does an exception it throws. `user` is the
 * pointer given at creation. */
typedef int (*zarn_write_fn)(void *user, const uint8_t *bytes, size_t size);

typedef struct zarn_encoder zarn_encoder;

/* Creates an encoder of `kind`, a zarn_encoder_kind, that hands its bytes to
 * `write` with `user`. Returns NULL on failure, with the reason in *error
 * when `error` is not NULL (ZARN_ERROR_ARGUMENT for a NULL `write` or any
 * `kind` that is none of the zarn_encoder_kind values, such as -1 or 3,
 * ZARN_ERROR_MEMORY); otherwise *error is ZARN_OK. The caller owns the
 * encoder and releases it with zarn_encoder_destroy(). */
ZARN_EXPORT zarn_encoder *zarn_encoder_create(int kind, zarn_write_fn write, void *user, int *error) ZARN_NOEXCEPT;

/* Settings of a bare encoder. Every settings struct of this library begins
 * with its own size: the caller sets `size` to sizeof the struct it was
 * built with, so that a library newer than the caller gives the fields the
 * caller did not know their defaults, and refuses with ZARN_ERROR_SETTINGS a
 * size larger than it knows (or one that does not even hold `size`). A NULL
 * settings pointer means every default. */
typedef struct zarn_encoder_settings {
    size_t size;         /* sizeof(zarn_encoder_settings) */
    int kind;            /* a zarn_encoder_kind; default ZARN_ENCODER_BITRATE */
    int kbit_per_second; /* for ZARN_ENCODER_BITRATE; 0 (or the default): ZARN_BITRATE_DEFAULT */
} zarn_encoder_settings;

/* Fills `settings` with the defaults and its own size. */
ZARN_EXPORT void zarn_encoder_settings_init(zarn_encoder_settings *settings) ZARN_NOEXCEPT;

/* Creates an encoder as `settings` say (NULL: the defaults). Returns NULL on
 * failure with the reason in *error: ZARN_ERROR_SETTINGS for a size it does
 * not know, ZARN_ERROR_ARGUMENT for a NULL `write`, an unknown kind or a
 * bit-rate encoder's rate out of range, ZARN_ERROR_MEMORY. zarn_encoder_create(kind, ...) is
 * this with the kind's defaults, kept for the callers of version 0. */
ZARN_EXPORT zarn_encoder *zarn_encoder_create_with(const zarn_encoder_settings *settings, zarn_write_fn write,
                                                   void *user, int *error) ZARN_NOEXCEPT;

/* Where the encoder stands (a zarn_state); when it has failed, the first
 * cause of failure goes to *cause when `cause` is not NULL (ZARN_OK
 * otherwise). A NULL encoder gives ZARN_ERROR_ARGUMENT. Every query of this
 * library may be called from inside the object's own output function. */
ZARN_EXPORT int zarn_encoder_state(const zarn_encoder *encoder, int *cause) ZARN_NOEXCEPT;

/* Kept for the callers of version 0: sets the average bit rate of a
 * ZARN_ENCODER_BITRATE encoder, in kbit/s
 * from ZARN_BITRATE_MIN to ZARN_BITRATE_MAX, before its first sample. Any
 * stream of 10 seconds or more comes within 3 % of it. Returns ZARN_OK,
 * ZARN_ERROR_ARGUMENT for another kind or a rate out of range, or
 * ZARN_ERROR_STATE once samples were written. */
ZARN_EXPORT int zarn_encoder_set_bitrate(zarn_encoder *encoder, int kbit_per_second) ZARN_NOEXCEPT;

/* Encodes `count` samples (mono, 16-bit, 44100 per second) at `samples`, any
 * number per call, 0 included. Whole frames go to the write function a batch
 * at a time (1, 32 and 16 frames for the full, reduced and bit-rate kinds),
 * each batch once a sample after it has come, when it is known not to end
 * the stream. Returns ZARN_OK, ZARN_ERROR_OUTPUT when the write function
 * failed, ZARN_ERROR_FAILED after a failure, ZARN_ERROR_FINISHED after
 * zarn_encoder_finish(), ZARN_ERROR_BUSY from inside its write function, or
 * ZARN_ERROR_ARGUMENT. These three codes mean the same for every object of
 * this library. */
ZARN_EXPORT int zarn_encoder_write(zarn_encoder *encoder, const int16_t *samples, size_t count) ZARN_NOEXCEPT;

/* Encodes what is left, the last frame padded with silence, and hands it to
 * the write function. A stream of no samples still gets one frame. After it,
 * only zarn_encoder_destroy() may follow. Returns as zarn_encoder_write(). */
ZARN_EXPORT int zarn_encoder_finish(zarn_encoder *encoder) ZARN_NOEXCEPT;

/* Releases the encoder; NULL is allowed. Unfinished input is dropped. */
ZARN_EXPORT void zarn_encoder_destroy(zarn_encoder *encoder) ZARN_NOEXCEPT;

/* ---- Decoding ---------------------------------------------------------- */

/* Receives decoded samples: `count` of them at `samples`, valid only during
 * the call. Returns 0 when it took them; anything else makes the decoder
 * fail with ZARN_ERROR_OUTPUT, as does an exception it throws. */
typedef int (*zarn_samples_fn)(void *user, const int16_t *samples, size_t count);

typedef struct zarn_decoder zarn_decoder;

/* Creates a decoder that hands its samples to `output` with `user`. Returns
 * NULL on failure, with the reason in *error as for zarn_encoder_create().
 * The caller owns the decoder and releases it with zarn_decoder_destroy(). */
ZARN_EXPORT zarn_decoder *zarn_decoder_create(zarn_samples_fn output, void *user, int *error) ZARN_NOEXCEPT;

/* Settings of a bare decoder: none yet but the size, so that later ones can
 * come without a new creation function. */
typedef struct zarn_decoder_settings {
    size_t size; /* sizeof(zarn_decoder_settings) */
} zarn_decoder_settings;

ZARN_EXPORT void zarn_decoder_settings_init(zarn_decoder_settings *settings) ZARN_NOEXCEPT;

/* As zarn_decoder_create(), with settings (NULL: the defaults), refused with
 * ZARN_ERROR_SETTINGS as for zarn_encoder_create_with(). */
ZARN_EXPORT zarn_decoder *zarn_decoder_create_with(const zarn_decoder_settings *settings, zarn_samples_fn output,
                                                   void *user, int *error) ZARN_NOEXCEPT;

/* As zarn_encoder_state(). */
ZARN_EXPORT int zarn_decoder_state(const zarn_decoder *decoder, int *cause) ZARN_NOEXCEPT;

/* Decodes the `size` bytes at `bytes`, the stream's next ones, cut anywhere
 * (one byte at a time works). Samples go to the output function as frames
 * complete; the decoding of each frame finishes the samples of the one
 * before, so they lag the input by one frame. A frame without the frame tag
 * fails with ZARN_ERROR_BAD_TAG once every sample before it has come out;
 * zarn_decoder_position() then tells where it starts. Returns ZARN_OK,
 * ZARN_ERROR_BAD_TAG, ZARN_ERROR_OUTPUT, ZARN_ERROR_FAILED,
 * ZARN_ERROR_FINISHED, ZARN_ERROR_BUSY, or ZARN_ERROR_ARGUMENT. */
ZARN_EXPORT int zarn_decoder_write(zarn_decoder *decoder, const uint8_t *bytes, size_t size) ZARN_NOEXCEPT;

/* Ends the stream: hands out the last 256 samples, which fade out with the
 * encoder's window (256 zeros when no frame came). Bytes left over that do
 * not make a whole frame fail with ZARN_ERROR_TRUNCATED, after those samples.
 * After it, only zarn_decoder_destroy() may follow. Returns as
 * zarn_decoder_write(). */
ZARN_EXPORT int zarn_decoder_finish(zarn_decoder *decoder) ZARN_NOEXCEPT;

/* Bytes of the stream taken as whole frames so far: after a failure, where
 * the damaged or unfinished frame starts. */
ZARN_EXPORT uint64_t zarn_decoder_position(const zarn_decoder *decoder) ZARN_NOEXCEPT;

/* Releases the decoder; NULL is allowed. */
ZARN_EXPORT void zarn_decoder_destroy(zarn_decoder *decoder) ZARN_NOEXCEPT;

/* ---- Frames ------------------------------------------------------------ */

/* What a frame's header says. */
typedef struct zarn_frame_info {
    uint8_t bits[ZARN_BANDS];  /* bits per band, 0..15; a band with 0 stores nothing */
    uint8_t scale[ZARN_BANDS]; /* per band, the power of two 0..15 it was scaled by */
    size_t bytes;              /* the frame's length in bytes */
} zarn_frame_info;

/* Reads the header of the frame that starts at `bytes`, of which `size` are
 * there, into *info. Returns ZARN_OK; ZARN_ERROR_BAD_TAG when they do not
 * begin with the frame tag; ZARN_ERROR_TRUNCATED when fewer than the frame's
 * bytes (info->bytes, filled in when the header is there) are at hand; or
 * ZARN_ERROR_ARGUMENT. Frames follow each other directly: the next one starts
 * info->bytes further on. */
ZARN_EXPORT int zarn_frame_read_info(const uint8_t *bytes, size_t size, zarn_frame_info *info) ZARN_NOEXCEPT;

/* ---- Frame by frame ---------------------------------------------------- */

/* Under the streaming calls: one hop of 256 samples to one frame, and one
 * frame to 256 samples, each into the caller's buffer, for a caller who
 * builds a container of its own. Nothing is held back: the caller says which
 * hop ends the stream. */
typedef struct zarn_frame_encoder zarn_frame_encoder;

/* Takes the bare encoder's settings (NULL: the defaults). Returns NULL on
 * failure with the reason in *error, as zarn_encoder_create_with(). */
ZARN_EXPORT zarn_frame_encoder *zarn_frame_encoder_create(const zarn_encoder_settings *settings,
                                                         int *error) ZARN_NOEXCEPT;

/* Encodes the ZARN_FRAME_SAMPLES samples at `samples` (the stream's next
 * hop; the last one padded with zeros by the caller) into `frame`, which
 * has room for `capacity` bytes (ZARN_MAX_FRAME_BYTES always suffices), and
 * its length into *bytes. `last` is nonzero for the stream's last hop, which
 * the bit-rate encoder lets end unwindowed. The frames, back to back, are
 * the bytes zarn_encoder_write() and zarn_encoder_finish() give for the same
 * samples. Returns ZARN_OK; ZARN_ERROR_ARGUMENT for a NULL pointer, or a
 * capacity below ZARN_MAX_FRAME_BYTES, which fails nothing; ZARN_ERROR_FINISHED
 * after the last hop. */
ZARN_EXPORT int zarn_frame_encode(zarn_frame_encoder *encoder, const int16_t *samples, int last, uint8_t *frame,
                                  size_t capacity, size_t *bytes) ZARN_NOEXCEPT;

ZARN_EXPORT int zarn_frame_encoder_state(const zarn_frame_encoder *encoder, int *cause) ZARN_NOEXCEPT;
ZARN_EXPORT void zarn_frame_encoder_destroy(zarn_frame_encoder *encoder) ZARN_NOEXCEPT;

typedef struct zarn_frame_decoder zarn_frame_decoder;

ZARN_EXPORT zarn_frame_decoder *zarn_frame_decoder_create(const zarn_decoder_settings *settings,
                                                         int *error) ZARN_NOEXCEPT;

/* Decodes the frame of `size` bytes at `frame` (exactly one whole frame)
 * and writes the ZARN_FRAME_SAMPLES samples it finishes to `samples`. They
 * lag by one frame: frame n finishes the samples of hop n - 1, so the first
 * frame gives none and *count (when not NULL) is 0, every later one 256, and
 * zarn_frame_decoder_finish() gives the last hop's. Returns ZARN_OK;
 * ZARN_ERROR_BAD_TAG or ZARN_ERROR_TRUNCATED for bytes that are not one
 * whole frame (or more than one), which fail nothing: the caller may give
 * the next frame or a silent one in its place; ZARN_ERROR_ARGUMENT;
 * ZARN_ERROR_FINISHED. */
ZARN_EXPORT int zarn_frame_decode(zarn_frame_decoder *decoder, const uint8_t *frame, size_t size, int16_t *samples,
                                  size_t *count) ZARN_NOEXCEPT;

/* The last hop's ZARN_FRAME_SAMPLES samples, which fade out with the
 * encoder's window (zeros when no frame came), into `samples`. */
ZARN_EXPORT int zarn_frame_decoder_finish(zarn_frame_decoder *decoder, int16_t *samples) ZARN_NOEXCEPT;

ZARN_EXPORT int zarn_frame_decoder_state(const zarn_frame_decoder *decoder, int *cause) ZARN_NOEXCEPT;
ZARN_EXPORT void zarn_frame_decoder_destroy(zarn_frame_decoder *decoder) ZARN_NOEXCEPT;

/* ---- Ogg Zarn ---------------------------------------------------------- */

/* Ogg Zarn keeps what the bare stream cannot: 1 to 8 channels, the rate the
 * sound had before it was brought to 44100 Hz, the exact length and tags,
 * in Ogg pages that each carry a CRC. Its audio is always 44100 Hz; the
 * original rate is information for a player that wants to convert back.
 *
 * Samples are interleaved, one per channel per frame, in the channel order
 * of Vorbis and Opus:
 *   1: mono
 *   2: left, right
 *   3: left, centre, right
 *   4: front left, front right, rear left, rear right
 *   5: front left, centre, front right, rear left, rear right
 *   6: front left, centre, front right, rear left, rear right, LFE
 *   7: front left, centre, front right, side left, side right, rear centre, LFE
 *   8: front left, centre, front right, side left, side right, rear left,
 *      rear right, LFE
 * WAVE (WAVE_FORMAT_EXTENSIBLE's default masks) orders them FL FR FC LFE
 * BL BR, with 7 channels FL FR FC LFE BC SL SR, with 8 FL FR FC LFE BL BR
 * SL SR; to this order from WAVE's, channel i takes WAVE's channel map[i]:
 *   1, 2, 4 channels: the same order
 *   3: 0 2 1
 *   5: 0 2 1 3 4
 *   6: 0 2 1 4 5 3
 *   7: 0 2 1 5 6 4 3
 *   8: 0 2 1 6 7 4 5 3
 * The front pair is coded jointly, mid/side where it saves bits. */

#define ZARN_MAX_CHANNELS 8
/* Total bit rates over all channels, in kbit/s: at least ZARN_BITRATE_MIN
 * and at most ZARN_BITRATE_MAX per channel. */
#define ZARN_OGG_BITRATE_DEFAULT_PER_CHANNEL 128

typedef struct zarn_ogg_encoder_settings {
    size_t size;             /* sizeof(zarn_ogg_encoder_settings) */
    int channels;            /* 1 to ZARN_MAX_CHANNELS; default 2 */
    int kbit_per_second;     /* over all channels; 0 (the default): 128 per channel */
    uint32_t original_rate;  /* the sound's rate before it was brought to 44100 Hz; default 44100 */
    int32_t serial;          /* the Ogg stream's serial number; default 0: give each link of a chain its own */
    /* Tags "NAME=value" in UTF-8, NAME in ASCII 0x20-0x7D without '='
     * (TITLE, ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER, ...): `tag_count`
     * NUL-terminated texts at `tags`, copied at creation. Default none. */
    const char *const *tags;
    size_t tag_count;
} zarn_ogg_encoder_settings;

ZARN_EXPORT void zarn_ogg_encoder_settings_init(zarn_ogg_encoder_settings *settings) ZARN_NOEXCEPT;

typedef struct zarn_ogg_encoder zarn_ogg_encoder;

/* Creates an encoder that writes one Ogg Zarn stream, page by page, to
 * `write` with `user`; the comment header's vendor is "libzarn" and the
 * version. Nothing is written until the first sample or finish. Returns NULL
 * on failure with the reason in *error: ZARN_ERROR_SETTINGS,
 * ZARN_ERROR_ARGUMENT (a NULL `write` or a NULL tag, a channel count, bit
 * rate or original rate out of range), ZARN_ERROR_BAD_COMMENT (a malformed
 * tag), ZARN_ERROR_MEMORY. */
ZARN_EXPORT zarn_ogg_encoder *zarn_ogg_encoder_create(const zarn_ogg_encoder_settings *settings, zarn_write_fn write,
                                                     void *user, int *error) ZARN_NOEXCEPT;

/* Encodes `frames` interleaved frames (frames × channels samples), any
 * number per call, 0 included. Returns as zarn_encoder_write(). */
ZARN_EXPORT int zarn_ogg_encoder_write(zarn_ogg_encoder *encoder, const int16_t *samples,
                                       size_t frames) ZARN_NOEXCEPT;

/* The same from float samples: each is scaled by 32768, rounded to the
 * nearest integer (halves away from zero) and clipped to -32768..32767, so
 * that [-1, 1) is the 16-bit range; NaN counts as 0. */
ZARN_EXPORT int zarn_ogg_encoder_write_float(zarn_ogg_encoder *encoder, const float *samples,
                                             size_t frames) ZARN_NOEXCEPT;

/* Encodes what is left and ends the stream at exactly the frames written
 * (a stream of none too). Returns as zarn_encoder_finish(). */
ZARN_EXPORT int zarn_ogg_encoder_finish(zarn_ogg_encoder *encoder) ZARN_NOEXCEPT;

/* Frames (samples per channel) taken so far. */
ZARN_EXPORT uint64_t zarn_ogg_encoder_position(const zarn_ogg_encoder *encoder) ZARN_NOEXCEPT;
ZARN_EXPORT int zarn_ogg_encoder_state(const zarn_ogg_encoder *encoder, int *cause) ZARN_NOEXCEPT;
ZARN_EXPORT void zarn_ogg_encoder_destroy(zarn_ogg_encoder *encoder) ZARN_NOEXCEPT;

/* Damage found while decoding: its kind, a zarn_error (ZARN_ERROR_LOST_SYNC,
 * ZARN_ERROR_HOLE, ZARN_ERROR_BAD_PACKET, ZARN_ERROR_BAD_GRANULE,
 * ZARN_ERROR_CUT_SHORT, ZARN_ERROR_BAD_HEADER, ZARN_ERROR_VERSION,
 * ZARN_ERROR_CHANNELS; ZARN_OK when there was none), where it lies in the
 * link's samples per channel, and how many samples it took, where known. */
typedef struct zarn_damage {
    int kind;
    uint64_t at;
    uint64_t samples;
} zarn_damage;

/* Settings of both Ogg Zarn decoders. */
typedef struct zarn_ogg_decoder_settings {
    size_t size; /* sizeof(zarn_ogg_decoder_settings) */
    /* Nonzero: decode through damage, with silence in place of every hop
     * lost, so that each sample after it is where the stream says; the
     * damage is counted and the first kept. Zero (the default): the first
     * damage fails the decoder, after every sample before it. */
    int through_damage;
} zarn_ogg_decoder_settings;

ZARN_EXPORT void zarn_ogg_decoder_settings_init(zarn_ogg_decoder_settings *settings) ZARN_NOEXCEPT;

/* -- Fed bytes as they come -- */

/* Receives `frames` interleaved frames of `channels` samples each, valid only
 * during the call, from sample `position` (per channel) of the stream's
 * link `link` (0 for the first of a chain). Returns 0 when it took them. */
typedef int (*zarn_ogg_samples_fn)(void *user, const int16_t *samples, size_t frames, int channels, int link,
                                   uint64_t position);

typedef struct zarn_ogg_decoder zarn_ogg_decoder;

/* Creates a decoder of Ogg Zarn fed bytes as they come, which hands its
 * samples to `output`. It plays every link of a chain in turn; the queries
 * below tell of the link being played. Returns NULL on failure as
 * zarn_decoder_create_with(). */
ZARN_EXPORT zarn_ogg_decoder *zarn_ogg_decoder_create(const zarn_ogg_decoder_settings *settings,
                                                     zarn_ogg_samples_fn output, void *user,
                                                     int *error) ZARN_NOEXCEPT;

/* Decodes the `size` bytes at `bytes`, cut anywhere. Samples go out hop by
 * hop as they complete (a hop lags its packet by one, and the first 256 of a
 * link are the pre-skip, which never come out). Returns ZARN_OK; a damage
 * code (see zarn_damage) when not decoding through, after every sample
 * before the damage; ZARN_ERROR_OUTPUT; ZARN_ERROR_FAILED, _FINISHED, _BUSY;
 * ZARN_ERROR_ARGUMENT. */
ZARN_EXPORT int zarn_ogg_decoder_write(zarn_ogg_decoder *decoder, const uint8_t *bytes, size_t size) ZARN_NOEXCEPT;

/* Ends the input: the last hop comes out, trimmed to the exact length. Input
 * that holds no Ogg Zarn stream fails with ZARN_ERROR_NOT_ZARN, one cut
 * short with ZARN_ERROR_CUT_SHORT. Returns as zarn_ogg_decoder_write(). */
ZARN_EXPORT int zarn_ogg_decoder_finish(zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;

/* The link's channel count and original rate; 0 before its headers. */
ZARN_EXPORT int zarn_ogg_decoder_channels(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
ZARN_EXPORT uint32_t zarn_ogg_decoder_original_rate(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
/* Links whose headers were read so far. */
ZARN_EXPORT int zarn_ogg_decoder_links(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
/* Once a link has ended: its exact length in samples per channel, else -1. */
ZARN_EXPORT int64_t zarn_ogg_decoder_length(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
/* The link's vendor string, tag count and tag `index` ("NAME=value",
 * NUL-terminated), or NULL out of range; valid until the next link's
 * headers are read. */
ZARN_EXPORT const char *zarn_ogg_decoder_vendor(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
ZARN_EXPORT int zarn_ogg_decoder_tag_count(const zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;
ZARN_EXPORT const char *zarn_ogg_decoder_tag(const zarn_ogg_decoder *decoder, int index) ZARN_NOEXCEPT;
/* The first damage found, into *damage, and how many were found. */
ZARN_EXPORT uint64_t zarn_ogg_decoder_damage(const zarn_ogg_decoder *decoder, zarn_damage *damage) ZARN_NOEXCEPT;
ZARN_EXPORT int zarn_ogg_decoder_state(const zarn_ogg_decoder *decoder, int *cause) ZARN_NOEXCEPT;
ZARN_EXPORT void zarn_ogg_decoder_destroy(zarn_ogg_decoder *decoder) ZARN_NOEXCEPT;

/* -- A file, through the caller's functions -- */

/* The caller's file: read up to `size` bytes into `buffer`, giving how many
 * (0 at the end, negative on failure); seek as fseeko() does (`whence`
 * SEEK_SET, SEEK_CUR or SEEK_END of <stdio.h>), giving 0 on success; tell
 * the offset from the start, negative on failure. */
typedef struct zarn_io_callbacks {
    long (*read)(void *user, uint8_t *buffer, size_t size);
    int (*seek)(void *user, int64_t offset, int whence);
    int64_t (*tell)(void *user);
} zarn_io_callbacks;

typedef struct zarn_ogg_file zarn_ogg_file;

/* Opens the Ogg Zarn file read through `io` with `user`, whose first link
 * starts at offset 0: reads its headers and, from its last page, its exact
 * length. A chained file is read as its first link: its samples, its
 * length, its tags, with the links after it left unread (the push decoder
 * plays them all). Returns NULL on failure, with the reason in *error:
 * ZARN_ERROR_SETTINGS, ZARN_ERROR_ARGUMENT (NULL `io` or one of its
 * functions), ZARN_ERROR_IO, ZARN_ERROR_NOT_ZARN, a damage code for headers
 * that do not read, ZARN_ERROR_MEMORY. */
ZARN_EXPORT zarn_ogg_file *zarn_ogg_file_open(const zarn_ogg_decoder_settings *settings,
                                             const zarn_io_callbacks *io, void *user, int *error) ZARN_NOEXCEPT;

ZARN_EXPORT int zarn_ogg_file_channels(const zarn_ogg_file *file) ZARN_NOEXCEPT;
ZARN_EXPORT uint32_t zarn_ogg_file_original_rate(const zarn_ogg_file *file) ZARN_NOEXCEPT;
/* The exact length in samples per channel at 44100 Hz, as its last page
 * tells, or ZARN_ERROR_CUT_SHORT when no page after the headers has one. */
ZARN_EXPORT int64_t zarn_ogg_file_length(const zarn_ogg_file *file) ZARN_NOEXCEPT;
ZARN_EXPORT const char *zarn_ogg_file_vendor(const zarn_ogg_file *file) ZARN_NOEXCEPT;
ZARN_EXPORT int zarn_ogg_file_tag_count(const zarn_ogg_file *file) ZARN_NOEXCEPT;
/* Tag `index` ("NAME=value", NUL-terminated, valid while the file is
 * open), or NULL out of range. */
ZARN_EXPORT const char *zarn_ogg_file_tag(const zarn_ogg_file *file, int index) ZARN_NOEXCEPT;

/* Reads up to `frames` interleaved frames (frames × channels samples) into
 * `buffer` and gives how many: fewer only at the end, 0 there, or a negative
 * code (a damage code when not decoding through, ZARN_ERROR_IO,
 * ZARN_ERROR_FAILED, ZARN_ERROR_BUSY, ZARN_ERROR_ARGUMENT). */
ZARN_EXPORT long zarn_ogg_file_read(zarn_ogg_file *file, int16_t *buffer, size_t frames) ZARN_NOEXCEPT;
/* The same as floats: each 16-bit sample divided by 32768. */
ZARN_EXPORT long zarn_ogg_file_read_float(zarn_ogg_file *file, float *buffer, size_t frames) ZARN_NOEXCEPT;

/* Makes the next sample read sample `sample` per channel, exactly, with the
 * same values the whole file's decode gives there: pages found by bisection,
 * then one hop decoded unheard before the target's. A sample at or past the
 * length leaves nothing to read. Returns ZARN_OK, ZARN_ERROR_IO (the file
 * has failed then), ZARN_ERROR_FAILED, ZARN_ERROR_BUSY, ZARN_ERROR_ARGUMENT.
 * Seeking clears an end reached or damage met while decoding through, but
 * not a failure. */
ZARN_EXPORT int zarn_ogg_file_seek(zarn_ogg_file *file, uint64_t sample) ZARN_NOEXCEPT;
/* The sample per channel that the next read starts at. */
ZARN_EXPORT uint64_t zarn_ogg_file_position(const zarn_ogg_file *file) ZARN_NOEXCEPT;

ZARN_EXPORT uint64_t zarn_ogg_file_damage(const zarn_ogg_file *file, zarn_damage *damage) ZARN_NOEXCEPT;
ZARN_EXPORT int zarn_ogg_file_state(const zarn_ogg_file *file, int *cause) ZARN_NOEXCEPT;
/* Closes the file (the caller closes what `user` holds); NULL is allowed. */
ZARN_EXPORT void zarn_ogg_file_close(zarn_ogg_file *file) ZARN_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ZARN_H */
