// Whole frames rendered by the loaded module through our host, exactly as the editor drives
// it: analysed thresholds, Daubechies 4, no movement tracking, 1 and 4 frames, at 1280 x 720
// and 1920 x 1080. Each row reports milliseconds per frame, the draws of one frame and the
// share of the frame the GL spent working (a GL_TIME_ELAPSED query around the render call).
//
// The floor is one full-frame pass measured in the same run: a render of the analysis-box
// view, one draw of the source over the frame. It has rows of its own and is also sampled
// next to every timed frame, so that the ratios see the load the frame saw. (draws per
// frame) x (that pass) is what as many full-frame copies would cost; most of the effect's
// passes are smaller, so this floor over-counts. The fragments a frame's draws wrote, in
// whole frames, times that pass gives a second, tighter floor.
//
// Every timed iteration ends with glFinish, and only the time up to its return is counted
// (manual timing). One untimed render comes first: llvmpipe builds a program's machine code
// at its first draw, and the host's image pool fills up.
//
// Usage: render_bench [--gl=software|hardware|auto] [Google Benchmark flags]
#include <GL/glew.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "host/host.h"
#include "host/plugin_module.h"
#include "params/parameter_ids.h"

namespace {

constexpr int kClipFrames = 8;
constexpr int kMiddleFrame = kClipFrames / 2;
constexpr float kNoiseSigma = 0.05f;
// Parameter values as the panel declares them.
constexpr int kDaubechies4 = 1;
constexpr int kViewResult = Plugin::rules::kViewResult;
constexpr int kViewAnalysisBox = Plugin::rules::kViewAnalysisBox;
// The analysed box keeps this far inside the flat patch, off its textured border.
constexpr int kBoxMargin = 16;
constexpr int kThresholdLayers = 10;
constexpr int kThresholdLevels = 10;

struct FrameSize {
    int width;
    int height;
};
constexpr std::array<FrameSize, 2> kSizes = {{{1280, 720}, {1920, 1080}}};

std::string sizeName(FrameSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

using Clock = std::chrono::steady_clock;

// A smooth texture with a flat grey lower-left quarter, each frame with its own Gaussian
// noise; opaque, so premultiplying changes nothing.
std::vector<kestrel::Frame> makeNoisyClip(FrameSize size) {
    kestrel::Frame clean{size.width, size.height, {}};
    clean.rgba.reserve(size_t(4) * size_t(size.width) * size_t(size.height));
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const bool flat = x < size.width / 2 && y < size.height / 2;
            const float r =
                flat ? 0.5f : 0.5f + 0.3f * std::sin(0.4f * float(x)) * std::cos(0.3f * float(y));
            const float g = flat ? 0.5f : 0.45f + 0.25f * std::cos(0.25f * float(x + y));
            const float b = flat ? 0.5f : 0.5f + 0.2f * std::sin(0.5f * float(y));
            clean.rgba.insert(clean.rgba.end(), {r, g, b, 1.0f});
        }
    }
    std::mt19937 generator(1234);
    std::normal_distribution<float> noise(0.0f, kNoiseSigma);
    std::vector<kestrel::Frame> clip;
    for (int f = 0; f < kClipFrames; ++f) {
        kestrel::Frame frame = clean;
        for (size_t i = 0; i < frame.rgba.size(); ++i) {
            if (i % 4 != 3) frame.rgba[i] += noise(generator);
        }
        clip.push_back(std::move(frame));
    }
    return clip;
}

constexpr const char* kBandNames[3] = {"HH", "LH", "HL"};
constexpr char kChannelLetters[3] = {'y', 'u', 'v'};

