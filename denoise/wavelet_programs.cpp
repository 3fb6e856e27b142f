#include "denoise/wavelet_programs.h"

#include <charconv>
#include <string_view>

namespace Plugin {

namespace {

// Six digits after the point, as printf "%f" writes them, but independent of the host's
// locale: a decimal comma would break the GLSL.
std::string literal(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string tap(const char* prefix, int k) {
    std::string name(prefix);
    name += std::to_string(k);
    return name;
}

void line(std::string& text, int depth, std::string_view statement) {
    text.append(static_cast<size_t>(depth) * 4, ' ');
    text.append(statement);
    text += '\n';
}

// Uniform names are those the passes set (shaders/wavelet_uniforms.h); the tests hold the
// two together.
void appendHeader(std::string& text) {
    text +=
        "#version 410\n"
        "layout(location = 0) out vec4 fragColour;\n"
        "in vec2 coordinate;\n"
        "uniform sampler2D source;\n"
        "uniform int direction;\n"
        "uniform vec2 bound;\n"
        "uniform vec2 size;\n"
        "\n"
        "vec4 fetch(ivec2 texel) {\n"
        "    return texture(source, (vec2(texel) + 0.5) / size);\n"
        "}\n"
        "\n";
}

// p, c, the region test and R; leaves the region's block open.
void appendOpening(std::string& text, std::string_view regionSize) {
    line(text, 0, "void main() {");
    line(text, 1, "ivec2 p = ivec2(coordinate * size);");
    line(text, 1, "vec4 c = fetch(p);");
    line(text, 1, "if (coordinate.x <= bound.x && coordinate.y <= bound.y) {");
    line(text, 2, "ivec2 R = " + std::string(regionSize) + ";");
}

void appendTapPositions(std::string& text, int n, std::string_view flag) {
    for (int k = 0; k < n; ++k) line(text, 2, "ivec2 " + tap("q", k) + " = p;");
    line(text, 2, "bool " + std::string(flag) + ";");
}

// Output sample x reads (2x + k) mod R; p and R are never negative, so % is a true modulo.
void appendAnalysisIndices(std::string& text, int n, char axis) {
    const std::string p = std::string("p.") + axis;
    const std::string r = std::string("R.") + axis;
    line(text, 3, "low = 2 * " + p + " < " + r + ";");
    for (int k = 0; k < n; ++k) {
        line(text, 3,
             tap("q", k) + "." + axis + " = (2 * " + p + " + " + std::to_string(k) + ") % " + r +
                 ";");
    }
}

// Band position (i - j) mod H, then its partner in the high half. Adding j * H first keeps
// the operands of % non-negative (GLSL leaves negative ones undefined). Loops that add or
// subtract H until the position is in range give the same value, but Mesa's llvmpipe takes
// time exponential in their number to compile: over a minute for 8 taps.
void appendSynthesisIndices(std::string& text, int n, char axis) {
    const int m = n / 2;
    const std::string p = std::string("p.") + axis;
    const std::string h = std::string("R.") + axis;
    line(text, 3, "even = (" + p + " % 2) == 0;");
    for (int j = 0; j < m; ++j) {
        const std::string a = tap("q", j) + "." + axis;
        const std::string shift = std::to_string(j);
        line(text, 3,
             a + " = (" + p + " / 2 - " + shift + " + " + shift + " * " + h + ") % " + h + ";");
        line(text, 3, tap("q", m + j) + "." + axis + " = " + a + " + " + h + ";");
    }
}

void appendDirectionBranch(std::string& text, int n, void (*indices)(std::string&, int, char)) {
    line(text, 2, "if (direction == 0) {");
    indices(text, n, 'x');
    line(text, 2, "} else {");
    indices(text, n, 'y');
    line(text, 2, "}");
}

void appendFetches(std::string& text, int n) {
    for (int k = 0; k < n; ++k) {
        line(text, 2, "vec4 " + tap("s", k) + " = fetch(" + tap("q", k) + ");");
    }
}

void appendWeight(std::string& text, int k, double coefficient) {
    line(text, 3, tap("s", k) + " *= " + literal(coefficient) + ";");
}

void appendAnalysisWeights(std::string& text, int n, const double* lo, const double* hi) {
    line(text, 2, "if (low) {");
    for (int k = 0; k < n; ++k) appendWeight(text, k, lo[k]);
    line(text, 2, "} else {");
    for (int k = 0; k < n; ++k) appendWeight(text, k, hi[k]);
    line(text, 2, "}");
}

// Even outputs take the even taps, odd outputs the odd ones; low band first, then high.
void appendSynthesisWeights(std::string& text, int n, const double* lo, const double* hi) {
    const int m = n / 2;
    for (int r = 0; r < 2; ++r) {
        line(text, 2, r == 0 ? "if (even) {" : "} else {");
        for (int j = 0; j < m; ++j) appendWeight(text, j, lo[2 * j + r]);
        for (int j = 0; j < m; ++j) appendWeight(text, m + j, hi[2 * j + r]);
    }
    line(text, 2, "}");
}

void appendClosing(std::string& text, int n) {
    std::string sum = "c = " + tap("s", 0);
    for (int k = 1; k < n; ++k) sum += " + " + tap("s", k);
    line(text, 2, sum + ";");
    line(text, 2, "c.a = 1.0;");
    line(text, 1, "}");
    line(text, 1, "fragColour = c;");
    line(text, 0, "}");
}

}  // namespace

std::string buildDecompositionProgram(int n, const double* lo, const double* hi) {
    std::string text;
    appendHeader(text);
    appendOpening(text, "ivec2(bound * size)");
    appendTapPositions(text, n, "low");
    appendDirectionBranch(text, n, appendAnalysisIndices);
    appendFetches(text, n);
    appendAnalysisWeights(text, n, lo, hi);
    appendClosing(text, n);
    return text;
}

std::string buildDecompositionProgram(const WaveletFilter& filter) {
    return buildDecompositionProgram(filter.n, filter.lo.data(), filter.hi.data());
}

std::string buildReconstructionProgram(int n, const double* lo, const double* hi) {
    std::string text;
    appendHeader(text);
    appendOpening(text, "ivec2(bound * size) / 2");
    appendTapPositions(text, n, "even");
    appendDirectionBranch(text, n, appendSynthesisIndices);
    appendFetches(text, n);
    appendSynthesisWeights(text, n, lo, hi);
    appendClosing(text, n);
    return text;
}

std::string buildReconstructionProgram(const WaveletFilter& filter) {
    return buildReconstructionProgram(filter.n, filter.lo.data(), filter.hi.data());
}

}  // namespace Plugin
