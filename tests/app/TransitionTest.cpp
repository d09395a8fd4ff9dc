// Room transitions in headless runs: every built-in kind seen through screenshots of its frames
// (which count as steps of the run), transitions that a game defines with a script, and kinds
// that do not exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

// A game of two 80 x 60 rooms: room_a red with a yellow 10 x 10 square in its top-left
// corner, room_b blue with a white one. The squares show where each image has gone.
// Each room holds one object whose step event runs the given code.
void WriteTwoRooms(const test::ScratchDir& dir, const std::string& step_a,
                   const std::string& step_b, const std::string& scripts_list = "",
                   const std::vector<std::pair<std::string, std::string>>& scripts = {}) {
    dir.Write("proj/game.toml",
              "format = 1\ngame_id = 9\nroom_order = [\"room_a\", \"room_b\"]\n"
              "[settings]\nshow_progress_bar = false\n[resources]\n"
              "objects = [\"obj_a\", \"obj_b\"]\nrooms = [\"room_a\", \"room_b\"]\n"
              "scripts = [" +
                  scripts_list + "]\n");
    for (const auto& [name, code] : scripts) dir.Write("proj/scripts/" + name + ".krs", code);
    auto object = [&](const std::string& name, const std::string& step, const char* marker) {
        auto event = [&](const char* type, const char* file) {
            return std::string("[[event]]\ntype = \"") + type +
                   "\"\n[[event.action]]\nlibrary = 1\nid = 603\nkind = \"code\"\n"
                   "execute = \"code\"\ncode = \"" +
                   name + "/" + file + "\"\n";
        };
        dir.Write(
            "proj/objects/" + name + ".toml",
            "name = \"" + name + "\"\n" + event("step", "step.krs") + event("draw", "draw.krs"));
        dir.Write("proj/objects/" + name + "/step.krs", step);
        dir.Write(
            "proj/objects/" + name + "/draw.krs",
            std::string("draw_set_color(") + marker + "); draw_rectangle(0, 0, 9, 9, false);");
    };
    object("obj_a", step_a, "c_yellow");
    object("obj_b", step_b, "c_white");
    auto room = [&](const std::string& name, const char* color, const char* obj, int id) {
        dir.Write("proj/rooms/" + name + ".toml",
                  "name = \"" + name + "\"\nwidth = 80\nheight = 60\nbackground_color = " + color +
                      "\nshow_background_color = true\ninstances = [ { x = 0, y = 0, " +
                      "object = \"" + obj + "\", id = " + std::to_string(id) + " } ]\n");
    };
    room("room_a", "255", "obj_a", 100001);
    room("room_b", "16711680", "obj_b", 100002);
}

// Runs the project headless with screenshots at the given steps (file "s<step>.png").
test::ProcessResult RunGame(const test::ScratchDir& dir, const std::vector<int>& steps) {
    std::vector<std::string> args = {"run", "--headless", "--max-steps", "400"};
    for (int s : steps) {
        args.push_back("--screenshot");
        args.push_back(std::to_string(s) + "=" + (dir / ("s" + std::to_string(s) + ".png")));
    }
    args.push_back(dir / "proj");
    return test::RunProgram(test::KorvanePath(), args, dir.Path());
}

std::optional<TBitmap32> Shot(const test::ScratchDir& dir, int step) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(dir / ("s" + std::to_string(step) + ".png"), bytes)) return std::nullopt;
    return DecodePng(bytes);
}

// What a probe expects: red (room_a), yellow (its square), blue (room_b), white (its square),
// black, or red and blue half and half.
enum Expect : char { R = 'R', Y = 'Y', B = 'B', W = 'W', K = 'K', P = 'P' };

struct Probe {
    int x, y;
    Expect expect;
};

::testing::AssertionResult Matches(const TBitmap32& shot, const Probe& p) {
    Bgra c = shot.GetPixel(p.x, p.y);
    int r = 0, g = 0, b = 0;
    switch (p.expect) {
        case R:
            r = 255;
            break;
        case Y:
            r = g = 255;
            break;
        case B:
            b = 255;
            break;
        case W:
            r = g = b = 255;
            break;
        case K:
            break;
        case P:
            r = b = 128;
            break;
    }
    if (std::abs(c.r - r) <= 40 && std::abs(c.g - g) <= 40 && std::abs(c.b - b) <= 40)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << p.x << ", " << p.y << ") is " << int(c.r) << "," << int(c.g) << "," << int(c.b)
           << ", expected " << char(p.expect);
}

