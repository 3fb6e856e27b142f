// `ruvovav denoise`: every frame of the range rendered by the effect and encoded.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/encode_queue.h"
#include "cli/host_frames.h"
#include "cli/interrupt.h"
#include "cli/job_setup.h"
#include "cli/media/frame_pattern.h"
#include "cli/media/media_writer.h"
#include "cli/output_safety.h"
#include "cli/progress.h"
#include "cli/reference_metrics.h"

namespace ruvovav::cli {
namespace {

// The input, the reference and the profile read are never written to, whatever -y says;
// checked on the file system before anything is read.
void protectInputs(const DenoiseOptions& o) {
    std::vector<std::filesystem::path> inputs = {o.input};
    if (!o.reference.empty()) inputs.emplace_back(o.reference);
    if (!o.analysis.profileIn.empty()) inputs.emplace_back(o.analysis.profileIn);
    refuseOverlap(inputs, o.output, "the output");
    // Rewriting the profile read is allowed: it was read whole before anything is saved.
    if (!o.analysis.profileIn.empty()) inputs.pop_back();
    if (!o.analysis.profileOut.empty())
        refuseOverlap(inputs, o.analysis.profileOut, "--profile-out");
}

void refuseExistingOutput(const DenoiseOptions& o) {
    std::error_code error;
    if (!o.overwrite && !media::parseFramePattern(o.output) &&
        std::filesystem::exists(o.output, error)) {
        throw UsageError("'" + o.output + "' exists (use -y to overwrite)");
    }
}

FrameRange frameRange(const DenoiseOptions& o, int64_t frameCount) {
    FrameRange range;
    if (!o.range.empty()) range = parseRange("--range", o.range);
    if (range.first >= frameCount) {
        throw UsageError("--range: frame " + std::to_string(range.first) + " is past the clip's " +
                         std::to_string(frameCount) + " frames");
    }
    if (!range.last || *range.last > frameCount) range.last = frameCount;
    return range;
}

void printNote(const std::string& line) {
    std::cerr << "ruvovav: " << line << "\n";
}

media::WriterOptions writerOptions(const DenoiseOptions& o, const FrameRange& range,
                                   int64_t frameCount) {
    media::WriterOptions w;
    w.codec = o.codec;
    w.crf = o.crf.value_or(-1);
    w.overwrite = o.overwrite;
    // A chunk's images keep the clip's frame numbers, so chunks land side by side.
    w.startNumber = range.first;
    w.source = o.input;
    // A chunk's sound would be cut at packet edges and joined with gaps; the join step
    // takes the source's sound instead (docs/farm.md).
    w.audio = !o.dropAudio && (o.range.empty() || o.keepAudio);
    if (!o.dropAudio && !w.audio) w.audioLeftOut = "a --range chunk has no sound unless --audio";
    w.wholeClip = range.first == 0 && *range.last == frameCount;
    w.notice = printNote;
    return w;
}

using Clock = std::chrono::steady_clock;

// Seconds spent in each stage, for --stats. Decoding runs ahead on the decoder's thread, so
// `decode` is only the render thread's wait for frames not decoded yet; encoding runs beside
// the render on the encoder's thread.
struct StageTimes {
    double waitForFrames = 0, render = 0, waitForEncoder = 0, decode = 0, encode = 0, wall = 0;
};

double since(Clock::time_point& mark) {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - mark).count();
    mark = now;
    return seconds;
}

// The share of a side thread's `busy` seconds that the render thread did not wait for.
double besideTheRender(double busy, double waited) {
    return busy > 0 ? 100 * std::clamp(busy - waited, 0.0, busy) / busy : 100.0;
}

void printStats(const StageTimes& t, int64_t frames) {
    const double wall = std::max(t.wall, 1e-9);
    std::printf(
        "stats: %lld frames in %.2f s (%.2f fps): render %.0f%%, waiting for frames %.0f%%, "
        "waiting for the encoder %.0f%%; decoding %.2f s, %.0f%% of it beside the render; "
        "encoding %.2f s, %.0f%% of it beside the render\n",
        static_cast<long long>(frames), wall, double(frames) / wall, 100 * t.render / wall,
        100 * t.waitForFrames / wall, 100 * t.waitForEncoder / wall, t.decode,
        besideTheRender(t.decode, t.waitForFrames), t.encode,
        besideTheRender(t.encode, t.waitForEncoder));
}

class RenderLoop {
public:
    RenderLoop(ClipJob& job, EncodeQueue& encoder, ReferenceMetrics* metrics)
        : job_(job), encoder_(encoder), metrics_(metrics) {}

