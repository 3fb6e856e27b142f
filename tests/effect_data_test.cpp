// Tests of EffectData, the registry of an effect's GL programs, against a real driver.
#include "gl/effect_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "gl/fx_glsl_exception.h"
#include "gl/name_index.h"
#include "tests/gl_test_context.h"
#include "tests/test_shaders.h"

namespace {

using Plugin::EffectData;
using Plugin::gl::FXGLSLexception;
using Plugin::gl::NameIndex;

template <typename Operation>
std::optional<FXGLSLexception> glslErrorFrom(Operation operation) {
    try {
        operation();
    } catch (const FXGLSLexception& error) {
        return error;
    }
    return std::nullopt;
}

// Type 0 is a compile failure, type 1 a link failure, each with its fixed message.
void expectGlslError(const std::optional<FXGLSLexception>& error, int type) {
    ASSERT_TRUE(error.has_value()) << "no FXGLSLexception was thrown";
    EXPECT_EQ(error->type, type);
    EXPECT_STREQ(error->message,
                 type == 0 ? "GLSLErrorType_ShaderCompile - The Shader failed to compile."
                           : "GLSLErrorType_ShaderLink - The shader program failed to link.");
    EXPECT_EQ(error->what(), error->message);
}
void expectCompileError(const std::optional<FXGLSLexception>& error) {
    expectGlslError(error, 0);
}
void expectLinkError(const std::optional<FXGLSLexception>& error) {
    expectGlslError(error, 1);
}

GLint programParameter(GLuint program, GLenum parameter) {
    GLint value = -1;
    glGetProgramiv(program, parameter, &value);
    return value;
}

std::vector<GLuint> attachedShaders(GLuint program) {
    GLuint shaders[8] = {};
    GLsizei attached = 0;
    glGetAttachedShaders(program, 8, &attached, shaders);
    return std::vector<GLuint>(shaders, shaders + attached);
}

GLuint currentGLProgram() {
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return static_cast<GLuint>(current);
}

TEST(EffectDataWithoutContext, EmptyRegistryMakesNoGLCall) {
    // No context exists here: any GL call would crash or be lost.
    auto data = std::make_unique<EffectData>();
    EXPECT_EQ(data->count, 0);
    EXPECT_TRUE(data->programs.empty());
    EXPECT_TRUE(data->nameIndex.empty());
    EXPECT_EQ(data->programId("anything"), -1);
    EXPECT_FALSE(data->linkProgram("anything", true));
    EXPECT_FALSE(data->linkProgram(0, true));
    EXPECT_EQ(data->uniformLocation("anything"), -1);
    data.reset();
}

TEST(NameIndex, OrdersBytewiseAndKeepsDuplicates) {
    NameIndex names;
    const char* registered[] = {"mid", "b", "\xC3\xA9t\xC3\xA9", "Zeta", "ab", "a", "abc", "mid"};
    for (int32_t i = 0; i < 8; ++i) {
        Plugin::gl::insertName(names, registered[i], i);
    }
    // Upper case sorts before lower case, a prefix before its extensions, bytes above
    // 0x7F after ASCII, and a repeated name after its earlier registration.
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"Zeta", 3}, {"a", 5},   {"ab", 4},  {"abc", 6},
        {"b", 1},    {"mid", 0}, {"mid", 7}, {"\xC3\xA9t\xC3\xA9", 2},
    };
    ASSERT_EQ(names.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(names[i].name, expected[i].first) << "entry " << i;
        EXPECT_EQ(names[i].index, expected[i].second) << "entry " << i;
    }
    EXPECT_EQ(Plugin::gl::findName(names, "mid"), 0);
    EXPECT_EQ(Plugin::gl::findName(names, "abc"), 6);
    EXPECT_EQ(Plugin::gl::findName(names, "\xC3\xA9t\xC3\xA9"), 2);
    EXPECT_EQ(Plugin::gl::findName(names, "zeta"), -1);
    EXPECT_EQ(Plugin::gl::findName(names, "mi"), -1);
    EXPECT_EQ(Plugin::gl::findName(names, ""), -1);
    EXPECT_TRUE(Plugin::gl::nameBefore("", "a"));
    EXPECT_FALSE(Plugin::gl::nameBefore("a", "a"));
    EXPECT_TRUE(Plugin::gl::nameBefore("z", "\x80"));
}

class EffectDataTest : public test::GLTest {};

