// Text layout and measuring with a font whose metrics the test sets, and system fonts rendered
// from faces found by name.
#include <gtest/gtest.h>

#include "data/Sprite.h"
#include "graphics/Graphics.h"
#include "graphics/Text.h"
#include "platform/FontRaster.h"

namespace kr {
namespace {

// Letters advance 10, the space 5, the hyphen 4; cells are 16 high. Range 32..122.
CFont MetricFont() {
    CFont f;
    f.name = "Test";
    f.first = 32;
    f.last = 122;
    for (int c = 32; c <= 122; ++c) f.glyphs[size_t(c)] = {0, 0, 10, 16, 10, 0};
    f.glyphs[' '].advance = 5;
    f.glyphs['-'].advance = 4;
    return f;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += "[" + l + "]";
    return out;
}

TEST(TextLayout, LinesBreaksAndWrapping) {
    const CFont f = MetricFont();
    struct Case {
        const char* text;
        int32_t w;
        const char* want;
    } cases[] = {
        {"", -1, ""},
        {"AB#CD", -1, "[AB][CD]"},
        {"AB\\#CD", -1, "[AB#CD]"},  // the backslash goes, the # stays
        {"A#", -1, "[A]"},           // no empty last line
        {"#", -1, "[]"},
        {"A\r\nB\nC\rD", -1, "[A][B][C][D]"},
        {"A\n\nB", -1, "[A][][B]"},
        // Words end after a space or hyphen; spaces stay at the end of their line.
        {"AAA BBB CCC", 80, "[AAA BBB ][CCC]"},
        {"AAAAAA BBBBBB", 50, "[AAAAAA ][BBBBBB]"},  // a word wider than w still takes a line
        {"AAA-BBB", 40, "[AAA-][BBB]"},
        {"AAA BBB", -1, "[AAA BBB]"},
        {"AB##CD", 200, "[AB][][CD]"},
    };
    for (const Case& c : cases) EXPECT_EQ(Join(TextLines(f, c.text, c.w)), c.want) << c.text;
}

TEST(TextLayout, WidthsAndHeights) {
    const CFont f = MetricFont();
    struct Case {
        const char* text;
        int32_t sep, w;
        int32_t width, height;
    } cases[] = {
        {"", -1, -1, 1, 1},          {"AB", -1, -1, 20, 16},
        {"A#", -1, -1, 10, 16},      {"AB CD#A", -1, -1, 45, 32},
        {"AB CD#A", 20, -1, 45, 36}, {"AB CD", -1, 30, 25, 32},  // wrapped into "AB " and "CD"
        {"A{~", -1, -1, 20, 16},  // outside the range: the space's advance
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StringWidth(f, c.text, c.sep, c.w), c.width) << c.text;
        EXPECT_EQ(StringHeight(f, c.text, c.sep, c.w), c.height) << c.text;
    }
    // Without a space in the range, the first character's advance.
    CFont digits = MetricFont();
    digits.first = 48;
    digits.glyphs['0'].advance = 7;
    EXPECT_EQ(LineWidth(digits, " !0"), 21);
}

TEST(SpriteFont, ProportionalBoxesAndSpacing) {
    CSprite sprite;
    for (int i = 0; i < 3; ++i) {
        TBitmap32 frame(8, 6);
        frame.Fill(Bgra{0, 0, 0, 0});
        for (int x = 2 + i; x < 5; ++x) frame.Row(3)[x] = Bgra{255, 255, 255, 255};
        sprite.frames.push_back(std::move(frame));
    }
    CFont f;
    FontFromSprite(f, sprite, 4, 65, true, 1);
    EXPECT_EQ(f.first, 65);
    EXPECT_EQ(f.last, 67);
    EXPECT_EQ(f.sprite, 4);
    EXPECT_EQ(f.glyphs['A'].advance, 3 + 1);
    EXPECT_EQ(f.glyphs['A'].offset, -2);
    EXPECT_EQ(f.glyphs['C'].advance, 1 + 1);
    EXPECT_EQ(FontHeight(f), 6);
    FontFromSprite(f, sprite, 4, 250, false, 0);  // monospaced; the range stops at 255
    EXPECT_EQ(f.last, 252);
    EXPECT_EQ(f.glyphs[251].advance, 8);
    EXPECT_EQ(f.glyphs[251].offset, 0);
}

TEST(SystemFont, RendersPackedCellsWithCoverage) {
    CFont f;
    f.name = "Arial";
    f.size = 12;
    f.first = 32;
    f.last = 127;
    ASSERT_TRUE(FontRender(f));
    EXPECT_GE(f.image_width, f.image_height);
    EXPECT_EQ(f.image.size(), size_t(f.image_width) * size_t(f.image_height));
    const FontGlyph& w = f.glyphs['W'];
    EXPECT_GT(w.advance, 8);
    EXPECT_GT(w.height, 10);
    EXPECT_LE(w.x + w.width, f.image_width);
    EXPECT_LE(w.y + w.height, f.image_height);
    // The W's cell holds solid coverage.
    int solid = 0;
    for (int y = w.y; y < w.y + w.height; ++y)
        for (int x = w.x; x < w.x + w.width; ++x)
            solid += f.image[size_t(y) * size_t(f.image_width) + size_t(x)] > 200;
    EXPECT_GT(solid, 10);
    // Metric-compatible stand-ins: Arial's digits are 9 pixels wide at 12 points.
    EXPECT_EQ(f.glyphs['0'].advance, 9);
}

TEST(SystemFont, UnknownFaceFallsBack) {
    EXPECT_EQ(SubstituteFamily("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(SubstituteFamily("courier new"), "Liberation Mono");
    std::unique_ptr<FontRasterizer> face = OpenSystemFont("No Such Face At All", 14, true, false);
    ASSERT_NE(face, nullptr);
    CFont f;
    f.name = "No Such Face At All";
    f.first = 65;
    f.last = 90;
    EXPECT_TRUE(FontRender(f));
    EXPECT_GT(f.glyphs['M'].advance, 0);
}

}  // namespace
}  // namespace kr

namespace kr {
namespace {

// The ink box of a cell: the pixels that are not zero; nothing for a blank cell; the whole cell
// when it reaches outside the image.
TEST(TextInk, BoxesAroundTheInkOfEachCell) {
    CFont f;
    f.name = "Test";
    f.first = 'A';
    f.last = 'D';
    f.image_width = 30, f.image_height = 12;
    f.image.assign(30 * 12, 0);
    auto dot = [&](int x, int y) { f.image[size_t(y) * 30 + size_t(x)] = 1; };
    f.glyphs['A'] = {0, 0, 10, 12, 10, 0};  // ink at (3..5, 2..7) of the cell
    for (int y = 2; y <= 7; ++y) dot(3, y), dot(5, y);
    f.glyphs['B'] = {10, 0, 10, 12, 10, 0};  // ink in two corners
    dot(10, 0), dot(19, 11);
    f.glyphs['C'] = {20, 0, 10, 12, 10, 0};  // blank
    f.glyphs['D'] = {25, 0, 10, 12, 10, 0};  // reaches past the image's right edge
    Graphics none;
    FontTexture(none, f);
    ASSERT_TRUE(f.ink_ready);
    EXPECT_EQ(f.ink['A'], (GlyphInk{3, 2, 3, 6}));
    EXPECT_EQ(f.ink['B'], (GlyphInk{0, 0, 10, 12}));
    EXPECT_EQ(f.ink['C'], (GlyphInk{}));
    EXPECT_EQ(f.ink['D'], (GlyphInk{0, 0, 10, 12}));
}

}  // namespace
}  // namespace kr
