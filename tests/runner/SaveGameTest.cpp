// Saved games: a save in the middle of a game loads back in a fresh run to the same state; the
// file's layout field by field; a failing write keeps the old file; damaged, other-version and
// other-game files are refused whole and the game goes on unchanged.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/Stream.h"
#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "runner/SaveGame.h"
#include "support/SampleGames.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

CEvent Code(std::string code) {
    CEvent e;
    e.actions = {test::CodeAction(std::move(code))};
    return e;
}

constexpr int32_t kStepBegin = 1;

class SaveGameTest : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };

    Result Run(const GameWriter& w, int64_t max_steps, const std::string& input = {},
               bool secure = false) {
        return RunFile(dir_.Write("game.exe", w.WriteGameFile()), max_steps, input, secure);
    }

    Result RunFile(const std::string& game, int64_t max_steps, const std::string& input = {},
                   bool secure = false) {
        RunnerOptions o;
        o.game_path = game;
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = max_steps;
        o.secure_mode = secure;
        std::string error;
        EXPECT_TRUE(ParseInputReplay(input, o.input, error)) << error;
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        Result r;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = runner_->Run();
        r.out = testing::internal::GetCapturedStdout();
        r.err = testing::internal::GetCapturedStderr();
        return r;
    }

    std::vector<uint8_t> ReadFile(const std::string& path) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
        return bytes;
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
};

// Runs the body with the working directory in `dir`, where F5 and F6 keep their file.
struct InDirectory {
    explicit InDirectory(const std::string& dir) : old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() { std::filesystem::current_path(old); }
    std::filesystem::path old;
};

// Two rooms: room 0 persistent with three instances (one is deactivated) and a tile, room 1
// not. In a plain run the game builds its state over four steps, moving to room 1 on the way,
// and F5 saves it in step 3; in the second run F6 loads it in the first step. Both runs then
// print the state (F5 or F6 held), go back to the persistent room, print it and end.
GameWriter RoundTripGame() {
    GameWriter w;
    w.game_id = 42;
    w.settings.f5_f6_save_load = true;
    w.room_order = {0, 1};
    const std::string dump =
        "show_debug_message('room ' + string(room) + ' score ' + string(score) + ' lives ' + "
        "string(lives) + ' health ' + string(health) + ' g ' + string(global.g) + ' ' + "
        "global.arr[2] + ' n ' + string(instance_number(all)));"
        "with (all) show_debug_message(string(id) + ' ' + string(object_index) + ' ' + string(x) "
        "+ ',' + string(y) + ' ' + string(hspeed) + ' ' + string(direction) + ' ' + "
        "string(alarm[3]) + ' ' + string(v) + ' ' + a[1, 2] + ' ' + string(depth));"
        "var made; made = instance_create(0, 0, 1); show_debug_message('new id ' + string(made));";
    CObject thing;
    thing.events[kEventStep][0] = Code(
        "global.t += 1;"
        "if (global.t == 1) { score = 7; lives = 2; health = 33.5; global.g = 1.25;"
        "  global.arr[2] = 'hi'; (100002).x = 99; (100002).v = 'two';"
        "  instance_deactivate_object(100003); instance_create(70, 80, 1); room_goto(1) }"
        "if (global.t == 3) { hspeed = 1.5; alarm[3] = 40; v = 'saved'; a[1, 2] = 'row';"
        "  depth = -3 }");
    thing.events[kEventStep][kStepBegin] =
        Code("if (keyboard_check(vk_f5) || keyboard_check(vk_f6)) {" + dump +
             "  global.back = 1; room_goto(0) }"
             "else if (global.back == 1) {" +
             dump +
             "  instance_activate_all(); show_debug_message('with inactive ' + "
             "string(instance_number(all))); game_end() }");
    CObject other;
    other.events[kEventCreate][0] = Code("v = 0; a[1, 2] = '';");
    thing.events[kEventCreate][0] = Code(
        "v = 1; a[1, 2] = 'a'; if (!variable_global_exists('t')) { global.t = 0; global.back = "
        "0; global.g = 0; global.arr[2] = '' }");
    w.Add("thing", thing);
    w.Add("other", other);
    CRoom r0;
    r0.persistent = true;
    r0.instances = {{10, 20, 0, 100001, {}}, {30, 40, 1, 100002, {}}, {50, 60, 1, 100003, {}}};
    RoomTile tile;
    tile.x = 4;
    tile.y = 8;
    tile.width = tile.height = 16;
    tile.depth = 1000;
    tile.id = 10000001;
    r0.tiles = {tile};
    w.Add("room0", r0);
    CRoom r1;
    r1.instances = {{5, 5, 0, 100010, {}}};
    w.Add("room1", r1);
    w.last_instance_id = 100010;
    return w;
}

