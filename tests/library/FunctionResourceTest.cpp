// Resources at run time: sprites and backgrounds loaded from image and side files, copied,
// merged, masked and saved; the queries of every kind; objects and rooms added and changed by
// a game while it runs.
#include <gtest/gtest.h>

#include "data/ImageCodecs.h"
#include "library/AllBuiltins.h"
#include "objects/GameFixture.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

using test::Show;

struct Case {
    std::string code;
    const char* want;        // the result, as Show writes it
    const char* error = "";  // a text the error shown must contain; "" when none is shown
};

void RunCases(test::ScriptRunner& run, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        std::string error = run.LastError();
        if (*c.error == 0)
            EXPECT_EQ(error, "") << c.code;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.code << "\n" << error;
    }
}

// A 100 x 8 white strip with a blue block at x 40..45, y 2..5: cut in three it gives frames
// 33 pixels wide, the block in the middle one at 7..12.
TBitmap32 Strip() {
    TBitmap32 image(100, 8);
    image.Fill(Bgra{255, 255, 255, 255});
    for (int32_t y = 2; y <= 5; ++y)
        for (int32_t x = 40; x <= 45; ++x) image.Row(y)[x] = Bgra{255, 0, 0, 255};
    return image;
}

class SpriteFunctionsTest : public ::testing::Test {
protected:
    SpriteFunctionsTest() {
        strip_ = dir_.Write("strip.png", EncodePng(Strip()));
        std::vector<uint8_t> png = EncodePng(Strip());
        png.resize(png.size() / 2);
        dir_.Write("cut.png", png);
        dir_.Write("noise.png", "not an image at all");
        // The side-file magic followed by a body that is not a compressed block.
        dir_.Write("bad.krspr", std::string("\x91\xd5\x12\x00garbage", 11));
    }
    // Code with the file names quoted.
    std::string Path(const std::string& name) { return "'" + dir_ / name + "'"; }
    std::string Add(const std::string& name, const std::string& rest = "3, 1, 0, 3, 4") {
        return "return sprite_add(" + Path(name) + ", " + rest + ")";
    }
    const CSprite& Sprite(int i) { return *run_.GetRunner().Game().sprites.Get(i); }

    test::ScratchDir dir_;
    std::string strip_;
    test::ScriptRunner run_;
};

TEST_F(SpriteFunctionsTest, AStripIsCutIntoFramesAndQueried) {
    RunCases(run_,
             {
                 {Add("strip.png"), "0"},
                 {"return sprite_get_number(0)", "3"},
                 {"return sprite_get_width(0) * 100 + sprite_get_height(0)", "3308"},
                 {"return string(sprite_get_xoffset(0)) + string(sprite_get_yoffset(0))", "\"34\""},
                 // Background removed: the shared mask covers only the blue block.
                 {"return string(sprite_get_bbox_left(0)) + ',' + "
                  "string(sprite_get_bbox_top(0)) + ',' + string(sprite_get_bbox_right(0))"
                  " + ',' + string(sprite_get_bbox_bottom(0))",
                  "\"7,2,12,5\""},
                 {"return sprite_get_name(0) + sprite_name(0)", "\"__newsprite0__newsprite0\""},
                 {"return sprite_exists(0) * 10 + sprite_exists(1)", "10"},
                 {"return sprite_get_name(1)", "\"<undefined>\""},
                 {"return sprite_get_width(1) + sprite_get_number(-1)", "-2"},
             });
    EXPECT_EQ(Sprite(0).frames[1].GetPixel(7, 2), (Bgra{255, 0, 0, 255}));
    EXPECT_EQ(Sprite(0).frames[0].GetPixel(0, 0).a, 0);
}

