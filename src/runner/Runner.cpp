#include "runner/Runner.h"

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "code/Code.h"
#include "code/Script.h"
#include "code/Vocabulary.h"
#include "data/ImageCodecs.h"
#include "datastructures/DataStructures.h"
#include "objects/ActionExecution.h"
#include "objects/EventNames.h"
#include "platform/Files.h"
#include "platform/UserStore.h"
#include "runner/Messages.h"
#include "runner/SaveGame.h"

namespace kr {

namespace {
std::string TitleOf(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();  // a project folder
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    return (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/") == std::string_view::npos;
}
}  // namespace

// One step of the game's preparation: the progress it reports (none when caption is null), its
// work (none yet when null) and the message shown when the work fails.
struct Runner::PrepareStep {
    int percent;
    const char* caption;
    bool (Runner::*work)();
    const char* failure;
};

// The steps in their fixed order; steps without work belong to subsystems still to come.
const Runner::PrepareStep Runner::kPrepareSteps[] = {
    {0, nullptr, &Runner::SetProcessPriority, nullptr},
    {50, "Extracting included files", &Runner::ExportIncludedFiles, nullptr},
    {55, "Preparing extension pacakges", &Runner::PrepareExtensions,
     "Failed to prepare extension packages."},
    {60, "Preparing constants", &Runner::DefineGameConstants, "Failed to define the constants."},
    {61, "Preparing triggers", &Runner::PrepareTriggers, "Failed to prepare triggers."},
    {62, "Compiling scripts", &Runner::CompileScripts, "Failed to compile the scripts."},
    {70, "Compiling time line actions", &Runner::PrepareTimeLineActions,
     "Failed to compile the actions in the time lines."},
    {72, "Compiling object actions", &Runner::PrepareObjectActions,
     "Failed to compile the actions in the objects."},
    {80, "Preparing sounds", &Runner::PrepareSounds, nullptr},
    {90, "Preparing graphics", &Runner::PrepareWindow, nullptr},
    {0, nullptr, nullptr, nullptr},  // keyboard, mouse and close handlers, input state cleared
    {100, "Ready", &Runner::CloseLoadForm, nullptr},
};

Runner::Runner(Platform& platform, RunnerOptions options)
    : platform_(platform),
      options_(std::move(options)),
      title_(TitleOf(options_.game_path)),
      loop_(std::make_unique<GameLoop>(*this)),
      structures_(std::make_unique<DataStructures>()),
      draw_(std::make_unique<RoomDraw>(*this)) {
    startup_times_.Mark("process start");
    draw_->screenshots = options_.screenshots;
    // A platform made only for loading has no window: the game then runs without one.
    if (!platform_.window) platform_.window = MakeNullWindow();
    if (!platform_.joysticks) platform_.joysticks = MakeNullJoysticks();
    // Only a game in a window reaches the machine's CD drive; other runs have $KORVANE_CD.
    mci_.Cd().UseSystemDrive(options_.windowed);
    // The store is only read here, and a store that was never written is not created.
    secure_mode_ =
        options_.secure_mode || (!options_.outside_game && UserStore().SecureModeRequested());
    clear_input = [this] { loop_->Input().ClearAll(); };
    loop_->hooks.save_game = [this](const std::string& file) { SaveGame(*this, file); };
    // F1 opens the game information window of the library's show_info.
    loop_->hooks.show_game_information = [this] {
        const int id = runtime_.Builtins().Find("show_info");
        if (id < 0) return;
        std::unique_ptr<CInstance> self = NewTemporaryInstance();
        RValue args[1], result;
        runtime_.Builtins().Call(id, runtime_, self.get(), self.get(), 0, args, result);
    };
    loop_->hooks.load_game = [this](const std::string& file) { LoadGame(*this, file); };
    // F9 saves the screen as screen_save does, through that function.
    loop_->hooks.save_screenshot = [this](const std::string& file) {
        const int id = runtime_.Builtins().Find("screen_save");
        RValue args[kArgCount] = {RValue(file)};
        RValue result;
        if (id >= 0) runtime_.Builtins().Call(id, runtime_, nullptr, nullptr, 1, args, result);
    };
    // The registries are filled once, before anything is compiled: the ids of built-in
    // variables and functions are their registration order.
    runtime_.SetHost(&script_host_);
    runtime_.SetInterruptFlag(options_.stop_flag);
    runtime_.UseBuiltinConstants();
    RegisterRunnerVariables(runtime_);
    AttachLoopVariables(runtime_);
    AttachDrawVariables(runtime_);
    if (options_.register_functions) options_.register_functions(runtime_.Builtins());
    perform_other_event_for_all = [this](int32_t number) {
        events_.PerformEventForAll(kEventOther, number);
    };
    startup_times_.Mark("built-in registries");
}

Runner::~Runner() {
    RemoveTempDirectory();
}

int Runner::Run() {
    CreateTempDirectory();
    startup_times_.Mark("temporary directory");
    bool ok = RunGame();
    if (ok) {
        CleanUpGame();
    } else {
        // Files exported before a later step failed are not left behind either.
        RemoveIncludedFiles();
    }
    RemoveTempDirectory();
    startup_times_.Mark("clean-up");
    if (!ok) return kExitLoadFailed;
    return loop_->EndedByError() ? kExitFatalError : kExitOk;
}

void Runner::CreateTempDirectory() {
    runtime_.Rng().SetSeed(int32_t(ClockSeed()));
    temp_directory_ = kr::CreateTempDirectory(options_.temp_places, runtime_.Rng());
    if (temp_directory_.empty()) ShowMessage(msg::kTempDir);
}

void Runner::RemoveTempDirectory() {
    DeleteDirectoryTree(temp_directory_, temp_directory_);
    temp_directory_.clear();
}

bool Runner::RunGame() {
    LoadResult loaded = LoadGameData();
    startup_times_.Mark("loading");
    if (loaded == LoadResult::kCorrupted) ShowMessage(msg::kCorrupted);
    if (loaded != LoadResult::kLoaded) return false;
    try {
        if (!PrepareGame()) return false;
        RunMainLoop();
        startup_times_.Mark("running");
    } catch (...) {
        ShowMessage(msg::kUnexpected);
        return false;
    }
    return true;
}

LoadResult Runner::LoadGameData() {
    LoadResult r = options_.game_data.empty()
                       ? LoadGameFile(options_.game_path, game_, *this)
                       : ReadGameData(std::move(options_.game_data), 0, game_, *this);
    if (r == LoadResult::kLoaded) {
        if (options_.debug) game_.debug_mode = true;
        HandOverToRuntime();
        if (game_.debug_mode && loop_->hooks.debug_mode_started) loop_->hooks.debug_mode_started();
    }
    return r;
}

// The runtime takes the game's error settings and its scripts.
void Runner::HandOverToRuntime() {
    LanguageSettings& ls = runtime_.Settings();
    ls.display_errors = game_.settings.display_errors;
    ls.log_errors = game_.settings.write_errors_to_log;
    ls.abort_on_all_errors = game_.settings.abort_on_errors;
    ls.uninitialized_as_zero = game_.settings.uninitialized_variables_are_zero;
    world_.SetLastInstanceId(game_.last_instance_id);
    if (!game_.code_files.empty()) {
        runtime_.SetCodeLocator([files = game_.code_files, folder = options_.code_folder](
                                    std::string_view source, int32_t line, int32_t column) {
            const uint64_t hash = CodeTextHash(source);
            for (const CodeFile& f : files)
                if (f.hash == hash)
                    return folder + f.file + ":" + std::to_string(line) + ":" +
                           std::to_string(column);
            return std::string();
        });
    }

    // The runtime's table is the one source of the scripts from here on: it is what scripts
    // call, compile and look up by name, so the loaded copy is given up.
    runtime_.ClearScripts();
    for (int i = 0; i < game_.scripts.Count(); ++i) {
        if (CScript* script = game_.scripts.Get(i))
            runtime_.SetScript(i, game_.scripts.StoredName(i), script->text);
    }
    game_.scripts.Reset(0);
}

bool Runner::DefineGameConstants() {
    return runtime_.DefineGameConstants(game_.constant_names, game_.constant_values);
}

bool Runner::PrepareExtensions() {
    // Beside the program and beside the game file, then the temporary directory.
    externals_.SetSearchFolders({ProgramDirectory(), DirectoryOf(options_.game_path)},
                                {temp_directory_});
    return extensions_.Prepare(game_.extension_packages, temp_directory_, SecureMode());
}

bool Runner::CompileScripts() {
    return runtime_.CompileScripts();
}

std::string Runner::ProgramDirectory() const {
    std::string dir = options_.temp_places.executable_dir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

void Runner::SetLives(int32_t lives) {
    int32_t old = vars_.lives;
    vars_.lives = lives;
    if (old > 0 && lives <= 0) PerformOtherEventForAll(kOtherNoMoreLives);
}

void Runner::SetHealth(double health) {
    double old = vars_.health;
    vars_.health = health;
    if (old > 0 && health <= 0) PerformOtherEventForAll(kOtherNoMoreHealth);
}

void Runner::PerformOtherEventForAll(int32_t number) {
    if (room_request_ == kNoRoomRequest && perform_other_event_for_all)
        perform_other_event_for_all(number);
}

uint32_t Runner::ClockSeed() {
    return options_.seed ? *options_.seed : platform_.clock->Seed();
}

uint32_t RunnerRuntime::RandomizeSeed() {
    return runner_.ClockSeed();
}

// Action functions are bound by name once scripts and extension functions are known; a name
// that is nowhere is reported, and the action then does nothing when it runs. Then every action
// is compiled, with the event context naming it, so that a compilation error names the time
// line and moment or the object and event.
bool Runner::PrepareTimeLineActions() {
    const FunctionFinder find = [this](const std::string& name) {
        return runtime_.FindFunction(name);
    };
    const MessageSink report = [this](const std::string& text) { ShowMessage(text); };
    for (int i = 0; i < game_.time_lines.Count(); ++i)
        if (CTimeLine* t = game_.time_lines.Get(i)) t->ResolveFunctions(find, report);
    EventContext& ctx = runtime_.Event();
    for (int i = 0; i < game_.time_lines.Count(); ++i) {
        CTimeLine* t = game_.time_lines.Get(i);
        if (!t) continue;
        ctx.event_type = kTimeLineEvent;
        ctx.event_object = i;
        for (TimeLineMoment& m : t->moments) {
            ctx.event_number = m.step;
            for (size_t k = 0; k < m.event.actions.size(); ++k) {
                ctx.event_action = int32_t(k);
                if (!PrepareAction(runtime_, m.event.actions[k])) return false;
            }
        }
    }
    return true;
}

// Every trigger's condition is compiled as a program; the first that fails is a fatal error.
bool Runner::PrepareTriggers() {
    for (int i = 0; i < game_.triggers.Count(); ++i) {
        CTrigger* t = game_.triggers.Get(i);
        if (!t) continue;
        auto code = std::make_shared<CCode>(t->condition, false);
        if (!code->Compile(runtime_)) {
            std::string message = "COMPILATION ERROR in condition of trigger " + t->name + "\r" +
                                  runtime_.ErrorText();
            runtime_.ClearError();
            runtime_.ShowError(message, true);
            return false;
        }
        t->code = std::move(code);
    }
    return true;
}

bool Runner::PrepareObjectActions() {
    const FunctionFinder find = [this](const std::string& name) {
        return runtime_.FindFunction(name);
    };
    const MessageSink report = [this](const std::string& text) { ShowMessage(text); };
    for (int i = 0; i < game_.objects.Count(); ++i)
        if (CObject* o = game_.objects.Get(i)) o->ResolveFunctions(find, report);
    for (int i = 0; i < game_.objects.Count(); ++i) {
        CObject* o = game_.objects.Get(i);
        if (!o) continue;
        runtime_.Event().event_object = i;
        if (!events_.CompileObject(*o)) return false;
    }
    return true;
}

bool Runner::RunLibraryInitCode() {
    for (const std::string& text : game_.library_init_code) {
        if (text.empty()) continue;
        CCode code(text, false);
        if (!code.Compile(runtime_)) {
            std::string message =
                "COMPILATION ERROR in library initialization code\r" + runtime_.ErrorText();
            runtime_.ClearError();
            runtime_.ShowError(message, true);
            return false;
        }
        std::unique_ptr<CInstance> temp = NewTemporaryInstance();
        RValue result;
        runtime_.ExecuteReporting(code, temp.get(), temp.get(), result);
    }
    // Then the extension packages' initialization functions; a failure there is fatal.
    return extensions_.CallInitFunctions();
}

std::unique_ptr<CInstance> Runner::NewTemporaryInstance() {
    return std::make_unique<CInstance>(world_, 0.0, 0.0, 0, 0);
}

bool Runner::PrepareGame() {
    for (const PrepareStep& step : kPrepareSteps) {
        if (step.caption) SetLoadProgress(step.percent, step.caption);
        if (step.work && !(this->*step.work)()) {
            if (step.failure) ShowMessage(step.failure);
            return false;
        }
        if (step.work) startup_times_.Mark(step.caption ? step.caption : "process priority");
    }
    return true;
}

// In debug mode the debugger drives the loop: a pause returns from RunMainLoop with the game
// still running, the debugger holds it (single steps included) until it resumes the loop,
// which runs on without restarting the game, or stops it.
void Runner::RunMainLoop() {
    loop_->RunMainLoop();
    while (loop_->Running() && loop_->Paused() && loop_->hooks.debugger_paused) {
        loop_->hooks.debugger_paused();
        if (loop_->Running() && !loop_->Paused()) loop_->RunMainLoop();
    }
}

void Runner::CleanUpGame() {
    extensions_.CallFinalFunctions();
    externals_.FreeAll();
    RemoveIncludedFiles();
    if (sound_open_) {
        UpdateSound();
        mci_.CloseAll();
        sound_.Close();
        sound_open_ = false;
        if (audio_out_.IsOpen() && !audio_out_.Finish())
            std::fprintf(stderr, "korvane: cannot write the audio file '%s'\n",
                         options_.audio_out.c_str());
    }
}

// Opens the sound system, with the audio file as an output, and prepares every sound that is
// to be preloaded.
bool Runner::PrepareSounds() {
    sound_.SetTempDirectory(temp_directory_);
    sound_.Open(options_.sound);
    sound_open_ = true;
    if (!options_.audio_out.empty()) {
        if (audio_out_.Open(options_.audio_out, SoundSystem::kRate))
            sound_.AddOutput([this](std::span<const float> frames) { audio_out_.Write(frames); });
        else
            std::fprintf(stderr, "korvane: cannot write the audio file '%s'\n",
                         options_.audio_out.c_str());
    }
    if (platform_.audio && options_.sound) {
        if (platform_.audio->Open()) {
            // What is mixed goes to the card a little ahead of the clock, so that it never
            // runs dry between two calls; more than 40 ms waiting means the card fell behind
            // (after a long step), and the block is dropped rather than everything after it
            // being heard late.
            sound_lead_us_ = 15000;
            sound_.AddOutput([this](std::span<const float> frames) {
                if (platform_.audio->QueuedFrames() < SoundSystem::kRate * 40 / 1000)
                    platform_.audio->Queue(frames);
            });
        }  // else the platform has said that the game runs silently
    }
    for (int i = 0; i < game_.sounds.Count(); ++i)
        if (CSound* s = game_.sounds.Get(i); s && s->preload) sound_.Prepare(*s);
    return true;
}

void Runner::UpdateSound() {
    if (sound_open_) sound_.AdvanceTo(platform_.clock->Microseconds() + sound_lead_us_);
}

IncludedFileContext Runner::FileContext() {
    IncludedFileContext ctx;
    ctx.temp_directory = temp_directory_;
    ctx.secure_mode = secure_mode_;
    ctx.report_error = [this](std::string_view text) { runtime_.RuntimeError(text); };
    return ctx;
}

Clipboard& Runner::GetClipboard() {
    if (platform_.clipboard) return *platform_.clipboard;
    if (!own_clipboard_) own_clipboard_ = MakePrivateClipboard();
    return *own_clipboard_;
}

bool Runner::ExportIncludedFiles() {
    IncludedFileContext ctx = FileContext();
    for (CDataFile& f : game_.included_files) ExportIncludedFile(f, ctx);
    return true;
}

void Runner::RemoveIncludedFiles() {
    IncludedFileContext ctx = FileContext();
    for (CDataFile& f : game_.included_files) RemoveIncludedFile(f, ctx);
}

bool Runner::SetProcessPriority() {
    platform_.process->SetPriority(game_.settings.process_priority);
    return true;
}

// The window is made (hidden) with the display; it is shown when the first room starts.
bool Runner::PrepareWindow() {
    return platform_.window->Create() && draw_->Init();
}

bool Runner::CloseLoadForm() {
    platform_.load_display->Close();
    // Closing the load window can leave no drawing context current.
    draw_->ResumeDrawing();
    return true;
}

void Runner::ShowMessage(std::string_view text) {
    // The message must not land in the middle of a progress line.
    platform_.load_display->Close();
    platform_.messages->Show(ApplicationTitle(), text);
}

void Runner::SetLoadProgress(int percent, std::string_view caption) {
    platform_.load_display->SetProgress(percent, caption);
}

void Runner::ShowLoadForm(const GameData& game) {
    const GameSettings& s = game.settings;
    bool bar = s.show_progress_bar;
    // The stored pictures, where present and decodable.
    auto decode = [](const StoredPicture& p) {
        std::optional<TBitmap32> image;
        if (p.present) image = DecodeBmp(p.bmp);
        return image ? std::move(*image) : TBitmap32();
    };
    TBitmap32 image = decode(s.loading_image), back, front;
    if (bar) back = decode(s.progress_bar_back_image), front = decode(s.progress_bar_front_image);
    auto picture = [](const TBitmap32& b) {
        return LoadDisplay::Picture{b.Width(), b.Height(), b.Empty() ? nullptr : b.Bytes()};
    };
    platform_.load_display->SetPictures(picture(image), picture(back), picture(front),
                                        s.scale_progress_bar_image, s.loading_image_alpha,
                                        s.transparent_loading_image);
    SetLoadProgress(0, "Loading");
    platform_.load_display->Show(bar, bar && game.debug_mode);
}

void Runner::StoreD3dxLibrary(const std::string& name, std::span<const uint8_t> bytes) {
    // Nothing binds the library (the graphics back end computes what it offered); it is kept
    // where games expect it. A name with a path would write outside the temporary directory.
    // That directory is this run's own and goes with it: the file needs no flush to the disk.
    if (temp_directory_.empty() || !IsPlainFileName(name)) return;
    WriteScratchFile(temp_directory_ + "/" + name, bytes);
}

Runner& RunnerOf(Runtime& rt) {
    // Every built-in that reaches the game passes here: the host's class is final, so comparing
    // its exact type answers what a dynamic_cast would, without walking the class hierarchy.
    ScriptHost& any = rt.Host();
    auto* host =
        typeid(any) == typeid(RunnerScriptHost) ? static_cast<RunnerScriptHost*>(&any) : nullptr;
    if (!host) {
        std::fputs("internal error: a built-in function that needs the game ran without one\n",
                   stderr);
        std::abort();
    }
    return host->GetRunner();
}

}  // namespace kr
