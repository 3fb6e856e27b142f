// Tests of when and how compile and link diagnostics reach standard output.
#include "gl/shader_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

#include "gl/effect_data.h"
#include "gl/fx_glsl_exception.h"
#include "host/stdout_capture.h"
#include "tests/gl_test_context.h"
#include "tests/test_shaders.h"

namespace {

using Plugin::EffectData;
using Plugin::gl::FXGLSLexception;
using Plugin::gl::ShaderLog;

using kestrel::StdoutCapture;

// What flushing a log holding exactly `text` prints.
std::string printedFor(const std::string& text, bool enabled) {
    StdoutCapture capture;
    ShaderLog log(enabled);
    log.append(text);
    log.flush();
    return capture.finish();
}

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(ShaderLog, PrintsOnlyWarningsAndErrorsUnchanged) {
    const std::pair<const char*, bool> printed[] = {{"0:3(7): WaRnInG: unused value", true},
                                                    {"error\n", true},
                                                    {"ERROR", true},
                                                    {"warning", true},
                                                    {"Errors: none", true},
                                                    {"compiled fine", false},
                                                    {"ERRO", false},
                                                    {"WARNIN", false},
                                                    {"ERR OR and WARN ING", false},
                                                    {"", false}};
    for (const auto& [text, shown] : printed) {
        EXPECT_EQ(printedFor(text, true), shown ? text : "") << text;
    }
    EXPECT_EQ(printedFor("fatal error", false), "");
    // Two logs of one operation come out joined by exactly one line end.
    StdoutCapture capture;
    {
        ShaderLog log(true);
        log.append("vertex: warning: unused");
        log.append("");  // a stage with nothing to say
        log.append("fragment: fine");
        log.flush();
        EXPECT_TRUE(log.text.empty());
        log.flush();  // already emptied: prints nothing more
    }
    EXPECT_EQ(capture.finish(), "vertex: warning: unused\nfragment: fine");

    // Disabled logs are emptied all the same.
    ShaderLog quiet(false);
    quiet.append(std::string("error").append(100, '!'));  // longer than a short string
    quiet.flush();
    EXPECT_TRUE(quiet.text.empty());
    EXPECT_EQ(quiet.text.capacity(), std::string().capacity()) << "a flushed log keeps memory";
}

// A log is printed when it goes; while an error unwinds too, as the driver's failures below
// show.
TEST(ShaderLog, DestructorFlushes) {
    StdoutCapture normalEnd;
    {
        ShaderLog log(true);
        log.append("first error");
    }
    EXPECT_EQ(normalEnd.finish(), "first error");
}

// The driver's own logs, fetched here without the framework.
std::string rawShaderLog(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    char text[4096] = {};
    glGetShaderInfoLog(shader, sizeof text, nullptr, text);
    glDeleteShader(shader);
    return text;
}

std::string rawLinkLog(const char* vertexSource, const char* fragmentSource) {
    const GLuint program = glCreateProgram();
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vertex, 1, &vertexSource, nullptr);
    glShaderSource(fragment, 1, &fragmentSource, nullptr);
    glCompileShader(vertex);
    glCompileShader(fragment);
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    char text[4096] = {};
    glGetProgramInfoLog(program, sizeof text, nullptr, text);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    glDeleteProgram(program);
    return text;
}

class ShaderLogWithDriver : public test::GLTest {};

TEST_F(ShaderLogWithDriver, DriverDiagnosticsArePrintedOnlyWhenAsked) {
    const std::string compileLog = rawShaderLog(GL_FRAGMENT_SHADER, test::kFragmentBroken);
    ASSERT_NE(lowerCased(compileLog).find("error"), std::string::npos) << compileLog;
    // The good stages say nothing, so the printed text is the failing stage's log alone.
    ASSERT_EQ(rawShaderLog(GL_VERTEX_SHADER, test::kVertexOurNames), "");
    ASSERT_EQ(rawShaderLog(GL_FRAGMENT_SHADER, test::kFragmentUnresolved), "");
    const std::string linkLog = rawLinkLog(test::kVertexOurNames, test::kFragmentUnresolved);
    ASSERT_NE(lowerCased(linkLog).find("error"), std::string::npos) << linkLog;

    EffectData data;
    StdoutCapture compileFailure;
    EXPECT_THROW(data.addProgram(test::kVertexOurNames, test::kFragmentBroken, true, "broken"),
                 FXGLSLexception);
    EXPECT_EQ(compileFailure.finish(), compileLog);

    StdoutCapture quietFailure;
    EXPECT_THROW(data.addProgram(test::kVertexOurNames, test::kFragmentBroken, false, "broken"),
                 FXGLSLexception);
    EXPECT_EQ(quietFailure.finish(), "");

    StdoutCapture linkFailure;
    EXPECT_THROW(data.addLinkedProgram(test::kVertexOurNames, test::kFragmentUnresolved, true,
                                       "unresolved", true),
                 FXGLSLexception);
    EXPECT_EQ(linkFailure.finish(), linkLog);

    StdoutCapture success;
    EXPECT_EQ(
        data.addLinkedProgram(test::kVertexOurNames, test::kFragmentPlain, true, "plain", true), 1);
    EXPECT_EQ(success.finish(), "");
}

}  // namespace
