// The element in this process, on llvmpipe, inside pipelines of GStreamer's own elements: the
// tool's picture (`ruvovav denoise` on the same frames) at 8 bits with the automatic analysis
// and at 16 bits with a profile; every frame out with its timestamps and flags, and the
// delay it reports; a seek in the middle of a file; an element destroyed while it holds frames.
#include <gst/app/app.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor_core/gl_thread.h"
#include "frei0r_test_clip.h"
#include "gstreamer/ruvovav_element.h"

extern "C" void gst_plugin_ruvovav_register(void);

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using frei0r_test::clipFrame;
using frei0r_test::kHeight;
using frei0r_test::kWidth;

constexpr int kFrames = 8;
constexpr double kNoise = 10.0;
constexpr GstClockTime kPeriod = 40 * GST_MSECOND;  // 25 fps
const std::string kRgba = "video/x-raw,format=RGBA,width=160,height=96,framerate=25/1";

struct Frame {
    GstClockTime pts = GST_CLOCK_TIME_NONE;
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    guint flags = 0;
    Bytes bytes;
};

struct ObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;

// 16 bits per channel: the 8-bit clip with detail finer than an 8-bit step added.
Bytes wideFrame(int index) {
    const Bytes narrow = clipFrame(index, kNoise);
    Bytes wide;
    for (size_t i = 0; i < narrow.size(); ++i) {
        const int fine = i % 4 == 3 ? 255 : int((i * 37 + size_t(index) * 11) % 200);
        const int value = std::min(65535, narrow[i] * 257 + fine);
        wide.insert(wide.end(), {uint8_t(value & 0xff), uint8_t(value >> 8)});
    }
    return wide;
}

// Frames first .. last - 1 of `frame`, one after another in a raw file.
void writeRaw(const std::string& file, int first, int last,
              const std::function<Bytes(int)>& frame) {
    std::ofstream out(file, std::ios::binary);
    for (int i = first; i < last; ++i) {
        const Bytes f = frame(i);
        out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
    }
}

int run(const std::string& command) {
    return std::system(command.c_str());
}

// A pipeline in gst-launch syntax, set to NULL when it goes.
class Pipeline {
public:
    explicit Pipeline(const std::string& description) {
        GError* error = nullptr;
        pipeline_.reset(gst_parse_launch(description.c_str(), &error));
        if (error != nullptr) ADD_FAILURE() << description << ": " << error->message;
        g_clear_error(&error);
        if (pipeline_) bus_.reset(gst_element_get_bus(pipeline_.get()));
    }
    ~Pipeline() {
        if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
    ElementPtr element(const char* name) const {
        return ElementPtr(gst_bin_get_by_name(GST_BIN(pipeline_.get()), name));
    }
    // Waits for the state unless the source waits for the application's frames.
    void setState(GstState state, bool wait = true) {
        ASSERT_NE(gst_element_set_state(pipeline_.get(), state), GST_STATE_CHANGE_FAILURE);
        if (!wait) return;
        ASSERT_EQ(gst_element_get_state(pipeline_.get(), nullptr, nullptr, 300 * GST_SECOND),
                  GST_STATE_CHANGE_SUCCESS);
    }
    // What the appsink named "sink" gets until the end of the stream.
    std::vector<Frame> pull() {
        const ElementPtr sink = element("sink");
        std::vector<Frame> frames;
        GstAppSink* appsink = GST_APP_SINK(sink.get());
        while (GstSample* sample = gst_app_sink_try_pull_sample(appsink, 300 * GST_SECOND)) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            Frame f{GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer), GST_BUFFER_FLAGS(buffer),
                    Bytes(gst_buffer_get_size(buffer))};
            gst_buffer_extract(buffer, 0, f.bytes.data(), f.bytes.size());
            frames.push_back(std::move(f));
            gst_sample_unref(sample);
        }
        return frames;
    }
    int outstandingImages() const {
        return ruvovav::gst::outstandingImages(element("denoiser").get());
    }
    GstBus* bus() const { return bus_.get(); }

private:
    ElementPtr pipeline_;
    std::unique_ptr<GstBus, ObjectUnref> bus_;
};

