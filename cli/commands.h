// The tool's subcommands and what each is given on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/effect_settings.h"

namespace ruvovav::cli {

// Exit codes: bad input and usage stay below 128; an interrupted job uses the shell's
// convention for a job ended by SIGINT.
inline constexpr int kExitFailure = 1;  // unreadable input, failed render or encode
inline constexpr int kExitUsage = 2;    // malformed command line or profile
inline constexpr int kExitInterrupted = 130;

struct CommonOptions {
    std::string modulePath;   // empty: Ruvovav.kspl beside the executable
    std::string gl = "auto";  // auto, software or hardware
};

struct AnalysisOptions {
    std::string box;  // "X,Y,W,H" in image pixels, top-left origin; empty: automatic
    int64_t analyzeFrame = 0;
    std::string profileIn;   // settings and thresholds from an earlier analysis
    std::string profileOut;  // every parameter value after the analysis and the flags
};

struct DenoiseOptions {
    CommonOptions common;
    std::string input;
    std::string output;
    bool overwrite = false;
    std::string range;  // "A:B"; empty: the whole clip
    std::string codec;  // empty: by the output's extension
    std::optional<int> crf;
    std::string reference;         // a clean clip to measure the input and the result against
    bool metricsPerFrame = false;  // with a reference: a line per frame besides the means
    bool stats = false;            // where the time went: decode, render, encode
    bool keepAudio = false;        // --audio: the sound also in a --range chunk
    bool dropAudio = false;        // --no-audio: no sound at all
    AnalysisOptions analysis;
    EffectSettings settings;
};

struct AnalyzeOptions {
    CommonOptions common;
    std::string input;
    bool overwrite = false;
    AnalysisOptions analysis;
    EffectSettings settings;
};

struct InfoOptions {
    CommonOptions common;
    std::string input;  // optional
};

struct PreviewOptions {
    CommonOptions common;
    std::string input;
    std::string outputDir;
    int64_t frame = 0;  // shown and analysed
    bool overwrite = false;
    AnalysisOptions analysis;
    EffectSettings settings;
};

struct DemoOptions {
    CommonOptions common;
    std::string outputDir = "ruvovav-demo";
    std::string noise = "camera";  // "camera" (a Bayer sensor's) or "grain" (film's)
    int crf = 18;                  // H.264 round trip of the noisy frames; -1: none
    uint32_t seed = 1;             // the scene's layout and colours, and the noise
};

int runDenoise(const DenoiseOptions& options);
int runDemo(const DemoOptions& options);
int runPreview(const PreviewOptions& options);
int runAnalyze(const AnalyzeOptions& options);
int runInfo(const InfoOptions& options);

}  // namespace ruvovav::cli
