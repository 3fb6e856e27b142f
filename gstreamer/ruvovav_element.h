// The GStreamer element "ruvovav": the effect with the tool's centred window, on RGBA and
// RGBA64_LE frames.
#pragma once

#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>

G_BEGIN_DECLS
#define GST_TYPE_RUVOVAV (gst_ruvovav_get_type())
G_DECLARE_FINAL_TYPE(GstRuvovav, gst_ruvovav, GST, RUVOVAV, GstBaseTransform)
G_END_DECLS

namespace ruvovav::gst {

// Registers the element with `plugin`.
gboolean registerElement(GstPlugin* plugin);

// Images the host lent the module and has not had back; 0 while the effect is not running.
// Call it while no frame is on its way through.
int outstandingImages(GstElement* element);

}  // namespace ruvovav::gst
