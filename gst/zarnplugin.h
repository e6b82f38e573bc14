/* The GStreamer plugin "zarn": what its parts share. */
#ifndef ZARN_GST_PLUGIN_H
#define ZARN_GST_PLUGIN_H

#include <gst/audio/audio-channels.h>
#include <gst/audio/gstaudiodecoder.h>
#include <gst/audio/gstaudioencoder.h>
#include <gst/base/gstbaseparse.h>
#include <gst/gst.h>

G_BEGIN_DECLS

/* Ogg Zarn as bytes, as it lies in a file. */
#define ZARN_OGG_CAPS "application/x-zarn-ogg"
/* The bare stream: frames back to back, framed=true when each buffer holds
 * exactly one frame. */
#define ZARN_BARE_CAPS "audio/x-zarn"

gboolean zarn_register_type_finders(GstPlugin *plugin);

/* The speakers of a stream of `channels` (1 to 8) in the order the stream
 * holds them, which is Vorbis's. */
const GstAudioChannelPosition *zarn_stream_positions(int channels);

#define GST_TYPE_ZARN_OGG_DEC gst_zarn_ogg_dec_get_type()
G_DECLARE_FINAL_TYPE(GstZarnOggDec, gst_zarn_ogg_dec, GST, ZARN_OGG_DEC, GstElement)

#define GST_TYPE_ZARN_PARSE gst_zarn_parse_get_type()
G_DECLARE_FINAL_TYPE(GstZarnParse, gst_zarn_parse, GST, ZARN_PARSE, GstBaseParse)

#define GST_TYPE_ZARN_DEC gst_zarn_dec_get_type()
G_DECLARE_FINAL_TYPE(GstZarnDec, gst_zarn_dec, GST, ZARN_DEC, GstAudioDecoder)

#define GST_TYPE_ZARN_ENC gst_zarn_enc_get_type()
G_DECLARE_FINAL_TYPE(GstZarnEnc, gst_zarn_enc, GST, ZARN_ENC, GstAudioEncoder)

G_END_DECLS

#endif
