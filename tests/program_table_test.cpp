// The table of programs the GPU set-up registers: order, sources, strictness.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gl/program_table.h"
#include "tests/expected_registry.h"
#include "tests/glsl_strict.h"

namespace {

const std::vector<std::string>& kExpectedOrder = test::kExpectedRegistryOrder;

TEST(ProgramTable, ListsEveryProgramInRegistrationOrder) {
    const std::vector<Plugin::ProgramSource> table = Plugin::programTable();
    std::vector<std::string> names;
    for (const Plugin::ProgramSource& program : table) names.push_back(program.name);
    EXPECT_EQ(names, kExpectedOrder);
    for (const Plugin::ProgramSource& program : table) {
        EXPECT_EQ(program.onlyWhenAbsent, program.name == "glCopy") << program.name;
        EXPECT_EQ(program.vertex == Plugin::VertexStage::PositionOnly,
                  program.name == "singleColor")
            << program.name;
    }
}

TEST(ProgramTable, EveryProgramIsStrictGlsl410) {
    for (const Plugin::ProgramSource& program : Plugin::programTable()) {
        EXPECT_TRUE(test::compilesAsStrictGlsl(program.vertexSource, "vert")) << program.name;
        EXPECT_TRUE(test::compilesAsStrictGlsl(program.fragmentSource, "frag")) << program.name;
    }
}

}  // namespace
