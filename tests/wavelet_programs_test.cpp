// Tests of the wavelet filter bank and of the generated analysis and synthesis programs:
// the taps' mathematical properties, the program text, strict GLSL, and the programs run
// on a real driver against a reference written here.
#include "denoise/wavelet_programs.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "denoise/wavelet_filters.h"
#include "gl/effect_data.h"
#include "host/gl_name.h"
#include "shaders/standard_programs.h"
#include "shaders/wavelet_uniforms.h"
#include "tests/gl_test_context.h"
#include "tests/glsl_strict.h"

namespace {

using Plugin::kWavelets;
using Plugin::Wavelet;
using Plugin::WaveletFilter;

// Tap counts, and the sign of hi[0] relative to lo[n-1], in registration order.
struct Expected {
    const char* label;
    int n;
    int highPassSign;
};
constexpr Expected kExpected[] = {
    {"Haar", 2, 1},          {"Daubechies 4", 4, 1},
    {"Daubechies 8", 8, -1}, {"Daubechies 16", 16, -1},
    {"Symlets 16", 16, -1},
};

// Each stored tap is its true value to within 5e-11, so a sum of n products of taps of
// magnitude below 1 is off by at most about n * 1e-10.
double storedTolerance(int n) {
    return n * 1e-10;
}

double correlation(const std::array<double, 16>& a, const std::array<double, 16>& b, int n,
                   int shift) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        if (k + shift >= 0 && k + shift < n) sum += a[k] * b[k + shift];
    }
    return sum;
}

TEST(WaveletFilters, RegistryOrderNamesAndMethodChoice) {
    ASSERT_EQ(kWavelets.size(), 5u);
    const char* decNames[] = {"haarDec", "daubechies4Dec", "daubechies8Dec", "daubechies16Dec",
                              "symlet16Dec"};
    const char* recNames[] = {"haarRec", "daubechies4Rec", "daubechies8Rec", "daubechies16Rec",
                              "symlet16Rec"};
    for (size_t w = 0; w < kWavelets.size(); ++w) {
        EXPECT_EQ(kWavelets[w].makeFilter().n, kExpected[w].n) << kExpected[w].label;
        EXPECT_STREQ(kWavelets[w].names.decomposition, decNames[w]);
        EXPECT_STREQ(kWavelets[w].names.reconstruction, recNames[w]);
    }
    EXPECT_EQ(kWavelets[0].makeFilter, Plugin::haarFilter);
    EXPECT_EQ(kWavelets[4].makeFilter, Plugin::symlet16Filter);
    for (int method = 0; method < 5; ++method) {
        EXPECT_EQ(&Plugin::waveletForMethod(method), &kWavelets[method]) << method;
    }
    // Anything else is Symlets 16.
    for (int method : {5, 7, 100, -1}) {
        EXPECT_STREQ(Plugin::waveletForMethod(method).names.decomposition, "symlet16Dec");
        EXPECT_STREQ(Plugin::waveletForMethod(method).names.reconstruction, "symlet16Rec");
    }
}

TEST(WaveletFilters, AreOrthonormalWithAZeroSumHighPass) {
    for (size_t w = 0; w < kWavelets.size(); ++w) {
        SCOPED_TRACE(kExpected[w].label);
        const WaveletFilter f = kWavelets[w].makeFilter();
        const double tolerance = storedTolerance(f.n);
        double sumLo = 0.0;
        double sumHi = 0.0;
        for (int k = 0; k < f.n; ++k) {
            sumLo += f.lo[k];
            sumHi += f.hi[k];
        }
        EXPECT_NEAR(sumLo, std::sqrt(2.0), tolerance);
        EXPECT_NEAR(sumHi, 0.0, tolerance);
        // Even shifts: lo and hi each orthonormal, and orthogonal to each other at every one.
        for (int shift = -(f.n - 2); shift <= f.n - 2; shift += 2) {
            const double unit = shift == 0 ? 1.0 : 0.0;
            EXPECT_NEAR(correlation(f.lo, f.lo, f.n, shift), unit, tolerance) << "shift " << shift;
            EXPECT_NEAR(correlation(f.hi, f.hi, f.n, shift), unit, tolerance) << "shift " << shift;
            EXPECT_NEAR(correlation(f.lo, f.hi, f.n, shift), 0.0, tolerance) << "shift " << shift;
        }
    }
}