TEST_F(SaveGameTest, ASaveLoadsBackInAFreshRun) {
    InDirectory here(dir_.Path());
    GameWriter w = RoundTripGame();
    Result saved = Run(w, 20, "3 key down 116\n");
    ASSERT_EQ(saved.err, "");
    ASSERT_TRUE(FileExists(dir_ / "_save42.sav"));
    Result loaded = Run(w, 20, "0 key down 117\n");
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(loaded.out, saved.out);
    // What the state must hold: the moved and deactivated instances of the persistent room,
    // the variables with their arrays, the alarm, and ids after the saved counter.
    for (const char* want : {"room 1 score 7 lives 2 health 33.50 g 1.25 hi n 1",
                             "100010 0 6.50,5 1.50 0 40 saved row -3",
                             "100002 1 99,40 0 0 -1 two  0", "room 0 score 7", "with inactive 5"}) {
        EXPECT_NE(loaded.out.find(want), std::string::npos) << want << "\n" << loaded.out;
    }
}

// A game of one room whose creation code saves at once: one instance with a few fields off
// their defaults, a layer, a tile and a global variable.
GameWriter SmallGame(const std::string& save_path) {
    GameWriter w;
    w.game_id = 42;
    CObject o;
    o.events[kEventCreate][0] = Code("hspeed = 2; alarm[1] = 5; v = 'str';");
    w.Add("obj", o);
    CRoom r;
    r.caption = "cap";
    r.width = 200;
    r.height = 100;
    r.speed = 45;
    r.backgrounds[1].visible = true;
    r.backgrounds[1].x = 3;
    r.instances = {{16, 32, 0, 100001, {}}};
    RoomTile tile;
    tile.x = 1;
    tile.y = 2;
    tile.background = 5;
    tile.width = 8;
    tile.height = 9;
    tile.depth = 7;
    tile.id = 10000002;
    r.tiles = {tile};
    r.creation_code = "score = 12; lives = 3; health = 50; global.g = 1.5; game_save('" +
                      save_path + "'); game_end()";
    w.Add("room0", r);
    w.last_instance_id = 100001;
    w.last_tile_id = 10000002;
    return w;
}

