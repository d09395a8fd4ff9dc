// The korvane program as a user runs it: commands, usage errors, info output and games that
// carry their runner.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "platform/Files.h"
#include "runner/GameWriter.h"
#include "runner/Messages.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::KorvanePath;
using test::RunProgram;
using test::ScratchDir;

std::vector<uint8_t> Text(std::string_view s) {
    return {s.begin(), s.end()};
}

// A game whose first room runs `creation_code` (by default it ends the game at once).
GameWriter SmallGame(const std::string& creation_code = "game_end();") {
    GameWriter w;
    w.game_id = 77;
    w.settings.scaling = 0;
    w.settings.show_cursor = false;
    w.settings.loading_image = {true, Text("BM-not-really")};
    w.Add("spr_a", CSprite());
    w.AddEmptySlot(SectionId::kSprites);
    CRoom room;
    room.creation_code = creation_code;
    w.Add("room_caf\xE9", room);
    w.AddConstant("SPEED", "4");
    w.room_order = {0};
    return w;
}

TEST(CommandLine, HelpVersionAndUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out_has, err_has;
    } cases[] = {
        {{"--version"}, 0, "korvane 0.1.0", ""},
        {{"--help"}, 0, "usage: korvane", ""},
        {{}, 2, "", "no command given"},
        {{"run"}, 2, "", "no game given"},
        {{"run", "--fast", "game.exe"}, 2, "", "unknown option '--fast'"},
        {{"run", "--max-steps", "-1", "game.exe"}, 2, "", "--max-steps needs a number"},
        {{"run", "--seed=x", "game.exe"}, 2, "", "--seed needs a 32-bit integer"},
        {{"run", "--input", "/nonexistent/input.txt", "game.exe"}, 2, "", "cannot read"},
        {{"info", "--xml", "game.exe"}, 2, "", "unknown option '--xml'"},
        {{"info", "a.exe", "b.exe"}, 2, "", "info takes one game"},
        {{"build", "/no/such/dir", "-o", "x"},
         1,
         "",
         "/no/such/dir/game.toml: cannot read the file\n/no/such/dir/game.toml: No such file or "
         "directory\n"},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunProgram(KorvanePath(), c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
    }
}

// Each command explains itself; the general help says where a game's messages go.
TEST(CommandLine, EveryCommandHasItsHelp) {
    struct Case {
        std::vector<std::string> args;
        std::string out_has;
    } cases[] = {
        {{"--help"}, "show_debug_message writes to standard output; error texts"},
        {{"run", "--help"}, "usage: korvane [run] [OPTION...] GAME [PARAMETER...]"},
        {{"--help", "game.exe"}, "usage: korvane"},
        {{"info", "--help"}, "usage: korvane info [--json] GAME"},
        {{"build", "--help"}, "usage: korvane build DIR -o OUT [--data-only]"},
        {{"extract", "--help"}, "usage: korvane extract GAME DIR"},
        {{"script", "--help"}, "'-' reads it from standard input"},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunProgram(KorvanePath(), c.args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

// Words after GAME stay the game's parameters; one that is korvane's own option is likelier
// misplaced, so korvane warns (and only then).
TEST(CommandLine, OptionsAfterTheGameAreParametersWithAWarning) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame().WriteGameFile());
    test::ProcessResult r = RunProgram(
        KorvanePath(), {"--headless", game, "--max-steps=3", "level2", "--secure"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.err,
        "korvane: warning: '--max-steps=3' comes after GAME, so it is passed to the game as a "
        "parameter; korvane's options go before GAME\n"
        "korvane: warning: '--secure' comes after GAME, so it is passed to the game as a "
        "parameter; korvane's options go before GAME\n");
    r = RunProgram(KorvanePath(), {"--headless", game, "--max-stepsX", "-x"}, dir.Path());
    EXPECT_EQ(r.err, "");
}

// A mistake in a replay file names its line, without the command's usage text.
TEST(CommandLine, ReplayFileMistakesNameTheirLine) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame().WriteGameFile());
    std::string input = dir.Write("input.txt", "3 key down vk_left\n2 key up vk_left\n");
    test::ProcessResult r = RunProgram(KorvanePath(), {"--headless", "--input", input, game});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "korvane: " + input +
                  ": line 2: step 2 comes before step 3 of line 1; steps must not go back\n");
}