TEST(WaveletFilters, HighPassIsTheAlternatingReverseOfTheLowPass) {
    for (size_t w = 0; w < kWavelets.size(); ++w) {
        SCOPED_TRACE(kExpected[w].label);
        const WaveletFilter f = kWavelets[w].makeFilter();
        for (int k = 0; k < f.n; ++k) {
            const int sign = (k % 2 == 0 ? 1 : -1) * kExpected[w].highPassSign;
            // The stored constants are written out twice; they must agree digit for digit.
            EXPECT_EQ(f.hi[k], sign * f.lo[f.n - 1 - k]) << "k = " << k;
        }
    }
}

// A Daubechies or symlet filter of n taps has n/2 vanishing moments: sum_k k^j hi[k] = 0 for
// j < n/2. This catches a wrong digit that orthonormality alone might not.
TEST(WaveletFilters, HighPassHasHalfTheTapCountVanishingMoments) {
    for (size_t w = 0; w < kWavelets.size(); ++w) {
        SCOPED_TRACE(kExpected[w].label);
        const WaveletFilter f = kWavelets[w].makeFilter();
        const double centre = (f.n - 1) / 2.0;
        for (int j = 0; j < f.n / 2; ++j) {
            double moment = 0.0;
            double scale = 0.0;
            for (int k = 0; k < f.n; ++k) {
                const double power = std::pow(k - centre, j);
                moment += power * f.hi[k];
                scale += std::abs(power);
            }
            EXPECT_NEAR(moment, 0.0, scale * 1e-10) << "moment " << j;
        }
    }
}

TEST(WaveletFilters, HaarAndDaubechies4MatchTheirClosedForms) {
    const WaveletFilter haar = Plugin::haarFilter();
    EXPECT_NEAR(haar.lo[0], 0.7071067812, 5e-11);
    EXPECT_NEAR(haar.hi[1], -0.7071067812, 5e-11);
    const WaveletFilter d4 = Plugin::daubechies4Filter();
    const double lo[] = {0.4829629131, 0.8365163037, 0.2241438680, -0.1294095226};
    const double hi[] = {-0.1294095226, -0.2241438680, 0.8365163037, -0.4829629131};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(d4.lo[k], lo[k], 5e-11) << k;
        EXPECT_NEAR(d4.hi[k], hi[k], 5e-11) << k;
    }
}

// --- program text -------------------------------------------------------------------------

struct ProgramText {
    std::string name;
    std::string text;
    bool synthesis;
    WaveletFilter filter;
};

std::vector<ProgramText> everyProgram() {
    std::vector<ProgramText> programs;
    for (const Wavelet& wavelet : kWavelets) {
        const WaveletFilter f = wavelet.makeFilter();
        programs.push_back(
            {wavelet.names.decomposition, Plugin::buildDecompositionProgram(f), false, f});
        programs.push_back(
            {wavelet.names.reconstruction, Plugin::buildReconstructionProgram(f), true, f});
    }
    return programs;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The literals of the multiply-assigns, in the order they appear.
std::vector<std::string> weightLiterals(const std::string& text) {
    static const std::regex weight(R"(\*= *([-0-9.]+) *;)");
    std::vector<std::string> literals;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), weight);
         it != std::sregex_iterator(); ++it) {
        literals.push_back((*it)[1]);
    }
    return literals;
}

TEST(WaveletProgramText, OpensWithTheVersionFetchesOncePerTapAndUsesNoExtension) {
    for (const ProgramText& program : everyProgram()) {
        SCOPED_TRACE(program.name);
        EXPECT_EQ(program.text.rfind("#version 410\n", 0), 0u);
        EXPECT_EQ(occurrences(program.text, "#extension"), 0u);
        EXPECT_EQ(occurrences(program.text, "texture("), 1u);
        // The definition, the centre texel, and one per tap.
        EXPECT_EQ(occurrences(program.text, "fetch("), static_cast<size_t>(program.filter.n) + 2);
    }
}

