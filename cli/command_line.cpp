#include "cli/command_line.h"

#include "cli/media/media_writer.h"
#include "cli/value_parsers.h"

namespace ruvovav::cli {
namespace {

constexpr const char* kInputGroup = "Input and output";
constexpr const char* kAnalysisGroup = "Analysis";

// A structured value checked while the command line is parsed, so that a malformed one
// costs no start-up. CLI11 puts the option's name before the message itself.
template <typename Parse>
CLI::Validator checkedBy(const std::string& option, Parse parse) {
    return CLI::Validator(
        [option, parse](std::string& text) -> std::string {
            try {
                parse(option, text);
            } catch (const UsageError& e) {
                const std::string message = e.what();
                const std::string prefix = option + ": ";
                return message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : message;
            }
            return {};
        },
        "", option);
}

CLI::Validator boxCheck() {
    return checkedBy("--box", parseBox);
}

void addCommon(CLI::App& command, CommonOptions& common) {
    command
        .add_option("--gl", common.gl,
                    "OpenGL device: auto (a GPU when present), software "
                    "(llvmpipe) or hardware")
        ->check(CLI::IsMember({"auto", "software", "hardware"}))
        ->group("Host");
    command
        .add_option("--module", common.modulePath,
                    "effect module to load (default: Ruvovav.kspl beside ruvovav)")
        ->group("Host");
}

void addAnalysis(CLI::App& command, AnalysisOptions& analysis) {
    command
        .add_option("--box", analysis.box,
                    "analyse this box (image pixels, top-left origin) instead of choosing "
                    "boxes automatically")
        ->type_name("X,Y,W,H")
        ->check(boxCheck())
        ->group(kAnalysisGroup);
    command
        .add_option("--analyze-frame", analysis.analyzeFrame,
                    "frame the analysis measures [default 0]")
        ->check(CLI::NonNegativeNumber)
        ->group(kAnalysisGroup);
    command
        .add_option("--profile-in", analysis.profileIn,
                    "settings and thresholds saved by an earlier analysis (no new analysis "
                    "unless --box is given); flags on this command line override it")
        ->group(kAnalysisGroup);
}

CLI::App* addDenoise(CLI::App& app, CommandLine& line) {
    DenoiseOptions& o = line.denoise;
    CLI::App* command = app.add_subcommand("denoise", "denoise a video file or image sequence");
    command->add_option("INPUT", o.input, "video file or image sequence (shots/%04d.png)")
        ->required()
        ->group(kInputGroup);
    command
        ->add_option("-o,--output", o.output,
                     "output file or sequence; its extension picks the format")
        ->required()
        ->group(kInputGroup);
    command->add_flag("-y", o.overwrite, "overwrite an existing output")->group(kInputGroup);
    command
        ->add_option("--range", o.range,
                     "render frames A to B-1 (A: to the end); neighbours outside are still "
                     "read, so chunks join into the whole render")
        ->type_name("A:B")
        ->check(checkedBy("--range", parseRange))
        ->group(kInputGroup);
    CLI::Option* audio =
        command
            ->add_flag("--audio", o.keepAudio,
                       "keep the sound in a --range chunk too (the whole clip keeps it anyway)")
            ->group(kInputGroup);
    command->add_flag("--no-audio", o.dropAudio, "leave the sound out")
        ->excludes(audio)
        ->group(kInputGroup);
    command
        ->add_option("--codec", o.codec,
                     "h264, h265, ffv1 or prores instead of the "
                     "extension's default")
        ->group(kInputGroup);
    command->add_option("--crf", o.crf, "quality of H.264/H.265 (0 best to 51) [default 18/20]")
        ->check(CLI::Range(0, 51))
        ->group(kInputGroup);
    command
        ->add_option("--reference", o.reference,
                     "clean clip: print PSNR and SSIM of the input and of the result "
                     "against it (means; per frame with --per-frame)")
        ->type_name("CLEAN")
        ->group("Measurement");
    command->add_flag("--per-frame", o.metricsPerFrame, "with --reference: a line per frame")
        ->group("Measurement");
    command
        ->add_flag("--stats", o.stats,
                   "print frames per second, the render's share of the time, and how much "
                   "of the decoding and encoding ran beside it")
        ->group("Measurement");
    addAnalysis(*command, o.analysis);
    command
        ->add_option("--profile-out", o.analysis.profileOut,
                     "also save every parameter value as JSON")
        ->group(kAnalysisGroup);
    o.settings.addOptions(*command);
    addCommon(*command, o.common);
    command->callback([&line] { line.command = Command::Denoise; });
    return command;
}

CLI::App* addAnalyze(CLI::App& app, CommandLine& line) {
    AnalyzeOptions& o = line.analyze;
    CLI::App* command =
        app.add_subcommand("analyze", "measure the noise and save a profile; renders nothing");
    command->add_option("INPUT", o.input, "video file or image sequence")
        ->required()
        ->group(kInputGroup);
    command->add_option("--profile-out", o.analysis.profileOut, "where to save the profile (JSON)")
        ->required()
        ->group(kInputGroup);
    command->add_flag("-y", o.overwrite, "overwrite an existing profile")->group(kInputGroup);
    addAnalysis(*command, o.analysis);
    o.settings.addOptions(*command);
    addCommon(*command, o.common);
    command->callback([&line] { line.command = Command::Analyze; });
    return command;
}

CLI::App* addInfo(CLI::App& app, CommandLine& line) {
    InfoOptions& o = line.info;
    CLI::App* command = app.add_subcommand(
        "info",
        "the effect's descriptor and panel; with an input, its size, rate, frame "
        "count, pixel format and the GL renderer");
    command->add_option("INPUT", o.input, "video file or image sequence")->group(kInputGroup);
    addCommon(*command, o.common);
    command->callback([&line] { line.command = Command::Info; });
    return command;
}

CLI::App* addPreview(CLI::App& app, CommandLine& line) {
    PreviewOptions& o = line.preview;
    CLI::App* command = app.add_subcommand(
        "preview",
        "PNGs of one frame to look at: the analysis box, the frequency views at a "
        "few levels, and a labelled before/after split");
    command->add_option("INPUT", o.input, "video file or image sequence")
        ->required()
        ->group(kInputGroup);
    command->add_option("-o,--output-dir", o.outputDir, "folder for the pictures")
        ->required()
        ->group(kInputGroup);
    command->add_option("--frame", o.frame, "the frame shown and analysed [default 0]")
        ->check(CLI::NonNegativeNumber)
        ->group(kInputGroup);
    command->add_flag("-y", o.overwrite, "overwrite existing pictures")->group(kInputGroup);
    command
        ->add_option("--box", o.analysis.box,
                     "analyse this box instead of choosing boxes "
                     "automatically (image pixels, top-left origin)")
        ->type_name("X,Y,W,H")
        ->check(boxCheck())
        ->group(kAnalysisGroup);
    command
        ->add_option("--profile-in", o.analysis.profileIn,
                     "settings and thresholds saved by an earlier analysis")
        ->group(kAnalysisGroup);
    o.settings.addOptions(*command);
    addCommon(*command, o.common);
    command->callback([&line] { line.command = Command::Preview; });
    return command;
}

CLI::App* addDemo(CLI::App& app, CommandLine& line) {
    DemoOptions& o = line.demo;
    CLI::App* command = app.add_subcommand(
        "demo",
        "generate a noisy test clip, denoise it with the automatic analysis, and print "
        "the PSNR gain");
    command
        ->add_option("-o,--output-dir", o.outputDir,
                     "folder for the clip, the result and a before/after picture")
        ->capture_default_str()
        ->group(kInputGroup);
    command
        ->add_option("--noise", o.noise,
                     "camera: a Bayer sensor's shot and read noise, demosaiced; grain: film "
                     "grain, strongest in the mid-tones")
        ->check(CLI::IsMember({"camera", "grain"}))
        ->capture_default_str()
        ->group(kInputGroup);
    command
        ->add_option("--crf", o.crf,
                     "H.264 quality the noisy clip goes through, as a camera's encoder; -1: none")
        ->check(CLI::Range(-1, 51))
        ->capture_default_str()
        ->group(kInputGroup);
    command->add_option("--seed", o.seed, "picks the scene and the noise")
        ->capture_default_str()
        ->group(kInputGroup);
    addCommon(*command, o.common);
    command->callback([&line] { line.command = Command::Demo; });
    return command;
}

}  // namespace

std::unique_ptr<CLI::App> makeApp(CommandLine& line) {
    auto app = std::make_unique<CLI::App>(
        "Ruvovav: GPU grain and noise removal for video files and image sequences.\n\n"
        "Formats: " +
        media::describeFormats());
    app->set_version_flag("--version", kVersion);
    app->require_subcommand(1);
    addDenoise(*app, line);
    addAnalyze(*app, line);
    addInfo(*app, line);
    addDemo(*app, line);
    addPreview(*app, line);
    return app;
}

}  // namespace ruvovav::cli
