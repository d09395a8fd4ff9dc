// korvane script: runs a text of the script language as a program outside any game, with the
// whole built-in library. The program runs for a temporary instance (self and other), its
// arguments are argument0 onwards, show_debug_message writes to standard output and errors go
// to standard error.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/App.h"
#include "code/Code.h"
#include "library/AllBuiltins.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"
#include "platform/Signals.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr char kScriptUsage[] =
    "usage: korvane script [--script NAME=FILE]... FILE [ARG...]\n"
    "       korvane script [--script NAME=FILE]... -e CODE [ARG...]\n";

constexpr char kScriptHelp[] =
    "\n"
    "Runs a text of the game's script language as a program outside any game, with the whole\n"
    "built-in library. FILE holds the program ('-' reads it from standard input); -e gives it\n"
    "on the command line. The program runs for a temporary instance; ARGs are argument0\n"
    "onwards (reals when they are numbers, else strings).\n"
    "\n"
    "  --script NAME=FILE  define a script the program can call, by name or with\n"
    "                      script_execute\n"
    "\n"
    "show_debug_message writes to standard output; errors go to standard error and make the\n"
    "exit status 1.\n";

int ScriptUsageError(const std::string& what) {
    std::fprintf(stderr, "korvane script: %s\n%s", what.c_str(), kScriptUsage);
    return kExitUsage;
}

bool ReadText(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    if (!FileExists(path) || !ReadWholeFile(path, bytes)) return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

bool IsIdentifier(std::string_view s) {
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (s.empty() || !letter(s[0])) return false;
    for (char c : s)
        if (!letter(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

struct ScriptFile {
    std::string name;
    std::string text;
};

}  // namespace

RValue ProgramArgument(const std::string& arg) {
    double v;
    if (!arg.empty() && ParseReal(arg, v)) return RValue(v);
    return RValue(std::string_view(arg));
}

int ScriptCommand(std::span<const std::string> args, const std::string& executable) {
    std::vector<ScriptFile> scripts;
    size_t i = 0;
    bool inline_code = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--help" || a == "-h") {
            std::printf("%s%s", kScriptUsage, kScriptHelp);
            return 0;
        }
        if (a == "-e") {
            inline_code = true;
            ++i;
            break;
        }
        if (a == "--script" || a.starts_with("--script=")) {
            std::string spec;
            if (a == "--script") {
                if (++i >= args.size()) return ScriptUsageError("--script needs NAME=FILE");
                spec = args[i];
            } else {
                spec = a.substr(9);
            }
            size_t eq = spec.find('=');
            std::string name = spec.substr(0, eq);
            if (eq == std::string::npos || !IsIdentifier(name))
                return ScriptUsageError("'" + spec + "' is not NAME=FILE with a script name");
            ScriptFile f{name, {}};
            std::string path = spec.substr(eq + 1);
            if (!ReadText(path, f.text)) {
                std::fprintf(stderr, "korvane script: cannot read '%s'\n", path.c_str());
                return 1;
            }
            scripts.push_back(std::move(f));
            continue;
        }
        if (a.size() > 1 && a[0] == '-') return ScriptUsageError("unknown option '" + a + "'");
        break;
    }
    if (i >= args.size())
        return ScriptUsageError(inline_code ? "-e needs the code" : "no program given");
    std::string source = args[i];
    std::string code_text;
    if (inline_code) {
        code_text = source;
        source = "-e";
    } else if (source == "-") {
        // The program from standard input.
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, stdin)) > 0;) code_text.append(buf, n);
        if (std::ferror(stdin)) {
            std::fprintf(stderr, "korvane script: cannot read standard input\n");
            return 1;
        }
        source = "standard input";
    } else if (!ReadText(source, code_text)) {
        std::fprintf(stderr, "korvane script: cannot read '%s'\n", source.c_str());
        return 1;
    }
    std::vector<std::string> program_args(args.begin() + long(i) + 1, args.end());
    // One program only: a second -e is much likelier a mistake than an argument.
    if (inline_code && !program_args.empty() && program_args[0] == "-e")
        return ScriptUsageError("-e is given twice; a program has one code");
    if (program_args.size() > size_t(kArgCount))
        return ScriptUsageError("at most 16 arguments are passed to the program");

    // A program outside a game has no steps to count time by: it reads the real clock, and
    // sleep really waits.
    Platform platform = MakeHeadlessPlatform();
    platform.clock = MakeSystemClock();
    RunnerOptions options;
    options.game_path = source;
    options.parameters = {source};
    options.parameters.insert(options.parameters.end(), program_args.begin(), program_args.end());
    options.temp_places.executable_dir = DirectoryOf(executable);
    options.register_functions = RegisterAllBuiltins;
    options.outside_game = true;
    InstallStopHandlers();  // Ctrl+C stops a runaway program
    options.stop_flag = StopFlag();
    Runner runner(platform, std::move(options));
    Runtime& rt = runner.GetRuntime();

    for (size_t k = 0; k < scripts.size(); ++k)
        rt.SetScript(int32_t(k), scripts[k].name, scripts[k].text);
    if (!rt.CompileScripts()) return 1;

    CCode code(std::move(code_text), false);
    if (!code.Compile(rt)) {
        std::string text = "COMPILATION ERROR in " +
                           (inline_code ? std::string("code to be executed") : source) + "\r" +
                           rt.ErrorText();
        rt.ClearError();
        rt.ShowError(text, false);
        return 1;
    }
    for (size_t k = 0; k < program_args.size(); ++k)
        rt.SetArgument(int32_t(k), ProgramArgument(program_args[k]));

    // The temporary instance is in no room, like the one constants are evaluated for.
    std::unique_ptr<CInstance> self = runner.NewTemporaryInstance();
    RValue result;
    rt.ExecuteReporting(code, self.get(), self.get(), result);
    std::fflush(stdout);
    if (*StopFlag()) return ExitStatusForSignal(*StopFlag());
    return runner.ScriptHostOf().ErrorsShown() > 0 ? 1 : 0;
}

}  // namespace kr