TEST(WaveletProgramText, WritesEveryTapWithSixDecimalsInArmOrder) {
    static const std::regex sixDecimals(R"(-?[0-9]+\.[0-9]{6})");
    for (const ProgramText& program : everyProgram()) {
        SCOPED_TRACE(program.name);
        const WaveletFilter& f = program.filter;
        // Analysis: the low arm lo[0..n-1], then the high arm hi[0..n-1]. Synthesis: the
        // even arm lo[0], lo[2], ..., hi[0], hi[2], ..., then the odd arm likewise.
        std::vector<double> order;
        if (!program.synthesis) {
            order.assign(f.lo.begin(), f.lo.begin() + f.n);
            order.insert(order.end(), f.hi.begin(), f.hi.begin() + f.n);
        } else {
            for (int r = 0; r < 2; ++r) {
                for (int j = r; j < f.n; j += 2) order.push_back(f.lo[j]);
                for (int j = r; j < f.n; j += 2) order.push_back(f.hi[j]);
            }
        }
        const std::vector<std::string> literals = weightLiterals(program.text);
        ASSERT_EQ(literals.size(), order.size());
        for (size_t i = 0; i < literals.size(); ++i) {
            EXPECT_TRUE(std::regex_match(literals[i], sixDecimals)) << literals[i];
            EXPECT_NEAR(std::strtod(literals[i].c_str(), nullptr), order[i], 5.000001e-7)
                << "literal " << i << ": " << literals[i];
        }
    }
}

TEST(WaveletProgramText, SpotChecksOfHandRoundedLiterals) {
    auto texts = [](const Wavelet& wavelet) {
        const WaveletFilter f = wavelet.makeFilter();
        return Plugin::buildDecompositionProgram(f) + Plugin::buildReconstructionProgram(f);
    };
    const std::string haar = texts(kWavelets[0]);
    // lo = [a, a], hi = [a, -a] in each of the four arms of the two programs.
    EXPECT_EQ(occurrences(haar, "*= 0.707107;"), 6u);
    EXPECT_EQ(occurrences(haar, "*= -0.707107;"), 2u);
    const std::string d4 = texts(kWavelets[1]);
    for (const char* literal : {"0.482963", "0.836516", "0.224144", "-0.129410", "-0.482963"}) {
        EXPECT_NE(d4.find(std::string("*= ") + literal + ";"), std::string::npos) << literal;
    }
    const std::string d8 = texts(kWavelets[2]);
    for (const char* literal : {"-0.010597", "0.714847", "-0.230378"}) {
        EXPECT_NE(d8.find(std::string("*= ") + literal + ";"), std::string::npos) << literal;
    }
    const std::string d16 = texts(kWavelets[3]);
    for (const char* literal : {"-0.000117", "0.000472", "0.054416", "-0.284016"}) {
        EXPECT_NE(d16.find(std::string("*= ") + literal + ";"), std::string::npos) << literal;
    }
    const std::string symlet = texts(kWavelets[4]);
    for (const char* literal : {"-0.003382", "0.777186", "0.001890", "-0.000303"}) {
        EXPECT_NE(symlet.find(std::string("*= ") + literal + ";"), std::string::npos) << literal;
    }
}

// --- strict GLSL ---------------------------------------------------------------------------

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

    const std::string vectorConversion =
        "#version 410\nout vec4 colour;\nvoid main() {\n    vec2 v = ivec2(1);\n"
        "    colour = vec4(v, 0.0, 1.0);\n}\n";
    EXPECT_FALSE(test::compilesAsStrictGlsl(vectorConversion, "frag"));
    const std::string vertexConversion =
        "#version 410\nin vec4 position;\nvoid main() {\n    gl_Position = position * 2;\n}\n";
    EXPECT_FALSE(test::compilesAsStrictGlsl(vertexConversion, "vert"));
    EXPECT_TRUE(test::compilesAsStrictGlsl(
        "#version 410\nin vec4 position;\nvoid main() {\n    gl_Position = position * 2.0;\n}\n",
        "vert"));

    const std::string extension =
        "#version 410\n#extension GL_ARB_shading_language_420pack : enable\nout vec4 colour;\n"
        "void main() {\n    colour = vec4(1.0);\n}\n";
    EXPECT_FALSE(test::compilesAsStrictGlsl(extension, "frag"));
    EXPECT_FALSE(test::compilesAsStrictGlsl("#version 330\n" + clean.substr(13), "frag"));
    EXPECT_FALSE(test::compilesAsStrictGlsl("\n" + clean, "frag"));
    EXPECT_FALSE(test::compilesAsStrictGlsl(clean, "geom"));
}

TEST(GlslStrict, StandardProgramsAreStrict) {
    EXPECT_TRUE(test::compilesAsStrictGlsl(Plugin::shaders::kStandardVertex, "vert"));
    EXPECT_TRUE(test::compilesAsStrictGlsl(Plugin::shaders::kPositionOnlyVertex, "vert"));
    EXPECT_TRUE(test::compilesAsStrictGlsl(Plugin::shaders::kCopyFragment, "frag"));
    EXPECT_TRUE(test::compilesAsStrictGlsl(Plugin::shaders::kSingleColourFragment, "frag"));
}

