/* zarnoggdec: Ogg Zarn to raw audio, on libzarn's Ogg Zarn decoder.
 *
 * From a file (upstream answers pulls), the library reads the pages itself
 * through pulls: the length and the tags are known before the first
 * sample, and a seek goes to the exact sample by the library's bisection.
 * From a stream that can only be pushed (a pipe, a network), the bytes are
 * fed as they come, and the length is known at the end.
 *
 * Damage is played past: the library puts silence in place of what was
 * lost, so every sample after it is where the stream says, and each damage
 * is posted as a warning. */
#include "gst/zarnplugin.h"

#include <stdio.h>
#include <string.h>

#include <gst/audio/audio.h>
#include <gst/tag/tag.h>
#include <zarn.h>

GST_DEBUG_CATEGORY_STATIC(zarn_ogg_dec_debug);
#define GST_CAT_DEFAULT zarn_ogg_dec_debug

/* Frames per buffer pushed downstream: about 23 ms. */
#define FRAMES_PER_BUFFER 1024

struct _GstZarnOggDec {
    GstElement parent;
    GstPad *sinkpad, *srcpad;

    gboolean pulling;
    /* Pull mode: the file, and where the library's next read starts. */
    zarn_ogg_file *file;
    guint64 offset;
    gint64 size;
    /* Push mode. */
    zarn_ogg_decoder *decoder;
    GstFlowReturn pushed; /* what pushing the decoder's last samples gave */

    int channels;
    gint reorder[ZARN_MAX_CHANNELS]; /* GStreamer's channel i is the stream's reorder[i] */
    gboolean reorder_needed;
    guint64 position; /* the sample per channel that comes out next */
    guint64 damage_seen;
    GstSegment segment;
    gboolean need_segment;
    gboolean started; /* stream-start, caps and tags went out */
    guint32 seqnum;
};

G_DEFINE_TYPE(GstZarnOggDec, gst_zarn_ogg_dec, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ZARN_OGG_CAPS));
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/x-raw, format=(string)" GST_AUDIO_NE(S16) ", layout=(string)interleaved, "
                    "rate=(int)44100, channels=(int)[1, 8]"));

/* ---- Channels ------------------------------------------------------------ */

/* Raw audio in GStreamer lists its channels in the order of their mask
 * bits; the stream's are put into that order on the way out. */
static GstCaps *caps_for(GstZarnOggDec *self, int channels) {
    GstAudioChannelPosition positions[ZARN_MAX_CHANNELS];
    memcpy(positions, zarn_stream_positions(channels), sizeof(positions[0]) * (size_t)channels);
    GstAudioInfo info;
    if (channels > 1) gst_audio_channel_positions_to_valid_order(positions, channels);
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16, ZARN_SAMPLE_RATE, channels, channels > 1 ? positions : NULL);
    self->reorder_needed = FALSE;
    if (channels > 1) {
        gst_audio_get_channel_reorder_map(channels, zarn_stream_positions(channels), positions, self->reorder);
        for (int i = 0; i < channels; ++i) self->reorder_needed |= self->reorder[i] != i;
    }
    return gst_audio_info_to_caps(&info);
}

static void reorder(GstZarnOggDec *self, gint16 *samples, size_t frames) {
    if (!self->reorder_needed) return;
    gint16 frame[ZARN_MAX_CHANNELS];
    for (size_t f = 0; f < frames; ++f, samples += self->channels) {
        memcpy(frame, samples, sizeof(frame[0]) * (size_t)self->channels);
        for (int c = 0; c < self->channels; ++c) samples[self->reorder[c]] = frame[c];
    }
}

/* ---- Output -------------------------------------------------------------- */

static GstTagList *tags_of(int count, const char *(*tag)(const void *, int), const void *from, const char *vendor) {
    GstTagList *tags = gst_tag_list_new_empty();
    for (int i = 0; i < count; ++i) {
        const char *comment = tag(from, i);
        const char *equals = comment != NULL ? strchr(comment, '=') : NULL;
        if (equals == NULL) continue;
        gchar *name = g_strndup(comment, (gsize)(equals - comment));
        gst_vorbis_tag_add(tags, name, equals + 1);
        g_free(name);
    }
    gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_AUDIO_CODEC, "Zarn", GST_TAG_CONTAINER_FORMAT, "Ogg", NULL);
    if (vendor != NULL && *vendor != '\0') gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_ENCODER, vendor, NULL);
    return tags;
}

