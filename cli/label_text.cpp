#include "cli/label_text.h"

#include <array>
#include <cstdint>

namespace ruvovav::cli {
namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Seven rows per glyph, the low five bits of each row from left (bit 4) to right (bit 0).
using Glyph = std::array<uint8_t, kGlyphHeight>;

Glyph glyphOf(char c) {
    static const std::array<Glyph, 26> letters = {{
        {14, 17, 17, 31, 17, 17, 17}, {30, 17, 17, 30, 17, 17, 30}, {14, 17, 16, 16, 16, 17, 14},
        {30, 17, 17, 17, 17, 17, 30}, {31, 16, 16, 30, 16, 16, 31}, {31, 16, 16, 30, 16, 16, 16},
        {14, 17, 16, 23, 17, 17, 15}, {17, 17, 17, 31, 17, 17, 17}, {14, 4, 4, 4, 4, 4, 14},
        {7, 2, 2, 2, 2, 18, 12},      {17, 18, 20, 24, 20, 18, 17}, {16, 16, 16, 16, 16, 16, 31},
        {17, 27, 21, 21, 17, 17, 17}, {17, 25, 21, 19, 17, 17, 17}, {14, 17, 17, 17, 17, 17, 14},
        {30, 17, 17, 30, 16, 16, 16}, {14, 17, 17, 17, 21, 18, 13}, {30, 17, 17, 30, 20, 18, 17},
        {15, 16, 16, 14, 1, 1, 30},   {31, 4, 4, 4, 4, 4, 4},       {17, 17, 17, 17, 17, 17, 14},
        {17, 17, 17, 17, 17, 10, 4},  {17, 17, 17, 21, 21, 21, 10}, {17, 17, 10, 4, 10, 17, 17},
        {17, 17, 10, 4, 4, 4, 4},     {31, 1, 2, 4, 8, 16, 31},
    }};
    static const std::array<Glyph, 10> digits = {{
        {14, 17, 19, 21, 25, 17, 14},
        {4, 12, 4, 4, 4, 4, 14},
        {14, 17, 1, 2, 4, 8, 31},
        {31, 2, 4, 2, 1, 17, 14},
        {2, 6, 10, 18, 31, 2, 2},
        {31, 16, 30, 1, 1, 17, 14},
        {6, 8, 16, 30, 17, 17, 14},
        {31, 1, 2, 4, 8, 8, 8},
        {14, 17, 17, 14, 17, 17, 14},
        {14, 17, 17, 15, 1, 2, 12},
    }};
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return letters[size_t(c - 'A')];
    if (c >= '0' && c <= '9') return digits[size_t(c - '0')];
    if (c == '-') return {0, 0, 0, 31, 0, 0, 0};
    if (c == '.') return {0, 0, 0, 0, 0, 12, 12};
    return {};
}

void setPixel(media::Picture& p, int x, int y, float v) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
    const size_t i = 4 * (size_t(y) * size_t(p.width) + size_t(x));
    p.rgba[i] = p.rgba[i + 1] = p.rgba[i + 2] = v;
    p.rgba[i + 3] = 1.0f;
}

}  // namespace

void drawLabel(media::Picture& picture, const std::string& text, int x, int y, int scale) {
    const int advance = (kGlyphWidth + 1) * scale;
    const int margin = scale * 2;
    // A dark box behind the text keeps it readable on any picture.
    for (int py = y - margin; py < y + kGlyphHeight * scale + margin; ++py) {
        for (int px = x - margin; px < x + int(text.size()) * advance + margin - scale; ++px) {
            setPixel(picture, px, py, 0.08f);
        }
    }
    for (size_t n = 0; n < text.size(); ++n) {
        const Glyph g = glyphOf(text[n]);
        for (int row = 0; row < kGlyphHeight * scale; ++row) {
            for (int col = 0; col < kGlyphWidth * scale; ++col) {
                if ((g[size_t(row / scale)] >> (kGlyphWidth - 1 - col / scale)) & 1) {
                    setPixel(picture, x + int(n) * advance + col, y + row, 1.0f);
                }
            }
        }
    }
}

}  // namespace ruvovav::cli
