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
 * ZARN_ERROR_STATE (zarn_decoder_position() excepted).
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

/* The library's version, as numbers and as the text "MAJOR.MINOR.PATCH". */
#define ZARN_VERSION_MAJOR 0
#define ZARN_VERSION_MINOR 1
#define ZARN_VERSION_PATCH 0

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
    ZARN_ERROR_STATE = -6      /* the object was finished, failed before, or is in a call already */
} zarn_error;

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

/* Sets the average bit rate of a ZARN_ENCODER_BITRATE encoder, in kbit/s
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
 * failed, ZARN_ERROR_STATE after a failure or zarn_encoder_finish(), or
 * ZARN_ERROR_ARGUMENT. */
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

/* Decodes the `size` bytes at `bytes`, the stream's next ones, cut anywhere
 * (one byte at a time works). Samples go to the output function as frames
 * complete; the decoding of each frame finishes the samples of the one
 * before, so they lag the input by one frame. A frame without the frame tag
 * fails with ZARN_ERROR_BAD_TAG once every sample before it has come out;
 * zarn_decoder_position() then tells where it starts. Returns ZARN_OK,
 * ZARN_ERROR_BAD_TAG, ZARN_ERROR_OUTPUT, ZARN_ERROR_STATE after a failure or
 * zarn_decoder_finish(), or ZARN_ERROR_ARGUMENT. */
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

#ifdef __cplusplus
}
#endif

#endif /* ZARN_H */
