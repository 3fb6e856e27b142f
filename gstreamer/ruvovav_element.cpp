#include "gstreamer/ruvovav_element.h"

#include <gst/video/video.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "gstreamer/element_properties.h"
#include "gstreamer/element_stream.h"

namespace {

using ruvovav::gst::BufferPtr;
using ruvovav::gst::CapsPtr;
using ruvovav::gst::ElementStream;

struct ElementState {
    ruvovav::gst::ElementSettings settings;  // locked: properties are set from any thread
    std::unique_ptr<ElementStream> stream;   // from start to stop
    std::atomic<GstClockTime> latency{0};    // read by queries from any thread
    std::set<std::string> warned;            // topics already posted
};

}  // namespace

struct _GstRuvovav {
    GstBaseTransform parent;
    ElementState* state;
};

G_DEFINE_TYPE(GstRuvovav, gst_ruvovav, GST_TYPE_BASE_TRANSFORM)

namespace {

constexpr const char* kFormats = GST_VIDEO_CAPS_MAKE("{ RGBA, RGBA64_LE }");

ElementState& stateOf(gpointer element) {
    return *GST_RUVOVAV(element)->state;
}

GstBaseTransformClass* parentClass() {
    return GST_BASE_TRANSFORM_CLASS(gst_ruvovav_parent_class);
}

void warnOnce(GstBaseTransform* trans, const std::string& topic, const std::string& text) {
    if (!stateOf(trans).warned.insert(topic).second) return;
    GST_ELEMENT_WARNING(trans, STREAM, FAILED, ("%s", text.c_str()), (nullptr));
}

// Posts a latency message when the delay changed (a new window length or frame rate).
void noteLatency(GstBaseTransform* trans) {
    ElementState& s = stateOf(trans);
    const GstClockTime latency = s.stream->latency();
    if (s.latency.exchange(latency) != latency) {
        gst_element_post_message(GST_ELEMENT(trans), gst_message_new_latency(GST_OBJECT(trans)));
    }
}

GstFlowReturn renderOne(GstBaseTransform* trans, GstBuffer** out) {
    try {
        ruvovav::gst::StreamOutput o = stateOf(trans).stream->renderNext();
        if (o.passedUnchanged && !o.analysisIssue.empty()) {
            warnOnce(trans, "analysis",
                     "The automatic analysis refused a frame; frames pass unchanged until one "
                     "can be analysed: " +
                         o.analysisIssue);
        } else if (!o.analysisIssue.empty()) {
            warnOnce(trans, "analysis warning", "Automatic analysis: " + o.analysisIssue);
        }
        *out = o.buffer.release();
        return GST_FLOW_OK;
    } catch (const std::exception& e) {
        GST_ELEMENT_ERROR(trans, STREAM, FAILED, ("The effect failed to render a frame."),
                          ("%s", e.what()));
        return GST_FLOW_ERROR;
    }
}

// The run ends: every waiting frame goes on, its window pushed back from the end.
void drain(GstBaseTransform* trans) {
    ElementState& s = stateOf(trans);
    if (!s.stream) return;
    while (s.stream->ready(true)) {
        GstBuffer* out = nullptr;
        if (renderOne(trans, &out) != GST_FLOW_OK) break;
        if (gst_pad_push(GST_BASE_TRANSFORM_SRC_PAD(trans), out) != GST_FLOW_OK) break;
    }
    s.stream->restart();
}

bool capsChange(GstBaseTransform* trans, GstEvent* event) {
    GstCaps* next = nullptr;
    gst_event_parse_caps(event, &next);
    const CapsPtr current(gst_pad_get_current_caps(GST_BASE_TRANSFORM_SINK_PAD(trans)));
    return current && !gst_caps_is_equal(current.get(), next);
}

gboolean sinkEvent(GstBaseTransform* trans, GstEvent* event) {
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_EOS:
        case GST_EVENT_SEGMENT:
        case GST_EVENT_GAP:
            drain(trans);
            break;
        case GST_EVENT_CAPS:
            if (capsChange(trans, event)) drain(trans);
            break;
        case GST_EVENT_FLUSH_STOP:
            if (stateOf(trans).stream) stateOf(trans).stream->restart();
            break;
        default:
            break;
    }
    return parentClass()->sink_event(trans, event);
}

