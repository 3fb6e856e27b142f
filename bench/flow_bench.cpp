// Our CPU dense flow (both directions in one DualFlow::compute call) against OpenCV's
// Farneback flow called once per direction with matching parameters, at the size a 1080p
// render measures (240 x 135, mip level 3) and at full 1920 x 1080, on the same thread
// count. OpenCV is a yardstick only: this program links it, the module never does.
//
// After the timings, the mean end-point error of both on a smooth texture shifted by a
// known sub-pixel amount, so that a speed difference can be weighed against accuracy.
//
// Usage: flow_bench [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/ocl.hpp>
#include <opencv2/video/tracking.hpp>

#include "flow/dual_flow.h"

namespace {

using Plugin::TextureDataV1;
using Plugin::TextureDataV4;
using DualFlow = Plugin::FarnebackOpticalFlow::DualFlow;

struct Size {
    int width, height;
    std::string label() const { return std::to_string(width) + "x" + std::to_string(height); }
};
constexpr Size kSizes[] = {{240, 135}, {1920, 1080}};

struct Shift {
    double dx, dy;
};
constexpr Shift kTimedShift{1.3, -0.7};
constexpr Shift kShifts[] = {{1.3, -0.7}, {4.6, 2.4}};
// Rows and columns left out of the error: the flow's border damping and the averaging
// window reach about 10 pixels in, and content enters at the shifted edges.
constexpr int kMargin = 16;

// OpenCV parameters that match ours: pyramid scale 0.5, 5 levels, 11-pixel window,
// 1 iteration, polynomial half-size 5 (n = 5), sigma 1.1, no flags.
constexpr double kPyrScale = 0.5;
constexpr int kCvLevels = 5, kCvWindow = 11, kCvIterations = 1, kCvPolyN = 5;
constexpr double kCvPolySigma = 1.1;

// Smooth multi-orientation texture in 0..256 (the plug-in's luma units, which the flow's
// absolute determinant guard assumes): periods from 19 to 331 pixels in several
// orientations, so that no region is one-dimensional and the coarse pyramid levels keep
// some texture, as natural footage does.
double texture(double x, double y) {
    constexpr double tau = 2.0 * std::numbers::pi;
    struct Wave {
        double amplitude, kx, ky, phase;
    };
    constexpr Wave waves[] = {
        {0.22, 1.0 / 43, 0.0, 0.4},         {0.18, 0.0, 1.0 / 31, 1.3},
        {0.15, 1.0 / 27, 1.0 / 27, 0.0},    {0.12, 1.0 / 61, -2.0 / 61, 2.3},
        {0.10, 2.0 / 19, -1.0 / 19, 2.1},   {0.20, 1.0 / 97, 0.5 / 97, 0.9},
        {0.18, -0.6 / 173, 1.0 / 173, 0.2}, {0.15, 1.0 / 331, 0.8 / 331, 1.7}};
    double s = 0.0, total = 0.0;
    for (const Wave& w : waves) {
        s += w.amplitude * std::sin(tau * (w.kx * x + w.ky * y) + w.phase);
        total += w.amplitude;
    }
    return 128.0 * (1.0 + s / total);
}

// b(x + d) = a(x): pixel x of the unshifted image lies at x + d in this one.
TextureDataV1 shiftedTexture(Size size, Shift d) {
    TextureDataV1 img(size.width, size.height);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) img.at(x, y) = float(texture(x - d.dx, y - d.dy));
    return img;
}

// OpenCV's view of our grey image, without copying.
cv::Mat asMat(const TextureDataV1& img) {
    return cv::Mat(img.height, img.width, CV_32FC1, const_cast<float*>(img.data.get()),
                   size_t(img.stride) * sizeof(float));
}

struct Pair {
    TextureDataV1 a, b;
};

Pair makePair(Size size, Shift d) {
    return {shiftedTexture(size, {0.0, 0.0}), shiftedTexture(size, d)};
}

void clearFlow(TextureDataV4& flow) {
    std::fill_n(flow.data.get(), size_t(flow.width) * size_t(flow.height),
                Plugin::plugin_glsl_types::genVec4<float>{});
}

void openCvFlow(const cv::Mat& from, const cv::Mat& to, cv::Mat& flow) {
    cv::calcOpticalFlowFarneback(from, to, flow, kPyrScale, kCvLevels, kCvWindow, kCvIterations,
                                 kCvPolyN, kCvPolySigma, 0);
}

void benchOurs(benchmark::State& state, Size size) {
    const Pair p = makePair(size, kTimedShift);
    TextureDataV4 flow(size.width, size.height);
    for (auto _ : state) {
        // The caller's part of the contract (a zero-filled field) is not ours to time.
        state.PauseTiming();
        clearFlow(flow);
        state.ResumeTiming();
        DualFlow::compute(p.a, p.b, flow);
        benchmark::DoNotOptimize(flow.data.get());
    }
}

