// Games as text projects: extract then build gives the same game, and a bad project says where
// it is wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/Project.h"
#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "runner/GameLoader.h"
#include "support/GameFiles.h"
#include "support/SampleGames.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::KorvanePath;

using test::ScratchDir;

// The rich sample game as the loader leaves it, with its D3DX library.
struct Loaded {
    GameData game;
    std::vector<uint8_t> d3dx;
};
Loaded LoadRichGame() {
    Loaded l;
    test::RecordingHost host;
    EXPECT_EQ(test::LoadData(test::FullGame().WriteData(), l.game, host), LoadResult::kLoaded);
    l.d3dx = host.d3dx;
    return l;
}

TEST(Project, ExtractThenBuildGivesTheSameGame) {
    ScratchDir dir;
    Loaded g = LoadRichGame();
    std::string error;
    ASSERT_TRUE(ExtractProject(g.game, g.d3dx, dir / "p", error)) << error;

    GameData built;
    std::vector<uint8_t> d3dx;
    ASSERT_TRUE(BuildProject(dir / "p", built, d3dx, error)) << error;
    EXPECT_TRUE(test::SameGame(g.game, built));
    EXPECT_EQ(d3dx, g.d3dx);

    // Names no file may carry, and names used twice, get files of their own.
    EXPECT_TRUE(FileExists(dir / "p/sprites/spr_odd_name_.toml"));
    EXPECT_TRUE(FileExists(dir / "p/sprites/dup_2.toml"));
    EXPECT_EQ(test::ReadText(dir / "p/scripts/scr_move.krs"),
              "// scr_move(dx, dy)\r\nx += argument0;\r\ny += argument1;\r\n");
    // References by name where that is unambiguous, by index where it is not.
    std::string player = test::ReadText(dir / "p/objects/obj_player.toml");
    EXPECT_NE(player.find("sprite = \"spr_player\""), std::string::npos) << player;
    EXPECT_NE(player.find("parent = \"obj_base\""), std::string::npos);
    EXPECT_NE(player.find("object = \"obj_wall\""), std::string::npos);  // the collision event
    // A code action's code (its argument 0) is a script file; so is a code text it also holds.
    EXPECT_NE(player.find("code = \"obj_player/alarm_3_0.krs\""), std::string::npos);
    EXPECT_EQ(test::ReadText(dir / "p/objects/obj_player/alarm_3_0.krs"),
              "alarm[3] = 30; // again\r\n");
    EXPECT_NE(player.find("code_text = \"obj_player/trigger_1_0_text.krs\""), std::string::npos);
    std::string manifest = test::ReadText(dir / "p/game.toml");
    EXPECT_NE(manifest.find("room_order = [\"room_second\", \"room_first\"]"), std::string::npos);

    // Extracting again refuses to mix two projects in one folder.
    EXPECT_FALSE(ExtractProject(g.game, g.d3dx, dir / "p", error));
}

