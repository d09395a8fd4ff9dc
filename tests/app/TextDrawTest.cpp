// Text drawn in a headless run shows in a screenshot where its alignment puts it.
#include <gtest/gtest.h>

#include <fstream>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Bright pixels in [x0, x1) x [y0, y1).
int Lit(const TBitmap32& shot, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += shot.GetPixel(x, y).g > 128;
    return n;
}

TEST(TextDraw, HeadlessScreenshotShowsAlignedText) {
    test::ScratchDir dir;
    const std::string p = dir / "proj";
    for (const char* d : {"", "/objects", "/objects/obj_text", "/rooms"}) CreateDirectories(p + d);
    Write(p + "/game.toml",
          "format = 1\ngame_id = 7\nroom_order = [\"room_text\"]\n[settings]\n"
          "show_progress_bar = false\n[resources]\nobjects = [\"obj_text\"]\n"
          "rooms = [\"room_text\"]\n");
    Write(p + "/objects/obj_text.toml",
          "name = \"obj_text\"\n[[event]]\ntype = \"draw\"\n[[event.action]]\nlibrary = 1\n"
          "id = 603\nkind = \"code\"\nexecute = \"code\"\ncode = \"obj_text/draw.krs\"\n");
    // Left-aligned at (10, 10); right-aligned and bottom-aligned two lines ending at (300, 200).
    Write(p + "/objects/obj_text/draw.krs",
          "draw_set_color(c_lime); draw_text(10, 10, 'HHHH');\n"
          "draw_set_halign(fa_right); draw_set_valign(fa_bottom);\n"
          "draw_text(300, 200, 'MM#MM'); draw_set_halign(0); draw_set_valign(0);\n"
          "draw_text_transformed(100, 100, 'HH', 2, 2, 0);\n"
          "draw_text_transformed(200, 150, 'HHHH', 1, 1, 90);\n");
    Write(p + "/rooms/room_text.toml",
          "name = \"room_text\"\nwidth = 320\nheight = 240\nbackground_color = "
          "0\nshow_background_color = true\n"
          "instances = [ { x = 0, y = 0, object = \"obj_text\", id = 100001 } ]\n");
    const std::string korvane = test::KorvanePath();
    test::ProcessResult r = test::RunProgram(korvane, {"build", p, "-o", dir / "game"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(korvane,
                         {"run", "--headless", "--max-steps", "2", "--screenshot",
                          "1=" + (dir / "shot.png"), dir / "game"},
                         dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "shot.png", bytes)) << r.err;
    std::optional<TBitmap32> shot = DecodePng(bytes);
    ASSERT_TRUE(shot);
    EXPECT_GT(Lit(*shot, 10, 10, 60, 30), 40);      // HHHH
    EXPECT_EQ(Lit(*shot, 0, 0, 9, 40), 0);          // nothing left of it
    EXPECT_GT(Lit(*shot, 250, 160, 300, 200), 60);  // MM / MM above and left of (300, 200)
    EXPECT_EQ(Lit(*shot, 300, 150, 320, 240), 0);
    EXPECT_EQ(Lit(*shot, 200, 200, 320, 240), 0);
    // Twice the size: the doubled text is about twice as tall.
    EXPECT_GT(Lit(*shot, 100, 118, 140, 130), 10);
    // Turned by 90 degrees: the text runs upwards from (200, 150), its lines' tops on the left.
    EXPECT_GT(Lit(*shot, 200, 110, 222, 150), 40);
    EXPECT_EQ(Lit(*shot, 222, 150, 260, 175), 0);
    EXPECT_EQ(Lit(*shot, 180, 100, 199, 160), 0);
}

}  // namespace
}  // namespace kr
