// The command line of korvane: run, info, --help, --version, and bundled games.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "app/App.h"
#include "app/Project.h"
#include "library/AllBuiltins.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/sdl/SdlPlatform.h"
#include "runner/GameLoader.h"
#include "runner/InputReplay.h"
#include "runner/Messages.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr char kUsage[] =
    "usage: korvane [run] [--headless] [--secure] [--max-steps N] [--seed S] [--input FILE]\n"
    "               [--audio-out FILE.wav] [--screenshot STEP=FILE]... GAME [PARAMETER...]\n"
    "       korvane info [--json] GAME\n"
    "       korvane script [--script NAME=FILE]... (FILE | -e CODE) [ARG...]\n"
    "       korvane extract GAME DIR\n"
    "       korvane build DIR -o OUT [--data-only]\n"
    "       korvane --help | --version\n";

constexpr char kHelp[] =
    "\n"
    "Commands:\n"
    "  run       load GAME, prepare it and run it; the words after GAME are the game's\n"
    "            parameters. 'run' may be left out when GAME does not look like a command.\n"
    "  info      show what GAME holds: settings, sections, resource names, constants and the\n"
    "            room order. --json prints the same as JSON (docs/info-json.md).\n"
    "\n"
    "Options of run:\n"
    "  --headless      no window and no sound card: steps run back to back on a virtual\n"
    "                  clock (sound is mixed on it), messages go to standard error\n"
    "  --secure        secure mode: the game may not export or write files outside its places\n"
    "  --max-steps N   end the game as by game_end after N steps\n"
    "  --seed S        seed the random generator with S wherever it is seeded from the clock\n"
    "  --input FILE    replay the input in FILE (lines 'STEP EVENT ARGS', see README.md)\n"
    "  --audio-out F   write everything the game plays, mixed, to the wave file F\n"
    "                  (44.1 kHz stereo)\n"
    "  --screenshot STEP=FILE\n"
    "                  save the picture shown at the end of step STEP (from 0) as a PNG\n"
    "\n"
    "A copy of korvane with a game appended runs that game, taking every argument as the\n"
    "game's parameter.\n"
    "\n"
    "Exit status: 0 the game ended, 1 it could not be loaded or prepared, 2 a usage error,\n"
    "3 a fatal error ended the game.\n";

int UsageError(const std::string& what) {
    std::fprintf(stderr, "korvane: %s\n%sTry 'korvane --help'.\n", what.c_str(), kUsage);
    return kExitUsage;
}

struct RunOptions {
    bool headless = false, secure = false;
    int64_t max_steps = -1;
    std::optional<uint32_t> seed;
    std::vector<ReplayEvent> input;
    std::string audio_out;
    std::vector<std::pair<int64_t, std::string>> screenshots;
};

int RunGameFile(const std::string& game, std::vector<std::string> parameters, RunOptions run,
                const std::string& executable) {
    Platform platform = run.headless ? MakeHeadlessPlatform() : MakeSdlPlatform();
    // A headless run still draws, off screen, so that its pictures can be saved.
    if (run.headless) platform.window = MakeSdlOffscreenWindow();
    RunnerOptions options;
    options.game_path = game;
    options.parameters = std::move(parameters);
    options.secure_mode = run.secure;
    options.temp_places.executable_dir = DirectoryOf(executable);
    options.register_functions = RegisterAllBuiltins;
    options.windowed = !run.headless;
    options.max_steps = run.max_steps;
    options.seed = run.seed;
    options.input = std::move(run.input);
    options.audio_out = std::move(run.audio_out);
    options.screenshots = std::move(run.screenshots);
    Runner runner(platform, std::move(options));
    return runner.Run();
}

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

