// Projects as the korvane command takes them: run straight from their folder, and checked at
// build time so that a mistake is reported with its file and line before the game runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::KorvanePath;
using test::RunProgram;
using test::ScratchDir;

// A small project: one object whose create and step events print, in one room. Tests change
// single files of it to show a fault.
std::map<std::string, std::string> TinyProject() {
    return {
        {"game.toml",
         "format = 1\n"
         "room_order = [\"room_main\"]\n"
         "\n"
         "[[constant]]\n"
         "name = \"GREETING\"\n"
         "value = \"'hello'\"\n"
         "\n"
         "[resources]\n"
         "objects = [\"obj_hello\"]\n"
         "rooms = [\"room_main\"]\n"},
        {"objects/obj_hello.toml",
         "name = \"obj_hello\"\n"
         "\n"
         "[[event]]\n"
         "type = \"create\"\n"
         "\n"
         "[[event.action]]\n"
         "library = 1\n"
         "id = 603\n"
         "kind = \"code\"\n"
         "execute = \"code\"\n"
         "code = \"obj_hello/create.krs\"\n"},
        {"objects/obj_hello/create.krs", "show_debug_message(GREETING);\n"},
        {"rooms/room_main.toml",
         "name = \"room_main\"\n"
         "instances = [{ x = 0, y = 0, object = \"obj_hello\", id = 100001 }]\n"},
    };
}

std::string WriteProject(const ScratchDir& dir, const std::string& name,
                         const std::map<std::string, std::string>& files) {
    for (const auto& [file, text] : files) dir.Write(name + "/" + file, text);
    return dir / name;
}

std::vector<std::string> FilesBelow(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// `korvane run DIR` and `korvane DIR` build the project in memory and run it with every run
// option; nothing is written.
TEST(ProjectRun, AProjectFolderRunsWithoutABuildStep) {
    ScratchDir dir;
    std::string project = WriteProject(dir, "tiny", TinyProject());
    const std::vector<std::string> before = FilesBelow(dir.Path());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"run", "--headless", "--max-steps", "2", project, "world"},
             {"--headless", "--max-steps=2", project + "/", "world"},
         }) {
        test::ProcessResult r = RunProgram(KorvanePath(), args, dir.Path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "hello\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(FilesBelow(dir.Path()), before);
}

// Every command that takes a game takes a project folder too, built in memory as `run` builds
// it: `info` lists it and `extract` writes it out again; a broken one reports where.
TEST(ProjectRun, InfoAndExtractTakeAProjectFolder) {
    ScratchDir dir;
    WriteProject(dir, "tiny", TinyProject());
    test::ProcessResult info = RunProgram(KorvanePath(), {"info", "--json", "tiny"}, dir.Path());
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"obj_hello\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"GREETING\""), std::string::npos) << info.out;
    EXPECT_EQ(info.err, "");
    test::ProcessResult text = RunProgram(KorvanePath(), {"info", "tiny/"}, dir.Path());
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("room_main"), std::string::npos) << text.out;

    test::ProcessResult extract =
        RunProgram(KorvanePath(), {"extract", "tiny", "copy"}, dir.Path());
    EXPECT_EQ(extract.status, 0) << extract.err;
    // The game keeps the names of its code files, so the copy's code is where the project had it.
    EXPECT_EQ(test::ReadText(dir / "copy/objects/obj_hello/create.krs"),
              test::ReadText(dir / "tiny/objects/obj_hello/create.krs"));
    test::ProcessResult again =
        RunProgram(KorvanePath(), {"--headless", "--max-steps", "2", "copy"}, dir.Path());
    EXPECT_EQ(again.out, "hello\n") << again.err;

    auto files = TinyProject();
    files["objects/obj_hello/create.krs"] = "show_debug_message(;\n";
    WriteProject(dir, "broken", files);
    test::ProcessResult broken = RunProgram(KorvanePath(), {"info", "broken"}, dir.Path());
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "");
    EXPECT_TRUE(broken.err.starts_with("broken/objects/obj_hello/create.krs:1:")) << broken.err;
}

