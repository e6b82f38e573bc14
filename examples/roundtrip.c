/* Encodes a second of a 440 Hz tone with libzarn, decodes it again and
 * prints how many samples came back. Build:
 *   cc roundtrip.c $(pkg-config --cflags --libs zarn) -lm */
#include <math.h>
#include <stdio.h>
#include <zarn.h>

static int to_decoder(void *decoder, const uint8_t *bytes, size_t size) {
    return zarn_decoder_write(decoder, bytes, size) == ZARN_OK ? 0 : -1;
}

static int count(void *total, const int16_t *samples, size_t n) {
    (void)samples;
    *(size_t *)total += n;
    return 0;
}

int main(void) {
    int16_t tone[ZARN_SAMPLE_RATE];
    for (int i = 0; i < ZARN_SAMPLE_RATE; ++i)
        tone[i] = (int16_t)(8000 * sin(i * 2 * 3.14159265 * 440 / ZARN_SAMPLE_RATE));
    size_t decoded = 0;
    int error;
    zarn_decoder *decoder = zarn_decoder_create(count, &decoded, &error);
    zarn_encoder *encoder = zarn_encoder_create(ZARN_ENCODER_FULL, to_decoder, decoder, &error);
    if (!decoder || !encoder) return fprintf(stderr, "zarn: %s\n", zarn_strerror(error)), 1;
    if ((error = zarn_encoder_write(encoder, tone, ZARN_SAMPLE_RATE)) || (error = zarn_encoder_finish(encoder)) ||
        (error = zarn_decoder_finish(decoder)))
        return fprintf(stderr, "zarn: %s\n", zarn_strerror(error)), 1;
    printf("%zu samples in, %zu out\n", (size_t)ZARN_SAMPLE_RATE, decoded);
    zarn_encoder_destroy(encoder);
    zarn_decoder_destroy(decoder);
    return 0;
}
