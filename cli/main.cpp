// `ruvovav`: runs the Ruvovav effect outside the editor, through our Kestrel host.
#include <iostream>

#include "cli/options.h"
#include "host/descriptor_reader.h"
#include "host/host.h"
#include "host/panel_listing.h"
#include "host/plugin_module.h"

namespace {

constexpr const char* kVersion = "ruvovav 0.1";

int showEffectInfo(const ruvovav::cli::Options& options) {
    const kestrel::PluginModule module(options.modulePath.empty()
                                           ? kestrel::defaultModulePath()
                                           : std::filesystem::path(options.modulePath));
    kestrel::Host host(module, {.backend = kestrel::parseGlBackend(options.gl)});
    if (host.createInstance() != 1 || host.setUpGpu() != 1 || host.declareParameters() != 1) {
        std::cerr << "ruvovav: the effect failed to start on this OpenGL context\n";
        return 1;
    }
    kestrel::printDescriptor(std::cout, kestrel::readDescriptor(module));
    const kestrel::EglContext& context = host.gl()->context();
    context.makeCurrent();
    std::cout << "  OpenGL:     " << context.renderer() << " (" << context.version() << ", "
              << context.origin() << ")\n";
    kestrel::printPanel(std::cout, host.parameters());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ruvovav::cli::Options options;
    if (const auto error = ruvovav::cli::parseOptions(argc, argv, options)) {
        std::cerr << "ruvovav: " << *error << "\n" << ruvovav::cli::usageText();
        return 2;
    }
    if (options.showHelp) {
        std::cout << ruvovav::cli::usageText();
        return 0;
    }
    if (options.showVersion) {
        std::cout << kVersion << "\n";
        return 0;
    }
    try {
        // Until the tool processes clips, its default job is to show what the effect offers.
        return showEffectInfo(options);
    } catch (const std::exception& e) {
        std::cerr << "ruvovav: " << e.what() << "\n";
        return 1;
    }
}
