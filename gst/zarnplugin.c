/* The GStreamer plugin "zarn": Zarn's type finders and elements, each a
 * thin layer on libzarn. */
#include "gst/zarnplugin.h"

#include <zarn.h>

static gboolean plugin_init(GstPlugin *plugin) {
    return zarn_register_type_finders(plugin) &&
           gst_element_register(plugin, "zarnoggdec", GST_RANK_PRIMARY, GST_TYPE_ZARN_OGG_DEC) &&
           gst_element_register(plugin, "zarnparse", GST_RANK_PRIMARY, GST_TYPE_ZARN_PARSE) &&
           gst_element_register(plugin, "zarndec", GST_RANK_PRIMARY, GST_TYPE_ZARN_DEC);
}

#define PACKAGE "zarn"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zarn, "Zarn audio: the bare stream and Ogg Zarn", plugin_init,
                  ZARN_GST_VERSION, "unknown", "zarn", "zarn")
