// The command line of `ruvovav`: every option declared once, with its help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvovav::cli {

struct Options {
    std::string modulePath;   // empty: Ruvovav.kspl beside the executable
    std::string gl = "auto";  // auto, software or hardware
    bool showInfo = false;    // print the descriptor and the parameter panel
    bool showHelp = false;
    bool showVersion = false;
};

struct OptionDef {
    const char* name;      // "-module"; "--module" is accepted too
    const char* argument;  // argument name shown in help, nullptr for flags
    const char* help;
};

const std::vector<OptionDef>& optionTable();

// Parses argv; returns an error text for unknown options or missing arguments.
std::optional<std::string> parseOptions(int argc, char** argv, Options& options);

std::string usageText();

}  // namespace ruvovav::cli
