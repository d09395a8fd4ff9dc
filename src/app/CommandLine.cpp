// The command line of korvane: run, info, --help, --version, and bundled games.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "app/App.h"
#include "app/Project.h"
#include "debugger/DebugWindowFace.h"
#include "debugger/Debugger.h"
#include "library/AllBuiltins.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Signals.h"
#include "platform/Text.h"
#include "platform/WindowPlatform.h"
#include "runner/GameLoader.h"
#include "runner/InputReplay.h"
#include "runner/Messages.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr char kUsage[] =
    "usage: korvane [run] [--headless] [--secure] [--strict] [--debug] [--max-steps N]\n"
    "               [--time-limit SECS] [--seed S] [--input FILE] [--audio-out FILE.wav]\n"
    "               [--screenshot STEP=FILE]... [--debugger-screenshot STEP=FILE]...\n"
    "               GAME [PARAMETER...]\n"
    "       korvane info [--json] GAME | --functions [--json]\n"
    "       korvane script [--script NAME=FILE]... (FILE | - | -e CODE) [ARG...]\n"
    "       korvane dap\n"
    "       korvane extract GAME DIR\n"
    "       korvane build DIR -o OUT [--data-only] [--strict]\n"
    "       korvane --help | --version\n";

constexpr char kHelp[] =
    "\n"
    "Commands:\n"
    "  run       load GAME, prepare it and run it; the words after GAME are the game's\n"
    "            parameters. 'run' may be left out when GAME does not look like a command.\n"
    "  info      show what GAME holds: settings, sections, resource names, constants and the\n"
    "            room order. --json prints the same as JSON (docs/info-json.md).\n"
    "  script    run a program of the script language outside any game\n"
    "  extract   write GAME into the new folder DIR as a text project\n"
    "  build     turn the project in DIR into a game\n"
    "  dap       a debug adapter on standard input and output, for editors (docs/debugging.md)\n"
    "\n"
    "GAME is a game file, or a project folder (with game.toml), which is built in memory and\n"
    "run as it is. 'korvane COMMAND --help' describes one command and its options.\n"
    "\n"
    "While a game or program runs, show_debug_message writes to standard output; error texts\n"
    "and message boxes go to standard error.\n"
    "\n"
    "A copy of korvane with a game appended runs that game, taking every argument as the\n"
    "game's parameter; the options of run come from the environment variable\n"
    "KORVANE_OPTIONS (KORVANE_OPTIONS=\"--headless --max-steps 40\" ./game).\n"
    "\n"
    "Exit status: 0 the game ended, 1 it could not be loaded or prepared, 2 a usage error,\n"
    "3 a fatal error ended the game, 4 (with --strict) the game ended but errors were ignored.\n";

// The help of `korvane run` (also that of plain `korvane GAME`).
constexpr char kRunHelp[] =
    "usage: korvane [run] [OPTION...] GAME [PARAMETER...]\n"
    "\n"
    "Loads GAME, prepares it and runs it. GAME is a game file or a project folder (one with\n"
    "game.toml), which is built in memory, with every piece of its code compiled, and run\n"
    "without writing a file. The words after GAME are the game's parameters, options included.\n"
    "\n"
    "Options:\n"
    "  --headless         no window and no sound card: steps run back to back on a virtual\n"
    "                     clock (sound is mixed on it, pictures are drawn off screen)\n"
    "  --secure           secure mode: the game may not export files into other folders\n"
    "  --debug            debug mode (debug_mode reads 1), as a game made for debugging runs,\n"
    "                     with the debugger's window beside the game's (docs/debugging.md)\n"
    "  --strict           end with exit status 4 when the game ended normally but errors\n"
    "                     were ignored on the way (for tests and CI jobs)\n"
    "  --max-steps N      end the game as by game_end after N steps\n"
    "  --time-limit SECS  end the run with exit status 3 when it has run SECS seconds\n"
    "  --seed S           seed the random generator with S wherever it is seeded from the clock\n"
    "  --input FILE       replay the input in FILE (lines 'STEP EVENT ARGS', see README.md)\n"
    "  --audio-out F      write everything the game plays, mixed, to the wave file F\n"
    "                     (44.1 kHz stereo)\n"
    "  --screenshot STEP=FILE\n"
    "                     save the picture shown at the end of step STEP (from 0) as a PNG\n"
    "  --debugger-screenshot STEP=FILE\n"
    "                     save the debugger's window after step STEP as a PNG (implies --debug)\n"
    "\n"
    "show_debug_message writes to standard output; error texts and message boxes go to\n"
    "standard error. Ctrl+C ends the run cleanly (exit status 130; 143 on SIGTERM).\n"
    "\n"
    "Exit status: 0 the game ended, 1 it could not be loaded or prepared, 2 a usage error,\n"
    "3 a fatal error or the time limit ended the game, 4 (with --strict) the game ended but\n"
    "errors were ignored.\n";