std::string pngSource(const std::string& pattern) {
    return "multifilesrc location=" + pattern + " caps=image/png,framerate=25/1 ! pngdec ! ";
}

// The frames from `source` in `format` (RGBA or RGBA64_LE), passed `through` elements on the
// way (ours named "denoiser", which then must have every image back).
std::vector<Bytes> decoded(const std::string& source, const std::string& format,
                           const std::string& through = "") {
    Pipeline p(source + through + "videoconvert ! video/x-raw,format=" + format +
               " ! appsink name=sink sync=false");
    p.setState(GST_STATE_PLAYING);
    std::vector<Bytes> frames;
    for (Frame& f : p.pull()) frames.push_back(std::move(f.bytes));
    EXPECT_TRUE(through.empty() || p.outstandingImages() == 0);
    return frames;
}

double valueAt(const Bytes& bytes, size_t channel, bool wide) {
    return wide ? bytes[2 * channel] + 256.0 * bytes[2 * channel + 1] : bytes[channel];
}

// The largest difference of R, G and B between the element's frames and the tool's, in steps
// of the element's depth.
void expectCloseToTheTool(const std::vector<Bytes>& element, bool wide,
                          const std::vector<Bytes>& tool, double largestAllowed) {
    ASSERT_EQ(element.size(), size_t(kFrames)) << "one frame out per frame in";
    ASSERT_EQ(tool.size(), size_t(kFrames));
    const double toolStep = wide ? 1.0 : 257.0;  // the tool writes 16-bit PNGs
    double largest = 0;
    for (size_t f = 0; f < element.size(); ++f) {
        for (size_t c = 0; c < size_t(4) * kWidth * kHeight; ++c) {
            if (c % 4 == 3) continue;
            const double d = valueAt(element[f], c, wide) - valueAt(tool[f], c, true) / toolStep;
            largest = std::max(largest, std::abs(d));
        }
    }
    EXPECT_LE(largest, largestAllowed) << (wide ? "16" : "8") << " bits, in steps";
}