// A screenshot asked for a step the run never reaches is named at the end of the run.
TEST(CommandLine, ScreenshotsOfStepsNeverReachedAreReported) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame("").WriteGameFile());
    test::ProcessResult r = RunProgram(KorvanePath(),
                                       {"--headless", "--max-steps", "5", "--screenshot",
                                        "2=early.png", "--screenshot", "999=z.png", game},
                                       dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "korvane: warning: the screenshot of step 999 (z.png) was not taken: the run "
              "ended before that step\n");
    EXPECT_TRUE(FileExists(dir / "early.png"));
}

TEST(CommandLine, InfoJsonListsSettingsSectionsAndNames) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame().WriteGameFile());
    test::ProcessResult r = RunProgram(KorvanePath(), {"info", "--json", game});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["info_format"], 1);
    EXPECT_EQ(j["game_id"], 77);
    EXPECT_EQ(j["settings"].size(), 34u);
    EXPECT_EQ(j["settings"]["scaling"], 0);
    EXPECT_EQ(j["settings"]["show_cursor"], false);
    EXPECT_EQ(j["settings"]["progress_bar_back_image"], nullptr);
    EXPECT_EQ(j["settings"]["loading_image"]["bmp_bytes"], 13);
    EXPECT_EQ(j["sections"].size(), 16u);
    EXPECT_EQ(j["sections"]["sprites"]["count"], 2);
    EXPECT_EQ(j["sections"]["sprites"]["names"], nlohmann::json::parse(R"(["spr_a", null])"));
    EXPECT_EQ(j["sections"]["rooms"]["names"][0], "room_caf\xC3\xA9");  // game text as UTF-8
    EXPECT_EQ(j["sections"]["room_order"]["count"], 1);
    EXPECT_FALSE(j["sections"]["room_order"].contains("names"));
    EXPECT_EQ(j["constants"][0]["name"], "SPEED");
    EXPECT_EQ(j["room_order"], nlohmann::json::parse("[0]"));
    EXPECT_EQ(j["builtin_functions"]["total"], 1252);
    EXPECT_GT(j["builtin_functions"]["implemented"], 100);
    EXPECT_LE(j["builtin_functions"]["implemented"], 1252);
}