// A broken project is not run: the message names the file (from where korvane was started)
// and the line.
TEST(ProjectRun, AProjectErrorNamesTheFileAndLine) {
    ScratchDir dir;
    auto files = TinyProject();
    files["rooms/room_main.toml"] =
        "name = \"room_main\"\n"
        "instances = [{ x = 0, y = 0, object = \"obj_gone\", id = 100001 }]\n";
    WriteProject(dir, "broken", files);
    test::ProcessResult r = RunProgram(KorvanePath(), {"--headless", "broken"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "broken/rooms/room_main.toml:2: no object named \"obj_gone\"\n");
}

// Errors a run goes on after are summed up in one line at its end, also (and above all) when
// the game's settings keep them from being shown.
TEST(ProjectRun, IgnoredErrorsAreSummedUpAtTheEnd) {
    for (bool shown : {false, true}) {
        ScratchDir dir;
        auto files = TinyProject();
        files["game.toml"] =
            "format = 1\nroom_order = [\"room_main\"]\n[settings]\ndisplay_errors = " +
            std::string(shown ? "true" : "false") +
            "\n[resources]\nobjects = [\"obj_hello\"]\nrooms = [\"room_main\"]\n";
        files["objects/obj_hello.toml"] =
            "name = \"obj_hello\"\n[[event]]\ntype = \"step\"\n[[event.action]]\nkind = "
            "\"code\"\ncode = \"obj_hello/step.krs\"\n";
        files["objects/obj_hello/step.krs"] = "y = nothing_here;\n";
        WriteProject(dir, "p", files);
        test::ProcessResult r =
            RunProgram(KorvanePath(), {"--headless", "--max-steps", "3", "p"}, dir.Path());
        EXPECT_EQ(r.status, 0);
        const std::string summary =
            "korvane: 3 run-time errors were ignored" +
            std::string(shown ? "" : " (the game's settings do not show errors)") +
            "; the first: ERROR in action number 1 of  Step Event for object obj_hello: ";
        const size_t at = r.err.find("korvane: ");
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.substr(at, summary.size()), summary) << r.err;
        EXPECT_EQ(r.err.back(), '\n');
        EXPECT_EQ(std::count(r.err.begin() + long(at), r.err.end(), '\n'), 1) << r.err;
        if (shown) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.begin() + long(at), '^'), 3) << r.err;
        } else {
            EXPECT_EQ(at, 0u) << r.err;
        }
    }
}

