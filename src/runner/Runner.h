// Runner: one run of one game, from the temporary directory through loading and preparation
// to the clean-up. It owns everything a run has (settings, resource tables, included files, the
// script runtime, the temporary directory); nothing lives in globals, so runners can follow
// one another in one process.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "code/Runtime.h"
#include "extensions/ExtensionRuntime.h"
#include "extensions/ExternalFunctions.h"
#include "motion/MotionGrid.h"
#include "motion/MotionPlanning.h"
#include "objects/EventDispatch.h"
#include "objects/Instance.h"
#include "objects/InstanceList.h"
#include "particles/Particles.h"
#include "platform/GamePath.h"
#include "platform/Platform.h"
#include "runner/GameData.h"
#include "runner/GameLoader.h"
#include "runner/GameLoop.h"
#include "runner/GameWorld.h"
#include "runner/InputReplay.h"
#include "runner/RoomDraw.h"
#include "runner/RoomRequest.h"
#include "runner/RoomState.h"
#include "runner/ScriptHost.h"
#include "runner/StartupTimes.h"
#include "runner/TempDirectory.h"
#include "sound/MciCommands.h"
#include "sound/SoundSystem.h"
#include "sound/WavWriter.h"

namespace kr {

struct RunnerOptions {
    std::string game_path;  // the file holding the game
    // Game data already in memory (from its magic number on), read instead of game_path; the
    // path then only names the game (a project folder run without building it).
    std::vector<uint8_t> game_data;
    // Put before the file names of the game's table of code files when an error names where
    // its code was written: the project folder of a game built from one in memory ("dir/").
    std::string code_folder;
    std::vector<std::string> parameters;  // the game's command line; [0] names the game
    bool secure_mode = false;
    TempDirectoryPlaces temp_places;  // its executable_dir is also program_directory
    // Registers the built-in functions (the library's RegisterAllBuiltins; the runner cannot
    // name it, since the library is built on the runner). Without it no function is known.
    void (*register_functions)(BuiltinRegistry&) = nullptr;
    // A runner for a program outside any game (korvane script): there is no game file, and
    // errors are shown without the event context.
    bool outside_game = false;
    // The game has a window: until the error window exists, errors are shown in the platform's
    // message box as well as on standard error.
    bool windowed = false;
    // The game ends as by game_end after this many steps; negative: no limit.
    int64_t max_steps = -1;
    // Used instead of the clock wherever the random generator is seeded from it.
    std::optional<uint32_t> seed;
    // Input replayed into the game, ordered by step.
    std::vector<ReplayEvent> input;
    // Everything the game plays, mixed, is also written to this wave file (empty: none).
    std::string audio_out;
    // Mix sound (always true for games; a test may run without the mixer).
    bool sound = true;
    // Pictures to save: the one presented at the end of step N (counted from 0) into a PNG.
    std::vector<std::pair<int64_t, std::string>> screenshots;
    // Debug mode whatever the game's header says (debug_mode reads 1).
    bool debug = false;
    // Set (by a signal handler) when the run must stop: the game then ends after the step,
    // and running code stops at once.
    const volatile std::sig_atomic_t* stop_flag = nullptr;
};

class Runner;
class DataStructures;

// The runner's script runtime: randomize() seeds from the runner's clock seed.
class RunnerRuntime final : public Runtime {
public:
    explicit RunnerRuntime(Runner& runner) : runner_(runner) {}
    uint32_t RandomizeSeed() override;

private:
    Runner& runner_;
};

class Runner final : private LoadHost {
public:
    // Process exit statuses of a run.
    static constexpr int kExitOk = 0;
    static constexpr int kExitLoadFailed = 1;  // the game could not be loaded or prepared
    static constexpr int kExitFatalError = 3;  // a fatal error ended the game

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
    // Preparation: the game's constants, and the scripts.
    bool DefineGameConstants();
    // The extension packages' constants, script functions and library functions.
    bool PrepareExtensions();
    bool CompileScripts();
    void RemoveTempDirectory();