constexpr char kInfoHelp[] =
    "usage: korvane info [--json] GAME\n"
    "       korvane info --functions [--json]\n"
    "\n"
    "Lists what GAME holds, read through the real loader: settings, sections, resource names\n"
    "with a few details, constants and the room order. --json prints the same as JSON\n"
    "(docs/info-json.md). --functions lists every built-in function instead, with its\n"
    "argument count and whether this runner has it yet.\n";

// The environment variable that gives a game that carries its runner the runner's options.
constexpr char kOptionsVariable[] = "KORVANE_OPTIONS";

int UsageError(const std::string& what) {
    std::fprintf(stderr, "korvane: %s\n%sTry 'korvane --help'.\n", what.c_str(), kUsage);
    return kExitUsage;
}

struct RunOptions {
    bool headless = false, secure = false, debug = false;
    bool strict = false;  // ignored errors make the exit status kExitIgnoredErrors
    int64_t max_steps = -1;
    double time_limit = 0;  // seconds of real time; 0: none
    std::optional<uint32_t> seed;
    std::vector<ReplayEvent> input;
    std::string audio_out;
    std::vector<std::pair<int64_t, std::string>> screenshots;
    std::vector<std::pair<int64_t, std::string>> debugger_screenshots;
};

// One line at the end of a run when errors were ignored or not shown, so that a game whose
// settings hide its errors (or that repeats one every step) does not fail silently.
void ReportUnreportedErrors(const Runtime& rt) {
    const int64_t n = rt.UnreportedErrorCount();
    if (n == 0) return;
    std::string first;
    for (char c : GameTextToUtf8(rt.FirstUnreportedError())) {
        if (c == '\r' || c == '\n') {
            if (!first.empty() && first.back() != ' ') first += ' ';
        } else {
            first += c;
        }
    }
    std::fprintf(stderr, "korvane: %lld run-time error%s %s%s; the first: %s\n", (long long)n,
                 n == 1 ? "" : "s", n == 1 ? "was ignored" : "were ignored",
                 rt.SomeErrorsHidden() ? " (the game's settings do not show errors)" : "",
                 first.c_str());
}

