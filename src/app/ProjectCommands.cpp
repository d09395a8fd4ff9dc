// korvane extract and korvane build: the command-line side of text projects.
#include <cstdio>

#include "app/App.h"
#include "app/Project.h"
#include "platform/Files.h"
#include "runner/GameLoader.h"
#include "runner/GameWriter.h"
#include "runner/Messages.h"
#include "runner/Runner.h"

namespace kr {

namespace {
int Usage(const std::string& what) {
    std::fprintf(stderr,
                 "korvane: %s\nusage: korvane extract GAME DIR\n"
                 "       korvane build DIR -o OUT [--data-only]\nTry 'korvane --help'.\n",
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

int ExtractCommand(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("extract takes a game and a folder");
    GameData game;
    ExtractHost host;
    LoadResult r = LoadGameFile(args[0], game, host);
    if (r == LoadResult::kCorrupted) host.ShowMessage(msg::kCorrupted);
    if (r != LoadResult::kLoaded) return Runner::kExitLoadFailed;
    std::string error;
    if (!ExtractProject(game, host.d3dx, args[1], error)) {
        std::fprintf(stderr, "korvane: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int BuildCommand(const std::vector<std::string>& args, const std::string& executable) {
    std::string dir, out;
    bool data_only = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (++i >= args.size()) return Usage("-o needs a file name");
            out = args[i];
        } else if (a == "--data-only") {
            data_only = true;
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

    GameData game;
    std::vector<uint8_t> d3dx;
    std::string error;
    if (!BuildProject(dir, game, d3dx, error)) {
        std::fprintf(stderr, "korvane: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> program;
    if (!data_only && (executable.empty() || !ReadWholeFile(executable, program))) {
        std::fprintf(stderr, "korvane: cannot read the program to bundle (%s)\n",
                     executable.c_str());
        return 1;
    }
    std::vector<uint8_t> file =
        GameWriter::FromGameData(game, std::move(d3dx)).WriteGameFile(program);
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