static const char *file_tag(const void *file, int index) { return zarn_ogg_file_tag(file, index); }
static const char *decoder_tag(const void *decoder, int index) { return zarn_ogg_decoder_tag(decoder, index); }

static gboolean src_event(GstPad *pad, GstObject *parent, GstEvent *event);
static gboolean src_query(GstPad *pad, GstObject *parent, GstQuery *query);

/* The source pad, stream-start, caps and tags, once the headers are read.
 * The pad comes only then, as a demuxer's do, so that a decodebin links it
 * before the first sample. */
static gboolean start_stream(GstZarnOggDec *self, int channels) {
    if (self->started && channels == self->channels) return TRUE;
    const gboolean adding = self->srcpad == NULL;
    if (adding) {
        self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
        gst_pad_set_event_function(self->srcpad, src_event);
        gst_pad_set_query_function(self->srcpad, src_query);
        gst_pad_use_fixed_caps(self->srcpad);
        gst_pad_set_active(self->srcpad, TRUE);
    }
    if (!self->started) {
        gchar *id = gst_pad_create_stream_id(self->srcpad, GST_ELEMENT(self), NULL);
        GstEvent *start = gst_event_new_stream_start(id);
        g_free(id);
        gst_event_set_group_id(start, gst_util_group_id_next());
        gst_pad_push_event(self->srcpad, start);
    }
    self->channels = channels;
    GstCaps *caps = caps_for(self, channels);
    const gboolean set = gst_pad_set_caps(self->srcpad, caps);
    gst_caps_unref(caps);
    if (!set) return FALSE;
    GstTagList *tags = self->pulling ? tags_of(zarn_ogg_file_tag_count(self->file), file_tag, self->file,
                                               zarn_ogg_file_vendor(self->file))
                                     : tags_of(zarn_ogg_decoder_tag_count(self->decoder), decoder_tag, self->decoder,
                                               zarn_ogg_decoder_vendor(self->decoder));
    gst_pad_push_event(self->srcpad, gst_event_new_tag(tags));
    self->started = TRUE;
    if (adding) {
        gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
        gst_element_no_more_pads(GST_ELEMENT(self));
    }
    return TRUE;
}

static void post_new_damage(GstZarnOggDec *self, uint64_t count, const zarn_damage *damage) {
    if (count <= self->damage_seen) return;
    self->damage_seen = count;
    GST_ELEMENT_WARNING(self, STREAM, DECODE, ("The Zarn stream is damaged: %s.", zarn_strerror(damage->kind)),
                        ("at sample %" G_GUINT64_FORMAT ", %" G_GUINT64_FORMAT " samples, damage %" G_GUINT64_FORMAT
                         " so far; played past with silence",
                         (guint64)damage->at, (guint64)damage->samples, (guint64)count));
}

/* Pushes `frames` frames of `samples` from self->position on. */
static GstFlowReturn push_samples(GstZarnOggDec *self, GstBuffer *buffer, size_t frames) {
    if (self->need_segment) {
        GstEvent *segment = gst_event_new_segment(&self->segment);
        if (self->seqnum != 0) gst_event_set_seqnum(segment, self->seqnum);
        gst_pad_push_event(self->srcpad, segment);
        self->need_segment = FALSE;
    }
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale_int(self->position, GST_SECOND, ZARN_SAMPLE_RATE);
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale_int(self->position + frames, GST_SECOND, ZARN_SAMPLE_RATE) - GST_BUFFER_PTS(buffer);
    GST_BUFFER_OFFSET(buffer) = self->position;
    GST_BUFFER_OFFSET_END(buffer) = self->position + frames;
    self->position += frames;
    return gst_pad_push(self->srcpad, buffer);
}

