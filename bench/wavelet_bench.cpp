// Timings of the plug-in's passes at 1920 x 1080 in half floats (the wavelet transforms, the
// noise removal, the frequency pyramid and the temporal Haar transform), each against a
// plain "glCopy" pass measured in the same run: the ratio says what a pass costs beyond what
// the GL charges for touching every pixel at all, which stays comparable across machines.
//
// Every timed iteration ends with glFinish, and only the time up to its return is counted
// (manual timing), so queued work is paid for and untimed set-up work is not.
//
// Usage: wavelet_bench [--gl=software|hardware|auto] [Google Benchmark flags]
#include <GL/glew.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bench/bench_host.h"
#include "bench/bench_main.h"
#include "denoise/colour_conversion.h"
#include "denoise/noise_removal.h"
#include "denoise/wavelet_filters.h"
#include "denoise/wavelet_transform.h"
#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "host/egl_context.h"
#include "params/parameter_ids.h"
#include "render/frame_pyramid.h"
#include "render/frequency_pyramid.h"
#include "render/render_settings.h"
#include "render/temporal_transform.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The frame height padded for five levels, as the plug-in transforms it.
const int kPaddedHeight = Plugin::paddedWaveletSize(kHeight, Plugin::kMaxWaveletLevels);
constexpr const char* kFloorName = "glCopy";
// The frequency layer whose thresholds the noise removal rows apply.
constexpr int kNoiseLayer = 0;

// In "method" value order.
constexpr std::array<const char*, 5> kWaveletLabels = {"Haar", "Daubechies4", "Daubechies8",
                                                       "Daubechies16", "Symlets16"};
static_assert(kWaveletLabels.size() == Plugin::kWavelets.size());

bench::BenchHost* gHost = nullptr;
// Passes per iteration that each draw over the whole target, for the per-pass column; rows
// whose draws shrink with the level (pyramid, temporal) have none.
std::map<std::string, int> gPasses;

using Clock = std::chrono::steady_clock;

