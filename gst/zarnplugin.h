/* The GStreamer plugin "zarn": what its parts share. */
#ifndef ZARN_GST_PLUGIN_H
#define ZARN_GST_PLUGIN_H

#include <gst/gst.h>

G_BEGIN_DECLS

/* Ogg Zarn as bytes, as it lies in a file. */
#define ZARN_OGG_CAPS "application/x-zarn-ogg"
/* The bare stream: frames back to back, framed=true when each buffer holds
 * exactly one frame. */
#define ZARN_BARE_CAPS "audio/x-zarn"

gboolean zarn_register_type_finders(GstPlugin *plugin);

G_END_DECLS

#endif
