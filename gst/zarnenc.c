/* zarnenc: raw audio to Zarn, on libzarn's encoders.
 *
 * By default it writes Ogg Zarn: every channel, coded together at one bit
 * rate, with the tags that came down the pipeline and the exact length.
 * The library writes the pages itself, with their granules and CRCs, so no
 * muxer follows: `zarnenc ! filesink location=x.oza`. The other modes write
 * the bare mono stream, the menu programs' exact bytes among them. */
#include "gst/zarnplugin.h"

#include <string.h>

#include <gst/audio/audio.h>
#include <gst/tag/tag.h>
#include <zarn.h>

GST_DEBUG_CATEGORY_STATIC(zarn_enc_debug);
#define GST_CAT_DEFAULT zarn_enc_debug

typedef enum {
    ZARN_ENC_MODE_OGG,
    ZARN_ENC_MODE_BITRATE,
    ZARN_ENC_MODE_FULL,
    ZARN_ENC_MODE_REDUCED,
} ZarnEncMode;

enum { PROP_0, PROP_MODE, PROP_BITRATE };

struct _GstZarnEnc {
    GstAudioEncoder parent;
    ZarnEncMode mode;
    int bitrate; /* kbit/s over all channels; 0: the library's default */

    zarn_ogg_encoder *ogg;
    zarn_encoder *bare;
    int channels;
    gint reorder[ZARN_MAX_CHANNELS]; /* the stream's channel i is GStreamer's reorder[i] */
    gboolean reorder_needed;
    GstTagList *tags; /* what came down the pipeline before the first sample */
    GByteArray *pending; /* what the library wrote and is not yet pushed */
    gboolean finished;   /* the stream was ended: a second drain finds nothing */
};

G_DEFINE_TYPE(GstZarnEnc, gst_zarn_enc, GST_TYPE_AUDIO_ENCODER)

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)" GST_AUDIO_NE(S16) ", layout=(string)interleaved, "
                    "rate=(int)44100, channels=(int)[1, 8]"));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(ZARN_OGG_CAPS "; " ZARN_BARE_CAPS ", framed=(boolean)false"));

#define GST_TYPE_ZARN_ENC_MODE (zarn_enc_mode_get_type())
static GType zarn_enc_mode_get_type(void) {
    static GType type = 0;
    static const GEnumValue values[] = {
        {ZARN_ENC_MODE_OGG, "Ogg Zarn: every channel, the tags and the exact length, at a bit rate", "ogg"},
        {ZARN_ENC_MODE_BITRATE, "The bare mono stream at a bit rate", "bitrate"},
        {ZARN_ENC_MODE_FULL, "The bare mono stream with masking, as zarnconv writes it", "full"},
        {ZARN_ENC_MODE_REDUCED, "The bare mono stream with 15 bits in every band, as zarnbasic writes it", "reduced"},
        {0, NULL, NULL},
    };
    if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstZarnEncMode", values));
    return type;
}

static int collect(void *user, const uint8_t *bytes, size_t size) {
    g_byte_array_append(((GstZarnEnc *)user)->pending, bytes, (guint)size);
    return 0;
}

/* What the library wrote so far goes downstream; `samples` it stands for,
 * or -1 for all given so far. */
static GstFlowReturn push_pending(GstZarnEnc *self, gint samples) {
    if (self->pending->len == 0) return GST_FLOW_OK;
    GstBuffer *buffer = gst_buffer_new_memdup(self->pending->data, self->pending->len);
    g_byte_array_set_size(self->pending, 0);
    return gst_audio_encoder_finish_frame(GST_AUDIO_ENCODER(self), buffer, samples);
}

static void release(GstZarnEnc *self) {
    zarn_ogg_encoder_destroy(self->ogg);
    self->ogg = NULL;
    zarn_encoder_destroy(self->bare);
    self->bare = NULL;
    if (self->pending != NULL) g_byte_array_set_size(self->pending, 0);
    self->finished = FALSE;
}

static gboolean start(GstAudioEncoder *encoder) {
    GstZarnEnc *self = GST_ZARN_ENC(encoder);
    release(self);
    if (self->tags != NULL) gst_tag_list_unref(self->tags);
    self->tags = gst_tag_list_new_empty();
    return TRUE;
}

static gboolean stop(GstAudioEncoder *encoder) {
    GstZarnEnc *self = GST_ZARN_ENC(encoder);
    release(self);
    if (self->tags != NULL) gst_tag_list_unref(self->tags);
    self->tags = NULL;
    return TRUE;
}

