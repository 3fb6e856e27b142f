// Where the adapters look for the effect module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "editor_core/module_location.h"

namespace ruvovav::editor {
namespace {

TEST(ModuleLocation, LooksBesideItsOwnFile) {
    unsetenv(kModuleVariable);
    // Linked into this test program: its own file is the executable.
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(ownBinaryPath(), self);
    EXPECT_EQ(effectModulePath(), self.parent_path() / "Ruvovav.kspl");
}

TEST(ModuleLocation, TakesTheModuleNamedByTheEnvironment) {
    setenv(kModuleVariable, "/opt/effects/Ruvovav.kspl", 1);
    EXPECT_EQ(effectModulePath(), "/opt/effects/Ruvovav.kspl");
    setenv(kModuleVariable, "", 1);  // empty: as if unset
    EXPECT_EQ(effectModulePath().filename(), "Ruvovav.kspl");
    EXPECT_EQ(effectModulePath().parent_path(), ownBinaryPath().parent_path());
    unsetenv(kModuleVariable);
}

}  // namespace
}  // namespace ruvovav::editor