/* ---- Pull mode ----------------------------------------------------------- */

static long pull_read(void *user, uint8_t *bytes, size_t size) {
    GstZarnOggDec *self = user;
    GstBuffer *buffer = NULL;
    const GstFlowReturn flow = gst_pad_pull_range(self->sinkpad, self->offset, (guint)size, &buffer);
    if (flow == GST_FLOW_EOS) return 0;
    if (flow != GST_FLOW_OK) return -1;
    const gsize got = gst_buffer_extract(buffer, 0, bytes, size);
    gst_buffer_unref(buffer);
    self->offset += got;
    return (long)got;
}

static int pull_seek(void *user, int64_t offset, int whence) {
    GstZarnOggDec *self = user;
    gint64 to = offset;
    if (whence == SEEK_CUR) to += (gint64)self->offset;
    if (whence == SEEK_END) {
        if (self->size < 0) return -1;
        to += self->size;
    }
    if (to < 0) return -1;
    self->offset = (guint64)to;
    return 0;
}

static int64_t pull_tell(void *user) { return (int64_t)((GstZarnOggDec *)user)->offset; }

static const zarn_io_callbacks pull_io = {pull_read, pull_seek, pull_tell};

static zarn_ogg_decoder_settings decoder_settings(void) {
    zarn_ogg_decoder_settings settings;
    zarn_ogg_decoder_settings_init(&settings);
    settings.through_damage = 1;
    return settings;
}

static gboolean open_file(GstZarnOggDec *self) {
    if (!gst_pad_peer_query_duration(self->sinkpad, GST_FORMAT_BYTES, &self->size)) self->size = -1;
    const zarn_ogg_decoder_settings settings = decoder_settings();
    int error = ZARN_OK;
    self->offset = 0;
    self->file = zarn_ogg_file_open(&settings, &pull_io, self, &error);
    if (self->file == NULL) {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("This is no Zarn stream that can be played: %s.", zarn_strerror(error)),
                          (NULL));
        return FALSE;
    }
    return start_stream(self, zarn_ogg_file_channels(self->file));
}

static void pull_loop(GstPad *pad) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(GST_PAD_PARENT(pad));
    GstFlowReturn flow = GST_FLOW_OK;
    if (self->file == NULL && !open_file(self)) {
        flow = GST_FLOW_ERROR;
        goto pause;
    }
    if (GST_CLOCK_TIME_IS_VALID(self->segment.stop) &&
        gst_util_uint64_scale_int(self->position, GST_SECOND, ZARN_SAMPLE_RATE) >= self->segment.stop) {
        flow = GST_FLOW_EOS;
        goto pause;
    }
    GstBuffer *buffer = gst_buffer_new_allocate(NULL, FRAMES_PER_BUFFER * sizeof(gint16) * (gsize)self->channels, NULL);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    const long frames = zarn_ogg_file_read(self->file, (int16_t *)map.data, FRAMES_PER_BUFFER);
    if (frames > 0) reorder(self, (gint16 *)map.data, (size_t)frames);
    gst_buffer_unmap(buffer, &map);
    zarn_damage damage;
    post_new_damage(self, zarn_ogg_file_damage(self->file, &damage), &damage);
    if (frames <= 0) {
        gst_buffer_unref(buffer);
        if (frames < 0) {
            GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The Zarn stream cannot be read on: %s.", zarn_strerror((int)frames)),
                              (NULL));
            flow = GST_FLOW_ERROR;
        } else {
            flow = GST_FLOW_EOS;
        }
        goto pause;
    }
    gst_buffer_set_size(buffer, (gsize)frames * sizeof(gint16) * (gsize)self->channels);
    flow = push_samples(self, buffer, (size_t)frames);
    if (flow == GST_FLOW_OK) return;