// `setUp` runs untimed, `work` timed up to glFinish's return. One untimed round comes first:
// drivers build a program's machine code at its first draw (llvmpipe notably), and a slow
// benchmark may run a single timed iteration.
template <class SetUp, class Work>
void timeIterations(benchmark::State& state, SetUp setUp, Work work) {
    setUp();
    work();
    glFinish();
    for (auto _ : state) {
        setUp();
        gHost->dropVertexArrays();
        glFinish();
        const Clock::time_point start = Clock::now();
        work();
        glFinish();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

void nothing() {}

Plugin::HostImageLease lease(const HostImage& image) {
    return Plugin::HostImageLease(gHost->call(), image);
}

Plugin::HostImageLease blank(int width, int height) {
    return lease(Plugin::makeImage(gHost->call(), width, height, GL_RGBA16F));
}

void copyFloor(benchmark::State& state) {
    const Plugin::HostCall call = gHost->call();
    Plugin::HostImageLease src = lease(gHost->makeFilledImage(kWidth, kHeight));
    Plugin::HostImageLease dst = blank(kWidth, kHeight);
    timeIterations(state, nothing, [&] { Plugin::copyImage(call, src.image(), dst.image()); });
}

void colourRoundTrip(benchmark::State& state) {
    const Plugin::HostCall call = gHost->call();
    Plugin::HostImageLease src = lease(gHost->makeFilledImage(kWidth, kHeight));
    Plugin::HostImageLease yuv = blank(kWidth, kHeight);
    Plugin::HostImageLease dst = blank(kWidth, kHeight);
    timeIterations(state, nothing, [&] {
        Plugin::renderRGBToYUV(call, src.image(), yuv.image());
        Plugin::renderYUVToRGB(call, yuv.image(), dst.image());
    });
}

void padding(benchmark::State& state) {
    const Plugin::HostCall call = gHost->call();
    Plugin::HostImageLease src = lease(gHost->makeFilledImage(kWidth, kHeight));
    Plugin::HostImageLease dst = blank(kWidth, kPaddedHeight);
    // padImage leaves its program and bindings in place; a caller puts the host's back.
    timeIterations(
        state, [&] { Plugin::restoreHostBindings(call); },
        [&] { Plugin::padImage(call, src.image(), dst.image(), 0, 0, Plugin::kPadCopy); });
}

// The wavelet the host's "method" choice names, as a render reads it.
const Plugin::Wavelet& chosenWavelet(const Plugin::HostCall& call) {
    return Plugin::waveletForMethod(
        call.api->GetChoiceParameter(call.host, Plugin::ids::kMethod, call.renderContext()->time));
}

// Which wavelet passes one iteration runs on a chain over the padded frame.
enum class Transform { Analysis1, Synthesis1, Full5 };

void runTransform(const Plugin::HostCall& call, Plugin::PassChain& chain, Transform transform) {
    switch (transform) {
        case Transform::Analysis1:
            Plugin::decomposeWavelet(call, chain, 1, chosenWavelet(call));
            break;
        case Transform::Synthesis1:
            Plugin::reconstructWavelet(call, chain, 1, chosenWavelet(call));
            break;
        case Transform::Full5:
            Plugin::decomposeWavelet(call, chain, Plugin::kMaxWaveletLevels, chosenWavelet(call));
            Plugin::reconstructWavelet(call, chain, Plugin::kMaxWaveletLevels, chosenWavelet(call));
            break;
    }
}

// One-level coefficients of the pristine frame, so synthesis reads what it would in a render.
void analyseOnce(const Plugin::HostCall& call, HostImage& image, HostImage& scratch) {
    Plugin::PassChain chain(call, &image, &scratch, true);
    Plugin::decomposeWavelet(call, chain, 1, chosenWavelet(call));
}

// The chain borrows its input as the second buffer and finish() is never called: an even
// number of passes ends back in the input, and finish() would add a copy that a render
// spends only once per transform. The input is restored, untimed, before every iteration
// so that no iteration feeds on the previous one's coefficients.
void waveletTransform(benchmark::State& state, int method, Transform transform) {
    if (!gHost->chooseMethod(method)) {
        state.SkipWithError("the host did not report the chosen \"method\" back");
        return;
    }
    const Plugin::HostCall call = gHost->call();
    Plugin::HostImageLease pristine = lease(gHost->makeFilledImage(kWidth, kPaddedHeight));
    Plugin::HostImageLease work = blank(kWidth, kPaddedHeight);
    Plugin::HostImageLease other = blank(kWidth, kPaddedHeight);
    if (transform == Transform::Synthesis1) analyseOnce(call, pristine.image(), other.image());
    timeIterations(
        state, [&] { Plugin::copyImage(call, pristine.image(), work.image()); },
        [&] {
            Plugin::PassChain chain(call, &work.image(), &other.image(), true);
            runTransform(call, chain, transform);
        });
}

// Thresholds of layer 0 for every level, band and channel, 15 to 35 percent, softness 50:
// against the noise's coefficients (mean magnitude about 0.25) that removes about a fifth,
// scales most and keeps some, so every branch of the rule runs. False when the plug-in
// would read back something else.
bool setNoiseThresholds() {
    kestrel::ParameterStore& parameters = gHost->host().parameters();
    for (int level = 1; level <= Plugin::kMaxWaveletLevels; ++level) {
        for (int band = 0; band < 3; ++band) {
            for (int c = 0; c < 3; ++c) {
                const double percent = 15.0 + 5.0 * band + 5.0 * c;
                parameters.set(Plugin::ids::threshold(c, kNoiseLayer, band, level), 0, {percent},
                               0);
            }
        }
    }
    parameters.set(Plugin::ids::kSoftThresholding, 0, {50.0}, 0);
    const Plugin::NoiseRemovalSettings read =
        Plugin::readNoiseRemovalSettings(gHost->call(), kNoiseLayer, Plugin::kMaxWaveletLevels);
    return read.halfSoftness == 0.25f && read.thresholds[2].back().z > 0.34f;
}

// Five-level coefficients of the filled padded frame, with the host's current "method".
Plugin::HostImageLease decomposedNoise(const Plugin::HostCall& call) {
    Plugin::HostImageLease coefficients = lease(gHost->makeFilledImage(kWidth, kPaddedHeight));
    Plugin::HostImageLease other = blank(kWidth, kPaddedHeight);
    {
        Plugin::PassChain chain(call, &coefficients.image(), &other.image(), true);
        Plugin::decomposeWavelet(call, chain, Plugin::kMaxWaveletLevels, chosenWavelet(call));
        if (chain.currentSource() != &coefficients.image()) {
            Plugin::copyImage(call, *chain.currentSource(), coefficients.image());
        }
    }
    Plugin::restoreHostBindings(call);
    return coefficients;
}

// The pass reads the coefficients and writes another image, so nothing needs restoring; the
// estimate is a copy of the coefficients (a render's is another decomposition of the frame).
void noiseRemoval(benchmark::State& state, int levels) {
    if (!gHost->chooseMethod(0)) {
        state.SkipWithError("the host did not report the chosen \"method\" back");
        return;
    }
    if (!setNoiseThresholds()) {
        state.SkipWithError("the plug-in did not read the thresholds back");
        return;
    }
    const Plugin::HostCall call = gHost->call();
    Plugin::HostImageLease coefficients = decomposedNoise(call);
    Plugin::HostImageLease estimate = blank(kWidth, kPaddedHeight);
    Plugin::copyImage(call, coefficients.image(), estimate.image());
    Plugin::HostImageLease brightness = lease(gHost->makeFilledImage(kWidth, kHeight));
    Plugin::HostImageLease output = blank(kWidth, kPaddedHeight);
    const Plugin::plugin_glsl_types::genVec3<float> removal = {0.8f, 1.0f, 1.0f};
    const Plugin::NoiseRemovalSettings thresholds =
        Plugin::readNoiseRemovalSettings(call, kNoiseLayer, levels);
    // The pass leaves its program and bindings in place; a caller puts the host's back.
    timeIterations(
        state, [&] { Plugin::restoreHostBindings(call); },
        [&] {
            Plugin::PassChain chain(call, &coefficients.image(), &output.image(), true);
            Plugin::renderNoiseRemoval(call, chain, brightness.image(), 0, estimate.image(), levels,
                                       thresholds, removal);
        });
    Plugin::restoreHostBindings(call);
    call.effect().releaseProgram();
}

// Split then collapse, in place. Level 0 is restored from a pristine copy, untimed, before
// every iteration (the split rebuilds the levels above it).
void frequencyPyramid(benchmark::State& state) {
    const Plugin::HostCall call = gHost->call();
    const int layers = Plugin::frequencyLayerCount(kWidth, kHeight);
    Plugin::HostImageLease pristine = lease(gHost->makeFilledImage(kWidth, kHeight));
    Plugin::HostImageLease image = lease(gHost->makePyramid(kWidth, kHeight));
    timeIterations(
        state, [&] { Plugin::copyImage(call, pristine.image(), image.image()); },
        [&] {
            Plugin::decomposeFrequencies(call, image.image(), layers);
            Plugin::collapseFrequencies(call, image.image(), layers);
        });
}

// Forward then inverse over a window of split frames, in place. Every level of every frame
// is restored from pristine pyramids, untimed, before every iteration, and the window's
// records are put back in time order (the transform reorders them).
void temporalHaar(benchmark::State& state, int frames) {
    const Plugin::HostCall call = gHost->call();
    const int layers = Plugin::frequencyLayerCount(kWidth, kHeight);
    std::vector<Plugin::HostImageLease> pristine;
    std::vector<Plugin::HostImageLease> work;
    for (int i = 0; i < frames; ++i) {
        pristine.push_back(lease(gHost->makeFilledPyramid(kWidth, kHeight, i)));
        Plugin::decomposeFrequencies(call, pristine.back().image(), layers);
        work.push_back(lease(gHost->makePyramid(kWidth, kHeight)));
    }
    Plugin::FrameWindow window;
    timeIterations(
        state,
        [&] {
            window.clear();
            for (size_t i = 0; i < work.size(); ++i) {
                for (int level = 0; level <= layers; ++level) {
                    Plugin::copyImageLevel(call, pristine[i].image(), work[i].image(), level,
                                           level);
                }
                window.push_back({work[i].image()});
            }
        },
        [&] {
            Plugin::temporalForward(call, window, layers, 0);
            Plugin::temporalInverse(call, window, layers, 0);
        });
}

void configure(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMillisecond);
}

// Registers `function(state, args...)` as `name`; `passes` > 0 gives it a per-pass ratio.
template <class Function, class... Args>
void add(const std::string& name, int passes, Function function, Args... args) {
    configure(benchmark::RegisterBenchmark(name.c_str(), function, args...));
    if (passes > 0) gPasses[name] = passes;
}

void registerBenchmarks() {
    const std::string padded = std::to_string(kWidth) + "x" + std::to_string(kPaddedHeight);
    add(kFloorName, 1, copyFloor);
    add("colourRoundTrip", 2, colourRoundTrip);
    add("padImage/" + padded, 1, padding);
    const std::tuple<const char*, Transform, int> transforms[] = {
        {"analysis1", Transform::Analysis1, 2},
        {"synthesis1", Transform::Synthesis1, 2},
        {"full5", Transform::Full5, 4 * Plugin::kMaxWaveletLevels}};
    for (int method = 0; method < int(kWaveletLabels.size()); ++method) {
        for (const auto& [name, transform, passes] : transforms) {
            add(std::string(name) + "/" + kWaveletLabels[size_t(method)], passes, waveletTransform,
                method, transform);
        }
    }
    for (int levels : {1, Plugin::kMaxWaveletLevels}) {
        add("noiseRemoval/levels" + std::to_string(levels), levels, noiseRemoval, levels);
    }
    const int layers = Plugin::frequencyLayerCount(kWidth, kHeight);
    add("frequencyPyramid/layers" + std::to_string(layers), 0, frequencyPyramid);
    for (int frames : {4, 8}) {
        add("temporalHaar/frames" + std::to_string(frames), 0, temporalHaar, frames);
    }
}

// Shows Google Benchmark's table and keeps each benchmark's time per iteration for the ratio
// table: the "median" aggregate when repetitions report one, else the median of the runs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            // The registered name, without the "/manual_time" suffix.
            const std::string& name = run.run_name.function_name;
            if (!has(name)) order_.push_back(name);
            (median ? medians_ : times_)[name].push_back(milliseconds(run));
        }
    }

    double medianMs(const std::string& name) const {
        if (auto it = medians_.find(name); it != medians_.end()) return it->second.front();
        std::vector<double> v = times_.at(name);
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }
    const std::vector<std::string>& order() const { return order_; }
    bool has(const std::string& name) const {
        return times_.count(name) != 0 || medians_.count(name) != 0;
    }

