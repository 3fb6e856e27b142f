// The command line of `ruvovav`, declared once with CLI11: subcommands, their options and
// help text grouped as the effect's panel groups its settings.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/commands.h"

namespace ruvovav::cli {

inline constexpr const char* kVersion = "ruvovav 0.2";

enum class Command { Denoise, Analyze, Info, Demo, Preview };

// Where the parse puts what it finds; must outlive the app made for it.
struct CommandLine {
    Command command = Command::Info;
    DenoiseOptions denoise;
    AnalyzeOptions analyze;
    InfoOptions info;
    DemoOptions demo;
    PreviewOptions preview;
};

std::unique_ptr<CLI::App> makeApp(CommandLine& line);

}  // namespace ruvovav::cli