pause:
    GST_DEBUG_OBJECT(self, "pausing: %s", gst_flow_get_name(flow));
    gst_pad_pause_task(pad);
    if (self->srcpad == NULL) {
        /* No stream came: what failed is posted already. */
    } else if (flow == GST_FLOW_EOS) {
        GstEvent *eos = gst_event_new_eos();
        if (self->seqnum != 0) gst_event_set_seqnum(eos, self->seqnum);
        gst_pad_push_event(self->srcpad, eos);
    } else if (flow == GST_FLOW_NOT_LINKED || flow < GST_FLOW_EOS) {
        if (flow != GST_FLOW_ERROR) GST_ELEMENT_FLOW_ERROR(self, flow);
        gst_pad_push_event(self->srcpad, gst_event_new_eos());
    }
}

static gboolean pull_seek_to(GstZarnOggDec *self, GstEvent *event) {
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType start_type, stop_type;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
    if (rate <= 0.0) return FALSE;
    if (format == GST_FORMAT_DEFAULT) {
        /* Samples: made into time, which the segment is in. */
        if (start_type != GST_SEEK_TYPE_NONE && start >= 0)
            start = (gint64)gst_util_uint64_scale_int((guint64)start, GST_SECOND, ZARN_SAMPLE_RATE);
        if (stop_type != GST_SEEK_TYPE_NONE && stop >= 0)
            stop = (gint64)gst_util_uint64_scale_int((guint64)stop, GST_SECOND, ZARN_SAMPLE_RATE);
    } else if (format != GST_FORMAT_TIME) {
        return FALSE;
    }
    const gboolean flush = (flags & GST_SEEK_FLAG_FLUSH) != 0 && self->srcpad != NULL;
    const guint32 seqnum = gst_event_get_seqnum(event);
    if (flush) {
        GstEvent *flush_start = gst_event_new_flush_start();
        gst_event_set_seqnum(flush_start, seqnum);
        gst_pad_push_event(self->srcpad, flush_start);
    } else {
        gst_pad_pause_task(self->sinkpad);
    }
    GST_PAD_STREAM_LOCK(self->sinkpad);
    GstSegment segment = self->segment;
    gboolean update;
    gst_segment_do_seek(&segment, rate, GST_FORMAT_TIME, flags, start_type, (guint64)start, stop_type, (guint64)stop,
                        &update);
    gboolean done = TRUE;
    if (self->file != NULL) {
        /* The first sample at or after the segment's start. */
        const guint64 sample = gst_util_uint64_scale_int_ceil(segment.start, ZARN_SAMPLE_RATE, GST_SECOND);
        done = zarn_ogg_file_seek(self->file, sample) == ZARN_OK;
        self->position = zarn_ogg_file_position(self->file);
    }
    if (flush) {
        GstEvent *flush_stop = gst_event_new_flush_stop(TRUE);
        gst_event_set_seqnum(flush_stop, seqnum);
        gst_pad_push_event(self->srcpad, flush_stop);
    }
    if (done) {
        segment.position = segment.start;
        segment.time = segment.start;
        self->segment = segment;
        self->need_segment = TRUE;
        self->seqnum = seqnum;
    }
    gst_pad_start_task(self->sinkpad, (GstTaskFunction)pull_loop, self->sinkpad, NULL);
    GST_PAD_STREAM_UNLOCK(self->sinkpad);
    return done;
}

/* ---- Push mode ----------------------------------------------------------- */

static int push_decoded(void *user, const int16_t *samples, size_t frames, int channels, int link, uint64_t position) {
    GstZarnOggDec *self = user;
    (void)link;
    (void)position;
    if (!start_stream(self, channels)) {
        self->pushed = GST_FLOW_NOT_NEGOTIATED;
        return -1;
    }
    GstBuffer *buffer = gst_buffer_new_memdup(samples, frames * sizeof(gint16) * (gsize)channels);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    reorder(self, (gint16 *)map.data, frames);
    gst_buffer_unmap(buffer, &map);
    self->pushed = push_samples(self, buffer, frames);
    return self->pushed == GST_FLOW_OK ? 0 : -1;
}

static gboolean make_push_decoder(GstZarnOggDec *self) {
    const zarn_ogg_decoder_settings settings = decoder_settings();
    int error = ZARN_OK;
    self->decoder = zarn_ogg_decoder_create(&settings, push_decoded, self, &error);
    return self->decoder != NULL;
}

