// Whole runs: loading, preparation and clean-up as the player sees them, and how each failure
// ends the run.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "runner/GameWriter.h"
#include "runner/Messages.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

using test::Recording;
using test::ScratchDir;

class RunnerTest : public ::testing::Test {
protected:
    // Writes the game with a room to play and returns options that run it with the temporary
    // directory in the scratch directory.
    RunnerOptions Options(GameWriter w, const std::string& name = "My Game.exe") {
        w.Add("room", CRoom());
        RunnerOptions o;
        o.game_path = dir_.Write(name, w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.temp_places.getenv = [](const char*) -> const char* { return nullptr; };
        o.temp_places.system_temp = dir_ / "temp";
        o.max_steps = 0;  // the game ends once it has started
        return o;
    }

    static std::vector<uint8_t> IncludedFile(const std::string& name, int kind) {
        CDataFile f;
        f.file_name = name;
        f.source_present = f.stored = true;
        f.data = {'h', 'i'};
        f.export_kind = kind;
        CStream s;
        WriteIncludedFileRecord(s, f);
        return s.Bytes();
    }

    ScratchDir dir_;
    Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
};

TEST_F(RunnerTest, AGoodGameLoadsPreparesAndEnds) {
    GameWriter w;
    w.settings.process_priority = 2;
    Runner runner(platform_, Options(w));
    EXPECT_EQ(runner.Run(), Runner::kExitOk);
    EXPECT_TRUE(rec_.messages.empty());
    EXPECT_EQ(runner.Title(), "My Game");
    EXPECT_EQ(rec_.priority, 2);
    EXPECT_TRUE(rec_.closed);

    // After the sections: the preparation steps, word for word.
    std::vector<std::pair<int, std::string>> preparation(rec_.progress.end() - 11,
                                                         rec_.progress.end());
    std::vector<std::pair<int, std::string>> want = {
        {49, "Loading room order"},
        {50, "Extracting included files"},
        {55, "Preparing extension pacakges"},
        {60, "Preparing constants"},
        {61, "Preparing triggers"},
        {62, "Compiling scripts"},
        {70, "Compiling time line actions"},
        {72, "Compiling object actions"},
        {80, "Preparing sounds"},
        {90, "Preparing graphics"},
        {100, "Ready"},
    };
    EXPECT_EQ(preparation, want);
    EXPECT_EQ(rec_.progress[1], std::make_pair(0, std::string("Loading")));
    EXPECT_TRUE(runner.TempDirectory().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "temp"));  // made there, and removed
}

TEST_F(RunnerTest, TheTemporaryDirectoryHoldsTheLibraryAndIsRemovedAtTheEnd) {
    GameWriter w;
    w.d3dx_name = "D3DX8.dll";
    w.d3dx_library = {1, 2, 3};
    w.AddIncludedFile(IncludedFile("music.mid", 1));
    std::string temp;
    {
        Runner runner(platform_, Options(w));
        runner.CreateTempDirectory();
        temp = runner.TempDirectory();
        ASSERT_EQ(runner.LoadGameData(), LoadResult::kLoaded);
        ASSERT_TRUE(runner.PrepareGame());
        EXPECT_EQ(test::ReadText(temp + "/D3DX8.dll"), "\x01\x02\x03");
        EXPECT_EQ(test::ReadText(temp + "/music.mid"), "hi");
    }
    EXPECT_FALSE(DirectoryExists(temp));
}

TEST_F(RunnerTest, ALibraryNameWithAPathIsNotWritten) {
    GameWriter w;
    w.d3dx_name = "..\\escape.dll";
    w.d3dx_library = {1};
    Runner runner(platform_, Options(w));
    runner.CreateTempDirectory();
    ASSERT_EQ(runner.LoadGameData(), LoadResult::kLoaded);
    EXPECT_FALSE(FileExists(dir_ / "temp/escape.dll"));
    EXPECT_FALSE(FileExists(dir_ / "escape.dll"));
}