/* The tags as NAME=value comments, in a string vector. */
static GPtrArray *comments_of(const GstTagList *tags) {
    GPtrArray *comments = g_ptr_array_new_with_free_func(g_free);
    const gint count = gst_tag_list_n_tags(tags);
    for (gint i = 0; i < count; ++i) {
        GList *made = gst_tag_to_vorbis_comments(tags, gst_tag_list_nth_tag_name(tags, (guint)i));
        for (GList *at = made; at != NULL; at = at->next) g_ptr_array_add(comments, at->data);
        g_list_free(made);
    }
    return comments;
}

static gboolean open_encoder(GstZarnEnc *self) {
    int error = ZARN_OK;
    if (self->mode == ZARN_ENC_MODE_OGG) {
        GPtrArray *comments = comments_of(self->tags);
        zarn_ogg_encoder_settings settings;
        zarn_ogg_encoder_settings_init(&settings);
        settings.channels = self->channels;
        settings.kbit_per_second = self->bitrate;
        settings.serial = (int32_t)g_random_int();
        settings.tags = (const char *const *)comments->pdata;
        settings.tag_count = comments->len;
        self->ogg = zarn_ogg_encoder_create(&settings, collect, self, &error);
        g_ptr_array_unref(comments);
    } else {
        zarn_encoder_settings settings;
        zarn_encoder_settings_init(&settings);
        settings.kind = self->mode == ZARN_ENC_MODE_FULL      ? ZARN_ENCODER_FULL
                        : self->mode == ZARN_ENC_MODE_REDUCED ? ZARN_ENCODER_REDUCED
                                                              : ZARN_ENCODER_BITRATE;
        settings.kbit_per_second = self->bitrate;
        self->bare = zarn_encoder_create_with(&settings, collect, self, &error);
    }
    if (self->ogg == NULL && self->bare == NULL) {
        GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("The Zarn encoder cannot be made: %s.", zarn_strerror(error)),
                          ("mode %d, %d channels, %d kbit/s", (int)self->mode, self->channels, self->bitrate));
        return FALSE;
    }
    return TRUE;
}

static gboolean set_format(GstAudioEncoder *encoder, GstAudioInfo *info) {
    GstZarnEnc *self = GST_ZARN_ENC(encoder);
    const int channels = GST_AUDIO_INFO_CHANNELS(info);
    if (self->mode != ZARN_ENC_MODE_OGG && channels != 1) {
        GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("The bare Zarn stream is mono: put audioconvert before the encoder."),
                          ("%d channels", channels));
        return FALSE;
    }
    release(self);
    self->channels = channels;
    self->reorder_needed = FALSE;
    if (channels > 1) {
        GstAudioChannelPosition from[ZARN_MAX_CHANNELS];
        memcpy(from, info->position, sizeof(from[0]) * (size_t)channels);
        if (GST_AUDIO_INFO_IS_UNPOSITIONED(info) ||
            !gst_audio_get_channel_reorder_map(channels, zarn_stream_positions(channels), from, self->reorder)) {
            for (int c = 0; c < channels; ++c) self->reorder[c] = c;
        }
        for (int c = 0; c < channels; ++c) self->reorder_needed |= self->reorder[c] != c;
    }
    GstCaps *caps = self->mode == ZARN_ENC_MODE_OGG
                        ? gst_caps_new_empty_simple(ZARN_OGG_CAPS)
                        : gst_caps_new_simple(ZARN_BARE_CAPS, "framed", G_TYPE_BOOLEAN, FALSE, NULL);
    const gboolean set = gst_audio_encoder_set_output_format(encoder, caps);
    gst_caps_unref(caps);
    return set;
}

static gboolean sink_event(GstAudioEncoder *encoder, GstEvent *event) {
    GstZarnEnc *self = GST_ZARN_ENC(encoder);
    if (GST_EVENT_TYPE(event) == GST_EVENT_TAG && self->tags != NULL) {
        GstTagList *tags;
        gst_event_parse_tag(event, &tags);
        GST_DEBUG_OBJECT(self, "tags %" GST_PTR_FORMAT, tags);
        if (gst_tag_list_get_scope(tags) == GST_TAG_SCOPE_STREAM)
            gst_tag_list_insert(self->tags, tags, GST_TAG_MERGE_REPLACE);
    }
    return GST_AUDIO_ENCODER_CLASS(gst_zarn_enc_parent_class)->sink_event(encoder, event);
}