/* What the library's call gave, as the flow upstream is told. */
static GstFlowReturn push_result(GstZarnOggDec *self, int result) {
    zarn_damage damage;
    post_new_damage(self, zarn_ogg_decoder_damage(self->decoder, &damage), &damage);
    if (result == ZARN_OK) return GST_FLOW_OK;
    if (result == ZARN_ERROR_OUTPUT) return self->pushed;
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The Zarn stream cannot be played: %s.", zarn_strerror(result)), (NULL));
    return GST_FLOW_ERROR;
}

static GstFlowReturn push_chain(GstPad *pad, GstObject *parent, GstBuffer *buffer) {
    (void)pad;
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(parent);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        return GST_FLOW_ERROR;
    }
    self->pushed = GST_FLOW_OK;
    const int result = zarn_ogg_decoder_write(self->decoder, map.data, map.size);
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
    return push_result(self, result);
}

static gboolean sink_event(GstPad *pad, GstObject *parent, GstEvent *event) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(parent);
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_SEGMENT:
        case GST_EVENT_STREAM_START:
        case GST_EVENT_CAPS:
            /* Bytes in, time out: this element makes its own. */
            gst_event_unref(event);
            return TRUE;
        case GST_EVENT_EOS:
            if (self->decoder != NULL) {
                self->pushed = GST_FLOW_OK;
                if (push_result(self, zarn_ogg_decoder_finish(self->decoder)) == GST_FLOW_ERROR) {
                    gst_event_unref(event);
                    return TRUE;
                }
            }
            break;
        case GST_EVENT_FLUSH_STOP:
            /* Bytes from elsewhere in the stream: a decoder that joins it
             * at the next page. */
            if (self->decoder != NULL) {
                zarn_ogg_decoder_destroy(self->decoder);
                make_push_decoder(self);
                self->need_segment = TRUE;
            }
            break;
        default:
            return gst_pad_event_default(pad, parent, event);
    }
    if (self->srcpad == NULL) {
        gst_event_unref(event);
        return TRUE;
    }
    return gst_pad_push_event(self->srcpad, event);
}

/* ---- Pads ---------------------------------------------------------------- */

static gboolean src_event(GstPad *pad, GstObject *parent, GstEvent *event) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(parent);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        gboolean done = FALSE;
        if (self->pulling) done = pull_seek_to(self, event);
        gst_event_unref(event);
        return done;
    }
    return gst_pad_event_default(pad, parent, event);
}

static gboolean src_query(GstPad *pad, GstObject *parent, GstQuery *query) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(parent);
    switch (GST_QUERY_TYPE(query)) {
        case GST_QUERY_DURATION: {
            GstFormat format;
            gst_query_parse_duration(query, &format, NULL);
            const int64_t length = self->file != NULL ? zarn_ogg_file_length(self->file) : -1;
            if (length < 0 || (format != GST_FORMAT_TIME && format != GST_FORMAT_DEFAULT)) break;
            gst_query_set_duration(query, format,
                                   format == GST_FORMAT_DEFAULT
                                       ? length
                                       : (gint64)gst_util_uint64_scale_int((guint64)length, GST_SECOND, ZARN_SAMPLE_RATE));
            return TRUE;
        }
        case GST_QUERY_POSITION: {
            GstFormat format;
            gst_query_parse_position(query, &format, NULL);
            if (format != GST_FORMAT_TIME && format != GST_FORMAT_DEFAULT) break;
            gst_query_set_position(query, format,
                                   format == GST_FORMAT_DEFAULT
                                       ? (gint64)self->position
                                       : (gint64)gst_util_uint64_scale_int(self->position, GST_SECOND, ZARN_SAMPLE_RATE));
            return TRUE;
        }
        case GST_QUERY_SEEKING: {
            GstFormat format;
            gst_query_parse_seeking(query, &format, NULL, NULL, NULL);
            if (format != GST_FORMAT_TIME && format != GST_FORMAT_DEFAULT) break;
            const int64_t length = self->file != NULL ? zarn_ogg_file_length(self->file) : -1;
            gst_query_set_seeking(query, format, self->pulling, 0,
                                  length < 0 ? -1
                                  : format == GST_FORMAT_DEFAULT
                                      ? length
                                      : (gint64)gst_util_uint64_scale_int((guint64)length, GST_SECOND, ZARN_SAMPLE_RATE));
            return TRUE;
        }
        default:
            break;
    }
    return gst_pad_query_default(pad, parent, query);
}