TEST_F(EffectDataTest, RegistryResolvesNamesAndRejectsUncompilablePrograms) {
    EffectData data;
    const std::vector<std::string> names = {"mid", "Zeta", "alpha", "\xC3\xA9t\xC3\xA9", "beta"};
    for (const std::string& name : names) {
        data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, name);
    }
    ASSERT_EQ(data.count, 5);
    ASSERT_EQ(data.programs.size(), 5u);

    // Each name resolves to the program registered under it.
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(data.programId(names[i]), int32_t(data.programs[i]->id)) << names[i];
        EXPECT_EQ(glIsProgram(data.programs[i]->id), GL_TRUE) << names[i];
    }
    EXPECT_EQ(data.programId("alp"), -1);
    EXPECT_EQ(data.programId("zeta"), -1);

    // Registering does not link.
    for (const auto& program : data.programs) {
        EXPECT_FALSE(program->linked);
        EXPECT_EQ(programParameter(program->id, GL_LINK_STATUS), GL_FALSE);
        EXPECT_EQ(attachedShaders(program->id).size(), 2u);
    }
    EXPECT_TRUE(data.linkProgram("alpha", false));
    EXPECT_TRUE(data.programs[2]->linked);
    EXPECT_EQ(programParameter(data.programs[2]->id, GL_LINK_STATUS), GL_TRUE);
    EXPECT_TRUE(data.linkProgram(0, false));
    EXPECT_TRUE(data.programs[0]->linked);

    // A failing stage, wherever it is, leaves nothing registered.
    expectCompileError(glslErrorFrom(
        [&] { data.addProgram(test::kVertexOurNames, test::kFragmentBroken, false, "bad"); }));
    expectCompileError(glslErrorFrom(
        [&] { data.addProgram(test::kVertexBroken, test::kFragmentPlain, false, "bad"); }));
    expectCompileError(glslErrorFrom([&] {
        data.addProgram(test::kVertexOurNames, test::kGeometryBroken, test::kFragmentPlain, false,
                        "bad");
    }));
    expectCompileError(glslErrorFrom([&] {
        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentBroken, false, "bad", true);
    }));
    EXPECT_EQ(data.count, 5);
    EXPECT_EQ(data.programs.size(), 5u);
    EXPECT_EQ(data.nameIndex.size(), 5u);
    EXPECT_EQ(data.programId("bad"), -1);

    // A repeated name is a second registration; the name keeps finding the first one.
    data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, "mid");
    EXPECT_EQ(data.count, 6);
    EXPECT_EQ(data.nameIndex.size(), 6u);
    EXPECT_EQ(data.programId("mid"), static_cast<int32_t>(data.programs[0]->id));
}

TEST_F(EffectDataTest, LinkFailureKeepsTheProgramRegisteredButUnlinked) {
    EffectData data;
    data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, "good");
    expectLinkError(glslErrorFrom([&] {
        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentUnresolved, false, "unresolved",
                              true);
    }));
    ASSERT_EQ(data.count, 2);
    const Plugin::FXProgram& program = *data.programs[1];
    EXPECT_EQ(data.programId("unresolved"), static_cast<int32_t>(program.id));
    EXPECT_EQ(glIsProgram(program.id), GL_TRUE);
    EXPECT_FALSE(program.linked);
    EXPECT_EQ(programParameter(program.id, GL_LINK_STATUS), GL_FALSE);
    EXPECT_FALSE(program.infoLog.empty());

    // Relinking fails the same way, by name and by index.
    expectLinkError(glslErrorFrom([&] { data.linkProgram("unresolved", false); }));
    expectLinkError(glslErrorFrom([&] { data.linkProgram(1, false); }));
    EXPECT_FALSE(data.programs[1]->linked);
    EXPECT_EQ(data.count, 2);
    EXPECT_FALSE(data.linkProgram("missing", false));
    EXPECT_FALSE(data.linkProgram(2, false));
    EXPECT_FALSE(data.linkProgram(-1, false));
}

