// The host's module loader and its reporting of what went wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/descriptor_reader.h"
#include "host/host.h"
#include "host/panel_listing.h"
#include "host/plugin_module.h"
#include "host/stdout_capture.h"

namespace {

std::string loadError(const std::filesystem::path& path) {
    try {
        kestrel::PluginModule module(path);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(HostLoader, MissingFileAndMissingExportsAreNamed) {
    const auto dir = std::filesystem::temp_directory_path();
    EXPECT_NE(loadError(dir / "no-such-module.kspl").find("not found"), std::string::npos);

    // A real shared object without the entry points: the C library itself.
    const std::string noExports = loadError("/lib/x86_64-linux-gnu/libm.so.6");
    EXPECT_NE(noExports.find("does not export PluginInfo"), std::string::npos) << noExports;

    const auto junk = dir / "ruvovav-junk.kspl";
    std::ofstream(junk) << "not an ELF file";
    EXPECT_NE(loadError(junk).find("cannot load"), std::string::npos);
    std::filesystem::remove(junk);
}

TEST(HostLoader, ReadsDescriptorAndListsPanel) {
    const kestrel::PluginModule module(RUVOVAV_MODULE_PATH);
    const kestrel::ModuleDescriptor d = kestrel::readDescriptor(module);
    EXPECT_EQ(d.displayName, L"Ruvovav {grain removal}");
    EXPECT_EQ(d.identifier, "com.ORVANE.Kestrel.Ruvovav");

    kestrel::Host host(module);
    ASSERT_EQ(host.createInstance(), 1);
    ASSERT_EQ(host.declareParameters(), 1);
    std::ostringstream listing;
    kestrel::printPanel(listing, host.parameters());
    const std::string text = listing.str();
    EXPECT_NE(text.find("Parameters (963)"), std::string::npos);
    // Nesting shows as indentation: a threshold slider sits four groups deep.
    EXPECT_NE(text.find("\n      Level 3\n        Wavelet Iteration 1\n          Y HH  [float"),
              std::string::npos);
    EXPECT_NE(text.find("yL9_ThresholdHL10"), std::string::npos);
}

TEST(HostLoader, StdoutCaptureSeesCLibraryOutput) {
    kestrel::StdoutCapture capture;
    std::printf("from printf ");
    std::fwrite("and fwrite", 1, 10, stdout);
    EXPECT_EQ(capture.finish(), "from printf and fwrite");
}

}  // namespace