class GstreamerElement : public ::testing::Test {
protected:
    // The clip as 8- and 16-bit PNG sequences, and a profile of it made by the tool.
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("ruvovav_gst_" + std::to_string(getpid()));
        setenv("RUVOVAV_MODULE", RUVOVAV_MODULE_PATH, 1);
        // A registry of our own, without any copy of the element built elsewhere.
        setenv("GST_REGISTRY", path("registry.bin").c_str(), 1);
        setenv("GST_PLUGIN_PATH", "", 1);
        gst_init(nullptr, nullptr);
        gst_plugin_ruvovav_register();
        writeRaw(path("in8.rgba"), 0, kFrames, [](int i) { return clipFrame(i, kNoise); });
        writeRaw(path("in16.rgba"), 0, kFrames, wideFrame);
        const std::string ffmpeg = "ffmpeg -v error -y -f rawvideo -s 160x96 -r 25 -pix_fmt ";
        for (const std::string format : {"rgba", "rgba64le"}) {
            const std::string name = format == "rgba" ? "in8" : "in16";
            fs::create_directories(dir_ / name);
            ASSERT_EQ(run(ffmpeg + format + " -i " + path(name + ".rgba") + " -start_number 0 " +
                          path(name + "/%04d.png")),
                      0);
        }
        ASSERT_EQ(run(std::string(RUVOVAV_TOOL_PATH) + " analyze " + path("in8/%04d.png") +
                      " -y --profile-out " + profile() + " > /dev/null"),
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string path(const std::string& name) { return (dir_ / name).string(); }
    static std::string profile() { return path("grain.json"); }

    // `ruvovav denoise` on a sequence, as 16-bit frames.
    static std::vector<Bytes> toolFrames(const std::string& input, const std::string& options) {
        const std::string out = path("tool_" + input);
        fs::create_directories(out);
        EXPECT_EQ(run(std::string(RUVOVAV_TOOL_PATH) + " denoise " + path(input + "/%04d.png") +
                      " -o " + out + "/%04d.png -y " + options + " > /dev/null"),
                  0);
        return decoded(pngSource(out + "/%04d.png"), "RGBA64_LE");
    }

    static fs::path dir_;
};

fs::path GstreamerElement::dir_;

// 8 bits with the automatic analysis here; a profile is read the same way at either depth,
// and is compared at 16 bits below.
TEST_F(GstreamerElement, AnalysesTheFirstFrameAsTheToolDoesWithoutAProfile) {
    const std::vector<Bytes> element =
        decoded(pngSource(path("in8/%04d.png")), "RGBA", "videoconvert ! ruvovav name=denoiser ! ");
    expectCloseToTheTool(element, false, toolFrames("in8", ""), 1.0);
}

// The same 16-bit frames from a raw file: GStreamer 1.22's pngdec shifts the words of a 16-bit
// PNG by one (the first pixel comes out transparent). The tool's PNGs are read through it all
// the same: their colours survive, and alpha is not compared.
TEST_F(GstreamerElement, MatchesTheToolAt16Bits) {
    const std::vector<Bytes> element =
        decoded("filesrc location=" + path("in16.rgba") +
                    " ! rawvideoparse width=160 height=96 format=rgba64-le framerate=25/1 ! ",
                "RGBA64_LE", "ruvovav name=denoiser profile=" + profile() + " ! ");
    expectCloseToTheTool(element, true, toolFrames("in16", "--profile-in " + profile()), 1.0);
}

// Frames pushed by the application, the window changed from its thread while they flow.
TEST_F(GstreamerElement, KeepsEveryFrameWithItsTimestampsAndReportsItsDelay) {
    Pipeline p("appsrc name=src format=time caps=" + kRgba + " ! ruvovav name=denoiser profile=" +
               profile() + " frames=4 ! appsink name=sink sync=false");
    p.setState(GST_STATE_PLAYING, false);
    const ElementPtr src = p.element("src"), denoiser = p.element("denoiser");
    std::vector<Frame> in;
    for (int i = 0; i < 9; ++i) {
        Frame f{GST_SECOND + GstClockTime(i) * kPeriod, kPeriod,
                i % 2 ? guint(GST_BUFFER_FLAG_DELTA_UNIT) : 0u, clipFrame(i, kNoise)};
        GstBuffer* buffer = gst_buffer_new_memdup(f.bytes.data(), f.bytes.size());
        GST_BUFFER_PTS(buffer) = f.pts;
        GST_BUFFER_DURATION(buffer) = f.duration;
        GST_BUFFER_FLAG_SET(buffer, f.flags);
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src.get()), buffer), GST_FLOW_OK);
        in.push_back(std::move(f));
        if (i == 4) g_object_set(denoiser.get(), "frames", 8, nullptr);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
    const std::vector<Frame> out = p.pull();
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].pts, in[i].pts) << i;
        EXPECT_EQ(out[i].duration, in[i].duration) << i;
        EXPECT_EQ(out[i].flags & GST_BUFFER_FLAG_DELTA_UNIT, in[i].flags) << i;
        EXPECT_NE(out[i].bytes, in[i].bytes) << "frame " << i << " was not denoised";
    }
    // The first frame of a run waits for the seven after it.
    GstQuery* query = gst_query_new_latency();
    ASSERT_TRUE(gst_pad_query(GST_BASE_TRANSFORM_SRC_PAD(denoiser.get()), query));
    GstClockTime min = 0;
    gst_query_parse_latency(query, nullptr, &min, nullptr);
    gst_query_unref(query);
    EXPECT_EQ(min, 7 * kPeriod);
    int latencyMessages = 0;  // one when the frame rate became known, one when the window grew
    while (GstMessage* m = gst_bus_pop_filtered(p.bus(), GST_MESSAGE_LATENCY)) {
        latencyMessages += GST_MESSAGE_SRC(m) == GST_OBJECT(denoiser.get());
        gst_message_unref(m);
    }
    EXPECT_EQ(latencyMessages, 2);
    EXPECT_EQ(p.outstandingImages(), 0);
}

// The timestamps of the buffers that enter a pad after the last flush.
struct EnteringFrames {
    std::mutex mutex;
    std::vector<GstClockTime> times;
    static GstPadProbeReturn note(GstPad*, GstPadProbeInfo* info, gpointer self) {
        auto& frames = *static_cast<EnteringFrames*>(self);
        const std::lock_guard lock(frames.mutex);
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
            frames.times.push_back(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
        } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
            frames.times.clear();
        }
        return GST_PAD_PROBE_OK;
    }
};