TEST_F(RunnerTest, FailuresShowTheirMessageAndEndTheRun) {
    GameWriter good;
    GameWriter wrong_version;
    wrong_version.format_version = 700;
    std::vector<uint8_t> truncated = good.WriteGameFile();
    truncated.resize(truncated.size() - 10);
    struct Case {
        std::string what;
        std::function<void(RunnerOptions&)> setup;
        std::string throw_at;
        std::string message;
    } cases[] = {
        {"missing file", [&](RunnerOptions& o) { o.game_path = dir_ / "nothing.exe"; }, "",
         std::string(msg::kCannotReadGame) + "\n" + (dir_ / "nothing.exe") +
             ": No such file or directory"},
        {"no game data", [&](RunnerOptions& o) { o.game_path = dir_.Write("x.exe", "MZ"); }, "",
         msg::kNotValidGame},
        {"wrong version",
         [&](RunnerOptions& o) {
             o.game_path = dir_.Write("v.exe", wrong_version.WriteGameFile());
         },
         "", msg::kWrongVersion},
        {"truncated", [&](RunnerOptions& o) { o.game_path = dir_.Write("t.exe", truncated); }, "",
         msg::kCorrupted},
        {"failure while loading", nullptr, "Loading sprites", msg::kCorrupted},
        {"failure while preparing", nullptr, "Compiling scripts", msg::kUnexpected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recording rec;
        rec.throw_at_caption = c.throw_at;
        Platform platform = test::MakeRecordingPlatform(rec);
        RunnerOptions options = Options(good);
        if (c.setup) c.setup(options);
        Runner runner(platform, options);
        EXPECT_EQ(runner.Run(), Runner::kExitLoadFailed);
        EXPECT_EQ(rec.messages, std::vector<std::string>{c.message});
    }
}

TEST_F(RunnerTest, FilesExportedBeforeAFailureAreRemoved) {
    GameWriter w;
    w.AddIncludedFile(IncludedFile(dir_ / "exported.txt", 2));
    rec_.throw_at_caption = "Compiling scripts";
    Runner runner(platform_, Options(w));
    EXPECT_EQ(runner.Run(), Runner::kExitLoadFailed);
    EXPECT_FALSE(FileExists(dir_ / "exported.txt"));
}

TEST_F(RunnerTest, WithoutATemporaryDirectoryTheGameStillRuns) {
    RunnerOptions o = Options(GameWriter());
    std::string file = dir_.Write("file", "x");
    o.temp_places.system_temp = file + "/sub";
    o.temp_places.getenv = [file](const char* n) -> const char* {
        static std::string v;
        v = file + "/env";
        return std::string_view(n) == "TMPDIR" ? v.c_str() : nullptr;
    };
    // The current directory is the last resort; a scratch one that disappears makes it fail.
    std::string cwd = dir_ / "cwd";
    CreateDirectories(cwd);
    char old[4096];
    ASSERT_TRUE(::getcwd(old, sizeof old));
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    ASSERT_TRUE(RemoveDirectoryTree(cwd));
    Runner runner(platform_, o);
    int status = runner.Run();
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(status, Runner::kExitOk);
    EXPECT_EQ(rec_.messages, std::vector<std::string>{msg::kTempDir});
}

TEST_F(RunnerTest, SecureModeRefusalsDoNotStopTheGame) {
    GameWriter w;
    w.AddIncludedFile(IncludedFile("sub\\file.txt", 2));
    RunnerOptions o = Options(w);
    o.secure_mode = true;
    Runner runner(platform_, o);
    testing::internal::CaptureStderr();  // the refusal is reported as a script error
    EXPECT_EQ(runner.Run(), Runner::kExitOk);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(rec_.messages.empty());
    EXPECT_FALSE(DirectoryExists(dir_ / "sub"));
}

TEST_F(RunnerTest, TheLoadDisplayFollowsTheProgressBarSetting) {
    struct Case {
        bool bar, debug;
        bool want_bar, want_label;
    } cases[] = {
        {true, false, true, false},
        {true, true, true, true},
        {false, true, false, false},  // no bar: no label even when debugging
    };
    for (const Case& c : cases) {
        GameWriter w;
        w.settings.show_progress_bar = c.bar;
        w.debug_mode = c.debug;
        Recording rec;
        Platform platform = test::MakeRecordingPlatform(rec);
        Runner runner(platform, Options(w));
        EXPECT_EQ(runner.Run(), Runner::kExitOk);
        EXPECT_TRUE(rec.shown);
        EXPECT_EQ(rec.bar, c.want_bar);
        EXPECT_EQ(rec.label, c.want_label);
    }
}

// Scripts go to the runtime; action functions are bound at preparation (scripts first), and a
// name found nowhere is reported without stopping the game.
TEST_F(RunnerTest, PreparationBindsScriptsAndActionFunctions) {
    GameWriter w;
    CScript script;
    script.text = "return 1;";
    w.AddEmptySlot(SectionId::kScripts);
    w.Add("scr_jump", script);
    auto calling = [](const char* function) {
        CAction a;
        a.exec_type = CAction::kExecFunction;
        a.function_name = function;
        CEvent e;
        e.actions = {a};
        return e;
    };
    CObject object;
    object.events[kEventStep][0] = calling("scr_jump");
    object.events[kEventStep][1] = calling("action_nowhere");
    w.Add("obj", object);
    CTimeLine timeline;
    timeline.moments = {{5, calling("no_such_function")}};
    w.Add("tl", timeline);

    Runner runner(platform_, Options(w));
    ASSERT_EQ(runner.Run(), Runner::kExitOk);
    EXPECT_EQ(runner.GetRuntime().ScriptName(1), "scr_jump");
    EXPECT_EQ(runner.GetRuntime().ScriptText(1), "return 1;");
    EXPECT_FALSE(runner.GetRuntime().ScriptExists(0));
    const CObject& loaded = *runner.Game().objects.Get(0);
    EXPECT_EQ(loaded.FindEvent(kEventStep, 0)->actions[0].function_id, kScriptIdBase + 1);
    EXPECT_EQ(loaded.FindEvent(kEventStep, 1)->actions[0].function_id, -1);
    EXPECT_EQ(rec_.messages,
              (std::vector<std::string>{"Failed to locate action function no_such_function",
                                        "Failed to locate action function action_nowhere"}));
}

TEST_F(RunnerTest, RunnersFollowOneAnotherInOneProcess) {
    GameWriter first, second;
    first.game_id = 1;
    second.game_id = 2;
    second.Add("spr", CSprite());
    Runner a(platform_, Options(first, "a.exe"));
    EXPECT_EQ(a.Run(), Runner::kExitOk);
    Runner b(platform_, Options(second, "b.exe"));
    EXPECT_EQ(b.Run(), Runner::kExitOk);
    EXPECT_EQ(a.Game().game_id, 1);
    EXPECT_EQ(a.Game().sprites.Count(), 0);
    EXPECT_EQ(b.Game().game_id, 2);
    EXPECT_EQ(b.Game().sprites.Name(0), "spr");
}

}  // namespace
}  // namespace kr