// A run-time error of a project's code is followed by one line that names the file, line and
// column of the failing code, from where korvane was started; a game built from the project
// names it from the project folder. The error text itself is as it always was.
TEST(ProjectRun, RunTimeErrorsNameTheFileOfTheirCode) {
    ScratchDir dir;
    auto files = TinyProject();
    files["objects/obj_hello/create.krs"] = "var a;\r\na = 1;\r\nb = a + nothing_here;\r\n";
    WriteProject(dir, "p", files);
    const std::string text =
        "ERROR in\naction number 1\nof Create Event\nfor object obj_hello:\n\nError in code at "
        "line 3:\n   \nb = a + nothing_here;\n           ^\nat position 10: Unknown variable "
        "nothing_here\n";
    const std::string where = "objects/obj_hello/create.krs:3:9: the error above is here\n";
    test::ProcessResult r =
        RunProgram(KorvanePath(), {"--headless", "--max-steps", "1", "p"}, dir.Path());
    EXPECT_EQ(r.err.substr(0, text.size() + 2 + where.size()), text + "p/" + where) << r.err;

    r = RunProgram(KorvanePath(), {"build", "p", "-o", "game", "--data-only"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunProgram(KorvanePath(), {"--headless", "--max-steps", "1", "game"}, dir.Path());
    EXPECT_EQ(r.err.substr(0, text.size() + where.size()), text + where) << r.err;
}

// Code that compiles but will surely fail is a warning at build time, with its place and the
// closest name that exists; the game is built all the same, unless --strict is given.
TEST(ProjectRun, BuildWarnsAboutCodeThatWillSurelyFail) {
    ScratchDir dir;
    auto files = TinyProject();
    files["game.toml"] =
        "format = 1\nroom_order = [\"room_main\"]\n[resources]\nsprites = [\"spr_heroes\"]\n"
        "scripts = [\"scr_sum\"]\nobjects = [\"obj_hello\"]\nrooms = [\"room_main\"]\n";
    files["sprites/spr_heroes.toml"] = "name = \"spr_heroes\"\n";
    files["scripts/scr_sum.krs"] = "return argument0 + argument[1];\n";
    files["objects/obj_hello/create.krs"] =
        "my_speed = 3;\r\nsprite_index = spr_hero;\r\nx = scr_sum(1, 2, my_speed);\r\n"
        "y = scr_sum(1, 2) + health_left + global.level;\r\n";
    files["rooms/room_main.toml"] =
        "name = \"room_main\"\ninstances = [{ x = 0, y = 0, object = \"obj_hello\", id = 100001, "
        "creation_code = \"room_main/hello.krs\" }]\n";
    files["rooms/room_main/hello.krs"] = "global.level = 1;\n";
    WriteProject(dir, "p", files);
    const std::string warnings =
        "p/objects/obj_hello/create.krs:2:16: warning: no sprite named spr_hero; did you mean "
        "spr_heroes?\n"
        "p/objects/obj_hello/create.krs:3:5: warning: scr_sum is given 3 arguments but reads only "
        "2 (argument0 to argument1)\n"
        "p/objects/obj_hello/create.krs:4:21: warning: health_left is no resource, constant, "
        "script or built-in, and no code assigns it\n";
    test::ProcessResult r = RunProgram(KorvanePath(), {"build", "p", "-o", "game"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, warnings);
    EXPECT_TRUE(FileExists(dir / "game"));

    r = RunProgram(KorvanePath(), {"build", "--strict", "p", "-o", "strict"}, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              warnings + "korvane: 3 warnings, which --strict makes errors; nothing was written\n");
    EXPECT_FALSE(FileExists(dir / "strict"));
    // Running the folder builds it in memory without the warnings.
    r = RunProgram(KorvanePath(), {"run", "--headless", "--max-steps", "1", "p"}, dir.Path());
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
}

// One mistake in a file of the tiny project: neither `build` nor `run` goes on, and standard
// error is one line that begins with `error` (the file named from where korvane was started).
struct Mistake {
    const char* what;
    std::string file, text;
    std::string error;
    std::string other_file = {}, other_text = {};  // a second file the mistake needs
};

void ExpectReported(const Mistake& c) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    auto files = TinyProject();
    files[c.file] = c.text;
    if (!c.other_file.empty()) files[c.other_file] = c.other_text;
    WriteProject(dir, "p", files);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"build", "p", "-o", "game"}, {"run", "--headless", "p"}}) {
        test::ProcessResult r = RunProgram(KorvanePath(), args, dir.Path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, c.error.size()), c.error) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(FileExists(dir / "game"));
}

// Every table knows its keys: a misspelt one is an error that suggests the keys spelt alike,
// or lists them all when none is.
TEST(ProjectRun, UnknownKeysAreErrors) {
    const Mistake cases[] = {
        {"a misspelt key", "objects/obj_hello.toml", "name = \"obj_hello\"\nsprit = -1\n",
         "p/objects/obj_hello.toml:2: unknown key `sprit`; did you mean `sprite`?\n"},
        {"a misspelt manifest key", "game.toml",
         "format = 1\nroom_ordr = [\"room_main\"]\n[resources]\nobjects = [\"obj_hello\"]\n"
         "rooms = [\"room_main\"]\n",
         "p/game.toml:2: unknown key `room_ordr`; did you mean `room_order`?\n"},
        {"an unknown key with nothing close", "objects/obj_hello.toml",
         "name = \"obj_hello\"\ncolour = 3\n",
         "p/objects/obj_hello.toml:2: unknown key `colour` (known keys: depth, event, mask, name, "
         "parent, persistent, solid, sprite, visible)\n"},
        {"a key of an inline table", "rooms/room_main.toml",
         "name = \"room_main\"\ninstances = [{ x = 0, y = 0, object = \"obj_hello\", idd = 1 }]\n",
         "p/rooms/room_main.toml:2: unknown key `idd`; did you mean `id`?\n"},
    };
    for (const Mistake& c : cases) ExpectReported(c);
}