// Files that are missing or do not decode add nothing and change nothing: the next add takes
// the index the failed one would have had.
TEST_F(SpriteFunctionsTest, BadFilesLeaveTheTablesAlone) {
    RunCases(run_, {
                       {Add("missing.png"), "-1"},
                       {Add("noise.png"), "-1"},
                       {Add("cut.png"), "-1"},
                       {Add("strip.png", "101, 0, 0, 0, 0"), "-1"},  // strips below a pixel
                       {"return sprite_add_sprite(" + Path("bad.krspr") + ")", "-1"},
                       {"return background_add(" + Path("noise.png") + ", 0, 0)", "-1"},
                       {"return background_add_background(" + Path("strip.png") + ")", "-1"},
                       {Add("strip.png"), "0"},
                       {"sprite_replace(0, " + Path("noise.png") +
                            ", 1, 0, 0, 0, 0); return sprite_get_width(0)",
                        "33"},
                       // The side file's magic matches but its body is damaged: the sprite
                       // keeps its frames.
                       {"sprite_replace_sprite(0, " + Path("bad.krspr") +
                            "); return sprite_get_number(0)",
                        "3"},
                   });
    EXPECT_EQ(run_.GetRunner().Game().sprites.Count(), 1);
    EXPECT_EQ(run_.GetRunner().Game().backgrounds.Count(), 0);
}

TEST_F(SpriteFunctionsTest, MisuseIsReported) {
    const std::string file = Path("x.png");
    RunCases(
        run_,
        {
            {Add("strip.png"), "0"},
            {"sprite_replace(4, " + file + ", 1, 0, 0, 0, 0)", "0",
             "Trying to replace non-existing sprite."},
            {"sprite_replace_sprite(4, " + file + ")", "0",
             "Trying to replace non-existing sprite."},
            {"sprite_delete(4)", "0", "Trying to delete non-existing sprite."},
            {"return sprite_duplicate(4)", "-1", "Trying to duplicate non-existing sprite."},
            {"sprite_assign(0, 4)", "0", "Error assigning a sprite."},
            {"sprite_assign(4, 0)", "0", "Error assigning a sprite."},
            {"sprite_merge(4, 0)", "0", "Trying to merge to non-existing sprite."},
            {"sprite_merge(0, 4)", "0", "Trying to merge from non-existing sprite."},
            {"sprite_save(4, 0, " + file + ")", "0", "Trying to save non-existing sprite bitmap."},
            {"sprite_save(0, 3, " + file + ")", "0", "Trying to save non-existing sprite bitmap."},
            {"sprite_save(0, 0, '')", "0",
             "Trying to save sprite bitmap to empty image file name."},
            {"sprite_save_strip(4, " + file + ")", "0",
             "Trying to save non-existing sprite bitmap."},
            {"sprite_save_strip(0, '')", "0",
             "Trying to save sprite bitmap to empty image file name."},
            {"sprite_collision_mask(4, 0, 0, 0, 0, 0, 0, 0, 0)", "0",
             "Trying to set collision mode for non-existing sprite."},
            {"background_replace(0, " + file + ", 0, 0)", "0",
             "Trying to replace non-existing background."},
            {"background_replace_background(0, " + file + ")", "0",
             "Trying to replace non-existing background."},
            {"background_delete(0)", "0", "Trying to delete non-existing background."},
            {"return background_duplicate(0)", "-1",
             "Trying to duplicate non-existing background."},
            {"background_assign(0, 1)", "0", "Error assigning a background."},
            {"background_save(0, " + file + ")", "0",
             "Trying to save non-existing background bitmap."},
            {"b = background_create_color(2, 2, 0); background_save(b, '')", "0",
             "Trying to save background bitmap to empty image file name."},
            {"sprite_add_from_screen(4, 0, 0, 8, 8, 0, 0)", "0",
             "Trying to add to non-existing sprite."},
            {"sprite_add_from_surface(4, 0, 0, 0, 8, 8, 0, 0)", "0",
             "Trying to add to non-existing sprite."},
            {"sprite_add_from_surface(0, 2, 0, 0, 8, 8, 0, 0)", "0",
             "Trying to use non-existing surface."},
            {"return sprite_create_from_surface(-1, 0, 0, 8, 8, 0, 0, 0, 0)", "-1",
             "Trying to use non-existing surface."},
            {"return background_create_from_surface(3, 0, 0, 8, 8, 0, 0)", "-1",
             "Trying to use non-existing surface."},
            // Without anything drawn there is no screen to take from: nothing is made.
            {"sprite_add_from_screen(0, 0, 0, 8, 8, 0, 0); return sprite_get_number(0) * 10 + "
             "sprite_create_from_screen(0, 0, 8, 8, 0, 0, 0, 0) + "
             "background_create_from_screen(0, 0, 8, 8, 0, 0)",
             "28"},
            // Setters and alpha on missing resources are quiet.
            {"sprite_set_offset(4, 1, 1); sprite_set_alpha_from_sprite(0, 4);"
             "background_set_alpha_from_background(7, 0)",
             "0"},
        });
    EXPECT_FALSE(FileExists(dir_ / "x.png"));
}