int RunGameFile(const std::string& game, std::vector<std::string> parameters, RunOptions run,
                const std::string& executable) {
    RunnerOptions options;
    // A project folder is built in memory and run as it is: no build step, no file written.
    if (IsProjectFolder(game)) {
        std::string error;
        if (!BuildProjectData(game, options.game_data, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return Runner::kExitLoadFailed;
        }
        // Errors name the project's files from where korvane was started, as build errors do.
        if (game != ".") options.code_folder = game.ends_with('/') ? game : game + "/";
    }
    Platform platform = run.headless ? MakeHeadlessPlatform() : MakeWindowPlatform();
    // A headless run still draws, off screen, so that its pictures can be saved.
    if (run.headless) platform.window = MakeOffscreenWindow();
    options.game_path = game;
    options.parameters = std::move(parameters);
    options.secure_mode = run.secure;
    options.debug = run.debug;
    options.temp_places.executable_dir = DirectoryOf(executable);
    options.register_functions = RegisterAllBuiltins;
    options.windowed = !run.headless;
    options.max_steps = run.max_steps;
    options.seed = run.seed;
    options.input = std::move(run.input);
    options.audio_out = std::move(run.audio_out);
    options.screenshots = std::move(run.screenshots);
    // Ctrl+C, SIGTERM and the time limit end the run like game_end, and stop a runaway script;
    // the run then cleans up (its temporary directory goes) before the process exits.
    InstallStopHandlers();
    options.stop_flag = StopFlag();
    StartTimeLimit(run.time_limit);
    Runner runner(platform, std::move(options));
    // Debug mode (the option, or the game's header once it is loaded): the debugger's window
    // beside the game's, drawn off screen when headless.
    std::unique_ptr<Debugger> debugger;
    std::unique_ptr<DebugWindowFace> face;
    runner.Loop().hooks.debug_mode_started = [&] {
        if (debugger) return;
        debugger = std::make_unique<Debugger>(runner);
        DebugWindowOptions window;
        window.screenshots = run.debugger_screenshots;
        window.stop_on_errors = !run.headless;
        window.game_key = !game.empty() && game[0] == '/' ? game : CurrentDirectory() + "/" + game;
        face = std::make_unique<DebugWindowFace>(*debugger, runner, MakeDebugWindow(run.headless),
                                                 window);
    };
    const int status = runner.Run();
    face.reset();
    debugger.reset();
    ReportUnreportedErrors(runner.GetRuntime());
    // A screenshot of a step the run never reached would otherwise be missing without a word.
    if (status != Runner::kExitLoadFailed) {
        for (const auto& [step, file] : runner.Drawer().UnreachedScreenshots())
            std::fprintf(stderr,
                         "korvane: warning: the screenshot of step %lld (%s) was not taken: the "
                         "run ended before that step\n",
                         static_cast<long long>(step), file.c_str());
    }
    const int stop = *StopFlag();
    if (stop == SIGALRM) {
        std::fprintf(stderr, "korvane: the run was ended after its time limit of %g seconds\n",
                     run.time_limit);
        return Runner::kExitFatalError;
    }
    if (stop) return ExitStatusForSignal(stop);
    if (run.strict && status == Runner::kExitOk && runner.GetRuntime().UnreportedErrorCount() > 0)
        return kExitIgnoredErrors;
    return status;
}

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// Whether `word` is one of the options of run (with or without its value after '=').
bool IsRunOption(const std::string& word) {
    for (const char* option :
         {"--headless", "--secure", "--strict", "--debug", "--help", "--max-steps", "--time-limit",
          "--seed", "--input", "--audio-out", "--screenshot", "--debugger-screenshot"}) {
        const std::string o = option;
        if (word == o || (word.starts_with(o + "=") && o != "--headless" && o != "--secure" &&
                          o != "--strict" && o != "--debug" && o != "--help"))
            return true;
    }
    return false;
}

// Reads the options of run at the start of `args` into `run`; `i` ends at the first word that
// is not an option (after "--", if given). A status to end with (help, a usage error), or -1.
int ParseRunOptions(std::span<const std::string> args, size_t& i, RunOptions& run) {
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
        if (a == "--help" || a == "-h") {
            std::printf("%s", kRunHelp);
            return 0;
        }
        if (a == "--headless") {
            run.headless = true;
        } else if (a == "--secure") {
            run.secure = true;
        } else if (a == "--debug") {
            run.debug = true;
        } else if (a == "--strict") {
            run.strict = true;
        } else if (a == "--max-steps" || a.starts_with("--max-steps=")) {
            if (!value(a, "--max-steps", v) || !ParseNumber(v, run.max_steps) || run.max_steps < 0)
                return UsageError("--max-steps needs a number of steps (0 or more)");
        } else if (a == "--time-limit" || a.starts_with("--time-limit=")) {
            if (!value(a, "--time-limit", v) || !ParseNumber(v, run.time_limit) ||
                !(run.time_limit > 0) || run.time_limit > 1e9)
                return UsageError("--time-limit needs a number of seconds (more than 0)");
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
            if (!ParseInputReplay(text, run.input, error)) {
                // A mistake in the file, not in the command line: no usage text.
                std::fprintf(stderr, "korvane: %s: %s\n", v.c_str(), error.c_str());
                return kExitUsage;
            }
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
        } else if (a == "--debugger-screenshot" || a.starts_with("--debugger-screenshot=")) {
            int64_t step = 0;
            size_t eq = std::string::npos;
            if (value(a, "--debugger-screenshot", v)) eq = v.find('=');
            if (eq == std::string::npos || eq + 1 == v.size() ||
                !ParseNumber(v.substr(0, eq), step) || step < 0)
                return UsageError("--debugger-screenshot needs STEP=FILE with a step of 0 or more");
            run.debugger_screenshots.emplace_back(step, v.substr(eq + 1));
            run.debug = true;
        } else {
            return UsageError("unknown option '" + a + "'");
        }
    }
    return -1;
}

