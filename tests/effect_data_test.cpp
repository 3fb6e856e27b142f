// Tests of EffectData, the registry of an effect's GL programs, against a real driver.
#include "gl/effect_data.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "gl/fx_glsl_exception.h"
#include "tests/gl_test_context.h"
#include "tests/test_shaders.h"

namespace {

using Plugin::EffectData;
using Plugin::gl::FXGLSLexception;

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

constexpr int kCompile = 0;
constexpr int kLink = 1;

class EffectDataTest : public test::GLTest {};

TEST_F(EffectDataTest, RegistryResolvesNamesAndRejectsUncompilablePrograms) {
    EffectData data;
    // Names compare byte by byte: case matters, a prefix is a name of its own, and bytes above
    // 0x7F are names like any other.
    const std::vector<std::string> names = {"mid",  "Zeta", "alpha", "\xC3\xA9t\xC3\xA9",
                                            "beta", "zeta", "ab",    "a"};
    for (const std::string& name : names) {
        data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, name);
    }
    ASSERT_EQ(data.count, 8);
    ASSERT_EQ(data.programs.size(), 8u);

    // Each name resolves to the program registered under it; registering does not link.
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(data.programId(names[i]), int32_t(data.programs[i]->id)) << names[i];
        EXPECT_EQ(glIsProgram(data.programs[i]->id), GL_TRUE) << names[i];
        EXPECT_FALSE(data.programs[i]->linked);
        EXPECT_EQ(programParameter(data.programs[i]->id, GL_LINK_STATUS), GL_FALSE);
        EXPECT_EQ(attachedShaders(data.programs[i]->id).size(), 2u);
    }
    EXPECT_EQ(data.programId("alp"), -1);
    EXPECT_EQ(data.programId("Alpha"), -1);
    EXPECT_EQ(data.programId(""), -1);
    EXPECT_TRUE(data.linkProgram("alpha", false));
    EXPECT_TRUE(data.programs[2]->linked);
    EXPECT_EQ(programParameter(data.programs[2]->id, GL_LINK_STATUS), GL_TRUE);

    // A failing stage, wherever it is, leaves nothing registered.
    expectGlslError(glslErrorFrom([&] {
                        data.addProgram(test::kVertexOurNames, test::kFragmentBroken, false, "bad");
                    }),
                    kCompile);
    expectGlslError(glslErrorFrom([&] {
                        data.addLinkedProgram(test::kVertexBroken, test::kFragmentPlain, false,
                                              "bad", true);
                    }),
                    kCompile);
    EXPECT_EQ(data.count, 8);
    EXPECT_EQ(data.programs.size(), 8u);
    EXPECT_EQ(data.nameIndex.size(), 8u);
    EXPECT_EQ(data.programId("bad"), -1);

    // A repeated name is a second registration; the name keeps finding the first one.
    data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, "mid");
    EXPECT_EQ(data.count, 9);
    EXPECT_EQ(data.nameIndex.size(), 9u);
    EXPECT_EQ(data.programId("mid"), static_cast<int32_t>(data.programs[0]->id));
}

TEST_F(EffectDataTest, LinkFailureKeepsTheProgramRegisteredButUnlinked) {
    EffectData data;
    data.addProgram(test::kVertexOurNames, test::kFragmentPlain, false, "good");
    expectGlslError(glslErrorFrom([&] {
                        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentUnresolved,
                                              false, "unresolved", true);
                    }),
                    kLink);
    ASSERT_EQ(data.count, 2);
    const Plugin::FXProgram& program = *data.programs[1];
    EXPECT_EQ(data.programId("unresolved"), static_cast<int32_t>(program.id));
    EXPECT_FALSE(program.linked);
    EXPECT_EQ(programParameter(program.id, GL_LINK_STATUS), GL_FALSE);
    EXPECT_FALSE(program.infoLog.empty());

    // Linking by name, as the position-only programs are, fails the same way.
    expectGlslError(glslErrorFrom([&] { data.linkProgram("unresolved", false); }), kLink);
    EXPECT_FALSE(data.programs[1]->linked);
}