    // Included files: export every file (always true), remove what was exported.
    bool ExportIncludedFiles();
    void RemoveIncludedFiles();
    // What exporting an included file needs to know about this run.
    IncludedFileContext FileContext();

    // A message box with the application title.
    void ShowMessage(std::string_view text) override;
    void SetLoadProgress(int percent, std::string_view caption) override;

    const GameData& Game() const { return game_; }
    GameData& Game() { return game_; }
    const GameSettings& Settings() const { return game_.settings; }
    Runtime& GetRuntime() { return runtime_; }
    const std::string& TempDirectory() const { return temp_directory_; }
    // The directory of the runner's executable, without a trailing separator.
    std::string ProgramDirectory() const;
    GameVariables& Vars() { return vars_; }
    RunnerScriptHost& ScriptHostOf() { return script_host_; }
    Platform& GetPlatform() { return platform_; }
    bool OutsideGame() const { return options_.outside_game; }
    bool Windowed() const { return options_.windowed; }

    // The pending room request (kNoRoomRequest when none).
    int32_t RoomRequest() const { return room_request_; }
    void SetRoomRequest(int32_t request) { room_request_ = request; }

    // The sound system (open from the preparation of the sounds to the clean-up).
    SoundSystem& Sound() { return sound_; }
    MciCommands& Mci() { return mci_; }
    // Mixes the sound up to the clock's present time.
    void UpdateSound();

    // The main loop, the rooms and the input state.
    GameLoop& Loop() { return *loop_; }
    // The display: the renderer, the room drawing and the window region.
    RoomDraw& Drawer() { return *draw_; }
    // Particle types and systems, global for the whole run.
    ParticleWorld& Particles() { return particles_; }
    // The number the random generator is seeded with "from the clock": the seed option when
    // given, else the platform clock's.
    uint32_t ClockSeed();
    int64_t MaxSteps() const { return options_.max_steps; }
    // Whether the run was asked to stop from outside (Ctrl+C, SIGTERM, the time limit).
    bool StopRequested() const { return options_.stop_flag && *options_.stop_flag; }
    const std::vector<ReplayEvent>& Replay() const { return options_.input; }
    // Performs other event `number` for every instance while no room request is pending.
    void PerformOtherEventForAll(int32_t number);

    // Performs other event `number` for every instance of the room (game start and end, room
    // start and end, no more lives and health, the close button). The constructor points it at
    // the event dispatch; a test may wrap it to watch the events go by.
    std::function<void(int32_t number)> perform_other_event_for_all;
    // Clears the keyboard and mouse state after an error was shown. The constructor points it
    // at the loop's input state.
    std::function<void()> clear_input;
    // Writes to lives and health that end them raise these events while no room change is
    // pending.
    void SetLives(int32_t lives);
    void SetHealth(double health);
    // ---- Instances and events ----
    // The current room's instances.
    InstanceList& Instances() { return loop_->Current().instances; }
    // The room state before the first room starts and after the game ends (it has no
    // instances but those of a program run outside any game).
    RoomState& IdleRoom() { return room_; }
    // The game as instances see it (sprites, objects, the instance id counter).
    GameWorld& World() { return world_; }
    // Event lookup and dispatch, the event lists and the collision phase.
    EventDispatch& Events() { return events_; }
    // The motion planning grids and the steering settings.
    GridTable& Grids() { return grids_; }
    PotentialSettings& Potential() { return potential_; }
    // The instance operations (create, copy, change, destroy) on the current room, with their
    // create and destroy events.
    InstanceContext Instancing() { return events_.Instancing(); }
    // Game start, before the first room: which objects respond to which events.
    void BuildEventLists() { events_.BuildEventLists(); }
    // The collision phase of a step (after the boundary events, before the end step).
    void HandleCollisions() { events_.HandleCollisions(); }
    // Game start: compiles and runs each piece of library initialization code for a temporary
    // instance. A compilation error is shown as a fatal error and gives false.
    bool RunLibraryInitCode();
    // A temporary instance in no room (object 0, id 0, at (0, 0)), for code that runs outside
    // any event: initialization code, room creation code, constant values.
    std::unique_ptr<CInstance> NewTemporaryInstance();

