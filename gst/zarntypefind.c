/* Type finders for both forms of Zarn, so that players and decodebin know a
 * file by its bytes, whatever its name. */
#include "gst/zarnplugin.h"

#include <string.h>

#include <zarn.h>

/* An Ogg page header before its lacing values, and the offset of the first
 * packet of a page with one lacing value: the identification header is
 * alone on the stream's first page. */
#define OGG_PAGE_HEADER_BYTES 27
#define ZARN_MAGIC "ZarnHead"
#define ZARN_MAGIC_BYTES 8

/* Frames back to back from the start that make a bare stream certain. */
#define FRAMES_FOR_CERTAINTY 8

static void zarn_ogg_type_find(GstTypeFind *find, gpointer unused) {
    (void)unused;
    const guint8 *page = gst_type_find_peek(find, 0, OGG_PAGE_HEADER_BYTES);
    if (page == NULL || memcmp(page, "OggS", 4) != 0 || page[4] != 0 || (page[5] & 0x02) == 0) return;
    const guint segments = page[26];
    if (segments == 0) return;
    const guint8 *packet = gst_type_find_peek(find, OGG_PAGE_HEADER_BYTES + segments, ZARN_MAGIC_BYTES);
    if (packet != NULL && memcmp(packet, ZARN_MAGIC, ZARN_MAGIC_BYTES) == 0)
        gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_caps_new_empty_simple(ZARN_OGG_CAPS));
}

/* A bare stream has no header: its frames follow each other from the first
 * byte, each beginning with the frame tag and as long as its header says.
 * MPEG audio's sync word looks like the tag, but not frame after frame at
 * these lengths. */
static void zarn_bare_type_find(GstTypeFind *find, gpointer unused) {
    (void)unused;
    const guint64 length = gst_type_find_get_length(find);
    guint64 offset = 0;
    guint frames = 0;
    while (frames < FRAMES_FOR_CERTAINTY) {
        const guint8 *header = gst_type_find_peek(find, offset, ZARN_MIN_FRAME_BYTES);
        if (header == NULL) break;
        zarn_frame_info info;
        const int read = zarn_frame_read_info(header, ZARN_MIN_FRAME_BYTES, &info);
        if ((read != ZARN_OK && read != ZARN_ERROR_TRUNCATED) || info.bytes == 0) return;
        offset += info.bytes;
        ++frames;
    }
    GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
    if (frames == FRAMES_FOR_CERTAINTY)
        probability = GST_TYPE_FIND_LIKELY + 10;
    else if (frames > 0 && length != 0 && offset == length)
        probability = GST_TYPE_FIND_LIKELY; /* a short file that ends exactly after its last frame */
    if (probability != GST_TYPE_FIND_NONE)
        gst_type_find_suggest_simple(find, probability, ZARN_BARE_CAPS, "framed", G_TYPE_BOOLEAN, FALSE, NULL);
}

gboolean zarn_register_type_finders(GstPlugin *plugin) {
    /* Above the generic Ogg finder, which would take the stream as Ogg of
     * no codec it knows. */
    return gst_type_find_register(plugin, "zarn_ogg_typefind", GST_RANK_PRIMARY + 1, zarn_ogg_type_find, "oza",
                                  gst_caps_new_empty_simple(ZARN_OGG_CAPS), NULL, NULL) &&
           gst_type_find_register(plugin, "zarn_typefind", GST_RANK_SECONDARY, zarn_bare_type_find, "zarn",
                                  gst_caps_new_empty_simple(ZARN_BARE_CAPS), NULL, NULL);
}