TEST_F(SpriteFunctionsTest, CopiesMergesMasksAndSaves) {
    RunCases(
        run_,
        {
            {Add("strip.png"), "0"},
            {"return sprite_duplicate(0)", "1"},
            {"return sprite_get_name(1) + string(sprite_get_bbox_right(1))", "\"__newsprite112\""},
            {"sprite_merge(1, 0); return sprite_get_number(1)", "6"},
            {"sprite_merge(1, 1); return sprite_get_number(1)", "12"},
            {"sprite_set_offset(0, 9, 8); sprite_assign(1, 0);"
             "return string(sprite_get_number(1)) + string(sprite_get_xoffset(1))",
             "\"39\""},
            // Manual box, rectangle shape.
            {"sprite_collision_mask(0, 0, 2, 1, 2, 3, 4, 1, 0); return "
             "string(sprite_get_bbox_left(0)) + string(sprite_get_bbox_top(0)) + "
             "string(sprite_get_bbox_right(0)) + string(sprite_get_bbox_bottom(0))",
             "\"1234\""},
            // Separate masks over frames of which two have no solid pixel: the union
            // starts from the inverted box.
            {"sprite_collision_mask(0, 1, 0, 0, 0, 0, 0, 0, 0); return "
             "string(sprite_get_bbox_left(0)) + string(sprite_get_bbox_right(0))",
             "\"712\""},
            {"sprite_save_strip(0, " + Path("out.png") + "); sprite_save(0, 1, " + Path("one.bmp") +
                 "); return sprite_add(" + Path("out.png") + ", 3, 0, 0, 0, 0)",
             "2"},
            {"return sprite_get_width(2) * 10 + sprite_get_number(2)", "333"},
            {"sprite_delete(1); return sprite_exists(1) + sprite_get_width(1)", "-1"},
            {"return sprite_get_name(1)", "\"<undefined>\""},
            {"return sprite_duplicate(0)", "3"},  // deleted slots are not reused
        });
    std::vector<TBitmap32> frames;
    ASSERT_TRUE(LoadImageFile(dir_ / "one.bmp", frames));
    EXPECT_EQ(test::ReadText(dir_ / "one.bmp").substr(0, 2), "BM");
    EXPECT_EQ(frames[0], Sprite(0).frames[1]);
    EXPECT_EQ(Sprite(2).frames[2], Sprite(0).frames[2]);
}

// The renderer knows a sprite or background changed by its revision.
TEST_F(SpriteFunctionsTest, ChangesBumpTheRevision) {
    run_.Run(Add("strip.png") + "; ");
    run_.Run("background_create_color(2, 2, c_red); background_create_color(1, 1, c_white)");
    const uint32_t sprite = Sprite(0).revision;
    const uint32_t back = run_.GetRunner().Game().backgrounds.Get(0)->revision;
    for (const char* code : {"sprite_merge(0, 0)", "sprite_set_alpha_from_sprite(0, 0)",
                             "sprite_assign(0, 0); sprite_assign(0, sprite_duplicate(0))"}) {
        const uint32_t before = Sprite(0).revision;
        run_.Run(code);
        EXPECT_GT(Sprite(0).revision, before) << code;
    }
    EXPECT_GT(Sprite(0).revision, sprite);
    run_.Run("background_set_alpha_from_background(0, 1); background_assign(0, 1)");
    EXPECT_EQ(run_.GetRunner().Game().backgrounds.Get(0)->revision, back + 2);
}

TEST_F(SpriteFunctionsTest, BackgroundsFromColoursGradientsAndFiles) {
    RunCases(
        run_,
        {
            {"return background_create_color(4, 3, c_red)", "0"},
            {"return string(background_get_width(0)) + string(background_get_height(0)) + "
             "background_get_name(0) + background_name(0)",
             "\"43__newbackground0__newbackground0\""},
            {"return background_create_gradient(10, 6, c_black, c_white, 0)", "1"},
            {"background_save(1, " + Path("grad.png") + "); return background_add(" +
                 Path("grad.png") + ", 0, 0)",
             "2"},
            {"return background_get_width(2) * 10 + background_get_height(2)", "106"},
            {"return background_duplicate(0)", "3"},
            {"background_replace(3, " + Path("strip.png") +
                 ", 0, 0); return background_get_width(3)",
             "100"},
            {"background_assign(0, 3); return background_get_width(0)", "100"},
            {"background_delete(3); return background_exists(3) * 10 + background_exists(0)", "1"},
            {"return background_get_width(3) + background_get_height(99)", "-2"},
        });
    const auto& backgrounds = run_.GetRunner().Game().backgrounds;
    EXPECT_EQ(backgrounds.Get(2)->image, backgrounds.Get(1)->image);
    EXPECT_EQ(backgrounds.Get(1)->image.GetPixel(0, 0), (Bgra{0, 0, 0, 255}));
}