TEST(GlslStrict, EveryWaveletProgramIsStrict) {
    for (const ProgramText& program : everyProgram()) {
        EXPECT_TRUE(test::compilesAsStrictGlsl(program.text, "frag")) << program.name;
    }
}

// --- on the driver -------------------------------------------------------------------------

class WaveletProgramsGL : public test::GLTest {};

TEST_F(WaveletProgramsGL, EveryProgramLinksWithTheStandardVertexProgram) {
    Plugin::EffectData effect;
    for (const ProgramText& program : everyProgram()) {
        SCOPED_TRACE(program.name);
        ASSERT_EQ(effect.addLinkedProgram(Plugin::shaders::kStandardVertex, program.text, false,
                                          program.name, true),
                  Plugin::kProgramLinked);
        const GLuint id = static_cast<GLuint>(effect.programId(program.name));
        glUseProgram(id);
        // The names the passes set.
        for (const char* uniform :
             {Plugin::shaders::kSourceUniform, Plugin::shaders::kDirectionUniform,
              Plugin::shaders::kBoundUniform, Plugin::shaders::kSizeUniform}) {
            EXPECT_GE(glGetUniformLocation(id, uniform), 0) << uniform;
        }
    }
    glUseProgram(0);
    EXPECT_EQ(effect.count, 10);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// RGBA texels, rows bottom up: texel (x, y) starts at 4 * (y * width + x).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;
    float& at(int x, int y, int channel) { return rgba[4 * (y * width + x) + channel]; }
    float at(int x, int y, int channel) const { return rgba[4 * (y * width + x) + channel]; }
};

// Draws one generated program over a full-frame quad from one float texture into another,
// as the passes will: nearest sampling, the texture's own size as `size`.
class PassRunner {
public:
    PassRunner() {
        const float quad[] = {-1, -1, 0, 0, 1, -1, 1, 0, -1, 1, 0, 1, 1, 1, 1, 1};
        glBindVertexArray(vertexArray_.name());
        glBindBuffer(GL_ARRAY_BUFFER, quad_.name());
        glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
        glVertexAttribPointer(8, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                              reinterpret_cast<const void*>(2 * sizeof(float)));
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(8);
        glGenFramebuffers(1, &framebuffer_);
    }
    ~PassRunner() { glDeleteFramebuffers(1, &framebuffer_); }
    PassRunner(const PassRunner&) = delete;
    PassRunner& operator=(const PassRunner&) = delete;

    void add(const std::string& name, const std::string& fragment) {
        effect_.addLinkedProgram(Plugin::shaders::kStandardVertex, fragment, false, name, true);
    }

    Image run(const std::string& name, const Image& input, int direction, float boundX,
              float boundY) {
        kestrel::GlTexture source = texture(input.width, input.height, input.rgba.data());
        kestrel::GlTexture target = texture(input.width, input.height, nullptr);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.name(),
                               0);
        glViewport(0, 0, input.width, input.height);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, source.name());
        setUniforms(name, direction, boundX, boundY, input);
        glBindVertexArray(vertexArray_.name());
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

        Image output{input.width, input.height, std::vector<float>(input.rgba.size())};
        glReadPixels(0, 0, input.width, input.height, GL_RGBA, GL_FLOAT, output.rgba.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        effect_.releaseProgram();
        return output;
    }

private:
    static kestrel::GlTexture texture(int width, int height, const float* rgba) {
        kestrel::GlTexture texture;
        glBindTexture(GL_TEXTURE_2D, texture.name());
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, rgba);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        return texture;
    }

    void setUniforms(const std::string& name, int direction, float boundX, float boundY,
                     const Image& input) {
        static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        effect_.bindProgram(name);
        effect_.setUniformMatrix(effect_.uniformLocation("projection"), 4, 1, false, identity);
        effect_.setUniformMatrix(effect_.uniformLocation("modelView"), 4, 1, false, identity);
        effect_.setUniform1i(effect_.uniformLocation("source"), 0);
        effect_.setUniform1i(effect_.uniformLocation("direction"), direction);
        effect_.setUniform2f(effect_.uniformLocation("bound"), boundX, boundY);
        effect_.setUniform2f(effect_.uniformLocation("size"), static_cast<float>(input.width),
                             static_cast<float>(input.height));
    }

    Plugin::EffectData effect_;
    kestrel::GlVertexArray vertexArray_;
    kestrel::GlBuffer quad_;
    GLuint framebuffer_ = 0;
};