// room_a goes to room_b with kind 1, 2, ... 21 (4 steps, so 5 frames; the middle one has
// f = 0.5) and comes back at once without a transition. Kind k leaves room_a after step
// 7(k-1) and shows its frames as steps 7(k-1)+1 .. 7(k-1)+5.
TEST(Transition, EveryBuiltinKindAtItsMiddleFrame) {
    test::ScratchDir dir;
    WriteTwoRooms(dir,
                  "if (!variable_global_exists('k')) global.k = 1;\n"
                  "if (global.k <= 21) { transition_kind = global.k; transition_steps = 4;\n"
                  "    global.k += 1; room_goto(room_b) } else game_end();",
                  "room_goto(room_a);");
    struct Case {
        int kind;
        int frame;  // 0 .. 4
        std::vector<Probe> probes;
    };
    // T is room_b, F is room_a; w = 80, h = 60.
    const std::vector<Case> cases = {
        {1, 2, {{5, 5, W}, {30, 30, B}, {60, 30, R}}},              // T uncovered from the left
        {2, 2, {{5, 5, Y}, {20, 30, R}, {45, 5, B}, {60, 30, B}}},  // from the right
        {3, 2, {{5, 5, W}, {40, 20, B}, {40, 45, R}}},              // from the top
        {4, 2, {{5, 5, Y}, {40, 20, R}, {40, 45, B}}},              // from the bottom
        {5, 2, {{5, 5, Y}, {15, 30, R}, {40, 10, R}, {25, 20, B}, {40, 30, B}}},  // centre
        {6, 2, {{5, 5, B}, {30, 30, B}, {60, 30, R}}},              // slides in from the left
        {7, 2, {{5, 5, Y}, {20, 30, R}, {45, 5, W}, {60, 30, B}}},  // from the right
        {8, 2, {{5, 5, B}, {40, 20, B}, {40, 45, R}}},              // from the top
        {9, 2, {{5, 5, Y}, {40, 20, R}, {5, 35, W}, {40, 45, B}}},  // from the bottom
        // Interlaced: in the middle every other quarter; a quarter of the way in, the
        // columns (rows) that have appeared are those of the named side.
        {10, 2, {{5, 5, W}, {15, 30, B}, {30, 30, R}, {50, 30, B}, {70, 30, R}}},
        {11, 2, {{5, 5, W}, {15, 30, B}, {30, 30, R}, {50, 30, B}, {70, 30, R}}},
        {12, 2, {{5, 5, W}, {40, 7, B}, {40, 22, R}, {40, 37, B}, {40, 52, R}}},
        {13, 2, {{5, 5, W}, {40, 7, B}, {40, 22, R}, {40, 37, B}, {40, 52, R}}},
        {10, 1, {{15, 30, B}, {30, 30, R}, {50, 30, B}}},
        {11, 1, {{15, 30, R}, {30, 30, R}, {50, 30, B}}},
        {12, 1, {{40, 7, B}, {40, 22, R}, {40, 37, B}}},
        {13, 1, {{40, 7, R}, {40, 22, R}, {40, 37, B}}},
        {14, 2, {{5, 5, B}, {30, 30, B}, {45, 5, Y}, {60, 30, R}}},  // T pushes F right
        {15, 2, {{5, 5, R}, {30, 30, R}, {45, 5, W}, {60, 30, B}}},  // left
        {16, 2, {{5, 5, B}, {40, 20, B}, {5, 35, Y}, {40, 45, R}}},  // down
        {17, 2, {{5, 5, R}, {40, 20, R}, {5, 35, W}, {40, 45, B}}},  // up
        // Half size, turned by 2 pi sqrt(0.5) about the centre; the white square ends up
        // top right counter-clockwise, bottom left clockwise.
        {18, 2, {{5, 5, Y}, {40, 30, B}, {57, 16, W}, {33, 50, R}, {5, 55, R}}},
        {19, 2, {{5, 5, Y}, {40, 30, B}, {33, 50, W}, {57, 16, R}, {75, 5, R}}},
        {20, 2, {{40, 30, P}}},             // cross-fade
        {21, 2, {{40, 30, K}, {5, 5, K}}},  // out to black, then in
    };
    std::vector<int> steps;
    for (const Case& c : cases) steps.push_back(7 * (c.kind - 1) + 1 + c.frame);
    for (int k = 1; k <= 21; ++k) {
        steps.push_back(7 * (k - 1) + 1);  // f = 0
        steps.push_back(7 * (k - 1) + 5);  // f = 1
    }
    test::ProcessResult r = RunGame(dir, steps);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const Case& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind) + " frame " + std::to_string(c.frame));
        std::optional<TBitmap32> shot = Shot(dir, 7 * (c.kind - 1) + 1 + c.frame);
        ASSERT_TRUE(shot);
        for (const Probe& p : c.probes) EXPECT_TRUE(Matches(*shot, p));
    }
    // The first frame shows the room left, the last the room entered, whatever the kind.
    for (int k = 1; k <= 21; ++k) {
        SCOPED_TRACE("kind " + std::to_string(k));
        std::optional<TBitmap32> first = Shot(dir, 7 * (k - 1) + 1);
        std::optional<TBitmap32> last = Shot(dir, 7 * (k - 1) + 5);
        ASSERT_TRUE(first && last);
        EXPECT_TRUE(Matches(*first, {40, 30, R}));
        EXPECT_TRUE(Matches(*last, {40, 30, B}));
        EXPECT_TRUE(Matches(*last, {5, 5, W}));
    }
}