TEST_F(SaveGameTest, TheFileLayoutFieldByField) {
    const std::string path = dir_ / "small.sav";
    Result r = Run(SmallGame(path), 5);
    ASSERT_EQ(r.err, "");
    CStream s(ReadFile(path));
    auto integer = [&](int32_t want, const char* what) {
        EXPECT_EQ(s.ReadInteger(), want) << what << " at " << s.Position();
    };
    auto real = [&](double want, const char* what) {
        EXPECT_EQ(s.ReadReal(), want) << what << " at " << s.Position();
    };
    auto string = [&](const std::string& want, const char* what) {
        EXPECT_EQ(s.ReadString(), want) << what << " at " << s.Position();
    };
    integer(540, "version");
    integer(42, "game id");
    integer(0, "room");
    integer(0, "transition");
    integer(12, "score");
    integer(3, "lives");
    real(50, "health");
    integer(-1, "cursor");
    integer(0, "step count");
    integer(1, "automatic draw");
    GlobalStore globals;
    ASSERT_TRUE(globals.LoadGlobals(s));
    ASSERT_EQ(globals.List().Count(), 1);
    EXPECT_EQ(globals.List().Item(0).value.real, 1.5);
    integer(1, "N");
    integer(1, "slot 0 present");
    integer(540, "room version");
    string("cap", "caption");
    integer(200, "width");
    integer(100, "height");
    integer(45, "speed");
    integer(0, "persistent");
    integer(0xC0C0C0, "colour");
    integer(1, "show colour");
    EXPECT_NE(s.ReadString().find("game_save"), std::string::npos);
    integer(8, "layers");
    for (int layer = 0; layer < 8; ++layer) {
        integer(layer == 1, "visible");
        integer(0, "foreground");
        integer(-1, "background");
        real(layer == 1 ? 3 : 0, "x");
        real(0, "y");
        integer(1, "tile h");
        integer(1, "tile v");
        real(1, "xscale");
        real(1, "yscale");
        real(0, "hspeed");
        real(0, "vspeed");
        integer(0xFFFFFF, "blend");
        real(1, "alpha");
    }
    integer(0, "views enabled");
    integer(8, "views");
    for (int view = 0; view < 8; ++view) {
        integer(0, "visible");
        for (int32_t v : {0, 0, 640, 480, 0, 0, 640, 480}) integer(v, "view area, port");
        real(0, "angle");
        for (int32_t v : {32, 32, -1, -1, -1}) integer(v, "borders, speeds, object");
    }
    integer(1, "instances");
    integer(100001, "id");
    integer(-1, "sprite");
    for (double v : {0.0, 1.0, 1.0, 1.0, 0.0, 1.0}) real(v, "image fields");
    integer(0xFFFFFF, "blend");
    integer(-1, "mask");
    for (double v : {0.0, 16.0, 32.0, 16.0, 32.0, 16.0, 32.0, 0.0, 2.0, 0.0, 270.0, 0.0, 2.0, 0.0})
        real(v, "depth .. vspeed");
    for (int32_t v : {-100000, -100000, -100000, -100000}) integer(v, "bbox");
    for (int32_t v : {1, 0, 0}) integer(v, "visible solid persistent");
    integer(0, "object");
    for (int a = 0; a < 12; ++a) integer(a == 1 ? 5 : -1, "alarm");
    integer(0, "deleted");
    integer(0, "deactivated");
    integer(-1, "path");
    for (double v : {0.0, 0.0, 0.0, 1.0, 0.0}) real(v, "path reals");
    integer(0, "path end");
    real(0, "path xstart");
    real(0, "path ystart");
    integer(-1, "time line");
    real(0, "time line position");
    real(1, "time line speed");
    integer(0, "running");
    integer(0, "loop");
    string("", "creation code");
    CVariableList vars;
    ASSERT_TRUE(vars.LoadFromStream(s));
    EXPECT_EQ(vars.Count(), 1);
    integer(0, "inactive");
    integer(1, "tiles");
    real(1, "tile x");
    real(2, "tile y");
    for (int32_t v : {5, 0, 0, 8, 9}) integer(v, "tile background, part");
    real(7, "depth");
    integer(10000002, "tile id");
    real(1, "xscale");
    real(1, "yscale");
    integer(0xFFFFFF, "blend");
    real(1, "alpha");
    integer(1, "visible");
    integer(100001, "last instance id");
    integer(10000002, "last tile id");
    EXPECT_TRUE(s.AtEnd());
    EXPECT_FALSE(s.Failed());
}

// A write that fails leaves the file it would have replaced as it was, and no temporary file.
TEST_F(SaveGameTest, AFailingWriteKeepsTheOldFile) {
    const std::string path = dir_ / "small.sav";
    dir_.Write("small.sav", "old save");
    const std::string game = dir_.Write("game.exe", SmallGame(path).WriteGameFile());
    // No file may grow past 20,000 bytes (the game is written already); the save is larger.
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = 20000;
    setrlimit(RLIMIT_FSIZE, &limit);
    Result r = RunFile(game, 5);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_NE(r.err.find("Failed to save game to file " + path), std::string::npos) << r.err;
    std::vector<uint8_t> now = ReadFile(path);
    EXPECT_EQ(std::string(now.begin(), now.end()), "old save");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
        files += e.path().filename().string().rfind("small.sav", 0) == 0;
    EXPECT_EQ(files, 1);
}

TEST_F(SaveGameTest, SecureModeRefusesDirectories) {
    for (const char* name : {"sub/x.sav", "sub\\\\x.sav"}) {
        GameWriter w = SmallGame(name);
        Result r = Run(w, 5, {}, true);
        EXPECT_NE(r.err.find("In secure mode you cannot save game to file sub"), std::string::npos)
            << r.err;
        EXPECT_FALSE(FileExists("sub/x.sav"));
    }
}

