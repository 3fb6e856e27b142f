// The element's properties: the profile and the tool's settings flags, with the effect's
// ranges and defaults, read and written through the element's locked settings.
#pragma once

#include <glib-object.h>

#include "gstreamer/element_settings.h"

namespace ruvovav::gst {

void installProperties(GObjectClass* klass);
// False for an id that is not one of these properties.
bool setProperty(ElementSettings& settings, guint id, const GValue* value);
bool getProperty(const ElementSettings& settings, guint id, GValue* value);

}  // namespace ruvovav::gst