// References must reach a resource that exists, and numbers must mean something.
TEST(ProjectRun, ReferencesAndRangesAreChecked) {
    const Mistake cases[] = {
        {"a sprite index out of range", "objects/obj_hello.toml",
         "name = \"obj_hello\"\nsprite = 7\n",
         "p/objects/obj_hello.toml:2: no sprite has index 7 (there are 0 sprites); -1 is none\n"},
        {"a key event out of range", "objects/obj_hello.toml",
         "name = \"obj_hello\"\n[[event]]\ntype = \"keyboard\"\nnumber = 300\n",
         "p/objects/obj_hello.toml:4: no keyboard event number 300 (a key is a virtual-key code 0 "
         "to 255)\n"},
        {"a collision with a missing object", "objects/obj_hello.toml",
         "name = \"obj_hello\"\n[[event]]\ntype = \"collision\"\nobject = 4\n",
         "p/objects/obj_hello.toml:4: no object has index 4 (there are 1 objects)\n"},
        {"a room order naming a missing room", "game.toml",
         "format = 1\nroom_order = [\"room_main\", 3]\n[resources]\nobjects = [\"obj_hello\"]\n"
         "rooms = [\"room_main\"]\n",
         "p/game.toml:2: no room has index 3 (there are 1 rooms)\n"},
        {"an empty room order", "game.toml",
         "format = 1\nroom_order = []\n[resources]\nobjects = [\"obj_hello\"]\nrooms = "
         "[\"room_main\"]\n",
         "p/game.toml:2: the room order is empty; the game starts in its first room\n"},
    };
    for (const Mistake& c : cases) ExpectReported(c);
}

// Every piece of code is compiled at build time; errors read FILE:LINE:COLUMN for code files
// and FILE:LINE for code written in a TOML value.
TEST(ProjectRun, CodeIsCompiledAtBuildTime) {
    const Mistake cases[] = {
        {"an event's code", "objects/obj_hello/create.krs", "var a;\na = 1;\nb = a +;\n",
         "p/objects/obj_hello/create.krs:3:8: "},
        {"CR LF line ends", "objects/obj_hello/create.krs", "var a;\r\na = 1;\r\nb = a +;\r\n",
         "p/objects/obj_hello/create.krs:3:8: "},
        {"a constant's value", "game.toml",
         "format = 1\nroom_order = [\"room_main\"]\n[[constant]]\nname = \"GREETING\"\n"
         "value = \"1 +\"\n[resources]\nobjects = [\"obj_hello\"]\nrooms = [\"room_main\"]\n",
         "p/game.toml:5: the value of constant GREETING: "},
        {"a room's creation code", "rooms/room_main.toml",
         "name = \"room_main\"\ncreation_code = \"../objects/obj_hello/create.krs\"\n"
         "instances = [{ x = 0, y = 0, object = \"obj_hello\", id = 100001, creation_code = "
         "\"room_main/bad.krs\" }]\n",
         "p/rooms/room_main/bad.krs:2:1: ", "rooms/room_main/bad.krs", "x = 1;\n}\n"},
        {"a script", "scripts/scr_twice.krs", "return argument0 * ;\n",
         "p/scripts/scr_twice.krs:1:20: ", "game.toml",
         "format = 1\nroom_order = [\"room_main\"]\n[resources]\nscripts = [\"scr_twice\"]\n"
         "objects = [\"obj_hello\"]\nrooms = [\"room_main\"]\n"},
    };
    for (const Mistake& c : cases) ExpectReported(c);
}

}  // namespace
}  // namespace kr

namespace kr {
namespace {

// Debug mode comes from the manifest's `debug` (or `debug_mode`) key or from --debug.
TEST(ProjectDebugModeTest, TheManifestOrTheOptionTurnsItOn) {
    ScratchDir dir;
    struct Case {
        std::string manifest_line;
        bool option;
        std::string out;
    } cases[] = {{"", false, "0\n"},
                 {"debug = true\n", false, "1\n"},
                 {"debug_mode = true\n", false, "1\n"},
                 {"", true, "1\n"}};
    int n = 0;
    for (const Case& c : cases) {
        auto files = TinyProject();
        files["game.toml"] = c.manifest_line + files["game.toml"];
        files["objects/obj_hello/create.krs"] = "show_debug_message(debug_mode); game_end();\n";
        const std::string project = WriteProject(dir, "p" + std::to_string(n++), files);
        std::vector<std::string> args{"run", "--headless"};
        if (c.option) args.push_back("--debug");
        args.push_back(project);
        test::ProcessResult r = RunProgram(KorvanePath(), args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.manifest_line << c.option;
    }
}

}  // namespace
}  // namespace kr