private:
    // With manual timing the real time is the sum of the iteration times set; an aggregate
    // holds that statistic of its runs' sums, with their iteration count.
    static double milliseconds(const Run& run) {
        const double iterations = double(std::max<benchmark::IterationCount>(run.iterations, 1));
        return 1e3 * run.real_accumulated_time / iterations;
    }

    std::vector<std::string> order_;
    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, std::vector<double>> medians_;
};

void printRatios(const RatioReporter& reporter) {
    const bool haveFloor = reporter.has(kFloorName);
    const double floor = haveFloor ? reporter.medianMs(kFloorName) : 0.0;
    std::printf("\n%-32s %12s %12s %12s\n", "benchmark", "ms", "x glCopy", "per pass");
    for (const std::string& name : reporter.order()) {
        const double ms = reporter.medianMs(name);
        if (!haveFloor) {
            std::printf("%-32s %12.3f %12s %12s\n", name.c_str(), ms, "n/a", "n/a");
            continue;
        }
        const auto passes = gPasses.find(name);
        if (passes != gPasses.end()) {
            std::printf("%-32s %12.3f %12.2f %12.2f\n", name.c_str(), ms, ms / floor,
                        ms / floor / passes->second);
        } else {
            std::printf("%-32s %12.3f %12.2f %12s\n", name.c_str(), ms, ms / floor, "-");
        }
    }
    if (!haveFloor) std::printf("(no %s run: no ratios)\n", kFloorName);
    std::printf("(per pass: x glCopy over the whole-target passes of one iteration)\n");
}

int runAll(kestrel::GlBackend backend) {
    bench::BenchHost host(backend, kWidth, kHeight);
    gHost = &host;
    std::printf("GL renderer: %s\n", host.describeRenderer().c_str());
    std::printf("frame %dx%d, GL_RGBA16F; each iteration ends with glFinish\n", kWidth, kHeight);
    std::fflush(stdout);
    registerBenchmarks();
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    const int errors = host.finish();
    gHost = nullptr;
    return errors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::benchmarkMain("wavelet_bench", argc, argv, runAll);
}
