// korvane extract and korvane build: the command-line side of text projects.
#include <cstdio>
#include <cstdlib>

#include "app/App.h"
#include "app/Project.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "runner/GameLoader.h"
#include "runner/GameWriter.h"
#include "runner/Messages.h"
#include "runner/Runner.h"

namespace kr {

namespace {
constexpr char kExtractHelp[] =
    "usage: korvane extract GAME DIR\n"
    "\n"
    "Writes every resource of GAME into the new folder DIR as a text project: TOML files,\n"
    "script code as .krs text files, images as PNG, sounds and included files as they were\n"
    "(docs/projects.md). 'korvane build DIR' turns it back into an equal game.\n";

constexpr char kBuildHelp[] =
    "usage: korvane build DIR -o OUT [--data-only] [--strict]\n"
    "       korvane build (DIR | GAME) --web -o OUT\n"
    "\n"
    "Turns the text project in DIR (docs/projects.md) into a game: by default OUT is a copy\n"
    "of korvane that carries it, with --data-only a bare game file. Every piece of code is\n"
    "compiled first; a mistake is reported as FILE:LINE: or FILE:LINE:COLUMN: and nothing is\n"
    "written. Code that compiles but will surely fail when it runs (a name that nothing\n"
    "defines, a script given more arguments than it reads) is reported as a warning; with\n"
    "--strict warnings are errors. 'korvane run DIR' runs a project without building it.\n"
    "\n"
    "With --web, OUT becomes a folder for a web server: index.html, the web runner\n"
    "(korvane.js, korvane.wasm, korvane.data) and the game, built from DIR or copied from the\n"
    "game file GAME. The web runner is built apart (docs/web.md); KORVANE_WEB_RUNNER names\n"
    "its folder.\n";

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int Usage(const std::string& what) {
    std::fprintf(stderr,
                 "korvane: %s\nusage: korvane extract GAME DIR\n"
                 "       korvane build DIR -o OUT [--data-only] [--strict]\n"
                 "       korvane build (DIR | GAME) --web -o OUT\n"
                 "Try 'korvane --help'.\n",
                 what.c_str());
    return kExitUsage;
}

// The loader's host for extract: messages to standard error, the D3DX library kept.
class ExtractHost final : public LoadHost {
public:
    std::vector<uint8_t> d3dx;
    void ShowMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    }
    void StoreD3dxLibrary(const std::string&, std::span<const uint8_t> bytes) override {
        d3dx.assign(bytes.begin(), bytes.end());
    }
};
}  // namespace

bool IsProjectFolder(const std::string& path) {
    return DirectoryExists(path) && FileExists(path + "/" + kManifestName);
}

namespace {
// A project's message with the file named from the current directory, as compilers do.
std::string InProject(const std::string& dir, const std::string& error) {
    if (dir.empty() || dir == ".") return error;
    return dir.back() == '/' ? dir + error : dir + "/" + error;
}

// Builds the project and compiles every piece of its code; `writer` then holds the game, and
// `code_out`, when given, its pieces of code. With `warnings`, code that will surely fail when it
// runs is listed there, each line naming its file from where korvane was started.
bool BuildGame(const std::string& dir, GameWriter& writer, std::string& error,
               std::vector<ProjectCode>* code_out = nullptr,
               std::vector<std::string>* warnings = nullptr) {
    GameData game;
    std::vector<uint8_t> d3dx;
    std::vector<ProjectCode> own_code;
    std::vector<ProjectCode>& code = code_out ? *code_out : own_code;
    if (!BuildProject(dir, game, d3dx, error, &code)) {
        error = InProject(dir, error);
        return false;
    }
    writer = GameWriter::FromGameData(game, std::move(d3dx));
    if (CompileProjectCode(writer.WriteData(), code, error, warnings)) {
        if (warnings)
            for (std::string& w : *warnings) w = InProject(dir, w);
        return true;
    }
    // One line per error, each naming its file from where korvane was started.
    std::string lines;
    for (size_t start = 0; start <= error.size();) {
        size_t end = error.find('\n', start);
        if (end == std::string::npos) end = error.size();
        lines += (lines.empty() ? "" : "\n") + InProject(dir, error.substr(start, end - start));
        start = end + 1;
    }
    error = lines;
    return false;
}
}  // namespace

bool BuildProjectData(const std::string& dir, std::vector<uint8_t>& data, std::string& error,
                      std::vector<ProjectCode>* code) {
    GameWriter writer;
    if (!BuildGame(dir, writer, error, code)) return false;
    data = writer.WriteData();
    return true;
}

LoadResult LoadGameOrProject(const std::string& path, GameData& out, LoadHost& host) {
    if (!IsProjectFolder(path)) return LoadGameFile(path, out, host);
    std::vector<uint8_t> data;
    std::string error;
    if (!BuildProjectData(path, data, error)) {
        host.ShowMessage(error);
        return LoadResult::kFailed;
    }
    return ReadGameData(std::move(data), 0, out, host);
}

int ExtractCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::printf("%s", kExtractHelp);
        return 0;
    }
    if (args.size() != 2) return Usage("extract takes a game and a folder");
    GameData game;
    ExtractHost host;
    LoadResult r = LoadGameOrProject(args[0], game, host);
    if (r == LoadResult::kCorrupted) host.ShowMessage(msg::kCorrupted);
    if (r != LoadResult::kLoaded) return Runner::kExitLoadFailed;
    std::string error;
    if (!ExtractProject(game, host.d3dx, args[1], error)) {
        std::fprintf(stderr, "korvane: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

namespace {

// The files of the web runner, as its build leaves them beside each other.
constexpr const char* kWebRunnerFiles[] = {"index.html", "korvane.js", "korvane.wasm",
                                           "korvane.data"};

// The folder of the web runner: KORVANE_WEB_RUNNER, else where this checkout builds it.
std::string WebRunnerFolder() {
    if (const char* env = std::getenv("KORVANE_WEB_RUNNER"); env && *env) return env;
#ifdef KORVANE_WEB_RUNNER_DIR
    return KORVANE_WEB_RUNNER_DIR;
#else
    return {};
#endif
}

// Writes the folder `out` for a web server: the web runner's files and the game as `name`,
// which the page loads. Its page names the game file in place of @GAME_FILE@.
int WriteWebFolder(const std::string& out, const std::string& name, std::span<const uint8_t> game) {
    const std::string runner = WebRunnerFolder();
    for (const char* f : kWebRunnerFiles) {
        if (runner.empty() || !FileExists(runner + "/" + f)) {
            std::fprintf(stderr,
                         "korvane: the web runner was not built (no %s in %s); build it with "
                         "scripts/build-web (docs/web.md), or name its folder in "
                         "KORVANE_WEB_RUNNER\n",
                         f, runner.empty() ? "(no folder)" : runner.c_str());
            return 1;
        }
    }
    if (!CreateDirectories(out)) {
        std::fprintf(stderr, "korvane: cannot make the folder %s\n", out.c_str());
        return 1;
    }
    for (const char* f : kWebRunnerFiles) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(runner + "/" + f, bytes)) {
            std::fprintf(stderr, "korvane: cannot read %s\n",
                         PathErrorText(runner + "/" + f).c_str());
            return 1;
        }
        if (std::string(f) == "index.html") {
            std::string page(bytes.begin(), bytes.end());
            for (size_t at; (at = page.find("@GAME_FILE@")) != std::string::npos;)
                page.replace(at, 11, name);
            bytes.assign(page.begin(), page.end());
        }
        if (!WriteFileAtomically(out + "/" + f, bytes)) {
            std::fprintf(stderr, "korvane: cannot write %s/%s\n", out.c_str(), f);
            return 1;
        }
    }
    if (!WriteFileAtomically(out + "/" + name, game)) {
        std::fprintf(stderr, "korvane: cannot write %s/%s\n", out.c_str(), name.c_str());
        return 1;
    }
    return 0;
}

// The name the game has in a web folder: the project's or game file's own, or "game".
std::string WebGameName(const std::string& source) {
    std::string name = FileNameOf(source);
    while (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty() || name == "." || name == ".." || name == "index.html" ||
        name.starts_with("korvane."))
        name = "game";
    return name;
}

}  // namespace

int BuildCommand(const std::vector<std::string>& args, const std::string& executable) {
    if (WantsHelp(args)) {
        std::printf("%s", kBuildHelp);
        return 0;
    }
    std::string dir, out;
    bool data_only = false, strict = false, web = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (++i >= args.size()) return Usage("-o needs a file name");
            out = args[i];
        } else if (a == "--data-only") {
            data_only = true;
        } else if (a == "--web") {
            web = true;
        } else if (a == "--strict") {
            strict = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option '" + a + "'");
        } else if (!dir.empty()) {
            return Usage("build takes one project folder");
        } else {
            dir = a;
        }
    }
    if (dir.empty()) return Usage("no project folder given");
    if (out.empty()) return Usage("no output file given (-o OUT)");
    if (web && data_only) return Usage("--web and --data-only do not go together");
    // A game file goes to the web as it is: the page gives its own messages when it is damaged.
    if (web && !IsProjectFolder(dir)) {
        std::vector<uint8_t> game;
        if (!ReadWholeFile(dir, game)) {
            std::fprintf(stderr, "korvane: cannot read the game %s\n", PathErrorText(dir).c_str());
            return 1;
        }
        return WriteWebFolder(out, WebGameName(dir), game);
    }

    GameWriter writer;
    std::string error;
    std::vector<std::string> warnings;
    if (!BuildGame(dir, writer, error, nullptr, &warnings)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (const std::string& w : warnings) std::fprintf(stderr, "%s\n", w.c_str());
    if (strict && !warnings.empty()) {
        std::fprintf(stderr,
                     "korvane: %zu warning%s, which --strict makes errors; nothing was "
                     "written\n",
                     warnings.size(), warnings.size() == 1 ? "" : "s");
        return 1;
    }
    if (web) return WriteWebFolder(out, WebGameName(dir), writer.WriteGameFile({}));
    std::vector<uint8_t> program;
    if (!data_only && (executable.empty() || !ReadWholeFile(executable, program))) {
        std::fprintf(stderr, "korvane: cannot read the program to bundle (%s)\n",
                     executable.c_str());
        return 1;
    }
    // The game's copy of the runner needs no debug information.
    if (!data_only) program = StripProgramImage(std::move(program));
    std::vector<uint8_t> file = writer.WriteGameFile(program);
    if (file.empty()) {
        std::fprintf(stderr, "korvane: the program already carries game data\n");
        return 1;
    }
    if (!WriteFileAtomically(out, file, data_only ? 0644 : 0755)) {
        std::fprintf(stderr, "korvane: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace kr