    // Frame i decoded (with its window), rendered, measured and encoded.
    void renderFrame(int64_t i) {
        const media::VideoInfo& info = job_.reader->info();
        Clock::time_point mark = Clock::now();
        if (!job_.cache->setCurrent(int(i))) throw media::MediaError(*job_.cache->error());
        times_.waitForFrames += since(mark);
        const std::vector<float> rgba = job_.session->render(int(i));
        if (job_.cache->error()) throw media::MediaError(*job_.cache->error());
        times_.render += since(mark);
        media::Picture result = pictureOf(rgba, info.width, info.height);
        result.time = job_.cache->presentationTime(int(i));
        if (metrics_ != nullptr) {
            const kestrel::Frame* input = job_.cache->frame(int(i));
            metrics_->add(i, pictureOf(input->rgba, info.width, info.height), result);
            mark = Clock::now();  // measuring is not part of the job
        }
        encoder_.push(std::move(result));
        times_.waitForEncoder += since(mark);
    }
    const StageTimes& times() const { return times_; }

private:
    ClipJob& job_;
    EncodeQueue& encoder_;
    ReferenceMetrics* metrics_;
    StageTimes times_;
};

// Renders the range into the writer; the number of frames done (fewer when interrupted).
int64_t renderRange(RenderLoop& loop, const FrameRange& range) {
    Progress progress(std::cerr, *range.last - range.first, isatty(STDERR_FILENO) != 0);
    int64_t done = 0;
    for (int64_t i = range.first; i < *range.last && !interrupted(); ++i) {
        loop.renderFrame(i);
        progress.update(++done);
    }
    progress.finish();
    return done;
}

// Everything that can be refused without the effect: options, the input's description, and
// the output, which is created (under a temporary name) before the module loads or GL starts.
struct PreparedJob {
    std::unique_ptr<media::MediaReader> reader;
    FrameRange range;
    std::shared_ptr<media::MediaWriter> writer;  // shared with the encoder's thread
};

PreparedJob prepare(const DenoiseOptions& o) {
    protectInputs(o);
    refuseExistingOutput(o);
    PreparedJob p;
    p.reader = openInput(o.input);
    const media::VideoInfo& info = p.reader->info();
    p.range = frameRange(o, info.frameCount);
    checkAnalysisOptions(o.analysis, info);
    media::VideoInfo written = info;
    written.frameCount = *p.range.last - p.range.first;
    p.writer =
        media::MediaWriter::create(o.output, written, writerOptions(o, p.range, info.frameCount));
    return p;
}

}  // namespace

int runDenoise(const DenoiseOptions& o) {
    // From the start, so that an early Ctrl-C still ends in a finished output.
    catchInterrupts();
    PreparedJob p = prepare(o);
    const FrameRange range = p.range;
    ClipJob job = startClipJob(o.common, std::move(p.reader), o.analysis, o.settings);
    const std::vector<PressedBox> boxes = analyseClip(job, o.analysis, std::cout).pressed;
    saveProfileIfAsked(job, o.analysis, o.input, boxes, o.overwrite);
    std::unique_ptr<ReferenceMetrics> metrics;
    if (!o.reference.empty()) {
        metrics = std::make_unique<ReferenceMetrics>(o.reference, job.reader->info(),
                                                     o.metricsPerFrame, std::cout);
    }
    std::cout << "renderer: " << job.session->renderer() << "\n" << std::flush;
    // Two pictures may wait: enough to keep the encoder busy through a render's ups and
    // downs, few enough that frames of 4K float RGBA do not pile up.
    EncodeQueue encoder(
        [writer = p.writer](const media::Picture& picture) { writer->write(picture); }, 2);
    RenderLoop loop(job, encoder, metrics.get());
    const Clock::time_point start = Clock::now();
    const int64_t done = renderRange(loop, range);
    encoder.close();
    StageTimes times = loop.times();
    times.encode = encoder.encodeSeconds();
    times.decode = job.cache->decodeSeconds();
    times.wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (done == 0) {
        p.writer->abandon();
        std::cerr << "ruvovav: interrupted before the first frame; nothing written\n";
        return kExitInterrupted;
    }
    p.writer->finish();
    if (metrics) metrics->printSummary();
    if (o.stats) printStats(times, done);
    if (done < *range.last - range.first) {
        std::cerr << "ruvovav: interrupted; '" << o.output << "' holds the frames done\n";
        return kExitInterrupted;
    }
    return 0;
}

}  // namespace ruvovav::cli
