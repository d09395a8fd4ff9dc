// korvane dap: the debug adapter for editors. The protocol takes standard input and output;
// whatever else would be written to standard output goes to standard error. A launched game
// runs in debug mode with the debugger attached; the .krs files of a project are its sources.
#include <cstdio>

#include "app/App.h"
#include "app/Project.h"
#include "debugger/DapAdapter.h"
#include "debugger/Debugger.h"
#include "library/AllBuiltins.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/WindowPlatform.h"
#include "runner/InputReplay.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr char kDapHelp[] =
    "usage: korvane dap\n"
    "\n"
    "Speaks the Debug Adapter Protocol on standard input and output, for editors that debug\n"
    "games with it. A launch request takes 'program' (a game file or a project folder),\n"
    "'args', 'headless', 'maxSteps', 'input', 'seed' and 'stopOnEntry'. See docs/debugging.md.\n";

bool Launch(const DapLaunch& launch, DapAdapter& adapter, int& status, std::string& error,
            const std::string& executable) {
    RunnerOptions options;
    std::vector<ProjectCode> code;
    const bool project = IsProjectFolder(launch.program);
    if (project && !BuildProjectData(launch.program, options.game_data, error, &code)) return false;
    if (!launch.input.empty()) {
        std::vector<uint8_t> bytes;
        if (!FileExists(launch.input) || !ReadWholeFile(launch.input, bytes)) {
            error = "Cannot read the input file '" + launch.input + "'.";
            return false;
        }
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::string why;
        if (!ParseInputReplay(text, options.input, why)) {
            error = launch.input + ": " + why;
            return false;
        }
    }
    Platform platform = launch.headless ? MakeHeadlessPlatform() : MakeWindowPlatform();
    if (launch.headless) platform.window = MakeOffscreenWindow();
    options.game_path = launch.program;
    options.parameters.push_back(launch.program);
    options.parameters.insert(options.parameters.end(), launch.args.begin(), launch.args.end());
    options.temp_places.executable_dir = DirectoryOf(executable);
    options.register_functions = RegisterAllBuiltins;
    options.windowed = !launch.headless;
    options.max_steps = launch.max_steps;
    options.seed = launch.seed;
    options.debug = true;
    Runner runner(platform, std::move(options));
    Debugger debugger(runner);
    if (project) {
        for (const ProjectCode& c : code)
            if (c.line == 0)
                debugger.AddSource(DapSourcePath(launch.program + "/" + c.file), c.text);
    } else {
        debugger.AddScriptSources();
    }
    adapter.Attach(&debugger);
    status = runner.Run();
    return true;
}

}  // namespace

int DapCommand(std::span<const std::string> args, const std::string& executable) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("%s", kDapHelp);
        return 0;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "korvane: dap takes no arguments\n%s", kDapHelp);
        return kExitUsage;
    }
    std::FILE* out = TakeStandardOutput();
    DapAdapter adapter(stdin, out);
    return adapter.Serve(
        [&](const DapLaunch& launch, DapAdapter& a, int& status, std::string& error) {
            return Launch(launch, a, status, error, executable);
        });
}

}  // namespace kr