// Position at 0 and the texture coordinate at 8; bindAttribute takes effect at the next link
// (a program with only a position input is bound by hand).
TEST_F(EffectDataTest, LinkedProgramsBindTheFixedAttributeLocations) {
    EffectData data;
    ASSERT_EQ(
        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentPlain, false, "ours", true), 1);
    const GLuint ours = data.programs[0]->id;
    EXPECT_EQ(glGetAttribLocation(ours, "position"), 0);
    EXPECT_EQ(glGetAttribLocation(ours, "texCoord"), 8);
    data.bindAttribute("ours", 3, "position");
    EXPECT_TRUE(data.linkProgram("ours", false));
    EXPECT_EQ(glGetAttribLocation(ours, "position"), 3);
}

// Parts of the program registry the effect itself does not call today, held to their
// contract for the effects that will: matrices of every size, a second texture coordinate,
// a geometry stage, and links of programs that do not exist.
TEST_F(EffectDataTest, MatricesTwoCoordinatesGeometryAndMissingPrograms) {
    constexpr char kTwoCoordinates[] = R"(#version 410 core
in vec4 position;
in vec2 texCoord0;
in vec2 texCoord1;
out vec2 uv;
void main() { uv = texCoord0 + texCoord1; gl_Position = position; }
)";
    constexpr char kGeometry[] = R"(#version 410 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
void main() {
    for (int i = 0; i < 3; ++i) { gl_Position = gl_in[i].gl_Position; EmitVertex(); }
    EndPrimitive();
}
)";
    constexpr char kMatrices[] = R"(#version 410 core
in vec2 uv;
uniform mat2 shear;
uniform mat3 warp;
out vec4 colour;
void main() { colour = vec4(warp * vec3(shear * uv, 1.0), 1.0); }
)";
    EffectData data;
    data.addLinkedProgramTwoTexCoords(kTwoCoordinates, test::kFragmentPlain, false, "two", true);
    EXPECT_EQ(glGetAttribLocation(data.programs[0]->id, "texCoord0"), 8);
    EXPECT_EQ(glGetAttribLocation(data.programs[0]->id, "texCoord1"), 9);
    data.addLinkedProgram(test::kVertexOurNames, kGeometry, test::kFragmentPlain, false, "geo",
                          true);
    EXPECT_EQ(attachedShaders(data.programs[1]->id).size(), 3u);
    EXPECT_FALSE(data.linkProgram("missing", false));
    EXPECT_FALSE(data.linkProgram(2, false));
    EXPECT_FALSE(data.linkProgram(-1, false));

    data.addLinkedProgram(test::kVertexOurNames, kMatrices, false, "matrices", true);
    data.bindProgram("matrices");
    const auto read = [&](const char* name, size_t n) {
        std::vector<float> values(9, -1.0f);
        glGetUniformfv(data.programs[2]->id, data.uniformLocation(name), values.data());
        values.resize(n);
        return values;
    };
    const float sequence[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    data.setUniformMatrix(data.uniformLocation("shear"), 2, 1, true, sequence);
    EXPECT_EQ(read("shear", 4), (std::vector<float>{1, 3, 2, 4}));  // given row by row
    data.setUniformMatrix(data.uniformLocation("warp"), 3, 1, false, sequence);
    EXPECT_EQ(read("warp", 9), std::vector<float>(sequence, sequence + 9));
    data.releaseProgram();
}

TEST_F(EffectDataTest, DestroyingTheRegistryDeletesEveryProgramAndShader) {
    auto data = std::make_unique<EffectData>();
    data->addLinkedProgram(test::kVertexOurNames, test::kFragmentPlain, false, "plain", true);
    data->addProgram(test::kVertexOurNames, test::kFragmentPlain, false, "unlinked");
    data->bindProgram("plain");
    std::vector<GLuint> shaders = attachedShaders(data->programs[0]->id);
    for (GLuint shader : attachedShaders(data->programs[1]->id)) shaders.push_back(shader);
    ASSERT_EQ(shaders.size(), 4u);
    const GLuint plain = data->programs[0]->id;
    const GLuint unlinked = data->programs[1]->id;
    data.reset();

    // Shaders are detached explicitly, so even those of the program still current go now.
    for (GLuint shader : shaders) EXPECT_EQ(glIsShader(shader), GL_FALSE) << "shader " << shader;
    EXPECT_EQ(glIsProgram(unlinked), GL_FALSE);
    // GL keeps the current program until it is no longer in use.
    glUseProgram(0);
    EXPECT_EQ(glIsProgram(plain), GL_FALSE);
}

}  // namespace