// A game in which every stored field of the settings and of every kind of resource differs
// from its default: what extract then build loses shows as a difference.
GameWriter EveryFieldGame() {
    GameWriter w;
    w.debug_mode = true;
    w.settings = test::UnusualSettings(true);
    w.d3dx_name = "helper.dll";
    w.d3dx_library = test::Bytes("helper bytes");
    w.game_id = 77;
    for (int i = 0; i < 16; ++i) w.application_id[size_t(i)] = uint8_t(0x10 + i);
    w.AddExtensionPackage(test::SomePackage());

    CTrigger trigger;
    trigger.name = "trig";
    trigger.condition = "x > 1";
    trigger.moment = CTrigger::kEndStep;
    trigger.constant_name = "tr_trig";
    w.Add("", trigger);
    w.AddConstant("LIMIT", "12 + 1");

    CSound sound;
    sound.kind = CSound::kThreeD;
    sound.file_type = ".ogg";
    sound.file_name = "boom.ogg";
    sound.has_data = true;
    sound.data = test::Bytes("OggS sound bytes");
    sound.effects = 31;
    sound.volume = 0.5;
    sound.pan = 0.75;
    sound.preload = false;
    w.Add("snd_boom", sound);

    // Separate masks that no mask parameters give (a checkerboard over opaque frames), an
    // origin outside the frame.
    CSprite sprite = test::PatternSprite(5, 4, 2, true, 3);
    sprite.x_origin = -7;
    sprite.y_origin = 9;
    for (TMask& m : sprite.masks) {
        for (int32_t y = 0; y < m.height; ++y)
            for (int32_t x = 0; x < m.width; ++x)
                m.grid[size_t(y) * size_t(m.width) + size_t(x)] = uint8_t((x + y) % 2);
        m.left = 0, m.top = 0, m.right = 4, m.bottom = 3;
    }
    sprite.ComputeBoundingBox();
    w.Add("spr_checker", sprite);

    CBackground background;
    background.image = test::PatternImage(6, 3, 5);
    w.Add("bg_pattern", background);

    CPath path;
    path.points = {{1, 2, 30}, {-40.5, 8.25, 0}, {7, -3, 250}};
    path.kind = CPath::kSmooth;
    path.closed = false;
    path.precision = 7;
    path.Recompute();
    w.Add("pth_curve", path);

    CScript script;
    script.text = "return argument0 * 2;\n";
    w.Add("scr_twice", script);

    CFont font;
    font.name = "Liberation Serif";
    font.size = 21;
    font.bold = font.italic = true;
    font.first = 40;
    font.last = 45;
    for (size_t c = 0; c < font.glyphs.size(); ++c)  // cells outside the range are stored too
        font.glyphs[c] = {int32_t(c % 3), int32_t(c % 2), 2, 1, int32_t(c % 5) + 1, -1};
    font.image_width = 3;
    font.image_height = 2;
    font.image = {1, 2, 3, 4, 5, 6};
    w.Add("fnt_serif", font);

    CTimeLine timeline;
    timeline.moments = {{3, {}}, {1000, {}}};
    timeline.moments[0].event.actions = {test::CodeAction("speed = 1;")};
    timeline.moments[1].event.actions = {test::CodeAction("speed = 0;")};
    w.Add("tl_run", timeline);

    // An action with every field set, in an event of every type.
    CAction full = test::MakeAction(CAction::kCode, CAction::kExecCode, "action_fn", "x = 2;");
    full.library_id = 3;
    full.action_id = 321;
    full.may_be_relative = full.is_question = full.has_applies_to = true;
    full.relative = full.is_not = true;
    full.applies_to = 1;
    full.arg_count = kActionMaxArguments;
    for (int32_t i = 0; i < kActionMaxArguments; ++i) {
        full.arg_kinds[size_t(i)] = i + 1;
        full.arg_texts[size_t(i)] = "arg" + std::to_string(i);
    }
    CAction call = test::MakeAction(CAction::kNormal, CAction::kExecFunction, "action_bounce");
    CObject base;
    base.depth = 3;
    w.Add("obj_base", base);
    CObject object;
    object.sprite = 0;
    object.solid = true;
    object.visible = false;
    object.depth = -12;
    object.persistent = true;
    object.parent = 0;
    object.mask = 0;
    // An event of every type, with a number that type knows: create, destroy, alarm 5, end
    // step, collision with obj_base, left arrow, mouse event 4, other event 10, draw, key
    // presses and releases, trigger 0.
    const int32_t numbers[kEventTypeCount] = {0, 0, 5, 2, 0, 37, 4, 10, 0, 38, 39, 0};
    for (int32_t type = 0; type < kEventTypeCount; ++type)
        object.events[size_t(type)][numbers[type]].actions = {full, call};
    w.Add("obj_every", object);

    CRoom room;
    room.caption = "Everything";
    room.width = 320;
    room.height = 200;
    room.speed = 45;
    room.persistent = true;
    room.background_color = 0x102030;
    room.show_background_color = false;
    room.creation_code = "global.room_made = 1;";
    for (int32_t i = 0; i < kRoomBackgroundCount; ++i)
        room.backgrounds[size_t(i)] = {
            true, true, 0, double(i + 1), double(-i - 2), false, false, double(-i - 1), 2, true};
    room.views_enabled = true;
    for (int32_t i = 0; i < kRoomViewCount; ++i)
        room.views[size_t(i)] = {true, i + 1, 2, 100, 80, 3, i + 4, 200, 160, 7, 9, 5, 6, 1};
    room.instances = {{-5, 6, 1, 100007, "hp = 2;"}};
    RoomTile tile;
    tile.x = 12;
    tile.y = -4;
    tile.background = 0;
    tile.left = 1;
    tile.top = 2;
    tile.width = 3;
    tile.height = 1;
    tile.depth = 500;
    tile.id = 10000009;
    room.tiles = {tile};
    w.Add("room_every", room);
    CRoom second;
    second.caption = "Second";
    w.Add("room_second", second);
    w.room_order = {1, 0};
    w.last_instance_id = 100100;
    w.last_tile_id = 10000100;

    w.AddIncludedFile(test::SomeIncludedFile());
    CGameInformation info;
    info.background_color = 0x224466;
    info.separate_window = true;
    info.caption = "About";
    info.left = 11;
    info.top = 12;
    info.width = 300;
    info.height = 250;
    info.show_border = false;
    info.sizeable = false;
    info.stay_on_top = true;
    info.freeze_game = false;
    info.text = "{\\rtf1\\ansi about\\par}";
    w.SetGameInformation(info);
    w.AddLibraryInitCode("global.ready = 1;");
    return w;
}