/* Back to before any stream; the source pad goes with `removing`. */
static void reset(GstZarnOggDec *self, gboolean removing) {
    if (removing && self->srcpad != NULL) {
        gst_pad_set_active(self->srcpad, FALSE);
        gst_element_remove_pad(GST_ELEMENT(self), self->srcpad);
    }
    if (removing) self->srcpad = NULL;
    zarn_ogg_file_close(self->file);
    self->file = NULL;
    zarn_ogg_decoder_destroy(self->decoder);
    self->decoder = NULL;
    self->position = 0;
    self->damage_seen = 0;
    self->started = FALSE;
    self->channels = 0;
    self->seqnum = 0;
    gst_segment_init(&self->segment, GST_FORMAT_TIME);
    self->need_segment = TRUE;
}

static gboolean sink_activate(GstPad *pad, GstObject *parent) {
    (void)parent;
    GstQuery *query = gst_query_new_scheduling();
    gboolean pull = gst_pad_peer_query(pad, query) &&
                    gst_query_has_scheduling_mode_with_flags(query, GST_PAD_MODE_PULL, GST_SCHEDULING_FLAG_SEEKABLE);
    gst_query_unref(query);
    return gst_pad_activate_mode(pad, pull ? GST_PAD_MODE_PULL : GST_PAD_MODE_PUSH, TRUE);
}

static gboolean sink_activate_mode(GstPad *pad, GstObject *parent, GstPadMode mode, gboolean active) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(parent);
    if (mode == GST_PAD_MODE_PULL) {
        if (!active) return gst_pad_stop_task(pad);
        reset(self, TRUE);
        self->pulling = TRUE;
        return gst_pad_start_task(pad, (GstTaskFunction)pull_loop, pad, NULL);
    }
    if (mode == GST_PAD_MODE_PUSH) {
        if (!active) return TRUE;
        reset(self, TRUE);
        self->pulling = FALSE;
        return make_push_decoder(self);
    }
    return FALSE;
}

static GstStateChangeReturn change_state(GstElement *element, GstStateChange transition) {
    GstZarnOggDec *self = GST_ZARN_OGG_DEC(element);
    const GstStateChangeReturn result = GST_ELEMENT_CLASS(gst_zarn_ogg_dec_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) reset(self, TRUE);
    return result;
}

static void gst_zarn_ogg_dec_init(GstZarnOggDec *self) {
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_activate_function(self->sinkpad, sink_activate);
    gst_pad_set_activatemode_function(self->sinkpad, sink_activate_mode);
    gst_pad_set_chain_function(self->sinkpad, push_chain);
    gst_pad_set_event_function(self->sinkpad, sink_event);
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    gst_segment_init(&self->segment, GST_FORMAT_TIME);
}

static void finalize(GObject *object) {
    reset(GST_ZARN_OGG_DEC(object), FALSE);
    G_OBJECT_CLASS(gst_zarn_ogg_dec_parent_class)->finalize(object);
}

static void gst_zarn_ogg_dec_class_init(GstZarnOggDecClass *klass) {
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GstElementClass *element_class = GST_ELEMENT_CLASS(klass);
    object_class->finalize = finalize;
    element_class->change_state = change_state;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "Ogg Zarn decoder", "Codec/Demuxer/Decoder/Audio",
                                          "Decodes Ogg Zarn to raw audio: every channel, the exact length, tags and "
                                          "sample-exact seeking",
                                          "Zarn");
    GST_DEBUG_CATEGORY_INIT(zarn_ogg_dec_debug, "zarnoggdec", 0, "Ogg Zarn decoder");
}
