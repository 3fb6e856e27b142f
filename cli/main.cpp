// `ruvovav`: runs the Ruvovav effect outside the editor, through our Kestrel host, on video
// files and image sequences.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/effect_session.h"
#include "cli/media/media_error.h"
#include "cli/value_parsers.h"

namespace {

using namespace ruvovav::cli;

// One clear line for a user: the first line of the message, nothing of a stack.
void report(const std::string& message) {
    std::cerr << "ruvovav: " << message.substr(0, message.find('\n')) << "\n";
}

int runParsed(CommandLine& line) {
    switch (line.command) {
        case Command::Denoise:
            return runDenoise(line.denoise);
        case Command::Analyze:
            return runAnalyze(line.analyze);
        case Command::Info:
            return runInfo(line.info);
        case Command::Demo:
            return runDemo(line.demo);
        case Command::Preview:
            return runPreview(line.preview);
    }
    return kExitUsage;
}

int parseAndRun(int argc, char** argv) {
    CommandLine line;
    const std::unique_ptr<CLI::App> app = makeApp(line);
    try {
        app->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app->help();
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::cout << kVersion << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        report(e.what());
        std::cerr << "Run 'ruvovav --help' for the options.\n";
        return kExitUsage;
    } catch (const UsageError& e) {
        report(e.what());
        return kExitUsage;
    }
    try {
        return runParsed(line);
    } catch (const UsageError& e) {
        report(e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        report(e.what());
        return kExitFailure;
    }
}

}  // namespace

// Nothing leaves main as an exception: whatever escaped the commands ends in one line.
int main(int argc, char** argv) {
    try {
        return parseAndRun(argc, argv);
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("unexpected error of unknown type");
    }
    return kExitFailure;
}
