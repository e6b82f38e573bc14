/* Decodes an Ogg Zarn file to standard output from a given second on, as raw
 * interleaved 16-bit little-endian samples at 44100 Hz, through libzarn's
 * file calls: the file is read through stdio, and the start is found by
 * seeking, sample-exact. What the file holds goes to standard error.
 *   decode_from FILE.oza SECONDS > sound.raw
 *   play -t raw -r 44100 -e signed -b 16 -c CHANNELS sound.raw
 * Build:
 *   cc decode_from.c $(pkg-config --cflags --libs zarn) */
#define _FILE_OFFSET_BITS 64
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <zarn.h>

static long file_read(void *file, uint8_t *buffer, size_t size) {
    size_t got = fread(buffer, 1, size, file);
    return ferror(file) ? -1 : (long)got;
}

static int file_seek(void *file, int64_t offset, int whence) { return fseeko(file, (off_t)offset, whence); }

static int64_t file_tell(void *file) { return (int64_t)ftello(file); }

int main(int argc, char **argv) {
    if (argc != 3) return fprintf(stderr, "usage: decode_from FILE SECONDS\n"), 2;
    char *end;
    double seconds = strtod(argv[2], &end);
    if (*end != '\0' || !(seconds >= 0)) return fprintf(stderr, "decode_from: not a time: %s\n", argv[2]), 2;
    FILE *in = fopen(argv[1], "rb");
    if (!in) return perror(argv[1]), 1;

    zarn_io_callbacks io = {file_read, file_seek, file_tell};
    int error;
    zarn_ogg_file *file = zarn_ogg_file_open(NULL, &io, in, &error);
    if (!file) return fprintf(stderr, "decode_from: %s: %s\n", argv[1], zarn_strerror(error)), 1;
    int channels = zarn_ogg_file_channels(file);
    fprintf(stderr, "channels %d, original rate %u Hz, length %lld samples per channel\n", channels,
            (unsigned)zarn_ogg_file_original_rate(file), (long long)zarn_ogg_file_length(file));
    for (int i = 0; i < zarn_ogg_file_tag_count(file); ++i) fprintf(stderr, "%s\n", zarn_ogg_file_tag(file, i));

    if ((error = zarn_ogg_file_seek(file, (uint64_t)(seconds * ZARN_SAMPLE_RATE + 0.5))) != ZARN_OK)
        return fprintf(stderr, "decode_from: %s\n", zarn_strerror(error)), 1;
    static int16_t samples[4096 * ZARN_MAX_CHANNELS];
    static uint8_t bytes[sizeof samples];
    long frames;
    while ((frames = zarn_ogg_file_read(file, samples, 4096)) > 0) {
        size_t count = (size_t)frames * (size_t)channels;
        for (size_t i = 0; i < count; ++i) {  /* little-endian on every machine */
            bytes[2 * i] = (uint8_t)(samples[i] & 0xFF);
            bytes[2 * i + 1] = (uint8_t)((uint16_t)samples[i] >> 8);
        }
        if (fwrite(bytes, 2, count, stdout) != count) return perror("decode_from"), 1;
    }
    if (frames < 0) return fprintf(stderr, "decode_from: %s: %s\n", argv[1], zarn_strerror((int)frames)), 1;
    zarn_ogg_file_close(file);
    fclose(in);
    return fflush(stdout) == 0 ? 0 : 1;
}