    // Native functions bound by scripts and packages, and the packages' functions.
    ExternalFunctions& Externals() { return externals_; }
    ExtensionRuntime& Extensions() { return extensions_; }
    // Secure mode: asked for on the command line, or by the per-user store (read once).
    bool SecureMode() const { return secure_mode_; }
    // The stacks, queues, lists, maps, priority queues and grids of the run.
    DataStructures& Structures() { return *structures_; }
    bool DebugMode() const { return game_.debug_mode; }
    // The game file's name without directory and extension.
    const std::string& Title() const { return title_; }
    std::span<const std::string> Parameters() const { return options_.parameters; }
    // The application's title (set_application_title); the game's title until a script sets it.
    const std::string& ApplicationTitle() const {
        return application_title_.empty() ? title_ : application_title_;
    }
    void SetApplicationTitle(std::string title) { application_title_ = std::move(title); }
    // The platform's clipboard, or one of the runner's own.
    Clipboard& GetClipboard();

    // State that a family of built-in functions above the runner keeps for one run (its open
    // files, its INI file, ...): made on first use, freed with the runner.
    template <class T>
    T& FamilyState() {
        std::shared_ptr<void>& slot = family_states_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

private:
    // LoadHost
    void ShowLoadForm(const GameData& game) override;
    void StoreD3dxLibrary(const std::string& name, std::span<const uint8_t> bytes) override;

    bool PrepareTimeLineActions();
    bool PrepareTriggers();
    bool PrepareObjectActions();
    void RunMainLoop();
    // Gives the runtime the game's error settings and its scripts, which it owns from then on.
    void HandOverToRuntime();
    bool SetProcessPriority();
    bool PrepareWindow();
    bool CloseLoadForm();
    bool PrepareSounds();

    Platform& platform_;
    RunnerOptions options_;
    StartupTimes startup_times_;
    RunnerRuntime runtime_{*this};
    ParticleWorld particles_{runtime_.Rng()};
    RunnerScriptHost script_host_{*this};
    GameVariables vars_;
    int32_t room_request_ = kNoRoomRequest;
    GameData game_;
    std::string title_;
    std::string temp_directory_;
    GameWorld world_{*this};
    RoomState room_{world_};
    EventDispatch events_{runtime_, world_};
    ExternalFunctions externals_;
    ExtensionRuntime extensions_{runtime_, externals_};
    std::unique_ptr<GameLoop> loop_;
    std::unique_ptr<DataStructures> structures_;
    std::unique_ptr<RoomDraw> draw_;
    bool secure_mode_ = false;
    std::string application_title_;
    std::unique_ptr<Clipboard> own_clipboard_;
    GridTable grids_;
    PotentialSettings potential_;
    SoundSystem sound_{[this](std::string_view text) { ShowMessage(text); }};
    MciCommands mci_{sound_, [](std::string_view path) { return MapGamePath(path); }};
    WavWriter audio_out_;
    bool sound_open_ = false;
    int64_t sound_lead_us_ = 0;  // how far ahead of the clock sound is mixed
    // Declared last, so freed first, while everything a family's state may reach still exists.
    std::unordered_map<std::type_index, std::shared_ptr<void>> family_states_;

    struct PrepareStep;
    static const PrepareStep kPrepareSteps[];
};

// The runner that owns a runtime: the one definition every family of built-in functions uses to
// reach the game. Only for runtimes owned by a Runner (their host is the runner's); anything else
// is a programming error and stops the program.
Runner& RunnerOf(Runtime& rt);

}  // namespace kr
