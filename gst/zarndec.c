/* zarndec: bare Zarn frames to raw audio, on libzarn's frame decoder.
 *
 * A frame finishes the samples of the hop before it, so the first frame
 * after a start or a seek gives nothing and the end gives one hop more. */
#include "gst/zarnplugin.h"

#include <gst/audio/gstaudiodecoder.h>
#include <zarn.h>

GST_DEBUG_CATEGORY_STATIC(zarn_dec_debug);
#define GST_CAT_DEFAULT zarn_dec_debug

struct _GstZarnDec {
    GstAudioDecoder parent;
    zarn_frame_decoder *decoder;
    gboolean any; /* a frame was decoded since the start */
};

G_DEFINE_TYPE(GstZarnDec, gst_zarn_dec, GST_TYPE_AUDIO_DECODER)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(ZARN_BARE_CAPS ", framed=(boolean)true, rate=(int)44100, channels=(int)1"));
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)" GST_AUDIO_NE(S16) ", layout=(string)interleaved, "
                    "rate=(int)44100, channels=(int)1"));

static gboolean restart(GstZarnDec *self) {
    zarn_frame_decoder_destroy(self->decoder);
    int error = ZARN_OK;
    self->decoder = zarn_frame_decoder_create(NULL, &error);
    self->any = FALSE;
    return self->decoder != NULL;
}

static gboolean start(GstAudioDecoder *decoder) { return restart(GST_ZARN_DEC(decoder)); }

static gboolean stop(GstAudioDecoder *decoder) {
    GstZarnDec *self = GST_ZARN_DEC(decoder);
    zarn_frame_decoder_destroy(self->decoder);
    self->decoder = NULL;
    return TRUE;
}

static gboolean set_format(GstAudioDecoder *decoder, GstCaps *caps) {
    (void)caps;
    GstAudioInfo info;
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16, ZARN_SAMPLE_RATE, 1, NULL);
    return gst_audio_decoder_set_output_format(decoder, &info);
}

static void flush(GstAudioDecoder *decoder, gboolean hard) {
    (void)hard;
    restart(GST_ZARN_DEC(decoder));
}

/* The frame with every band off, little-endian words: the tag, then 26
 * bytes of zeros. */
static const guint8 silent_frame[ZARN_MIN_FRAME_BYTES] = {0xf0, 0xff};

/* Frames are finished one behind: the samples a frame gives are those of
 * the frame before, which the base class still holds, so every hop goes out
 * with its own frame's time. */
static GstFlowReturn handle_frame(GstAudioDecoder *decoder, GstBuffer *input) {
    GstZarnDec *self = GST_ZARN_DEC(decoder);
    if (input == NULL && !self->any) return GST_FLOW_OK;
    GstBuffer *output = gst_audio_decoder_allocate_output_buffer(decoder, ZARN_FRAME_SAMPLES * sizeof(gint16));
    GstMapInfo out;
    gst_buffer_map(output, &out, GST_MAP_WRITE);
    size_t count = ZARN_FRAME_SAMPLES;
    if (input == NULL) {
        /* The end: the last hop, which the last frame began. */
        zarn_frame_decoder_finish(self->decoder, (int16_t *)out.data);
        gst_buffer_unmap(output, &out);
        restart(self);
        return gst_audio_decoder_finish_frame(decoder, output, 1);
    }
    GstMapInfo in;
    gst_buffer_map(input, &in, GST_MAP_READ);
    int result = zarn_frame_decode(self->decoder, in.data, in.size, (int16_t *)out.data, &count);
    gst_buffer_unmap(input, &in);
    if (result == ZARN_ERROR_BAD_TAG || result == ZARN_ERROR_TRUNCATED) {
        /* The parser gives whole frames only; one that does not decode all
         * the same is silence in its place, so that the times stay. */
        GST_ELEMENT_WARNING(self, STREAM, DECODE, ("A Zarn frame does not decode: %s.", zarn_strerror(result)), (NULL));
        result = zarn_frame_decode(self->decoder, silent_frame, sizeof silent_frame, (int16_t *)out.data, &count);
    }
    gst_buffer_unmap(output, &out);
    if (result != ZARN_OK) {
        gst_buffer_unref(output);
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The Zarn decoder failed: %s.", zarn_strerror(result)), (NULL));
        return GST_FLOW_ERROR;
    }
    self->any = TRUE;
    if (count == 0) {
        gst_buffer_unref(output);
        return GST_FLOW_OK;
    }
    return gst_audio_decoder_finish_frame(decoder, output, 1);
}

static void gst_zarn_dec_init(GstZarnDec *self) {
    gst_audio_decoder_set_drainable(GST_AUDIO_DECODER(self), TRUE);
    gst_audio_decoder_set_needs_format(GST_AUDIO_DECODER(self), TRUE);
}

static void gst_zarn_dec_class_init(GstZarnDecClass *klass) {
    GstElementClass *element_class = GST_ELEMENT_CLASS(klass);
    GstAudioDecoderClass *decoder_class = GST_AUDIO_DECODER_CLASS(klass);
    decoder_class->start = start;
    decoder_class->stop = stop;
    decoder_class->set_format = set_format;
    decoder_class->flush = flush;
    decoder_class->handle_frame = handle_frame;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "Zarn decoder", "Codec/Decoder/Audio",
                                          "Decodes bare Zarn frames to raw audio", "Zarn");
    GST_DEBUG_CATEGORY_INIT(zarn_dec_debug, "zarndec", 0, "Zarn decoder");
}
