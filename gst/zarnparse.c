/* zarnparse: a bare Zarn stream cut into its frames, one to a buffer, with
 * the time of each.
 *
 * The bare stream has no header, no length and no index: every frame's
 * length is in its own header. From a file, the parser walks the frame
 * headers once at the start, so that the duration is exact and a seek
 * finds its frame by the index rather than by an estimate of the bit rate. */
#include "gst/zarnplugin.h"

#include <gst/base/gstbaseparse.h>
#include <zarn.h>

GST_DEBUG_CATEGORY_STATIC(zarn_parse_debug);
#define GST_CAT_DEFAULT zarn_parse_debug

/* Bytes pulled at a time while walking the frame headers. */
#define WALK_BYTES (64 * 1024)

struct _GstZarnParse {
    GstBaseParse parent;
    gboolean walked; /* the frames were walked, or cannot be */
    gboolean caps_set;
    gboolean lost_sync; /* a warning was posted for bytes that are no frame */
};

G_DEFINE_TYPE(GstZarnParse, gst_zarn_parse, GST_TYPE_BASE_PARSE)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ZARN_BARE_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(ZARN_BARE_CAPS ", framed=(boolean)true, rate=(int)44100, channels=(int)1"));

static GstClockTime time_of(guint64 frame) {
    return gst_util_uint64_scale_int(frame * ZARN_FRAME_SAMPLES, GST_SECOND, ZARN_SAMPLE_RATE);
}

/* Each frame's place and time into the index, and the exact duration, read
 * from the headers alone. Stops, keeping what it found, where the bytes are
 * no frame: playing finds that damage itself. */
static void walk(GstZarnParse *self) {
    GstBaseParse *parse = GST_BASE_PARSE(self);
    self->walked = TRUE;
    if (GST_PAD_MODE(parse->sinkpad) != GST_PAD_MODE_PULL) return;
    guint64 offset = 0, frames = 0;
    for (;;) {
        GstBuffer *buffer = NULL;
        if (gst_pad_pull_range(parse->sinkpad, offset, WALK_BYTES, &buffer) != GST_FLOW_OK) break;
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        gsize at = 0;
        zarn_frame_info info;
        while (at + ZARN_MIN_FRAME_BYTES <= map.size) {
            const int read = zarn_frame_read_info(map.data + at, map.size - at, &info);
            if (read == ZARN_ERROR_BAD_TAG || info.bytes == 0) break;
            if (read == ZARN_ERROR_TRUNCATED && map.size == WALK_BYTES) break; /* the rest is in the next pull */
            gst_base_parse_add_index_entry(parse, offset + at, time_of(frames), TRUE, TRUE);
            at += info.bytes;
            ++frames;
        }
        const gboolean more = map.size == WALK_BYTES && at > 0;
        gst_buffer_unmap(buffer, &map);
        gst_buffer_unref(buffer);
        offset += at;
        if (!more) break;
    }
    GST_DEBUG_OBJECT(self, "%" G_GUINT64_FORMAT " frames", frames);
    if (frames > 0) gst_base_parse_set_duration(parse, GST_FORMAT_TIME, (gint64)time_of(frames), 0);
}

/* The next place at or after `from` (a whole number of words from the
 * stream's start, as every frame is) where a frame tag stands. */
static gsize next_tag(const guint8 *bytes, gsize size, gsize from) {
    for (gsize at = from; at + 1 < size; at += 2)
        if ((bytes[at] & 0xf0) == 0xf0 && bytes[at + 1] == 0xff) return at;
    return size & ~(gsize)1;
}

static GstFlowReturn handle_frame(GstBaseParse *parse, GstBaseParseFrame *frame, gint *skipsize) {
    GstZarnParse *self = GST_ZARN_PARSE(parse);
    if (!self->walked) walk(self);
    if (!self->caps_set) {
        GstCaps *caps = gst_caps_new_simple(ZARN_BARE_CAPS, "framed", G_TYPE_BOOLEAN, TRUE, "rate", G_TYPE_INT,
                                            ZARN_SAMPLE_RATE, "channels", G_TYPE_INT, 1, NULL);
        gst_pad_set_caps(GST_BASE_PARSE_SRC_PAD(parse), caps);
        gst_caps_unref(caps);
        self->caps_set = TRUE;
    }
    GstMapInfo map;
    gst_buffer_map(frame->buffer, &map, GST_MAP_READ);
    zarn_frame_info info;
    const int read = zarn_frame_read_info(map.data, map.size, &info);
    GstFlowReturn flow = GST_FLOW_OK;
    if (read == ZARN_OK) {
        gst_buffer_unmap(frame->buffer, &map);
        return gst_base_parse_finish_frame(parse, frame, (gint)info.bytes);
    }
    if (read == ZARN_ERROR_TRUNCATED && !GST_BASE_PARSE_DRAINING(parse)) {
        /* More bytes are needed: at least the frame's header says how many. */
        if (info.bytes > 0) gst_base_parse_set_min_frame_size(parse, (guint)info.bytes);
        *skipsize = 0;
    } else {
        if (!self->lost_sync) {
            GST_ELEMENT_WARNING(self, STREAM, DECODE, ("The Zarn stream is damaged: bytes that are no frame are skipped."),
                                ("at byte %" G_GUINT64_FORMAT, (guint64)frame->offset));
            self->lost_sync = TRUE;
        }
        /* A frame cut short at the end, or bytes that are no frame: on to
         * the next tag. */
        *skipsize = read == ZARN_ERROR_TRUNCATED ? (gint)map.size : (gint)next_tag(map.data, map.size, 2);
        if (*skipsize == 0) *skipsize = 2;
    }
    gst_buffer_unmap(frame->buffer, &map);
    gst_base_parse_set_min_frame_size(parse, ZARN_MIN_FRAME_BYTES);
    return flow;
}

static gboolean start(GstBaseParse *parse) {
    GstZarnParse *self = GST_ZARN_PARSE(parse);
    self->walked = FALSE;
    self->caps_set = FALSE;
    self->lost_sync = FALSE;
    gst_base_parse_set_min_frame_size(parse, ZARN_MIN_FRAME_BYTES);
    gst_base_parse_set_frame_rate(parse, ZARN_SAMPLE_RATE, ZARN_FRAME_SAMPLES, 0, 0);
    gst_base_parse_set_syncable(parse, TRUE);
    return TRUE;
}

static void gst_zarn_parse_init(GstZarnParse *self) {
    GST_PAD_SET_ACCEPT_INTERSECT(GST_BASE_PARSE_SINK_PAD(self));
    GST_PAD_SET_ACCEPT_TEMPLATE(GST_BASE_PARSE_SINK_PAD(self));
}

static void gst_zarn_parse_class_init(GstZarnParseClass *klass) {
    GstElementClass *element_class = GST_ELEMENT_CLASS(klass);
    GstBaseParseClass *parse_class = GST_BASE_PARSE_CLASS(klass);
    parse_class->start = start;
    parse_class->handle_frame = handle_frame;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "Zarn parser", "Codec/Parser/Audio",
                                          "Cuts a bare Zarn stream into its frames, with exact times and duration",
                                          "Zarn");
    GST_DEBUG_CATEGORY_INIT(zarn_parse_debug, "zarnparse", 0, "Zarn parser");
}
