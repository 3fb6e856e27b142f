// The table of programs the GPU set-up registers: every source is strict GLSL 4.10; and the
// strictness check itself. (The registration order is checked after set-up in gpu_setup_test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/program_table.h"
#include "tests/glsl_strict.h"

namespace {

TEST(GlslStrict, RejectsImplicitConversionsExtensionsAndOtherVersions) {
    const std::string clean =
        "#version 410\nout vec4 colour;\nvoid main() {\n    float x = 1.0;\n"
        "    colour = vec4(x);\n}\n";
    EXPECT_TRUE(test::compilesAsStrictGlsl(clean, "frag"));
    EXPECT_TRUE(test::compilesAsStrictGlsl("#version 410 core" + clean.substr(12), "frag"));

    const std::string intToFloat =
        "#version 410\nout vec4 colour;\nvoid main() {\n    float x = 1;\n"
        "    colour = vec4(x);\n}\n";
    const ::testing::AssertionResult rejected = test::compilesAsStrictGlsl(intToFloat, "frag");
    EXPECT_FALSE(rejected);
    // The validator's message, at the line of the original text.
    EXPECT_NE(std::string(rejected.message()).find("0:4:"), std::string::npos)
        << rejected.message();
    EXPECT_FALSE(test::compilesAsStrictGlsl(
        "#version 410\n#extension GL_ARB_shading_language_420pack : enable\n" + clean.substr(13),
        "frag"));
    EXPECT_FALSE(test::compilesAsStrictGlsl("#version 330\n" + clean.substr(13), "frag"));
}

TEST(ProgramTable, EveryProgramIsStrictGlsl410) {
    for (const Plugin::ProgramSource& program : Plugin::programTable()) {
        EXPECT_TRUE(test::compilesAsStrictGlsl(program.vertexSource, "vert")) << program.name;
        EXPECT_TRUE(test::compilesAsStrictGlsl(program.fragmentSource, "frag")) << program.name;
    }
}

}  // namespace