TEST(PathFunctionsTest, PointsAreAddedAndTransformed) {
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"p = path_add(); path_add_point(p, 0, 0, 100); path_add_point(p, 10, 0, 50);"
             "path_add_point(p, 10, 20, 100); path_set_closed(p, 0);"
             "return path_get_name(p) + string(path_get_length(p))",
             "\"__newpath030\""},
            {"path_insert_point(0, 0, -10, 0, 7); path_insert_point(0, 9, 0, 0, 0);"
             "return string(path_get_number(0)) + string(path_get_point_speed(0, 0))",
             "\"47\""},
            {"path_delete_point(0, 0); path_delete_point(0, 3); path_change_point(0, 5, 1, 1, 1);"
             "path_shift(0, 5, 5); return path_get_point_x(0, 0)",
             "5"},
            // Centre (10, 15): mirrored x 15, 5, 5; flipped y 25, 25, 5.
            {"path_mirror(0); path_flip(0);"
             "return string(path_get_point_x(0, 0)) + ',' + string(path_get_point_y(0, 0))",
             "\"15,25\""},
            {"path_rotate(0, 90); return string(round(path_get_point_x(0, 0))) + ',' +"
             "string(round(path_get_point_y(0, 0)))",
             "\"20,10\""},
            {"path_scale(0, 2, 1); path_reverse(0); path_append(0, 0);"
             "return path_get_number(0)",
             "6"},
            {"path_set_kind(0, 5); path_set_precision(0, 20); return "
             "string(path_get_kind(0)) + string(path_get_precision(0))",
             "\"08\""},
            {"d = path_duplicate(0); path_clear_points(0); path_assign(0, d);"
             "return string(d) + string(path_get_number(0))",
             "\"16\""},
            {"path_delete(1); return path_exists(1)", "0"},
            {"path_delete(1)", "0", "Trying to delete non-existing path."},
            {"return path_duplicate(1)", "-1", "Trying to duplicate non-existing path."},
            {"path_assign(0, 1)", "0", "Error assigning a path."},
            {"path_append(1, 0)", "0", "Appending to non-existing path."},
            {"path_append(0, 1)", "0", "Appending a non-existing path."},
        });
}

TEST(TimeLineFunctionsTest, MomentsAreAddedInStepOrder) {
    test::ScriptRunner run;
    RunCases(run, {
                      {"t = timeline_add(); timeline_moment_add(t, 5, 'x = 1');"
                       "timeline_moment_add(t, 2, 'x = 2'); timeline_moment_add(t, 5, 'x = 3');"
                       "timeline_moment_add(t, 9, 'x = 4'); timeline_moment_clear(t, 9);"
                       "return timeline_get_name(t)",
                       "\"__newtimeline0\""},
                  });
    const CTimeLine& t = *run.GetRunner().Game().time_lines.Get(0);
    ASSERT_EQ(t.moments.size(), 2u);
    EXPECT_EQ(t.moments[0].step, 2);
    EXPECT_EQ(t.moments[1].step, 5);
    EXPECT_EQ(t.moments[1].event.actions.size(), 2u);
    EXPECT_NE(t.moments[1].event.actions[1].prepared, nullptr);
    RunCases(run, {
                      {"timeline_clear(0); return timeline_delete(0)", "1"},
                      {"return timeline_delete(0)", "0", "Trying to delete non-existing timeline."},
                      {"timeline_moment_add(0, 1, 'x = 1'); return timeline_add()", "1"},
                  });
}

// ---- Whole games -------------------------------------------------------------------------------