void benchOpenCv(benchmark::State& state, Size size) {
    const Pair p = makePair(size, kTimedShift);
    const cv::Mat a = asMat(p.a), b = asMat(p.b);
    cv::Mat forward, backward;
    for (auto _ : state) {
        openCvFlow(a, b, forward);
        openCvFlow(b, a, backward);
        benchmark::DoNotOptimize(forward.data);
        benchmark::DoNotOptimize(backward.data);
    }
}

std::string oursName(Size s) {
    return "ours/" + s.label();
}
std::string openCvName(Size s) {
    return "opencv/" + s.label();
}

void registerBenchmarks() {
    for (const Size& s : kSizes) {
        // Real time: our workers and OpenCV's pool do most of the work off this thread.
        benchmark::RegisterBenchmark(oursName(s).c_str(), benchOurs, s)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(openCvName(s).c_str(), benchOpenCv, s)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

// Keeps each benchmark's milliseconds per call: the "median" aggregate when repetitions
// report one, else the median of its runs.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string& name = run.run_name.function_name;
            (median ? medians_ : times_)[name].push_back(milliseconds(run));
        }
    }

    // Negative when the benchmark did not run (filtered out).
    double medianMs(const std::string& name) const {
        if (auto it = medians_.find(name); it != medians_.end()) return it->second.front();
        auto it = times_.find(name);
        if (it == times_.end()) return -1.0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }

private:
    static double milliseconds(const Run& run) {
        const double iterations = double(std::max<benchmark::IterationCount>(run.iterations, 1));
        return 1e3 * run.real_accumulated_time / iterations;
    }

    std::map<std::string, std::vector<double>> times_, medians_;
};

void printTimes(const MedianReporter& reporter) {
    std::printf("\n%-10s %12s %18s %12s\n", "size", "ours ms", "OpenCV ms (A>B+B>A)",
                "ours/OpenCV");
    for (const Size& s : kSizes) {
        const double ours = reporter.medianMs(oursName(s));
        const double cv = reporter.medianMs(openCvName(s));
        if (ours < 0.0 || cv < 0.0) continue;
        std::printf("%-10s %12.2f %18.2f %12.2f\n", s.label().c_str(), ours, cv, ours / cv);
    }
}

// Mean length of (measured - expected) over the interior.
template <class Measured>
double meanEpe(Size size, Shift expected, Measured measured) {
    double sum = 0.0;
    int count = 0;
    for (int y = kMargin; y < size.height - kMargin; ++y) {
        for (int x = kMargin; x < size.width - kMargin; ++x) {
            const auto [fx, fy] = measured(x, y);
            sum += std::hypot(fx - expected.dx, fy - expected.dy);
            ++count;
        }
    }
    return count ? sum / count : 0.0;
}

struct Errors {
    double oursForward, oursBackward, cvForward, cvBackward;
};

Errors measureErrors(Size size, Shift d) {
    const Pair p = makePair(size, d);
    TextureDataV4 ours(size.width, size.height);
    DualFlow::compute(p.a, p.b, ours);
    cv::Mat forward, backward;
    openCvFlow(asMat(p.a), asMat(p.b), forward);
    openCvFlow(asMat(p.b), asMat(p.a), backward);
    const Shift back{-d.dx, -d.dy};
    const auto cvAt = [](const cv::Mat& f) {
        return [&f](int x, int y) {
            const cv::Point2f v = f.at<cv::Point2f>(y, x);
            return std::pair<double, double>(v.x, v.y);
        };
    };
    return {meanEpe(size, d,
                    [&](int x, int y) {
                        const auto& v = ours.at(x, y);
                        return std::pair<double, double>(v.x, v.y);
                    }),
            meanEpe(size, back,
                    [&](int x, int y) {
                        const auto& v = ours.at(x, y);
                        return std::pair<double, double>(v.z, v.w);
                    }),
            meanEpe(size, d, cvAt(forward)), meanEpe(size, back, cvAt(backward))};
}

void printErrors() {
    std::printf("\nmean end-point error in pixels, interior (margin %d px)\n", kMargin);
    std::printf("%-10s %-12s %10s %10s %12s %12s\n", "size", "shift", "ours A>B", "ours B>A",
                "OpenCV A>B", "OpenCV B>A");
    for (const Size& s : kSizes) {
        for (const Shift& d : kShifts) {
            const Errors e = measureErrors(s, d);
            char shift[32];
            std::snprintf(shift, sizeof shift, "(%.1f,%.1f)", d.dx, d.dy);
            std::printf("%-10s %-12s %10.4f %10.4f %12.4f %12.4f\n", s.label().c_str(), shift,
                        e.oursForward, e.oursBackward, e.cvForward, e.cvBackward);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    // DualFlow::compute runs one worker per hardware thread; OpenCV gets as many, on the CPU.
    const int threads = std::max(1, int(std::thread::hardware_concurrency()));
    cv::ocl::setUseOpenCL(false);
    cv::setNumThreads(threads);
    std::printf("CPU threads: ours %d (hardware), OpenCV %d (%s)\n", threads, cv::getNumThreads(),
                cv::getVersionString().c_str());
    std::fflush(stdout);
    registerBenchmarks();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTimes(reporter);
    printErrors();
    return 0;
}