// The list of built-in functions: every registered function with its argument count and
// whether it has a body, as JSON and as text.
TEST(CommandLine, InfoListsTheBuiltInFunctions) {
    test::ProcessResult r = RunProgram(KorvanePath(), {"info", "--functions", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["functions"].size(), 1252u);
    EXPECT_EQ(j["total"], 1252);
    int available = 0;
    std::map<std::string, nlohmann::json> by_name;
    for (const nlohmann::json& f : j["functions"]) {
        available += f["available"].get<bool>();
        by_name[f["name"]] = f;
    }
    EXPECT_EQ(j["implemented"], available);
    // The deliberately empty bodies are told apart: obsolete actions and connections that
    // cannot exist here, and the texture hints that mean nothing to this device.
    std::set<std::string> only_answer;
    for (const auto& [name, f] : by_name)
        if (f["only_answers"].get<bool>()) only_answer.insert(name);
    EXPECT_EQ(j["only_answer"], int(only_answer.size()));
    const std::set<std::string> expected = {
        "action_path_old",   "action_draw_font", "action_draw_font_old", "action_fill_color",
        "action_line_color", "action_highscore", "mplay_init_ipx",       "mplay_init_modem",
        "mplay_init_serial", "texture_preload",  "texture_set_priority"};
    EXPECT_EQ(only_answer, expected);
    EXPECT_EQ(by_name["point_distance"]["arguments"], 4);
    EXPECT_EQ(by_name["point_distance"]["available"], true);
    EXPECT_EQ(by_name["choose"]["arguments"], -1);

    r = RunProgram(KorvanePath(), {"info", "--functions"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\npoint_distance 4 available\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nmplay_init_ipx 0 only answers\n"), std::string::npos);
    for (const auto& [name, f] : by_name) {
        if (f["available"].get<bool>()) continue;
        const std::string line = "\n" + name + " " + f["arguments"].dump() + " not available yet\n";
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(RunProgram(KorvanePath(), {"info", "--functions", "game.exe"}).status, 2);
}

TEST(CommandLine, InfoTextAndFailures) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame().WriteGameFile());
    test::ProcessResult r = RunProgram(KorvanePath(), {"info", game});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("    1 (empty)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("SPEED = 4"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    0 spr_a (0 frames 1x1, origin 0,0)"), std::string::npos) << r.out;
    GameWriter one_frame = SmallGame();
    CSprite sprite;
    sprite.frames.emplace_back(2, 3);
    one_frame.Add("spr_one", sprite);
    r = RunProgram(KorvanePath(), {"info", dir.Write("one.exe", one_frame.WriteGameFile())});
    EXPECT_NE(r.out.find("spr_one (1 frame 2x3, origin 0,0)"), std::string::npos) << r.out;

    std::vector<uint8_t> cut = SmallGame().WriteGameFile();
    cut.resize(cut.size() - 3);
    r = RunProgram(KorvanePath(), {"info", dir.Write("cut.exe", cut)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(msg::kCorrupted) + "\n");
}

TEST(CommandLine, RunLoadsAGameOrSaysWhyNot) {
    ScratchDir dir;
    std::string game = dir.Write("small.exe", SmallGame().WriteGameFile());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"run", "--headless", game, "level2"}, 0, ""},
        {{"--headless", game}, 0, ""},  // the short form
        {{"run", "--headless", "--secure", "--", game}, 0, ""},
        // The message, then the path and the system's reason.
        {{"--headless", dir / "missing.exe"},
         1,
         std::string(msg::kCannotReadGame) + "\n" + (dir / "missing.exe") +
             ": No such file or directory\n"},
        {{"--headless", dir.Path()},
         1,
         std::string(msg::kCannotReadGame) + "\n" + dir.Path() + ": Is a directory\n"},
        {{"--headless", dir.Write("text.exe", "hello")}, 1, std::string(msg::kNotValidGame) + "\n"},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunProgram(KorvanePath(), c.args, dir.Path());
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
    }
}

// --strict turns an ignored run-time error into exit status 4; a fatal error stays 3, and
// without --strict the run that went on ends with 0.
TEST(CommandLine, StrictRunsFailWhenErrorsWereIgnored) {
    ScratchDir dir;
    auto game_with = [&](const std::string& name, const std::string& code) {
        return dir.Write(name, SmallGame(code).WriteGameFile());
    };
    const std::string ignored = game_with("ignored.exe", "show_error('oops', false); game_end();");
    const std::string fatal = game_with("fatal.exe", "show_error('stop', true);");
    const std::string clean = dir.Write("clean.exe", SmallGame().WriteGameFile());
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--headless", ignored}, 0},
        {{"--headless", "--strict", ignored}, 4},
        {{"--headless", "--strict", fatal}, 3},
        {{"--headless", "--strict", clean}, 0},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunProgram(KorvanePath(), c.args, dir.Path());
        EXPECT_EQ(r.status, c.status) << c.args.back() << "\n" << r.err;
    }
}

// Sets an environment variable (or removes it, given nullptr) for the programs a test starts.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A game that carries its runner and never ends by itself.
std::string BuiltEndlessGame(const ScratchDir& dir) {
    std::vector<uint8_t> program;
    EXPECT_TRUE(ReadWholeFile(KorvanePath(), program));
    std::string exe = dir.Write("endless", SmallGame("").WriteGameFile(program));
    EXPECT_EQ(::chmod(exe.c_str(), 0755), 0);
    return exe;
}