// One instance on its own host and GL context, with the clip analysed.
class Session {
public:
    Session(const kestrel::PluginModule& module, kestrel::GlBackend backend, FrameSize size)
        : size_(size) {
        host_ = std::make_unique<kestrel::Host>(module, kestrel::GlOptions{.backend = backend});
        host_->gl()->setClip(makeNoisyClip(size));
        if (host_->createInstance() != 1 || host_->setUpGpu() != 1 ||
            host_->declareParameters() != 1) {
            throw std::runtime_error("the module refused to start an instance");
        }
        host_->parameters().setChoiceByValue(Plugin::ids::kMethod, 0, kDaubechies4, 0);
        host_->parameters().set(Plugin::ids::kTrackMovement, 0, {0.0, 0.0}, 0);
        // Corners in pixels from the frame's centre, over the flat patch.
        const double halfW = size.width / 2;
        const double halfH = size.height / 2;
        host_->parameters().set("analyzePoint1", 0, {-halfW + kBoxMargin, -halfH + kBoxMargin}, 0);
        host_->parameters().set("analyzePoint2", 0, {-kBoxMargin, -kBoxMargin}, 0);
        host_->renderContext().currentFrame = kMiddleFrame;
        host_->renderContext().time = kMiddleFrame;
        if (host_->notify(7, "analyzeButton") != 1 ||
            host_->parameters().value("imageAnalysed", 0).x == 0) {
            throw std::runtime_error("the analysis of the flat patch failed");
        }
        host_->gl()->context().makeCurrent();
        glGenQueries(1, &timeQuery_);
        glGenQueries(1, &samplesQuery_);
    }