int Run(std::span<const std::string> args, const std::string& executable) {
    RunOptions run;
    size_t i = 0;
    if (int status = ParseRunOptions(args, i, run); status >= 0) return status;
    if (i >= args.size()) return UsageError("no game given");
    std::vector<std::string> parameters(args.begin() + long(i), args.end());
    // Words after GAME are the game's, even when they look like korvane's own options; a
    // misplaced option is the likelier intent, so say so.
    for (size_t k = 1; k < parameters.size(); ++k) {
        if (IsRunOption(parameters[k]))
            std::fprintf(stderr,
                         "korvane: warning: '%s' comes after GAME, so it is passed to the game as "
                         "a parameter; korvane's options go before GAME\n",
                         parameters[k].c_str());
    }
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
    bool json = false, functions = false;
    std::string game;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::printf("%s", kInfoHelp);
            return 0;
        }
        if (a == "--json")
            json = true;
        else if (a == "--functions")
            functions = true;
        else if (!a.empty() && a[0] == '-')
            return UsageError("unknown option '" + a + "'");
        else if (!game.empty())
            return UsageError("info takes one game");
        else
            game = a;
    }
    if (functions) {
        if (!game.empty()) return UsageError("info --functions takes no game");
        std::string out = json ? FunctionsJson().dump(2) + "\n" : FunctionsText();
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    if (game.empty()) return UsageError("no game given");
    GameData data;
    QuietHost host;
    LoadResult r = LoadGameOrProject(game, data, host);
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
    if (first == "dap") return DapCommand(args.subspan(1), executable);
    if (first == "extract") return ExtractCommand({args.begin() + 1, args.end()});
    if (first == "build") return BuildCommand({args.begin() + 1, args.end()}, executable);
    if (first == "run") return Run(args.subspan(1), executable);
    return Run(args, executable);
}

int KorvaneMain(int argc, char** argv) {
    std::string executable = ExecutablePath();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!executable.empty() && HasAppendedData(executable)) {
        // A game that carries its runner: the game file is the program itself. Every argument
        // is the game's; the runner's options come from the environment.
        RunOptions run;
        if (const char* options = std::getenv(kOptionsVariable)) {
            std::vector<std::string> words;
            std::istringstream in(options);
            for (std::string w; in >> w;) words.push_back(w);
            size_t i = 0;
            if (int status = ParseRunOptions(words, i, run); status >= 0) return status;
            if (i < words.size())
                return UsageError(std::string(kOptionsVariable) + " holds '" + words[i] +
                                  "', which is not an option of run");
        }
        // Options given as arguments are the game's parameters; say how the runner gets them.
        for (size_t k = 0; k < args.size(); ++k) {
            if (!IsRunOption(args[k])) continue;
            // The options from there on, each with its value, up to the first other word.
            std::string options;
            for (size_t m = k; m < args.size() && IsRunOption(args[m]); ++m) {
                options += (m > k ? " " : "") + args[m];
                const bool flag = args[m] == "--headless" || args[m] == "--secure" ||
                                  args[m] == "--strict" || args[m] == "--debug" ||
                                  args[m] == "--help";
                if (!flag && args[m].find('=') == std::string::npos && m + 1 < args.size())
                    options += " " + args[++m];
            }
            std::fprintf(stderr,
                         "korvane: '%s' is passed to the game as a parameter; a game's runner "
                         "takes its options from the environment: %s=\"%s\" %s\n",
                         args[k].c_str(), kOptionsVariable, options.c_str(),
                         argc > 0 ? argv[0] : "GAME");
            break;
        }
        std::vector<std::string> parameters{executable};
        parameters.insert(parameters.end(), args.begin(), args.end());
        return RunGameFile(executable, std::move(parameters), std::move(run), executable);
    }
    return RunCommandLine(args, executable);
}

}  // namespace kr