GstFlowReturn submitInput(GstBaseTransform* trans, gboolean discont, GstBuffer* input) {
    // The base class checks the negotiation and leaves the buffer in queued_buf.
    const GstFlowReturn flow = parentClass()->submit_input_buffer(trans, discont, input);
    if (flow != GST_FLOW_OK) return flow;
    BufferPtr buffer(std::exchange(trans->queued_buf, nullptr));
    if (!buffer) return GST_FLOW_OK;
    ElementState& s = stateOf(trans);
    try {
        s.stream->accept(std::move(buffer), s.settings.snapshot());
    } catch (const std::exception& e) {
        GST_ELEMENT_ERROR(trans, STREAM, FAILED, ("The effect cannot take a frame: %s", e.what()),
                          (nullptr));
        return GST_FLOW_ERROR;
    }
    noteLatency(trans);
    return GST_FLOW_OK;
}

GstFlowReturn generateOutput(GstBaseTransform* trans, GstBuffer** out) {
    *out = nullptr;
    if (!stateOf(trans).stream->ready(false)) return GST_FLOW_OK;
    return renderOne(trans, out);
}

gboolean setCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps* /*outcaps*/) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, incaps)) return FALSE;
    stateOf(trans).stream->setFormat(info);
    noteLatency(trans);
    return TRUE;
}

// Frames leave later than they come: downstream must allow for it.
gboolean query(GstBaseTransform* trans, GstPadDirection direction, GstQuery* query) {
    if (!parentClass()->query(trans, direction, query)) return FALSE;
    if (direction == GST_PAD_SRC && GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
        gboolean live = FALSE;
        GstClockTime min = 0, max = 0;
        gst_query_parse_latency(query, &live, &min, &max);
        const GstClockTime delay = stateOf(trans).latency;
        gst_query_set_latency(query, live, min + delay,
                              GST_CLOCK_TIME_IS_VALID(max) ? max + delay : max);
    }
    return TRUE;
}

gboolean start(GstBaseTransform* trans) {
    ElementState& s = stateOf(trans);
    try {
        s.stream = std::make_unique<ElementStream>(s.settings.snapshot());
    } catch (const std::exception& e) {
        GST_ELEMENT_ERROR(trans, LIBRARY, INIT, ("The effect cannot start: %s", e.what()),
                          (nullptr));
        return FALSE;
    }
    s.warned.clear();
    s.latency = 0;
    return TRUE;
}

gboolean stop(GstBaseTransform* trans) {
    stateOf(trans).stream.reset();
    return TRUE;
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    if (!ruvovav::gst::setProperty(stateOf(object).settings, id, value)) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    if (!ruvovav::gst::getProperty(stateOf(object).settings, id, value)) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

void finalize(GObject* object) {
    delete GST_RUVOVAV(object)->state;
    G_OBJECT_CLASS(gst_ruvovav_parent_class)->finalize(object);
}

void addPadTemplates(GstElementClass* element) {
    for (const GstPadDirection direction : {GST_PAD_SINK, GST_PAD_SRC}) {
        const CapsPtr caps(gst_caps_from_string(kFormats));
        gst_element_class_add_pad_template(
            element, gst_pad_template_new(direction == GST_PAD_SINK ? "sink" : "src", direction,
                                          GST_PAD_ALWAYS, caps.get()));
    }
}

}  // namespace

static void gst_ruvovav_class_init(GstRuvovavClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = setProperty;
    object->get_property = getProperty;
    object->finalize = finalize;
    ruvovav::gst::installProperties(object);

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "Ruvovav denoiser", "Filter/Effect/Video",
        "Removes grain and noise by combining each frame with its neighbours (a window centred "
        "on the frame, aligned to the motion), on the GPU through OpenGL, as `ruvovav denoise` "
        "does; RGBA and 16-bit RGBA64_LE frames",
        "Ruvovav");
    addPadTemplates(element);

    GstBaseTransformClass* transform = GST_BASE_TRANSFORM_CLASS(klass);
    transform->start = start;
    transform->stop = stop;
    transform->set_caps = setCaps;
    transform->sink_event = sinkEvent;
    transform->query = query;
    transform->submit_input_buffer = submitInput;
    transform->generate_output = generateOutput;
}

static void gst_ruvovav_init(GstRuvovav* self) {
    self->state = new ElementState;
    // Every frame goes through the effect, formats alike or not.
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), FALSE);
}

namespace ruvovav::gst {

gboolean registerElement(GstPlugin* plugin) {
    return gst_element_register(plugin, "ruvovav", GST_RANK_NONE, GST_TYPE_RUVOVAV);
}

int outstandingImages(GstElement* element) {
    ElementState& s = stateOf(element);
    return s.stream ? s.stream->outstandingImages() : 0;
}

}  // namespace ruvovav::gst