// Extract then build keeps every field of every resource, of the settings and of the game.
TEST(Project, ExtractThenBuildKeepsEveryField) {
    ScratchDir dir;
    GameData game;
    test::RecordingHost host;
    ASSERT_EQ(test::LoadData(EveryFieldGame().WriteData(), game, host), LoadResult::kLoaded);
    std::string error;
    ASSERT_TRUE(ExtractProject(game, host.d3dx, dir / "p", error)) << error;
    GameData built;
    std::vector<uint8_t> d3dx;
    ASSERT_TRUE(BuildProject(dir / "p", built, d3dx, error)) << error;
    EXPECT_TRUE(test::SameGame(game, built));
    // A few of the fields, to be sure the comparison saw them.
    EXPECT_EQ(built.rooms.Get(0)->views[7].yport, 11);
    EXPECT_EQ(built.rooms.Get(0)->backgrounds[7].vspeed, 2);
    EXPECT_EQ(built.fonts.Get(0)->glyphs[255].advance, 1);
    EXPECT_EQ(built.sprites.Get(0)->masks[1].grid[1], 1);
    EXPECT_EQ(built.objects.Get(1)->events[kEventTrigger].at(0).actions[0].arg_texts[7], "arg7");
    EXPECT_EQ(built.d3dx_name, "helper.dll");
    EXPECT_EQ(d3dx, test::Bytes("helper bytes"));
}

// The same through the korvane command: the built game file loads, and `korvane info --json`
// shows the same for both.
TEST(Project, TheCommandsRoundTripAGameFile) {
    ScratchDir dir;
    std::string original = dir.Write("rich.exe", test::FullGame().WriteGameFile());
    test::ProcessResult r = test::RunProgram(KorvanePath(), {"extract", original, dir / "p"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(KorvanePath(),
                         {"build", dir / "p", "-o", dir / "built.game", "--data-only"});
    ASSERT_EQ(r.status, 0) << r.err;

    test::ProcessResult a = test::RunProgram(KorvanePath(), {"info", "--json", original});
    test::ProcessResult b = test::RunProgram(KorvanePath(), {"info", "--json", dir / "built.game"});
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(nlohmann::json::parse(a.out), nlohmann::json::parse(b.out));

    // A bare game file: zeros up to the first place the loader looks, then the data.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "built.game", bytes));
    EXPECT_EQ(FindGameData(bytes), kGameDataStart);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + kGameDataStart,
                            [](uint8_t b) { return b == 0; }));
}

