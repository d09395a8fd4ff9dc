// Text draws only the inked part of each glyph cell where that cannot show: the result must be
// the picture that whole cells give. Whole cells are what a colour gradient draws, so the same
// text with four equal colours is the reference, drawn 160 pixels to the right.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

TEST(TextInk, InkedPartsDrawWhatWholeCellsDraw) {
    test::ScratchDir dir;
    const std::string p = dir / "proj";
    dir.Write("proj/game.toml",
              "format = 1\ngame_id = 7\nroom_order = [\"room_text\"]\n[settings]\n"
              "show_progress_bar = false\n[resources]\nobjects = [\"obj_text\"]\n"
              "rooms = [\"room_text\"]\n");
    dir.Write("proj/objects/obj_text.toml",
              "name = \"obj_text\"\n[[event]]\ntype = \"draw\"\n[[event.action]]\nlibrary = 1\n"
              "id = 603\nkind = \"code\"\nexecute = \"code\"\ncode = \"obj_text/draw.krs\"\n");
    // Scaled and turned text at fractional positions, unfiltered and filtered, in normal and
    // additive blending, in four bands of 100 pixels.
    dir.Write("proj/objects/obj_text/draw.krs",
              "for (k = 0; k < 4; k += 1) {\n"
              "    texture_set_interpolation(k >= 2);\n"
              "    draw_set_blend_mode((k mod 2) * bm_add);\n"
              "    y = 10.3 + k * 100;\n"
              "    draw_set_color(c_orange);\n"
              "    draw_text_transformed(20.4, y, 'Quick fox#jumps 19', 1.7, 1.3, 17);\n"
              "    draw_text_transformed_color(180.4, y, 'Quick fox#jumps 19', 1.7, 1.3, 17,\n"
              "        c_orange, c_orange, c_orange, c_orange, 1);\n"
              "    draw_text(20.6, y + 60.5, 'plain w - y');\n"
              "    draw_text_color(180.6, y + 60.5, 'plain w - y', c_orange, c_orange,\n"
              "        c_orange, c_orange, 1);\n"
              "}\n");
    dir.Write("proj/rooms/room_text.toml",
              "name = \"room_text\"\nwidth = 320\nheight = 400\nbackground_color = 4210752\n"
              "show_background_color = true\n"
              "instances = [ { x = 0, y = 0, object = \"obj_text\", id = 100001 } ]\n");
    const std::string korvane = test::KorvanePath();
    test::ProcessResult r = test::RunProgram(
        korvane,
        {"run", "--headless", "--max-steps", "1", "--screenshot", "0=" + (dir / "shot.png"), p},
        dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "shot.png", bytes));
    std::optional<TBitmap32> shot = DecodePng(bytes);
    ASSERT_TRUE(shot);
    int differ = 0, unfiltered_differ = 0, worst = 0, lit = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 160; ++x) {
            Bgra a = shot->GetPixel(x, y), b = shot->GetPixel(x + 160, y);
            int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            worst = std::max(worst, d);
            differ += d > 0;
            unfiltered_differ += d > 0 && y < 200;
            lit += a.r > 0x80;
        }
    EXPECT_GT(lit, 1000);
    // Turned quads of another shape interpolate their texture coordinates with other rounding:
    // a few filtered pixels may differ in the last bit, none by more.
    EXPECT_EQ(unfiltered_differ, 0);
    EXPECT_LE(worst, 1);
    EXPECT_LT(differ, 20);
}

}  // namespace
}  // namespace kr