// A kind that does not exist changes rooms at once; a defined kind calls its script for each
// frame with the two surfaces, the size and the moment; a failing script is reported for each
// frame and the room change goes on.
TEST(Transition, DefinedAndUnknownKinds) {
    test::ScratchDir dir;
    const std::string kCounters =
        "if (!variable_global_exists('room_a_visits')) { global.room_a_visits = 0;\n"
        "    global.room_b_visits = 0 }\n";
    const std::string step_a =
        "if (global.room_a_visits == 0) {\n"
        "    show_debug_message(string(transition_exists(5)) + string(transition_exists(25))\n"
        "        + string(transition_exists(0)) + string(transition_exists(22)));\n"
        "    show_debug_message(string(transition_define(25, 'scr_wipe'))\n"
        "        + string(transition_define(26, 'no_such_function'))\n"
        "        + string(transition_define(1000000, 'scr_wipe'))\n"
        "        + string(transition_define(27, 'scr_bad'))\n"
        "        + string(transition_exists(25)) + string(transition_exists(26))\n"
        "        + string(transition_exists(1000000)));\n"
        "    transition_kind = 30; room_goto(room_b);\n"
        "} else { transition_kind = 27; room_goto(room_b) }\n"
        "global.room_a_visits += 1;\n";
    const std::string step_b =
        "if (global.room_b_visits == 0) { transition_steps = 2; transition_kind = 25; "
        "room_goto(room_a) }\n"
        "else game_end();\n"
        "global.room_b_visits += 1;\n";
    WriteTwoRooms(
        dir, kCounters + step_a, kCounters + step_b, "\"scr_wipe\", \"scr_bad\"",
        {{"scr_wipe",
          "show_debug_message(string(surface_exists(argument0)) + "
          "string(surface_exists(argument1))\n"
          "    + ' ' + string(argument2) + ' ' + string(argument3) + ' ' + string(argument4)\n"
          "    + ' ' + string(argument5));\n"
          "draw_surface(argument0, 0, 0);\n"
          "draw_surface_part(argument1, 0, 0, argument2 * argument4, argument3, 0, 0);\n"},
         {"scr_bad", "return no_such_variable + 1;\n"}});
    // Step 0 in room_a; kind 30: room_b at once, step 1. Kind 25 plays 3 frames as steps 2, 3
    // and 4; room_a's step 5; kind 27 plays steps 6, 7, 8; room_b's step 9 ends the game.
    test::ProcessResult r = RunGame(dir, {1, 3, 8});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "1000\n1011100\n"
              "11 80 60 0 0\n11 80 60 0.50 0\n11 80 60 1 0\n");
    std::optional<TBitmap32> after_unknown = Shot(dir, 1), wipe = Shot(dir, 3),
                             failed = Shot(dir, 8);
    ASSERT_TRUE(after_unknown && wipe && failed);
    EXPECT_TRUE(Matches(*after_unknown, {40, 30, B}));
    // The script's own wipe from room_b to room_a, half way.
    EXPECT_TRUE(Matches(*wipe, {5, 5, Y}));
    EXPECT_TRUE(Matches(*wipe, {30, 30, R}));
    EXPECT_TRUE(Matches(*wipe, {60, 30, B}));
    // Frames whose script fails draw nothing: the picture still shows room_a.
    EXPECT_TRUE(Matches(*failed, {40, 30, R}));
    // Once for each of the three frames, each report on lines of its own.
    size_t reports = 0;
    const std::string report = "\nERROR in transition function scr_bad\nIn script scr_bad:";
    const std::string err = "\n" + r.err;
    for (size_t at = err.find(report); at != std::string::npos; at = err.find(report, at + 1))
        ++reports;
    EXPECT_EQ(reports, 3u) << r.err;
}

// With automatic drawing off the transition is never played: drawing goes to the picture again
// (not into the image kept for the transition), so the new room's own redraw shows.
TEST(Transition, AutomaticDrawingOffDropsTheCapture) {
    test::ScratchDir dir;
    WriteTwoRooms(dir, "set_automatic_draw(false); transition_kind = 3; room_goto(room_b);",
                  "screen_redraw();");
    test::ProcessResult r = RunGame(dir, {0, 1});
    ASSERT_EQ(r.status, 0) << r.err;
    std::optional<TBitmap32> before = Shot(dir, 0), after = Shot(dir, 1);
    ASSERT_TRUE(before && after);
    EXPECT_TRUE(Matches(*after, {40, 30, B}));
    EXPECT_TRUE(Matches(*after, {5, 5, W}));
}

}  // namespace
}  // namespace kr