int Run(std::span<const std::string> args, const std::string& executable) {
    RunOptions run;
    size_t i = 0;
    // The value of an option: the next word, or what follows '=' in the same word.
    auto value = [&](const std::string& a, const std::string& name, std::string& out) {
        if (a.size() > name.size()) {
            out = a.substr(name.size() + 1);
            return true;
        }
        if (i + 1 >= args.size()) return false;
        out = args[++i];
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.empty() || a[0] != '-') break;
        std::string v;
        if (a == "--headless") {
            run.headless = true;
        } else if (a == "--secure") {
            run.secure = true;
        } else if (a == "--max-steps" || a.starts_with("--max-steps=")) {
            if (!value(a, "--max-steps", v) || !ParseNumber(v, run.max_steps) || run.max_steps < 0)
                return UsageError("--max-steps needs a number of steps (0 or more)");
        } else if (a == "--seed" || a.starts_with("--seed=")) {
            int64_t seed = 0;
            if (!value(a, "--seed", v) || !ParseNumber(v, seed) || seed < INT32_MIN ||
                seed > UINT32_MAX)
                return UsageError("--seed needs a 32-bit integer");
            run.seed = uint32_t(seed);
        } else if (a == "--input" || a.starts_with("--input=")) {
            if (!value(a, "--input", v)) return UsageError("--input needs a file");
            std::vector<uint8_t> bytes;
            if (!FileExists(v) || !ReadWholeFile(v, bytes))
                return UsageError("cannot read the input file '" + v + "'");
            std::string error;
            std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (!ParseInputReplay(text, run.input, error))
                return UsageError("input file '" + v + "', " + error);
        } else if (a == "--audio-out" || a.starts_with("--audio-out=")) {
            if (!value(a, "--audio-out", v) || v.empty())
                return UsageError("--audio-out needs a file");
            run.audio_out = v;
        } else if (a == "--screenshot" || a.starts_with("--screenshot=")) {
            int64_t step = 0;
            size_t eq = std::string::npos;
            if (value(a, "--screenshot", v)) eq = v.find('=');
            if (eq == std::string::npos || eq + 1 == v.size() ||
                !ParseNumber(v.substr(0, eq), step) || step < 0)
                return UsageError("--screenshot needs STEP=FILE with a step of 0 or more");
            run.screenshots.emplace_back(step, v.substr(eq + 1));
        } else {
            return UsageError("unknown option '" + a + "'");
        }
    }
    if (i >= args.size()) return UsageError("no game given");
    std::vector<std::string> parameters(args.begin() + long(i), args.end());
    return RunGameFile(args[i], std::move(parameters), std::move(run), executable);
}

// The loader's host for info: messages go to standard error, nothing is written.
class QuietHost final : public LoadHost {
public:
    void ShowMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    }
};

int Info(std::span<const std::string> args) {
    bool json = false;
    std::string game;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return UsageError("unknown option '" + a + "'");
        else if (!game.empty())
            return UsageError("info takes one game");
        else
            game = a;
    }
    if (game.empty()) return UsageError("no game given");
    GameData data;
    QuietHost host;
    LoadResult r = LoadGameFile(game, data, host);
    if (r == LoadResult::kCorrupted) host.ShowMessage(msg::kCorrupted);
    if (r != LoadResult::kLoaded) return Runner::kExitLoadFailed;
    std::string out = json ? GameInfoJson(data).dump(2) + "\n" : GameInfoText(data);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

int RunCommandLine(std::span<const std::string> args, const std::string& executable) {
    if (args.empty()) return UsageError("no command given");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        std::printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (first == "--version") {
        std::printf("korvane %s\n", ProgramVersion());
        return 0;
    }
    if (first == "info") return Info(args.subspan(1));
    if (first == "script") return ScriptCommand(args.subspan(1), executable);
    if (first == "extract") return ExtractCommand({args.begin() + 1, args.end()});
    if (first == "build") return BuildCommand({args.begin() + 1, args.end()}, executable);
    if (first == "run") return Run(args.subspan(1), executable);
    return Run(args, executable);
}

int KorvaneMain(int argc, char** argv) {
    std::string executable = ExecutablePath();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!executable.empty() && HasAppendedData(executable)) {
        // A game that carries its runner: the game file is the program itself.
        std::vector<std::string> parameters{executable};
        parameters.insert(parameters.end(), args.begin(), args.end());
        return RunGameFile(executable, std::move(parameters), RunOptions{}, executable);
    }
    return RunCommandLine(args, executable);
}

}  // namespace kr