    ~Session() {
        host_->gl()->context().makeCurrent();
        glDeleteQueries(1, &timeQuery_);
        glDeleteQueries(1, &samplesQuery_);
        host_.reset();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    kestrel::Host& host() { return *host_; }
    FrameSize size() const { return size_; }
    GLuint timeQuery() const { return timeQuery_; }
    GLuint samplesQuery() const { return samplesQuery_; }

    // Frequency layers the analysis gave any threshold: the ones a render denoises.
    int analysedLayers() const {
        int layers = 0;
        for (int n = 0; n < kThresholdLayers; ++n) {
            bool any = false;
            for (int c = 0; c < 3 && !any; ++c) {
                for (int band = 0; band < 3 && !any; ++band) {
                    for (int level = 1; level <= kThresholdLevels && !any; ++level) {
                        const std::string id = std::string(1, kChannelLetters[c]) + "L" +
                                               std::to_string(n) + "_Threshold" + kBandNames[band] +
                                               std::to_string(level);
                        any = host_->parameters().value(id, 0).x != 0;
                    }
                }
            }
            layers += any ? 1 : 0;
        }
        return layers;
    }

    // Reports what the instance left behind; returns the number of errors.
    int finish() {
        int errors = 0;
        if (const int lent = host_->gl()->lentImages().outstanding(); lent != 0) {
            std::cerr << "error: " << sizeName(size_) << ": " << lent
                      << " images lent and not given back\n";
            ++errors;
        }
        if (const int hostErrors = host_->hostErrors(); hostErrors != 0) {
            std::cerr << "error: " << sizeName(size_) << ": " << hostErrors << " host errors\n";
            ++errors;
        }
        return errors;
    }

private:
    FrameSize size_;
    std::unique_ptr<kestrel::Host> host_;
    GLuint timeQuery_ = 0;
    GLuint samplesQuery_ = 0;
};

const kestrel::PluginModule* gModule = nullptr;
kestrel::GlBackend gBackend = kestrel::GlBackend::Automatic;
std::unique_ptr<Session> gSession;
int gErrors = 0;

void endSession() {
    if (!gSession) return;
    gErrors += gSession->finish();
    gSession.reset();
}

// One session at a time: rows run in size order, so each clip is generated and analysed
// once and only one frame-sized context is alive.
Session& sessionFor(FrameSize size) {
    if (gSession && gSession->size().width == size.width &&
        gSession->size().height == size.height) {
        return *gSession;
    }
    endSession();
    gSession = std::make_unique<Session>(*gModule, gBackend, size);
    std::printf("%s: %d-frame clip, a %dx%d box of frame %d analysed, %d layers got thresholds\n",
                sizeName(size).c_str(), kClipFrames, size.width / 2 - 2 * kBoxMargin,
                size.height / 2 - 2 * kBoxMargin, kMiddleFrame, gSession->analysedLayers());
    std::fflush(stdout);
    return *gSession;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// What one iteration times: the source upload alone (no module call), the analysis-box
// view (the floor's full-frame pass) or the effect's result.
enum class Work { Upload, AnalysisBox, Result };

struct Measured {
    double wallSeconds = 0;
    double glSeconds = 0;
    int draws = 0;
    GLuint64 samples = 0;  // fragments written, when counted
};

// One iteration up to glFinish's return; `error` is left empty when all went well. Counting
// fragments makes llvmpipe's shaders count too, so only the untimed warm-up does it.
Measured measureOnce(Session& session, Work work, bool countSamples, std::string& error) {
    kestrel::Host& host = session.host();
    host.gl()->context().makeCurrent();
    glFinish();
    const int buffers = host.gl()->objects().buffersCreated();
    const Clock::time_point start = Clock::now();
    glBeginQuery(GL_TIME_ELAPSED, session.timeQuery());
    if (countSamples) glBeginQuery(GL_SAMPLES_PASSED, session.samplesQuery());
    int32_t result = 1;
    if (work == Work::Upload) {
        host.gl()->loadSourceFrame(kMiddleFrame);
    } else {
        result = host.renderFrame(kMiddleFrame);
    }
    if (countSamples) glEndQuery(GL_SAMPLES_PASSED);
    glEndQuery(GL_TIME_ELAPSED);
    glFinish();
    Measured m;
    m.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    GLuint64 nanoseconds = 0;
    glGetQueryObjectui64v(session.timeQuery(), GL_QUERY_RESULT, &nanoseconds);
    m.glSeconds = double(nanoseconds) * 1e-9;
    if (countSamples) glGetQueryObjectui64v(session.samplesQuery(), GL_QUERY_RESULT, &m.samples);
    m.draws = host.gl()->objects().buffersCreated() - buffers;
    if (result != 1) {
        error = "the render returned " + std::to_string(result);
    } else if (const int lent = host.gl()->lentImages().outstanding(); lent != 0) {
        error = std::to_string(lent) + " images not given back after a render";
    } else if (host.hostErrors() != 0) {
        error = std::to_string(host.hostErrors()) + " host errors";
    }
    return m;
}

constexpr int kPassSamples = 5;

// Untimed full-frame passes (analysis-box renders) next to a timed frame, so that the floor
// sees the same machine load as the frame it is compared with.
void samplePass(Session& session, std::vector<double>& milliseconds, std::string& error) {
    kestrel::ParameterStore& parameters = session.host().parameters();
    parameters.setChoiceByValue(Plugin::ids::kViewOption, 0, kViewAnalysisBox, 0);
    for (int i = 0; i < kPassSamples && error.empty(); ++i) {
        milliseconds.push_back(1e3 *
                               measureOnce(session, Work::AnalysisBox, false, error).wallSeconds);
    }
    parameters.setChoiceByValue(Plugin::ids::kViewOption, 0, kViewResult, 0);
}

void timeRow(benchmark::State& state, FrameSize size, Work work, int frames) {
    Session* session = nullptr;
    try {
        session = &sessionFor(size);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    kestrel::ParameterStore& parameters = session->host().parameters();
    parameters.setChoiceByValue(Plugin::ids::kViewOption, 0,
                                work == Work::Result ? kViewResult : kViewAnalysisBox, 0);
    parameters.setChoiceByValue(Plugin::ids::kNumberOfFrames, 0, frames, 0);
    std::string error;
    const Measured warmUp = measureOnce(*session, work, true, error);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    double wall = 0;
    double gl = 0;
    std::vector<double> passMs;
    for (auto _ : state) {
        if (work == Work::Result) samplePass(*session, passMs, error);
        const Measured m = error.empty() ? measureOnce(*session, work, false, error) : Measured{};
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        if (m.draws != warmUp.draws) {
            state.SkipWithError("the draws per frame changed between renders");
            break;
        }
        wall += m.wallSeconds;
        gl += m.glSeconds;
        state.SetIterationTime(m.wallSeconds);
    }
    for (const std::string& line : session->host().gl()->lastStateDifferences()) {
        std::cerr << "warning: GL state left changed: " << line << '\n';
    }
    state.counters["draws"] = warmUp.draws;
    state.counters["gl_share"] = wall > 0 ? gl / wall : 0.0;
    // Fragments written, in whole frames: what copies of the same pixels would write.
    state.counters["px_frames"] = double(warmUp.samples) / (double(size.width) * size.height);
    if (!passMs.empty()) state.counters["pass_ms"] = median(passMs);
}

std::string floorName(FrameSize size) {
    return "floor/" + sizeName(size);
}

void registerBenchmarks() {
    for (FrameSize size : kSizes) {
        benchmark::RegisterBenchmark(("upload/" + sizeName(size)).c_str(), timeRow, size,
                                     Work::Upload, 1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(floorName(size).c_str(), timeRow, size, Work::AnalysisBox, 1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        for (int frames : {1, 4}) {
            const std::string name = "frame/" + sizeName(size) + "/frames" + std::to_string(frames);
            benchmark::RegisterBenchmark(name.c_str(), timeRow, size, Work::Result, frames)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
}

// Shows Google Benchmark's table and keeps each row's time per iteration and counters for
// the floor table: the "median" aggregate when repetitions report one, else the median of
// the runs.
class FloorReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    struct Row {
        double ms = 0;
        double draws = 0;
        double glShare = 0;
        double pxFrames = 0;
        double passMs = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool isMedian =
                run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !isMedian) continue;
            // The registered name, without the "/manual_time" suffix.
            const std::string& name = run.run_name.function_name;
            if (!has(name)) order_.push_back(name);
            Row row;
            // With manual timing the real time is the sum of the iteration times set.
            row.ms = 1e3 * run.real_accumulated_time /
                     double(std::max<benchmark::IterationCount>(run.iterations, 1));
            row.draws = counter(run, "draws");
            row.glShare = counter(run, "gl_share");
            row.pxFrames = counter(run, "px_frames");
            row.passMs = counter(run, "pass_ms");
            (isMedian ? medians_ : runs_)[name].push_back(row);
        }
    }

    Row row(const std::string& name) const {
        if (auto it = medians_.find(name); it != medians_.end()) return it->second.front();
        const std::vector<Row>& rows = runs_.at(name);
        std::vector<double> ms, draws, share, px, pass;
        for (const Row& r : rows) {
            ms.push_back(r.ms);
            draws.push_back(r.draws);
            share.push_back(r.glShare);
            px.push_back(r.pxFrames);
            pass.push_back(r.passMs);
        }
        return {median(ms), median(draws), median(share), median(px), median(pass)};
    }
    const std::vector<std::string>& order() const { return order_; }
    bool has(const std::string& name) const {
        return runs_.count(name) != 0 || medians_.count(name) != 0;
    }

private:
    static double counter(const Run& run, const char* name) {
        const auto it = run.counters.find(name);
        return it != run.counters.end() ? double(it->second) : 0.0;
    }

    std::vector<std::string> order_;
    std::map<std::string, std::vector<Row>> runs_;
    std::map<std::string, std::vector<Row>> medians_;
};

void printFloorTable(const FloorReporter& reporter) {
    std::printf("\n%-24s %9s %6s %9s %8s %8s %9s %8s %9s %8s\n", "row", "ms/frame", "draws",
                "px frames", "GL share", "pass ms", "floor ms", "x floor", "px floor", "x px");
    for (const std::string& name : reporter.order()) {
        const FloorReporter::Row r = reporter.row(name);
        std::printf("%-24s %9.1f %6.0f %9.2f %7.0f%%", name.c_str(), r.ms, r.draws, r.pxFrames,
                    100.0 * r.glShare);
        if (r.passMs > 0) {
            const double byDraws = r.draws * r.passMs;
            const double byPixels = r.pxFrames * r.passMs;
            std::printf(" %8.2f %9.1f %8.2f %9.1f %8.2f\n", r.passMs, byDraws, r.ms / byDraws,
                        byPixels, r.ms / byPixels);
        } else {
            std::printf(" %8s %9s %8s %9s %8s\n", "-", "-", "-", "-", "-");
        }
    }
    std::printf(
        "pass ms: one full-frame pass (an analysis-box render, as the floor rows time it), the\n"
        "median of %d sampled before each timed frame. floor = draws x pass; most passes draw\n"
        "smaller layers, so it over-counts. px floor = the fragments the frame's draws wrote,\n"
        "in whole frames, x pass.\n",
        kPassSamples);
}

int runAll(kestrel::GlBackend backend) {
    const kestrel::PluginModule module(bench::modulePath());
    gModule = &module;
    gBackend = backend;
    {
        // A host with no instance, only to name its renderer before the first row.
        kestrel::Host probe(module, kestrel::GlOptions{.backend = backend});
        const kestrel::EglContext& context = probe.gl()->context();
        std::printf("GL renderer: %s (OpenGL %s), %s, %s\n", context.renderer().c_str(),
                    context.version().c_str(), context.isSoftware() ? "software" : "hardware",
                    context.origin().c_str());
    }
    std::printf("%d-frame clips, middle frame %d rendered; each iteration ends with glFinish\n",
                kClipFrames, kMiddleFrame);
    std::fflush(stdout);
    registerBenchmarks();
    FloorReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    endSession();
    printFloorTable(reporter);
    gModule = nullptr;
    return gErrors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::benchmarkMain("render_bench", argc, argv, runAll);
}
