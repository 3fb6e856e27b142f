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
        "    return texelFetch(source, texel, 0);\n"
        "}\n"
        "\n";
}

// p, c, the region test and R; leaves the region's block open.
void appendOpening(std::string& text, std::string_view regionSize) {
    line(text, 0, "void main() {");
    line(text, 1, "ivec2 p = ivec2(coordinate * size);");
    line(text, 1, "vec4 c;");
    line(text, 1, "if (coordinate.x <= bound.x && coordinate.y <= bound.y) {");
    line(text, 2, "ivec2 R = " + std::string(regionSize) + ";");
}

void appendTapPositions(std::string& text, int n, std::string_view flag) {
    for (int k = 0; k < n; ++k) line(text, 2, "ivec2 " + tap("q", k) + " = p;");
    line(text, 2, "bool " + std::string(flag) + ";");
}

// Output sample x reads (2x + k) mod R. Inside the region x < R, so 2x mod R takes one
// subtraction (the min keeps a stray fragment's reads in the image), and each next tap steps
// on and wraps to 0 at R: an integer modulo costs a CPU rasteriser more than a texture read.
void appendAnalysisIndices(std::string& text, int n, char axis) {
    const std::string p = std::string("p.") + axis;
    const std::string r = std::string("R.") + axis;
    line(text, 3, "low = 2 * " + p + " < " + r + ";");
    line(text, 3,
         tap("q", 0) + "." + axis + " = low ? 2 * " + p + " : min(2 * " + p + " - " + r + ", " + r +
             " - 1);");
    for (int k = 1; k < n; ++k) {
        const std::string next = tap("q", k - 1) + "." + axis + " + 1";
        line(text, 3,
             tap("q", k) + "." + axis + " = " + next + " == " + r + " ? 0 : " + next + ";");
    }
}

// Band position (i - j) mod H, then its partner in the high half. Inside the region i < H,
// so j = 0 needs no modulo (the min keeps a stray fragment's reads in the image), and each
// next position steps back from the previous one and wraps from 0 to H - 1: an integer
// modulo costs a CPU rasteriser more than a texture read. (Loops that add or subtract H
// until the position is in range would also do, but Mesa's llvmpipe takes time exponential
// in their number to compile: over a minute for 8 taps.)
void appendSynthesisIndices(std::string& text, int n, char axis) {
    const int m = n / 2;
    const std::string p = std::string("p.") + axis;
    const std::string h = std::string("R.") + axis;
    line(text, 3, "even = (" + p + " % 2) == 0;");
    line(text, 3, tap("q", 0) + "." + axis + " = min(" + p + " / 2, " + h + " - 1);");
    for (int j = 1; j < m; ++j) {
        const std::string previous = tap("q", j - 1) + "." + axis;
        line(text, 3,
             tap("q", j) + "." + axis + " = " + previous + " == 0 ? " + h + " - 1 : " + previous +
                 " - 1;");
    }
    for (int j = 0; j < m; ++j) {
        line(text, 3,
             tap("q", m + j) + "." + axis + " = " + tap("q", j) + "." + axis + " + " + h + ";");
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
    line(text, 1, "} else {");
    line(text, 2, "c = fetch(p);  // outside the region: carried over");
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