// The taps as the programs apply them: rounded to six decimals.
std::vector<double> sixDecimals(const std::array<double, 16>& taps, int n) {
    std::vector<double> rounded(n);
    for (int k = 0; k < n; ++k) rounded[k] = std::round(taps[k] * 1e6) / 1e6;
    return rounded;
}

// Analysis of one periodic line of even length r as a matrix: row c < r/2 is the low band
// coefficient c, read from samples 2c..2c+n-1; row r/2 + c the high band one. Synthesis
// is its transpose.
std::vector<double> analysisMatrix(const WaveletFilter& f, int r) {
    const std::vector<double> lo = sixDecimals(f.lo, f.n);
    const std::vector<double> hi = sixDecimals(f.hi, f.n);
    std::vector<double> matrix(static_cast<size_t>(r) * r, 0.0);
    for (int c = 0; c < r / 2; ++c) {
        for (int k = 0; k < f.n; ++k) {
            const int column = (2 * c + k) % r;
            matrix[c * r + column] += lo[k];
            matrix[(r / 2 + c) * r + column] += hi[k];
        }
    }
    return matrix;
}

// Applies the matrix (or its transpose) along one axis of the region's lines; texels
// outside the region keep their values and alpha, inside alpha is 1.
Image referencePass(const Image& input, const std::vector<double>& matrix, bool transpose,
                    int direction, int regionWidth, int regionHeight) {
    Image output = input;
    const int r = direction == 0 ? regionWidth : regionHeight;
    const int lines = direction == 0 ? regionHeight : regionWidth;
    for (int line = 0; line < lines; ++line) {
        for (int out = 0; out < r; ++out) {
            const int ox = direction == 0 ? out : line;
            const int oy = direction == 0 ? line : out;
            for (int channel = 0; channel < 3; ++channel) {
                double sum = 0.0;
                for (int in = 0; in < r; ++in) {
                    const double weight = transpose ? matrix[in * r + out] : matrix[out * r + in];
                    sum += weight * (direction == 0 ? input.at(in, line, channel)
                                                    : input.at(line, in, channel));
                }
                output.at(ox, oy, channel) = static_cast<float>(sum);
            }
            output.at(ox, oy, 3) = 1.0f;
        }
    }
    return output;
}

void expectImagesNear(const Image& actual, const Image& expected, double tolerance,
                      const char* what) {
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            for (int channel = 0; channel < 4; ++channel) {
                ASSERT_NEAR(actual.at(x, y, channel), expected.at(x, y, channel), tolerance)
                    << what << " at (" << x << ", " << y << ") channel " << channel;
            }
        }
    }
}