class ResourceGameTest : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };
    Result Run(const GameWriter& w) {
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = 5;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        Result r;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = runner_->Run();
        r.out = testing::internal::GetCapturedStdout();
        r.err = testing::internal::GetCapturedStderr();
        return r;
    }
    // A game of one room with `code` as its creation code and object obj_a (index 0), whose
    // create event shows its position.
    GameWriter Game(const std::string& code) {
        GameWriter w;
        CObject a;
        a.events[0][0] = test::Event({test::Code("show_debug_message('a at ' + string(x))")});
        w.Add("obj_a", a);
        CRoom room;
        room.creation_code = code;
        w.Add("start", room);
        w.room_order = {0};
        return w;
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
};

// A room made while the game runs is entered with its instances and code; changes to the
// room being played wait until it starts again.
TEST_F(ResourceGameTest, ARoomAddedAtRunTimeIsEntered) {
    Result r = Run(Game(
        "r = room_add(); show_debug_message(room_get_name(r));"
        "room_set_width(r, 320); room_set_caption(r, 'made');"
        "room_set_code(r, \"show_debug_message('in ' + room_get_name(room) + ' ' + "
        "string(room_width) + ' ' + room_caption + ' ' + string(instance_number(obj_a)));"
        "show_debug_message(instance_create(1, 0, obj_a) > global.last); game_end()\");"
        "i = room_instance_add(r, 5, 6, obj_a); global.last = room_instance_add(r, 7, 8, obj_a);"
        "show_debug_message(global.last - i);"
        "show_debug_message(room_instance_add(99, 0, 0, obj_a));"
        "room_set_width(room, 999); show_debug_message(room_width);"
        "room_goto(r)"));
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "__newroom1\n1\n-1\n640\na at 5\na at 7\nin __newroom1 320 made 2\na at 1\n1\n");
    EXPECT_EQ(runner_->Game().rooms.Get(0)->width, 999);
}

TEST_F(ResourceGameTest, RoomCopiesSettersAndTiles) {
    Result r = Run(Game(
        "d = room_duplicate(0); show_debug_message(d);"
        "room_set_background(d, 2, 1, 0, 0, 3, 4, 0, 1, 1.5, 0, 0.5);"
        "room_set_background(d, 8, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1);"
        "room_set_view(d, 1, 1, 10, 20, 300, 200, 0, 0, 600, 400, 16, 8, 2, 3, 0);"
        "room_set_view_enabled(d, 1); room_set_persistent(d, 1);"
        "room_set_background_color(d, c_blue, 0);"
        "background_create_color(8, 8, c_red);"
        "t = room_tile_add(d, 0, 0, 0, 4, 4, 10, 20, 5);"
        "u = room_tile_add_ext(d, 0, 4, 4, 4, 4, 0, 0, -1, 2, 3, 0.5);"
        "show_debug_message(u - t); show_debug_message(room_tile_add(d, 1, 0, 0, 1, 1, 0, 0, 0));"
        "room_assign(room_add(), d); room_instance_clear(0); room_tile_clear(0);"
        "room_duplicate(7); room_assign(0, 7); game_end()"));
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "1\n1\n-1\n");
    EXPECT_NE(r.err.find("Trying to duplicate non-existing room."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Error assigning a room."), std::string::npos) << r.err;
    const GameData& g = runner_->Game();
    ASSERT_EQ(g.rooms.Count(), 3);
    const CRoom& d = *g.rooms.Get(1);
    EXPECT_EQ(*g.rooms.Get(2), d);
    const CBack& b = d.backgrounds[2];
    EXPECT_TRUE(b.visible && !b.foreground && !b.tile_h && b.tile_v);
    EXPECT_EQ(b.index, 0);
    EXPECT_EQ(b.x, 3);
    EXPECT_EQ(b.hspeed, 1.5);
    EXPECT_EQ(b.alpha, 0.5);
    for (size_t i : {0u, 1u, 3u, 4u, 5u, 6u, 7u}) EXPECT_EQ(d.backgrounds[i], CBack{}) << i;
    const CView& v = d.views[1];
    EXPECT_EQ((std::vector<int32_t>{v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport,
                                    v.hport, v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}),
              (std::vector<int32_t>{10, 20, 300, 200, 0, 0, 600, 400, 16, 8, 2, 3, 0}));
    EXPECT_TRUE(v.visible && d.views_enabled && d.persistent && !d.show_background_color);
    ASSERT_EQ(d.tiles.size(), 2u);
    EXPECT_EQ(d.tiles[0].id, g.last_tile_id - 1);
    EXPECT_EQ(d.tiles[1].xscale, 2);
    EXPECT_EQ(d.tiles[1].depth, -1);
    EXPECT_EQ(d.tiles[0].blend, 0xFFFFFF);
    EXPECT_TRUE(g.rooms.Get(0)->instances.empty() && g.rooms.Get(0)->tiles.empty());
}

// An object made at run time gets its fields and events; instances made afterwards follow.
TEST_F(ResourceGameTest, AnObjectAddedWithEvents) {
    Result r = Run(Game(
        "o = object_add(); show_debug_message(object_get_name(o));"
        "show_debug_message(object_event_add(o, 0, 0, \"show_debug_message('new ' + "
        "object_get_name(object_index))\"));"
        "object_event_add(o, 0, 0, 'show_debug_message(depth)');"
        "object_set_depth(o, 7); object_set_parent(o, obj_a);"
        "i = instance_create(0, 0, o);"
        "object_event_clear(o, 0, 0); instance_create(0, 0, o);"
        "show_debug_message(object_event_add(99, 0, 0, 'x = 1') + object_event_add(o, 12, 0, ''));"
        "show_debug_message(object_delete(o)); object_delete(o);"
        "show_debug_message(object_exists(o)); game_end()"));
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    // Once its own create event is cleared the object inherits its parent's.
    EXPECT_EQ(r.out, "__newobject1\n1\nnew __newobject1\n7\na at 0\n0\n1\n0\n");
    EXPECT_NE(r.err.find("Trying to delete non-existing object."), std::string::npos) << r.err;
}

// An event may clear itself and delete its own object while it runs: its remaining actions
// still run over what they started with.
TEST_F(ResourceGameTest, AnEventRemovingItselfFinishes) {
    GameWriter w = Game("instance_create(0, 0, obj_b); instance_create(0, 0, obj_b); game_end()");
    CObject b;
    b.events[0][0] = test::Event(
        {test::Code("show_debug_message('first'); object_event_clear(object_index, 0, 0);"
                    "object_event_add(object_index, 0, 0, 'show_debug_message(0)');"
                    "object_delete(object_index)"),
         test::Code("show_debug_message('second')")});
    w.Add("obj_b", b);
    Result r = Run(w);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "first\nsecond\n");
}