static GstFlowReturn handle_frame(GstAudioEncoder *encoder, GstBuffer *input) {
    GstZarnEnc *self = GST_ZARN_ENC(encoder);
    if (input == NULL && self->finished) return GST_FLOW_OK;
    if (self->ogg == NULL && self->bare == NULL && !open_encoder(self)) return GST_FLOW_ERROR;
    int result;
    if (input == NULL) {
        self->finished = TRUE;
        result = self->ogg != NULL ? zarn_ogg_encoder_finish(self->ogg) : zarn_encoder_finish(self->bare);
    } else {
        GstMapInfo map;
        if (!gst_buffer_map(input, &map, GST_MAP_READ)) return GST_FLOW_ERROR;
        const size_t frames = map.size / sizeof(gint16) / (size_t)self->channels;
        const gint16 *samples = (const gint16 *)map.data;
        gint16 *ordered = NULL;
        if (self->reorder_needed) {
            ordered = g_new(gint16, frames * (size_t)self->channels);
            for (size_t f = 0; f < frames; ++f)
                for (int c = 0; c < self->channels; ++c)
                    ordered[f * (size_t)self->channels + (size_t)c] =
                        samples[f * (size_t)self->channels + (size_t)self->reorder[c]];
            samples = ordered;
        }
        result = self->ogg != NULL ? zarn_ogg_encoder_write(self->ogg, samples, frames)
                                   : zarn_encoder_write(self->bare, samples, frames);
        g_free(ordered);
        gst_buffer_unmap(input, &map);
    }
    if (result != ZARN_OK) {
        GST_ELEMENT_ERROR(self, STREAM, ENCODE, ("The Zarn encoder failed: %s.", zarn_strerror(result)), (NULL));
        return GST_FLOW_ERROR;
    }
    return push_pending(self, -1);
}

static void flush(GstAudioEncoder *encoder) { release(GST_ZARN_ENC(encoder)); }

static void set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec) {
    GstZarnEnc *self = GST_ZARN_ENC(object);
    switch (id) {
        case PROP_MODE: self->mode = (ZarnEncMode)g_value_get_enum(value); break;
        case PROP_BITRATE: self->bitrate = g_value_get_int(value); break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

static void get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec) {
    GstZarnEnc *self = GST_ZARN_ENC(object);
    switch (id) {
        case PROP_MODE: g_value_set_enum(value, self->mode); break;
        case PROP_BITRATE: g_value_set_int(value, self->bitrate); break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

static void finalize(GObject *object) {
    GstZarnEnc *self = GST_ZARN_ENC(object);
    release(self);
    if (self->tags != NULL) gst_tag_list_unref(self->tags);
    g_byte_array_unref(self->pending);
    G_OBJECT_CLASS(gst_zarn_enc_parent_class)->finalize(object);
}

static void gst_zarn_enc_init(GstZarnEnc *self) {
    self->mode = ZARN_ENC_MODE_OGG;
    self->pending = g_byte_array_new();
    gst_audio_encoder_set_drainable(GST_AUDIO_ENCODER(self), TRUE);
}

static void gst_zarn_enc_class_init(GstZarnEncClass *klass) {
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GstElementClass *element_class = GST_ELEMENT_CLASS(klass);
    GstAudioEncoderClass *encoder_class = GST_AUDIO_ENCODER_CLASS(klass);
    object_class->set_property = set_property;
    object_class->get_property = get_property;
    object_class->finalize = finalize;
    g_object_class_install_property(
        object_class, PROP_MODE,
        g_param_spec_enum("mode", "Mode", "What is written: Ogg Zarn, or the bare mono stream by one of three encoders",
                          GST_TYPE_ZARN_ENC_MODE, ZARN_ENC_MODE_OGG, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
    g_object_class_install_property(
        object_class, PROP_BITRATE,
        g_param_spec_int("bitrate", "Bit rate",
                         "Average bit rate in kbit/s over all channels, 64 to 320 per channel "
                         "(0: 128 per channel for Ogg Zarn, 192 for the bare stream); the modes full and reduced "
                         "ignore it",
                         0, ZARN_BITRATE_MAX * ZARN_MAX_CHANNELS, 0, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
    encoder_class->start = start;
    encoder_class->stop = stop;
    encoder_class->set_format = set_format;
    encoder_class->handle_frame = handle_frame;
    encoder_class->sink_event = sink_event;
    encoder_class->flush = flush;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "Zarn encoder", "Codec/Encoder/Audio",
                                          "Encodes raw audio to Ogg Zarn, with every channel and the tags, or to the "
                                          "bare Zarn stream",
                                          "Zarn");
    gst_type_mark_as_plugin_api(GST_TYPE_ZARN_ENC_MODE, 0);
    GST_DEBUG_CATEGORY_INIT(zarn_enc_debug, "zarnenc", 0, "Zarn encoder");
}