// A game built from a project keeps where its code was written: extracting it gives the code
// files their own names again, so building the extracted project gives the very same bytes.
TEST(Project, ABuiltGameExtractsToItsOwnCodeFilesAndBuildsToTheSameBytes) {
    ScratchDir dir;
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/guide";
    test::ProcessResult r =
        test::RunProgram(KorvanePath(), {"build", example, "-o", dir / "a.game", "--data-only"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(KorvanePath(), {"extract", dir / "a.game", dir / "p"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file :
         {"objects/obj_player/coin.krs", "rooms/room_two/creation.krs", "scripts/scr_report.krs"})
        EXPECT_EQ(test::ReadText(dir / "p/" + file), test::ReadText(example + "/" + file)) << file;
    r = test::RunProgram(KorvanePath(), {"build", dir / "p", "-o", dir / "b.game", "--data-only"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(ReadWholeFile(dir / "a.game", a));
    ASSERT_TRUE(ReadWholeFile(dir / "b.game", b));
    EXPECT_TRUE(a == b);
}

// The example project builds into a program that carries the game and runs (headless, for a
// bounded number of steps); masks that the project leaves out are built from the frames, and
// the last ids follow the rooms'.
TEST(Project, TheExampleBuildsIntoAGameThatStarts) {
    ScratchDir dir;
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/bounce";
    test::ProcessResult r =
        test::RunProgram(KorvanePath(), {"build", example, "-o", dir / "bounce"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(KorvanePath(), {"run", "--headless", "--max-steps", "300", dir / "bounce"},
                         dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The runner it carries is stripped of what only debuggers read (symbols, debug
    // information, section headers), and still runs the game, as above.
    const uint64_t carried = ProgramImageSize(dir / "bounce");
    EXPECT_GT(carried, 0u);
    EXPECT_LT(carried, ProgramImageSize(KorvanePath()));
    std::vector<uint8_t> built;
    ASSERT_TRUE(ReadWholeFile(dir / "bounce", built));
    EXPECT_EQ(built[0x3C] | built[0x3D], 0);  // no section headers

    GameData g;
    test::RecordingHost host;
    ASSERT_EQ(LoadGameFile(dir / "bounce", g, host), LoadResult::kLoaded);
    EXPECT_EQ(g.rooms.Count(), 2);
    EXPECT_EQ(g.room_order, (std::vector<int32_t>{0, 1}));
    const CSprite& ball = *g.sprites.Get(0);
    ASSERT_EQ(ball.masks.size(), 1u);
    EXPECT_FALSE(ball.masks[0].Solid(0, 0));  // an ellipse leaves the corners out
    EXPECT_TRUE(ball.masks[0].Solid(8, 8));
    EXPECT_EQ(g.last_instance_id, 100006);
    EXPECT_EQ(g.rooms.Get(0)->backgrounds[0].xscale, 5);  // bg_sky stretched over 320 pixels
}

// The example made only of actions plays its replayed input: rewards from an alarm, a question
// with else, a save, spending, and a load that brings the saved state back.
TEST(Project, TheActionsExamplePlaysItsReplayedInput) {
    ScratchDir dir;
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/actions";
    test::ProcessResult r =
        test::RunProgram(KorvanePath(), {"build", example, "-o", dir / "actions"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(KorvanePath(),
                         {"run", "--headless", "--max-steps", "100", "--input",
                          example + "/input.txt", dir / "actions"},
                         dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "reward, 10\n"
              "reward, 20\n"
              "saved, score 20 lives 3 x 60 coins 2\n"
              "score 5 lives 2 x 70 coins 0\n"
              "reward, 15\n"
              "score 20 lives 3 x 62 coins 2\n");
    EXPECT_TRUE(FileExists(dir / "actions.sav"));
}

// The world example: an enemy patrols a closed path, a seeker finds its way through the maze
// with a grid, follows the route and bursts into sparks at its end, the grid draws the maze,
// and a time line reports and ends the game by itself.
TEST(Project, TheWorldExampleRunsItsPathsGridParticlesAndTimeLine) {
    ScratchDir dir;
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/world";
    test::ProcessResult r =
        test::RunProgram(KorvanePath(), {"build", example, "-o", dir / "world"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(KorvanePath(),
                         {"run", "--headless", "--max-steps", "500", "--screenshot",
                          "99=" + (dir / "shot.png"), dir / "world"},
                         dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Moment 25 runs before the 26th step's motion: the patrol has made 25 steps of 4 pixels;
    // by moment 100 it has been once round (320 pixels) and 80 pixels more. The sparks live
    // 60 steps, so all of them still fly at the end.
    EXPECT_EQ(r.out,
              "seeker: route of 20 points, 304 pixels\n"
              "clock: the world starts\n"
              "clock: the patrol is at 108,8\n"
              "seeker: arrived at 152,152, nothing in the way\n"
              "seeker: an explosion of 40 sparks\n"
              "clock: the patrol is at 88,8\n"
              "clock: 40 sparks still fly\n"
              "clock: the end\n");

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "shot.png", bytes));
    std::optional<TBitmap32> shot = DecodePng(bytes);
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->Width(), 160);
    auto is = [&](int32_t x, int32_t y, uint8_t red, uint8_t green, uint8_t blue) {
        Bgra c = shot->GetPixel(x, y);
        return std::abs(c.r - red) <= 3 && std::abs(c.g - green) <= 3 && std::abs(c.b - blue) <= 3;
    };
    // The grid shows the maze: a wall's cell red, the gap in the first row of walls green.
    EXPECT_TRUE(is(40, 40, 255, 0, 0));
    EXPECT_TRUE(is(56, 40, 0, 128, 0));
    EXPECT_TRUE(is(8, 72, 0, 128, 0));
    // The sparks have flown apart round the seeker's goal in the bottom-right corner, and
    // nowhere else.
    int near = 0, far = 0;
    for (int32_t y = 0; y < 160; ++y)
        for (int32_t x = 0; x < 160; ++x)
            if (is(x, y, 255, 255, 0)) ++(x >= 100 && y >= 100 ? near : far);
    EXPECT_GT(near, 40);
    EXPECT_EQ(far, 0);
}

// Bad projects name the file and line that are wrong.
TEST(Project, ABadProjectSaysWhereItIsWrong) {
    ScratchDir dir;
    Loaded g = LoadRichGame();
    std::string error;
    ASSERT_TRUE(ExtractProject(g.game, g.d3dx, dir / "clean", error)) << error;

    auto replace = [](const std::string& path, const std::string& from, const std::string& to) {
        std::string text = test::ReadText(path);
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        WriteFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    };
    struct Case {
        const char* what;
        const char* file;
        std::string from, to;
        std::string error_has;
    } cases[] = {
        {"syntax error", "objects/obj_player.toml", "solid = true", "solid = = true",
         "objects/obj_player.toml:3:"},
        {"missing sprite", "objects/obj_player.toml", "sprite = \"spr_player\"",
         "sprite = \"spr_gone\"", "objects/obj_player.toml:2: no sprite named \"spr_gone\""},
        {"ambiguous name", "objects/obj_player.toml", "sprite = \"spr_player\"", "sprite = \"dup\"",
         "more than one sprite is named \"dup\"; refer to it by index"},
        {"missing room in the order", "game.toml", "room_order = [\"room_second\"",
         "room_order = [\"room_third\"", "game.toml:11: no room named \"room_third\""},
        {"missing image", "sprites/spr_wall.toml", "spr_wall/1.png", "spr_wall/9.png",
         "sprites/spr_wall.toml:4: cannot read the file \"spr_wall/9.png\""},
        {"missing resource file", "game.toml", "\"bg_sky\"", "\"bg_gone\"",
         "backgrounds/bg_gone.toml: cannot read the file"},
        {"unknown word", "objects/obj_player.toml", "type = \"step\"", "type = \"stepp\"",
         "unknown type \"stepp\""},
        {"code twice", "objects/obj_player.toml", "code = \"obj_player/alarm_3_0.krs\"",
         "code = \"obj_player/alarm_3_0.krs\"\narguments = [\"x = 2;\"]",
         "a code action gives its code as code or as argument 0, not both"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string p = dir / c.what;
        std::filesystem::copy(dir / "clean", p, std::filesystem::copy_options::recursive);
        replace(p + "/" + c.file, c.from, c.to);
        GameData built;
        std::vector<uint8_t> d3dx;
        EXPECT_FALSE(BuildProject(p, built, d3dx, error));
        EXPECT_NE(error.find(c.error_has), std::string::npos) << error;
    }
}

// Games store masks, not the parameters they were built with; extract finds the parameters
// again, so that a project built, extracted and built again keeps them.
TEST(Project, ExtractFindsTheMaskParametersAgain) {
    struct Case {
        MaskShape shape;
        BoxMode box;
        const char *shape_word, *box_word;
    } cases[] = {
        {MaskShape::kPrecise, BoxMode::kAutomatic, "precise", "automatic"},
        {MaskShape::kRectangle, BoxMode::kFullImage, "rectangle", "full"},
        {MaskShape::kEllipse, BoxMode::kAutomatic, "ellipse", "automatic"},
        {MaskShape::kDiamond, BoxMode::kFullImage, "diamond", "full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape_word + std::string(" ") + c.box_word);
        // A 12 x 10 frame whose opaque part is a 6 x 6 square off the middle.
        auto sprite = std::make_unique<CSprite>();
        TBitmap32 frame(12, 10);
        for (int y = 2; y < 8; ++y)
            for (int x = 3; x < 9; ++x) frame.Pixels()[y * 12 + x].a = 255;
        sprite->frames.push_back(std::move(frame));
        sprite->mask_params.shape = c.shape;
        sprite->mask_params.box_mode = c.box;
        sprite->BuildMasks();
        sprite->mask_params = MaskParams{};  // as a loaded game has them
        GameData game;
        game.sprites.Reset(1);
        game.sprites.Set(0, "spr", std::move(sprite));
        ScratchDir dir;
        std::string error;
        ASSERT_TRUE(ExtractProject(game, {}, dir / "p", error)) << error;
        const std::string toml = test::ReadText(dir / "p/sprites/spr.toml");
        EXPECT_NE(toml.find("shape = \"" + std::string(c.shape_word) + "\""), std::string::npos)
            << toml;
        EXPECT_NE(toml.find("box = \"" + std::string(c.box_word) + "\""), std::string::npos)
            << toml;
    }
}

// An author who edits frames asks for the masks to be built again from the parameters.
TEST(Project, MasksCanBeRebuiltFromTheirParameters) {
    ScratchDir dir;
    Loaded g = LoadRichGame();
    std::string error;
    ASSERT_TRUE(ExtractProject(g.game, g.d3dx, dir / "p", error)) << error;
    std::string path = dir / "p/sprites/spr_wall.toml";
    std::string text = test::ReadText(path);
    text.replace(text.find("rebuild_masks = false"), 21, "rebuild_masks = true");
    text.replace(text.find("shape = \"precise\""), 17, "shape = \"rectangle\"");
    WriteFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});

    GameData built;
    std::vector<uint8_t> d3dx;
    ASSERT_TRUE(BuildProject(dir / "p", built, d3dx, error)) << error;
    const CSprite& wall = *built.sprites.Get(2);
    ASSERT_EQ(wall.masks.size(), 3u);  // separate masks: one per frame
    // Rectangles over the automatic box: every column but the transparent first one.
    for (const TMask& m : wall.masks) {
        EXPECT_EQ(m.left, 1);
        EXPECT_EQ(m.right, 4);
        EXPECT_FALSE(m.Solid(0, 0));
        EXPECT_TRUE(m.Solid(1, 0));
    }
    EXPECT_EQ(wall.bbox_left, 1);
}

}  // namespace
}  // namespace kr