TEST_F(EffectDataTest, LinkedProgramsBindTheFixedAttributeLocations) {
    EffectData data;
    EXPECT_EQ(
        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentPlain, false, "ours", true), 1);
    EXPECT_EQ(data.addLinkedProgram(test::kVertexStandardNames, test::kFragmentPlain, false,
                                    "standard", false),
              1);
    EXPECT_EQ(data.addLinkedProgramTwoTexCoords(test::kVertexTwoOurNames, test::kFragmentPlain,
                                                false, "twoOurs", true),
              1);
    EXPECT_EQ(data.addLinkedProgramTwoTexCoords(test::kVertexTwoStandardNames, test::kFragmentPlain,
                                                false, "twoStandard", false),
              1);
    EXPECT_EQ(data.addLinkedProgram(test::kVertexOurNames, test::kGeometryPassThrough,
                                    test::kFragmentAfterGeometry, false, "geometry", true),
              1);
    ASSERT_EQ(data.count, 5);
    for (const auto& program : data.programs) {
        EXPECT_TRUE(program->linked);
    }

    const std::tuple<const char*, const char*, GLint> locations[] = {
        {"ours", "position", 0},
        {"ours", "texCoord", 8},
        {"standard", "in_Position", 0},
        {"standard", "in_TexCoord", 8},
        {"twoOurs", "position", 0},
        {"twoOurs", "texCoord0", 8},
        {"twoOurs", "texCoord1", 9},
        {"twoStandard", "in_Position", 0},
        {"twoStandard", "in_TexCoord0", 8},
        {"twoStandard", "in_TexCoord1", 9},
        {"geometry", "position", 0},
        {"geometry", "texCoord", 8}};
    for (const auto& [program, attribute, expected] : locations) {
        EXPECT_EQ(glGetAttribLocation(GLuint(data.programId(program)), attribute), expected)
            << program << " " << attribute;
    }

    // The geometry stage is attached only when given; the framework keeps no shader
    // alive itself, so every attached one is already flagged for deletion.
    const std::vector<GLuint> withGeometry = attachedShaders(data.programs[4]->id);
    ASSERT_EQ(withGeometry.size(), 3u);
    std::set<GLint> types;
    for (GLuint shader : withGeometry) {
        GLint type = 0;
        GLint flagged = GL_FALSE;
        glGetShaderiv(shader, GL_SHADER_TYPE, &type);
        glGetShaderiv(shader, GL_DELETE_STATUS, &flagged);
        types.insert(type);
        EXPECT_EQ(flagged, GL_TRUE);
    }
    EXPECT_EQ(types, (std::set<GLint>{0x8B31, 0x8B30, 0x8DD9}));
    EXPECT_EQ(attachedShaders(data.programs[0]->id).size(), 2u);
}

TEST_F(EffectDataTest, BindingSelectsTheProgramAskedForUniforms) {
    EffectData data;
    data.addLinkedProgram(test::kVertexOurNames, test::kFragmentOnlyA, false, "first", true);
    data.addLinkedProgram(test::kVertexOurNames, test::kFragmentOnlyB, false, "second", true);
    const GLuint first = data.programs[0]->id;
    const GLuint second = data.programs[1]->id;

    data.releaseProgram();
    EXPECT_EQ(currentGLProgram(), 0u);
    EXPECT_EQ(data.currentProgramIndex(), -1);
    // With none current, the first registered program is asked.
    EXPECT_EQ(data.uniformLocation("onlyInA"), glGetUniformLocation(first, "onlyInA"));
    EXPECT_GE(data.uniformLocation("onlyInA"), 0);
    EXPECT_EQ(data.uniformLocation("onlyInB"), -1);

    data.bindProgram("second");
    EXPECT_EQ(currentGLProgram(), second);
    EXPECT_EQ(data.currentProgramIndex(), 1);
    EXPECT_EQ(data.uniformLocation("onlyInB"), glGetUniformLocation(second, "onlyInB"));
    EXPECT_GE(data.uniformLocation("onlyInB"), 0);
    EXPECT_EQ(data.uniformLocation("onlyInA"), -1);

    data.bindProgram("missing");
    EXPECT_EQ(currentGLProgram(), second);
    data.bindProgram("first");
    EXPECT_EQ(currentGLProgram(), first);
    EXPECT_EQ(data.currentProgramIndex(), 0);

    // A program not registered here is current: index 0 is asked.
    EffectData other;
    other.addLinkedProgram(test::kVertexOurNames, test::kFragmentOnlyB, false, "foreign", true);
    other.bindProgram("foreign");
    EXPECT_EQ(currentGLProgram(), other.programs[0]->id);
    EXPECT_EQ(data.currentProgramIndex(), -1);
    EXPECT_EQ(data.uniformLocation("onlyInB"), -1);
    EXPECT_EQ(data.uniformLocation("onlyInA"), glGetUniformLocation(first, "onlyInA"));
    data.releaseProgram();
    EXPECT_EQ(currentGLProgram(), 0u);

    // bindAttribute takes effect at the next link.
    data.bindAttribute("first", 3, "position");
    EXPECT_TRUE(data.linkProgram("first", false));
    EXPECT_EQ(glGetAttribLocation(first, "position"), 3);
    EXPECT_EQ(glGetAttribLocation(first, "texCoord"), 8);
}

