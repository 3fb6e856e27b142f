// `ruvovav info`: what the effect offers and, given an input, what the input is.
#include <iostream>

#include "cli/commands.h"
#include "cli/effect_session.h"
#include "cli/job_setup.h"
#include "host/descriptor_reader.h"
#include "host/panel_listing.h"

namespace ruvovav::cli {
namespace {

void printInput(const std::string& input) {
    const std::unique_ptr<media::MediaReader> reader = openInput(input);
    const media::VideoInfo& i = reader->info();
    std::cout << "Input:        " << input << "\n"
              << "  size:       " << i.width << "x" << i.height << "\n"
              << "  rate:       " << i.rateNum << "/" << i.rateDen << " fps ("
              << double(i.rateNum) / double(i.rateDen) << ")\n"
              << "  frames:     " << i.frameCount << "\n"
              << "  codec:      " << i.codec << "\n"
              << "  pixels:     " << i.pixelFormat << ", " << i.bitDepth << " bit"
              << (i.isFloat ? " float" : "") << (i.hasAlpha ? ", alpha" : "") << "\n";
}

}  // namespace

int runInfo(const InfoOptions& o) {
    // The input first: a bad file is reported before the effect is started.
    if (!o.input.empty()) printInput(o.input);
    EffectSession session(o.common.modulePath, kestrel::parseGlBackend(o.common.gl));
    if (o.input.empty()) {
        const kestrel::PluginModule module(o.common.modulePath.empty()
                                               ? kestrel::defaultModulePath()
                                               : std::filesystem::path(o.common.modulePath));
        kestrel::printDescriptor(std::cout, kestrel::readDescriptor(module));
    }
    std::cout << "  OpenGL:     " << session.renderer() << "\n";
    if (o.input.empty()) kestrel::printPanel(std::cout, session.parameters());
    return 0;
}

}  // namespace ruvovav::cli
