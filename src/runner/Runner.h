// Runner: one run of one game, from the temporary directory through loading and preparation
// to the clean-up. It owns everything a run has (settings, resource tables, included files, the
// script runtime, the temporary directory); nothing lives in globals, so runners can follow
// one another in one process.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "code/Runtime.h"
#include "platform/Platform.h"
#include "runner/GameData.h"
#include "runner/GameLoader.h"
#include "runner/TempDirectory.h"

namespace kr {

struct RunnerOptions {
    std::string game_path;                // the file holding the game
    std::vector<std::string> parameters;  // the game's command line; [0] names the game
    bool secure_mode = false;
    TempDirectoryPlaces temp_places;
};

class Runner final : private LoadHost {
public:
    // Process exit statuses of a run.
    static constexpr int kExitOk = 0;
    static constexpr int kExitLoadFailed = 1;  // the game could not be loaded or prepared

    Runner(Platform& platform, RunnerOptions options);
    ~Runner() override;
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // The whole run: temporary directory, RunGame, clean-up, removal of the temporary
    // directory. Returns the exit status.
    int Run();

    // The steps of a run, in the order Run takes them.
    void CreateTempDirectory();
    // Load, prepare and play. False when the game could not start; its message has been shown.
    bool RunGame();
    LoadResult LoadGameData();
    bool PrepareGame();
    void CleanUpGame();
    void RemoveTempDirectory();

    // Included files: export every file (always true), remove what was exported.
    bool ExportIncludedFiles();
    void RemoveIncludedFiles();

    // A message box with the application title.
    void ShowMessage(std::string_view text) override;
    void SetLoadProgress(int percent, std::string_view caption) override;

    const GameData& Game() const { return game_; }
    GameData& Game() { return game_; }
    const GameSettings& Settings() const { return game_.settings; }
    Runtime& GetRuntime() { return runtime_; }
    const std::string& TempDirectory() const { return temp_directory_; }
    bool SecureMode() const { return options_.secure_mode; }
    bool DebugMode() const { return game_.debug_mode; }
    // The game file's name without directory and extension.
    const std::string& Title() const { return title_; }
    std::span<const std::string> Parameters() const { return options_.parameters; }

private:
    // LoadHost
    void ShowLoadForm(const GameData& game) override;
    void StoreD3dxLibrary(const std::string& name, std::span<const uint8_t> bytes) override;

    // Hands the loaded scripts to the runtime, which owns them from then on.
    void InstallScripts();
    bool PrepareTimeLineActions();
    bool PrepareObjectActions();
    void RunMainLoop();
    bool SetProcessPriority();
    bool CloseLoadForm();
    IncludedFileContext FileContext();

    Platform& platform_;
    RunnerOptions options_;
    Runtime runtime_;
    GameData game_;
    std::string title_;
    std::string temp_directory_;

    struct PrepareStep;
    static const PrepareStep kPrepareSteps[];
};

}  // namespace kr
