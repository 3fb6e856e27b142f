// GPU set-up (message 8) through the loaded module on a real headless context.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "gl/effect_data.h"

#include "host/host.h"
#include "host/stdout_capture.h"
#include "module_fixture.h"
#include "tests/expected_registry.h"

namespace {

using kestrel::Host;

// Program names are small integers handed out in order; scanning a generous range finds
// every program alive in the context.
std::set<GLuint> livePrograms() {
    std::set<GLuint> names;
    for (GLuint name = 1; name < 512; ++name) {
        if (glIsProgram(name) == GL_TRUE) names.insert(name);
    }
    return names;
}

void expectHostStateRestored(Host& host) {
    for (const std::string& line : host.gl()->lastStateDifferences()) ADD_FAILURE() << line;
    EXPECT_EQ(host.gl()->lentImages().outstanding(), 0);
    EXPECT_EQ(host.gl()->objects().buffersOutstanding(), 0);
    EXPECT_EQ(host.gl()->objects().vertexArraysOutstanding(), 0);
    EXPECT_EQ(host.hostErrors(), 0);
}

// The module's registry, read through the instance pointer the host keeps for it.
std::vector<std::string> registeredNamesInIndexOrder(Host& host) {
    const auto& effect = *static_cast<const Plugin::EffectData*>(host.api().instanceData);
    std::map<int32_t, std::string> byIndex;
    for (const Plugin::gl::ProgramName& entry : effect.nameIndex) byIndex[entry.index] = entry.name;
    std::vector<std::string> names;
    for (const auto& [index, name] : byIndex) names.push_back(name);
    EXPECT_EQ(int(names.size()), effect.count);
    return names;
}

// Every program at its place and linked; a second set-up makes everything again except the
// shared copy program; destroying the instance deletes every program it made.
TEST(GpuSetUp, RegistersEveryProgramAndDestroyingTheInstanceDeletesThem) {
    Host host(testing_support::loadedModule(), kestrel::GlOptions{});
    ASSERT_EQ(host.createInstance(), 1);
    const std::set<GLuint> before = livePrograms();
    ASSERT_EQ(host.setUpGpu(), 1);
    expectHostStateRestored(host);
    const std::vector<std::string>& expected = test::kExpectedRegistryOrder;
    EXPECT_EQ(registeredNamesInIndexOrder(host), expected);
    host.gl()->context().makeCurrent();
    const auto& effect = *static_cast<const Plugin::EffectData*>(host.api().instanceData);
    for (const Plugin::gl::ProgramName& entry : effect.nameIndex) {
        GLint linked = GL_FALSE;
        glGetProgramiv(effect.programs[size_t(entry.index)]->id, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE) << entry.name;
    }

    ASSERT_EQ(host.setUpGpu(), 1);
    expectHostStateRestored(host);
    std::map<std::string, int> entries;
    for (const std::string& name : registeredNamesInIndexOrder(host)) ++entries[name];
    for (const std::string& name : expected) {
        EXPECT_EQ(entries[name], name == "glCopy" ? 1 : 2) << name;
    }
    host.gl()->context().makeCurrent();
    EXPECT_EQ(livePrograms().size(), before.size() + 2 * expected.size() - 1);

    EXPECT_EQ(host.destroyInstance(), 1);
    host.gl()->context().makeCurrent();
    EXPECT_EQ(livePrograms(), before);
}

TEST(GpuSetUp, AnnouncesItselfOnlyWithDiagnostics) {
    for (bool diagnostics : {false, true}) {
        Host host(testing_support::loadedModule(), kestrel::GlOptions{});
        host.setDiagnostics(diagnostics);
        ASSERT_EQ(host.createInstance(), 1);
        kestrel::StdoutCapture capture;
        EXPECT_EQ(host.setUpGpu(), 1);
        EXPECT_EQ(host.setUpGpu(), 1);
        const std::string printed = capture.finish();
        // Once per set-up; our programs compile cleanly, so no driver log follows.
        EXPECT_EQ(printed, diagnostics ? "Ruvovav Plugin\nRuvovav Plugin\n" : "") << printed;
        expectHostStateRestored(host);
    }
}

TEST(GpuSetUp, EveryMessageLeavesTheHostStateAsItWas) {
    Host host(testing_support::loadedModule(), kestrel::GlOptions{.width = 24, .height = 16});
    for (int32_t message : {0, 8, 2, 3, 4, 10, 5, 1}) {
        host.notify(message);
        expectHostStateRestored(host);
    }
    EXPECT_EQ(host.renderFrame(0), 1);
    expectHostStateRestored(host);
}

TEST(GpuSetUp, StateCheckNamesWhatACallLeftWrong) {
    Host host(testing_support::loadedModule(), kestrel::GlOptions{});
    kestrel::HostGl& gl = *host.gl();
    // Stand in for a module that forgets to put the source back on unit 0.
    gl.beginCall();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    gl.endCall();
    ASSERT_EQ(gl.lastStateDifferences().size(), 1u);
    EXPECT_NE(gl.lastStateDifferences()[0].find("texture on unit 0"), std::string::npos)
        << gl.lastStateDifferences()[0];
}

}  // namespace
