// The text and font functions: measuring with the current font, numbers as text, alignment
// values, and the font table with its errors.
#include <gtest/gtest.h>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

class TextFunctionsTest : public ::testing::Test {
protected:
    TextFunctionsTest() {
        // Font 0: every character of 32..127 advances 10, the space 5; cells 16 high.
        auto font = std::make_unique<CFont>();
        font->name = "Test";
        for (int c = 32; c <= 127; ++c) font->glyphs[size_t(c)] = {0, 0, 10, 16, 10, 0};
        font->glyphs[' '].advance = 5;
        Fonts().Reset(1);
        Fonts().Set(0, "fnt_test", std::move(font));
        auto sprite = std::make_unique<CSprite>();
        sprite->frames.emplace_back(4, 4);
        run_.GetRunner().Game().sprites.Reset(1);
        run_.GetRunner().Game().sprites.Set(0, "spr_glyphs", std::move(sprite));
    }
    ResourceTable<CFont>& Fonts() { return run_.GetRunner().Game().fonts; }
    void Expect(const char* code, const char* want, const char* error = "") {
        EXPECT_EQ(Show(run_.Run(code)), want) << code;
        std::string shown = run_.LastError();
        if (*error == 0)
            EXPECT_EQ(shown, "") << code;
        else
            EXPECT_NE(shown.find(error), std::string::npos) << code << "\n" << shown;
    }
    test::ScriptRunner run_;
};

TEST_F(TextFunctionsTest, MeasuresWithTheCurrentFont) {
    Expect("draw_set_font(0); return string_width('AB CD')", "45");
    Expect("draw_set_font(0); return string_width(3.14159)", "40");  // "3.14"
    Expect("draw_set_font(0); return string_width(3)", "10");
    Expect("draw_set_font(0); return string_height('A#B#')", "32");
    Expect("draw_set_font(0); return string_height_ext('A#B', 20, -1)", "36");
    Expect("draw_set_font(0); return string_width_ext('AB CD', -1, 30)", "25");
    Expect("draw_set_font(0); return string_height('')", "1");
    // A missing font selects the default font (a rendered system face).
    Expect("draw_set_font(7); return string_width('AB CD') != 45 && string_height('A') > 8", "1");
}

TEST_F(TextFunctionsTest, FontTableAndErrors) {
    Expect("return font_get_name(0) + font_get_fontname(0)", "\"fnt_testTest\"");
    Expect("return font_get_size(3) + font_get_first(3) + font_exists(3)", "-2");
    Expect("f = font_add('Verdana', 10, 1, 0, 40, 90); return string(f) + font_get_name(f)",
           "\"1__newfont1\"");
    Expect("return font_get_bold(1) + font_get_first(1) * 1000 + font_get_last(1) * 1000000",
           "90040001");
    Expect(
        "font_replace(1, 'Courier New', 9, 0, 1, 32, 127); return font_get_name(1) + "
        "font_get_fontname(1) + string(font_get_italic(1))",
        "\"__newfont1Courier New1\"");
    Expect("f = font_add_sprite(0, 65, 1, 2); return string(f) + font_get_fontname(f)", "\"2\"");
    Expect("font_delete(2); return font_exists(2) + font_exists(1)", "1");
    Expect("return font_add_sprite(5, 65, 1, 2)", "0",
           "Trying to create font from non-existing sprite.");
    Expect("font_replace(2, 'Arial', 9, 0, 0, 32, 127)", "0",
           "Trying to replace non-existing font.");
    Expect("font_replace_sprite(2, 0, 65, 1, 0)", "0", "Trying to replace non-existing font.");
    Expect("font_replace_sprite(1, 9, 65, 1, 0)", "0",
           "Trying to replace font from non-existing sprite.");
    Expect("font_delete(2)", "0", "Trying to delete non-existing font.");
    Expect("return font_exists(1) + font_exists(3)", "1");  // errors leave the table alone
}

}  // namespace
}  // namespace kr