// The reader refuses every truncation, other versions and games, huge counts and trailing
// bytes, without reading far.
TEST_F(SaveGameTest, DamagedFilesAreRefusedByTheReader) {
    const std::string path = dir_ / "small.sav";
    ASSERT_EQ(Run(SmallGame(path), 5).err, "");
    const std::vector<uint8_t> good = ReadFile(path);
    SavedGameChecks checks;
    checks.game_id = 42;
    checks.room_exists = [](int32_t room) { return room == 0; };
    auto read = [&](std::vector<uint8_t> bytes) {
        CStream s(std::move(bytes));
        SavedGame g;
        return ReadSavedGame(s, runner_->World(), checks, g);
    };
    ASSERT_EQ(read(good), SaveReadResult::kOk);
    for (size_t n = 0; n < good.size(); n += (n < 200 || n + 3000 > good.size()) ? 1 : 97) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        EXPECT_NE(read(cut), SaveReadResult::kOk) << n;
    }
    auto patched = [&](size_t at, int32_t v) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
        return b;
    };
    // Offsets: the header is 44 bytes; the global store follows, then N.
    CStream probe(good);
    probe.Seek(44);
    GlobalStore globals;
    ASSERT_TRUE(globals.LoadGlobals(probe));
    const size_t n_at = probe.Position();
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        SaveReadResult want;
    } cases[] = {
        {"version", patched(0, 541), SaveReadResult::kOtherVersion},
        {"game id", patched(4, 43), SaveReadResult::kOtherGame},
        {"huge N", patched(n_at, 0x7fffffff), SaveReadResult::kDamaged},
        {"room not in the game", patched(n_at, 2), SaveReadResult::kDamaged},
        {"current room missing", patched(n_at + 4, 0), SaveReadResult::kDamaged},
        {"room version", patched(n_at + 8, 541), SaveReadResult::kDamaged},
        {"current room outside", patched(8, 3), SaveReadResult::kDamaged},
        {"globals version", patched(44, 701), SaveReadResult::kDamaged},
        {"trailing byte", longer, SaveReadResult::kDamaged},
    };
    for (const Case& c : cases) EXPECT_EQ(read(c.bytes), c.want) << c.what;
}

// A refused load reports why and changes nothing: the score set after the save stays, the
// instance made after it stays. A missing file is silent.
TEST_F(SaveGameTest, ARefusedLoadLeavesTheGameAsItWas) {
    const std::string good = dir_ / "good.sav", bad = dir_ / "bad.sav";
    GameWriter w;
    w.game_id = 42;
    CObject o;
    o.events[kEventStep][0] =
        Code("if (score == 5) { score = 6; instance_create(0, 0, 0); game_load('" + bad +
             "') } else { show_debug_message(string(score) + ' ' + string(instance_number(0))); "
             "game_end() }");
    w.Add("obj", o);
    CRoom r;
    r.instances = {{0, 0, 0, 100001, {}}};
    r.creation_code = "score = 5; game_save('" + good + "')";
    w.Add("room0", r);
    Run(w, 5);  // makes the good file
    const std::vector<uint8_t> bytes = ReadFile(good);
    auto patched = [&](size_t at, int32_t v) {
        std::vector<uint8_t> b = bytes;
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> file;  // empty: no file
        std::string message;
    } cases[] = {
        {"version", patched(0, 530), "Cannot load game saved with other version."},
        {"other game", patched(4, 7), "This is a save file for a different game!"},
        {"truncated", std::vector<uint8_t>(bytes.begin(), bytes.end() - 4),
         "Failed to load game from file " + bad},
        {"missing", {}, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(bad);
        if (!c.file.empty()) dir_.Write("bad.sav", c.file);
        Result res = Run(w, 5);
        EXPECT_EQ(res.out, "6 2\n") << c.what;
        if (c.message.empty())
            EXPECT_EQ(res.err, "") << c.what;
        else
            EXPECT_NE(res.err.find(c.message), std::string::npos) << c.what << "\n" << res.err;
    }
    // The good file does load: the score goes back to 5 and the instance made after the save
    // is gone, so the step saves and loads again until the step limit.
    dir_.Write("bad.sav", bytes);
    Result res = Run(w, 3);
    EXPECT_EQ(res.out, "") << res.err;
    EXPECT_EQ(res.err, "");
}

}  // namespace
}  // namespace kr