// A built game takes the runner's options from KORVANE_OPTIONS, never from its arguments; an
// argument that looks like one gets a line saying how to pass it.
TEST(CommandLine, ABuiltGameTakesRunnerOptionsFromTheEnvironment) {
    ScratchDir dir;
    const std::string exe = BuiltEndlessGame(dir);
    {
        ScopedEnv options("KORVANE_OPTIONS", "--headless --max-steps 3 --strict");
        test::ProcessResult r = RunProgram(exe, {"level2"}, dir.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        r = RunProgram(exe, {"level2", "--max-steps", "5", "--secure", "x", "--seed=1"},
                       dir.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(
            r.err,
            "korvane: '--max-steps' is passed to the game as a parameter; a game's runner "
            "takes its options from the environment: KORVANE_OPTIONS=\"--max-steps 5 --secure\" " +
                exe + "\n");
    }
    ScopedEnv bad("KORVANE_OPTIONS", "--headless --fast");
    test::ProcessResult r = RunProgram(exe, {}, dir.Path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option '--fast'"), std::string::npos) << r.err;
}

// With no display a windowed run cannot show the game: it says so and ends with status 1
// instead of running unseen (the time limit only bounds the test should it not).
TEST(CommandLine, ABuiltGameWithoutADisplayEndsWithStatus1) {
    ScratchDir dir;
    const std::string exe = BuiltEndlessGame(dir);
    ScopedEnv driver("SDL_VIDEODRIVER", nullptr), display("DISPLAY", nullptr),
        wayland("WAYLAND_DISPLAY", nullptr), drm("SDL_KMSDRM_REQUIRE_DRM_MASTER", "1"),
        options("KORVANE_OPTIONS", "--time-limit 30");
    test::ProcessResult r = RunProgram(exe, {}, dir.Path());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Cannot open the game window: no display was found"), std::string::npos)
        << r.err;
}

TEST(CommandLine, AGameThatCarriesItsRunnerRunsIt) {
    ScratchDir dir;
    std::vector<uint8_t> program;
    ASSERT_TRUE(ReadWholeFile(KorvanePath(), program));
    GameWriter good = SmallGame(), broken = SmallGame();
    broken.format_version = 801;
    for (const GameWriter* w : {&good, &broken}) {
        std::vector<uint8_t> file = w->WriteGameFile(program);
        ASSERT_FALSE(file.empty());
        std::string exe = dir.Write(w == &broken ? "broken" : "game", file);
        ASSERT_EQ(::chmod(exe.c_str(), 0755), 0);
        // Every argument is the game's, even ones korvane itself would know.
        test::ProcessResult r = RunProgram(exe, {"--version", "info"}, dir.Path());
        EXPECT_EQ(r.out, "");
        if (w == &broken) {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(msg::kWrongVersion), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
        }
    }
}

// A windowed run keeps the graphics driver's libraries loaded until the process ends, whichever
// of its windows loaded them (the game's, or the debugger's beside a headless game): the memory
// such a driver never gives back stays reachable, and a later window finds it ready. The dynamic
// loader reports every library it unloads.
TEST(CommandLine, AWindowedRunNeverUnloadsTheGraphicsDriver) {
    ScratchDir dir;
    std::vector<uint8_t> program;
    ASSERT_TRUE(ReadWholeFile(KorvanePath(), program));
    std::string exe = dir.Write("game", SmallGame().WriteGameFile(program));
    ASSERT_EQ(::chmod(exe.c_str(), 0755), 0);
    const std::vector<std::vector<std::string>> runs = {
        {exe},
        {KorvanePath(), "run", "--headless", "--max-steps", "2", "--debugger-screenshot",
         "1=" + (dir / "debugger.png"), dir.Write("quiet.exe", SmallGame("").WriteGameFile())}};
    for (const std::vector<std::string>& run : runs) {
        ::setenv("LD_DEBUG", "files", 1);
        test::ProcessResult r =
            RunProgram(run[0], std::vector<std::string>(run.begin() + 1, run.end()), dir.Path());
        ::unsetenv("LD_DEBUG");
        EXPECT_EQ(r.status, 0) << run.size();
        for (size_t at = r.err.find("destroying link map"); at != std::string::npos;
             at = r.err.find("destroying link map", at + 1)) {
            const size_t start = r.err.rfind("file=", at);
            const std::string name = r.err.substr(start, at - start);
            for (const char* driver : {"libGL", "libEGL", "_dri", "mesa", "libgallium", "libglapi"})
                EXPECT_EQ(name.find(driver), std::string::npos) << name;
        }
        // The loader did report loading the driver: the run made its window and its context.
        EXPECT_TRUE(r.err.find("libEGL") != std::string::npos ||
                    r.err.find("libGL") != std::string::npos);
    }
}

}  // namespace
}  // namespace kr
