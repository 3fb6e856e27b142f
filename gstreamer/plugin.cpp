// The plug-in libgstruvovav.so: GStreamer finds it by its file name and this description.
#include <gst/gst.h>

#include "gstreamer/ruvovav_element.h"

#define PACKAGE "ruvovav"

namespace {

gboolean initPlugin(GstPlugin* plugin) {
    return ruvovav::gst::registerElement(plugin);
}

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, ruvovav,
                  "Grain and noise removal over several frames, with OpenGL", initPlugin, "0.2",
                  GST_LICENSE_UNKNOWN, "Ruvovav", "Ruvovav")