TEST_F(EffectDataTest, UniformSettersWriteWhatTheyAreGiven) {
    EffectData data;
    data.addLinkedProgram(test::kVertexOurNames, test::kFragmentUniforms, false, "uniforms", true);
    data.bindProgram("uniforms");
    const GLuint program = data.programs[0]->id;
    auto readFloats = [&](const char* name, size_t n) {
        std::vector<float> values(16, -99.0f);
        glGetUniformfv(program, data.uniformLocation(name), values.data());
        values.resize(n);
        return values;
    };

    data.setUniform1f(data.uniformLocation("gain"), 0.5f);
    data.setUniform2f(data.uniformLocation("offset"), 1.0f, -2.0f);
    data.setUniform3f(data.uniformLocation("tint"), 0.25f, 0.5f, 0.75f);
    data.setUniform4f(data.uniformLocation("bias"), 4.0f, 3.0f, 2.0f, 1.0f);
    data.setUniform1i(data.uniformLocation("mode"), 7);
    EXPECT_EQ(readFloats("gain", 1), (std::vector<float>{0.5f}));
    EXPECT_EQ(readFloats("offset", 2), (std::vector<float>{1.0f, -2.0f}));
    EXPECT_EQ(readFloats("tint", 3), (std::vector<float>{0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(readFloats("bias", 4), (std::vector<float>{4.0f, 3.0f, 2.0f, 1.0f}));
    GLint mode = 0;
    glGetUniformiv(program, data.uniformLocation("mode"), &mode);
    EXPECT_EQ(mode, 7);
    const std::vector<float> sequence = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const GLint colorMatrix = data.uniformLocation("colorMatrix");
    data.setUniformMatrix(colorMatrix, 4, 1, false, sequence.data());
    EXPECT_EQ(readFloats("colorMatrix", 16), sequence);
    // Given row by row, GL keeps it column by column.
    data.setUniformMatrix(colorMatrix, 4, 1, true, sequence.data());
    const std::vector<float> transposed = {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16};
    EXPECT_EQ(readFloats("colorMatrix", 16), transposed);
    // No 5x5 matrix exists: nothing changes.
    const std::vector<float> other(25, 42.0f);
    data.setUniformMatrix(colorMatrix, 5, 1, false, other.data());
    data.setUniformMatrix(colorMatrix, 1, 1, false, other.data());
    EXPECT_EQ(readFloats("colorMatrix", 16), transposed);

    data.setUniformMatrix(data.uniformLocation("shear"), 2, 1, false, sequence.data());
    EXPECT_EQ(readFloats("shear", 4), (std::vector<float>{1, 2, 3, 4}));
    data.setUniformMatrix(data.uniformLocation("warp"), 3, 1, true, sequence.data());
    EXPECT_EQ(readFloats("warp", 9), (std::vector<float>{1, 4, 7, 2, 5, 8, 3, 6, 9}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(EffectDataTest, DestroyingTheRegistryDeletesEveryProgramAndShader) {
    auto data = std::make_unique<EffectData>();
    data->addLinkedProgram(test::kVertexOurNames, test::kFragmentPlain, false, "plain", true);
    data->addProgram(test::kVertexOurNames, test::kGeometryPassThrough,
                     test::kFragmentAfterGeometry, false, "geometry");
    EXPECT_THROW(data->addLinkedProgram(test::kVertexOurNames, test::kFragmentUnresolved, false,
                                        "unlinked", true),
                 FXGLSLexception);
    data->bindProgram("plain");
    ASSERT_EQ(data->count, 3);

    std::vector<GLuint> programs;
    std::vector<GLuint> shaders;
    for (const auto& program : data->programs) {
        programs.push_back(program->id);
        for (GLuint shader : attachedShaders(program->id)) {
            shaders.push_back(shader);
        }
    }
    ASSERT_EQ(shaders.size(), 7u);
    data.reset();

    // Shaders are detached explicitly, so even those of the program still current go now.
    for (GLuint shader : shaders) {
        EXPECT_EQ(glIsShader(shader), GL_FALSE) << "shader " << shader;
    }
    EXPECT_EQ(glIsProgram(programs[1]), GL_FALSE);
    EXPECT_EQ(glIsProgram(programs[2]), GL_FALSE);
    // GL keeps the current program until it is no longer in use.
    glUseProgram(0);
    EXPECT_EQ(glIsProgram(programs[0]), GL_FALSE);
}

}  // namespace