TEST_F(GstreamerElement, StartsAgainAfterASeek) {
    // Ten frames in a raw file, and a seek to frame 5 once the element holds the first ones.
    const auto write = [](const std::string& file, int first) {
        writeRaw(file, first, 10, [](int i) { return clipFrame(i, kNoise); });
    };
    const auto pipeline = [&](const std::string& file) {
        return "filesrc location=" + file +
               " ! rawvideoparse width=160 height=96 format=rgba framerate=25/1"
               " ! ruvovav name=denoiser profile=" +
               profile() + " ! appsink name=sink sync=false";
    };
    write(path("whole.rgba"), 0);
    Pipeline seeking(pipeline(path("whole.rgba")));
    const std::unique_ptr<GstPad, ObjectUnref> pad(
        gst_element_get_static_pad(seeking.element("denoiser").get(), "sink"));
    EnteringFrames entering;
    gst_pad_add_probe(pad.get(),
                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      &EnteringFrames::note, &entering, nullptr);
    seeking.setState(GST_STATE_PAUSED);
    ASSERT_TRUE(gst_element_seek_simple(seeking.element("sink").get(), GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        5 * kPeriod));
    seeking.setState(GST_STATE_PLAYING);
    const std::vector<Frame> shown = seeking.pull();
    EXPECT_EQ(seeking.outstandingImages(), 0);
    // The parser may send a frame before the seek's position too (the sink leaves it out):
    // from the first frame that came after the flush, it must be a clip of its own.
    const std::vector<GstClockTime> came = [&] {
        const std::lock_guard lock(entering.mutex);
        return entering.times;
    }();
    ASSERT_FALSE(came.empty());
    const int first = int(came.front() / kPeriod);
    ASSERT_LE(first, 5);
    write(path("tail.rgba"), first);
    Pipeline fresh(pipeline(path("tail.rgba")));
    fresh.setState(GST_STATE_PLAYING);
    const std::vector<Frame> tail = fresh.pull();
    ASSERT_EQ(shown.size(), 5u);
    ASSERT_EQ(tail.size(), size_t(10 - first));
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].pts, (5 + i) * kPeriod);
        EXPECT_TRUE(shown[i].bytes == tail[i + size_t(5 - first)].bytes) << "frame " << 5 + i;
    }
}

TEST_F(GstreamerElement, CanBeDestroyedWhileItHoldsFrames) {
    auto p = std::make_unique<Pipeline>("appsrc name=src format=time caps=" + kRgba +
                                        " ! ruvovav name=denoiser profile=" + profile() +
                                        " frames=8 ! fakesink name=sink");
    p->setState(GST_STATE_PLAYING, false);
    const ElementPtr src = p->element("src");
    for (int i = 0; i < 3; ++i) {
        GstBuffer* buffer =
            gst_buffer_new_memdup(clipFrame(i, kNoise).data(), size_t(4) * kWidth * kHeight);
        GST_BUFFER_PTS(buffer) = GstClockTime(i) * kPeriod;
        gst_app_src_push_buffer(GST_APP_SRC(src.get()), buffer);
    }
    // An event after the frames reaches the sink once the element has taken all three.
    GstPad* sinkPad = gst_element_get_static_pad(p->element("sink").get(), "sink");
    std::promise<void> taken;
    gulong probe = gst_pad_add_probe(
        sinkPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer done) {
            if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_CUSTOM_DOWNSTREAM) {
                static_cast<std::promise<void>*>(done)->set_value();
            }
            return GST_PAD_PROBE_OK;
        },
        &taken, nullptr);
    gst_element_send_event(src.get(),
                           gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM,
                                                gst_structure_new_empty("after-the-frames")));
    ASSERT_EQ(taken.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    gst_pad_remove_probe(sinkPad, probe);
    gst_object_unref(sinkPad);
    EXPECT_EQ(p->outstandingImages(), 0);
    p.reset();
    EXPECT_FALSE(ruvovav::editor::GlThread::running()) << "the effect outlived its element";
}

}  // namespace