TEST_F(ResourceGameTest, QueriesOfEveryKind) {
    GameWriter w = Game(
        "show_debug_message(string(sound_exists(0)) + sound_get_name(0) + sound_name(1) +"
        "string(sound_get_kind(0)) + string(sound_get_preload(0)) + string(sound_get_kind(1)));"
        "show_debug_message(font_get_name(0) + font_get_fontname(0) + string(font_get_size(0)) +"
        "string(font_get_bold(0)) + string(font_get_italic(0)) + string(font_get_first(0)) +"
        "string(font_get_last(0)) + string(font_get_size(1)) + string(font_exists(1)));"
        "show_debug_message(path_get_name(0) + string(path_get_length(0)) +"
        "string(path_get_number(0)) + string(path_get_point_x(0, 1)) +"
        "string(path_get_point_speed(0, 1)) + string(path_get_point_y(0, 5)) +"
        "string(path_get_kind(0)) + string(path_get_closed(0)) + string(path_get_precision(0)) +"
        "string(path_get_x(0, 0.5)) + string(path_get_length(1)));"
        "show_debug_message(timeline_get_name(0) + timeline_name(1) + string(timeline_exists(0)));"
        "game_end()");
    CSound sound;
    sound.kind = CSound::kBackgroundMusic;
    sound.preload = false;
    w.Add("snd_bell", sound);
    CFont font;
    font.name = "Sans";
    font.size = 10;
    font.bold = true;
    font.first = 33;
    font.last = 90;
    w.Add("fnt_main", font);
    CPath path;
    path.points = {{0, 0, 100}, {30, 40, 50}};
    path.closed = false;
    w.Add("pth_line", path);
    w.Add("tl_intro", CTimeLine{});
    Result r = Run(w);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "1snd_bell<undefined>10-1\n"
              "fnt_mainSans10103390-10\n"
              "pth_line5023050000415-1\n"
              "tl_intro<undefined>1\n");
}

}  // namespace
}  // namespace kr
