// The debugger's window in headless runs: drawn off screen beside the game, and saved as a
// picture with --debugger-screenshot.
#include <gtest/gtest.h>

#include <optional>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

// A project whose one room holds `balls` instances of obj_ball (their ids from 100001) and one
// obj_wall; the wall prints a line at its creation.
std::string WriteRoom(const test::ScratchDir& dir, const std::string& name, int balls) {
    dir.Write(name + "/game.toml",
              "format = 1\nroom_order = [\"room_main\"]\n[settings]\nshow_progress_bar = false\n"
              "[resources]\nobjects = [\"obj_ball\", \"obj_wall\"]\nrooms = [\"room_main\"]\n");
    dir.Write(name + "/objects/obj_ball.toml", "name = \"obj_ball\"\n");
    dir.Write(name + "/objects/obj_wall.toml",
              "name = \"obj_wall\"\n[[event]]\ntype = \"create\"\n[[event.action]]\n"
              "library = 1\nid = 603\nkind = \"code\"\nexecute = \"code\"\n"
              "code = \"obj_wall/create.krs\"\n");
    dir.Write(name + "/objects/obj_wall/create.krs", "show_debug_message('wall');\n");
    std::string instances;
    for (int i = 0; i < balls; ++i)
        instances += "{ x = " + std::to_string(10 * i) +
                     ", y = 20, object = \"obj_ball\", id = " + std::to_string(100001 + i) + " }, ";
    instances += "{ x = 5, y = 5, object = \"obj_wall\", id = 100100 }";
    dir.Write(name + "/rooms/room_main.toml",
              "name = \"room_main\"\nwidth = 64\nheight = 48\ninstances = [ " + instances + " ]\n");
    return dir / name;
}

// Rows of the window's left half (the instance view) below its top part that hold bright
// pixels: lines of text.
int TextRows(const TBitmap32& shot) {
    int rows = 0;
    for (int32_t y = 120; y < shot.Height(); ++y) {
        bool text = false;
        for (int32_t x = 0; x < shot.Width() / 2 && !text; ++x) {
            const uint8_t* p = shot.Bytes() + (size_t(y) * size_t(shot.Width()) + size_t(x)) * 4;
            text = p[0] + p[1] + p[2] > 3 * 170;
        }
        rows += text;
    }
    return rows;
}

// Each listed instance adds a line of text to the instance view; the game itself runs as
// without the debugger (its output, its status).
TEST(DebuggerWindow, TheScreenshotShowsTheInstanceViewOfTheRoom) {
    test::ScratchDir dir;
    std::optional<int> rows[2];
    const int balls[2] = {1, 7};
    for (int k = 0; k < 2; ++k) {
        const std::string project = WriteRoom(dir, "p" + std::to_string(k), balls[k]);
        const std::string shot = dir / ("shot" + std::to_string(k) + ".png");
        test::ProcessResult r =
            test::RunProgram(test::KorvanePath(), {"run", "--headless", "--max-steps", "3",
                                                   "--debugger-screenshot", "1=" + shot, project});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "wall\n");
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(shot, bytes)) << r.err;
        std::optional<TBitmap32> picture = DecodePng(bytes);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->Width(), 800);
        EXPECT_EQ(picture->Height(), 600);
        rows[k] = TextRows(*picture);
    }
    // Six more instances: six more lines of about ten pixel rows each.
    EXPECT_GE(*rows[1], *rows[0] + 6 * 6) << *rows[0] << " " << *rows[1];
}

TEST(DebuggerWindow, ABadScreenshotOptionIsAUsageError) {
    test::ProcessResult r =
        test::RunProgram(test::KorvanePath(), {"run", "--debugger-screenshot", "x=a.png", "g"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--debugger-screenshot needs STEP=FILE"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kr