Image randomImage(int width, int height, uint32_t seed) {
    std::mt19937 generator(seed);
    Image image{width, height, std::vector<float>(4 * width * height)};
    for (float& value : image.rgba) {
        value = static_cast<float>(static_cast<int>(generator() % 2001) - 1000) / 1000.0f;
    }
    for (size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = std::abs(image.rgba[i]);
    return image;
}

TEST_F(WaveletProgramsGL, HaarRowAnalysisAndSynthesisByHand) {
    PassRunner runner;
    const WaveletFilter haar = Plugin::haarFilter();
    runner.add("haarDec", Plugin::buildDecompositionProgram(haar));
    runner.add("haarRec", Plugin::buildReconstructionProgram(haar));
    Image row{4, 1, {}};
    for (float value : {1.0f, 3.0f, 5.0f, 7.0f})
        row.rgba.insert(row.rgba.end(), {value, -value, 2 * value, 0.5f});

    // 0.707107 x (1 + 3), 0.707107 x (5 + 7), 0.707107 x (1 - 3), 0.707107 x (5 - 7).
    const Image bands = runner.run("haarDec", row, 0, 1.0f, 1.0f);
    const double expected[] = {2.828428, 8.485284, -1.414214, -1.414214};
    for (int x = 0; x < 4; ++x) {
        EXPECT_NEAR(bands.at(x, 0, 0), expected[x], 2e-6) << x;
        EXPECT_NEAR(bands.at(x, 0, 1), -expected[x], 2e-6) << x;
        EXPECT_NEAR(bands.at(x, 0, 2), 2 * expected[x], 4e-6) << x;
        EXPECT_EQ(bands.at(x, 0, 3), 1.0f) << x;
    }
    const Image rebuilt = runner.run("haarRec", bands, 0, 1.0f, 1.0f);
    for (int x = 0; x < 4; ++x) {
        EXPECT_NEAR(rebuilt.at(x, 0, 0), row.at(x, 0, 0), 2e-6 * std::abs(row.at(x, 0, 0))) << x;
    }
}

// With impulses one per row, row y of the output holds the weight every output column gives
// input column y.
TEST_F(WaveletProgramsGL, Daubechies8ReadsTheDocumentedColumns) {
    PassRunner runner;
    const WaveletFilter d8 = Plugin::daubechies8Filter();
    runner.add("dec", Plugin::buildDecompositionProgram(d8));
    runner.add("rec", Plugin::buildReconstructionProgram(d8));
    Image impulses{8, 8, std::vector<float>(4 * 64, 0.0f)};
    for (int y = 0; y < 8; ++y) impulses.at(y, y, 0) = 1.0f;

    // Analysis, R = 8: output column 3 (i = 6, so low band) and column 7 (i = 14, its high
    // band partner) both read columns 6, 7, 0, ..., 5, with lo[k] and hi[k].
    const Image analysis = runner.run("dec", impulses, 0, 1.0f, 1.0f);
    const int analysisColumns[] = {6, 7, 0, 1, 2, 3, 4, 5};
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(analysis.at(3, analysisColumns[k], 0), d8.lo[k], 1e-6) << "tap " << k;
        EXPECT_NEAR(analysis.at(7, analysisColumns[k], 0), d8.hi[k], 1e-6) << "tap " << k;
    }
    // Synthesis, H = 4: output column 0 reads band columns 0, 3, 2, 1 with lo[2j] and
    // 4, 7, 6, 5 with hi[2j].
    const Image synthesis = runner.run("rec", impulses, 0, 1.0f, 1.0f);
    const int lowColumns[] = {0, 3, 2, 1};
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(synthesis.at(0, lowColumns[j], 0), d8.lo[2 * j], 1e-6) << "j " << j;
        EXPECT_NEAR(synthesis.at(0, lowColumns[j] + 4, 0), d8.hi[2 * j], 1e-6) << "j " << j;
    }
}

// A 12 x 6 region of a 16 x 8 texture, so the longer filters wrap more than once and the
// copy outside the region shows.
TEST_F(WaveletProgramsGL, EveryWaveletMatchesTheReferenceAndReconstructs) {
    constexpr int kWidth = 16, kHeight = 8, kRegionWidth = 12, kRegionHeight = 6;
    const float boundX = static_cast<float>(kRegionWidth) / kWidth;
    const float boundY = static_cast<float>(kRegionHeight) / kHeight;
    PassRunner runner;
    const Image input = randomImage(kWidth, kHeight, 20240611u);
    for (const Wavelet& wavelet : kWavelets) {
        const WaveletFilter f = wavelet.makeFilter();
        runner.add(wavelet.names.decomposition, Plugin::buildDecompositionProgram(f));
        runner.add(wavelet.names.reconstruction, Plugin::buildReconstructionProgram(f));
        for (int direction : {0, 1}) {
            SCOPED_TRACE(std::string(wavelet.names.decomposition) + " direction " +
                         std::to_string(direction));
            const std::vector<double> matrix =
                analysisMatrix(f, direction == 0 ? kRegionWidth : kRegionHeight);
            const Image bands =
                runner.run(wavelet.names.decomposition, input, direction, boundX, boundY);
            expectImagesNear(
                bands, referencePass(input, matrix, false, direction, kRegionWidth, kRegionHeight),
                2e-6, "analysis");
            const Image rebuilt =
                runner.run(wavelet.names.reconstruction, bands, direction, boundX, boundY);
            expectImagesNear(
                rebuilt, referencePass(bands, matrix, true, direction, kRegionWidth, kRegionHeight),
                2e-6, "synthesis");
            // Six-decimal taps are orthonormal to about 1e-6 per tap.
            Image original = input;
            for (int y = 0; y < kRegionHeight; ++y) {
                for (int x = 0; x < kRegionWidth; ++x) original.at(x, y, 3) = 1.0f;
            }
            expectImagesNear(rebuilt, original, 2e-5, "reconstruction");
        }
    }
}

}  // namespace
