// The main loop: starting and ending the game, the timed loop, the order of one step, room
// requests, entering and leaving rooms, input delivery and the special keys.
#include "runner/GameLoop.h"

#include <algorithm>

#include "code/Code.h"
#include "data/Sprite.h"
#include "objects/Instance.h"
#include "platform/Files.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr int64_t kSecond = 1000000;

// The other events (type 7) that the loop raises.
constexpr int32_t kOtherGameStart = 2;
constexpr int32_t kOtherGameEnd = 3;
constexpr int32_t kOtherRoomStart = 4;
constexpr int32_t kOtherRoomEnd = 5;
constexpr int32_t kOtherCloseButton = 30;

// The game's resources for an instance that lives outside any room: the temporary instance a
// room's creation code runs for.
class ResourceWorld final : public InstanceWorld {
public:
    explicit ResourceWorld(GameData& game) : game_(game) {}
    const CSprite* FindSprite(int32_t index) const override { return game_.sprites.Get(index); }
    bool FindObject(int32_t index, ObjectDefaults& out) const override {
        const CObject* o = game_.objects.Get(index);
        if (!o) return false;
        out = {o->sprite, o->mask, o->depth, o->solid, o->visible, o->persistent, o->parent};
        return true;
    }
    int32_t NewInstanceId() override { return ++game_.last_instance_id; }

private:
    GameData& game_;
};

}  // namespace

GameLoop::GameLoop(Runner& runner) : runner_(runner), room_(&no_room_) {}

GameLoop::~GameLoop() = default;

bool GameLoop::RequestPending() const {
    return runner_.RoomRequest() != kNoRequest;
}

// ---- The game -----------------------------------------------------------------------------

void GameLoop::RunMainLoop() {
    if (!running_) {
        running_ = true;
        StartGame();
    }
    running_ = true;
    paused_ = false;
    MainLoop();
    if (!running_) EndGame();
}

void GameLoop::StartGame() {
    Runtime& rt = runner_.GetRuntime();
    rt.Globals().Init();
    GameVariables& vars = runner_.Vars();
    vars.score = 0;
    vars.lives = -1;
    vars.cursor_sprite = -1;
    vars.transition_kind = 0;
    step_count_ = 0;
    rt.Rng().SetSeed(int32_t(runner_.ClockSeed()));
    GameWindow& window = *runner_.GetPlatform().window;
    window.ShowCursor(runner_.Settings().show_cursor);
    rooms_.clear();
    rooms_.resize(size_t(runner_.Game().rooms.Count()));
    StartRoom(FirstRoom(), true);
}

void GameLoop::EndGame() {
    EndRoom(true);
    rooms_.clear();
    room_ = &no_room_;
    runner_.GetPlatform().window->ShowCursor(true);
}

void GameLoop::HandleRoomRequest() {
    int32_t request = runner_.RoomRequest();
    switch (request) {
        case kNoRequest:
            return;
        case kRequestEnd:
        case kRequestEndAfterError:
            ended_by_error_ = request == kRequestEndAfterError;
            running_ = false;
            return;
        case kRequestRestart:
            EndGame();
            StartGame();
            return;
        case kRequestLoad:
            runner_.SetRoomRequest(kNoRequest);
            input_.ClearAll();
            if (hooks.load_game) hooks.load_game(save_file_name);
            return;
        default:
            GotoRoom(request);
            return;
    }
}

void GameLoop::MainLoop() {
    Clock& clock = *runner_.GetPlatform().clock;
    const int64_t max_steps = runner_.MaxSteps();
    auto limit_reached = [&] { return max_steps >= 0 && steps_run_ >= max_steps; };

    HandleRoomRequest();
    int64_t t = clock.Microseconds();
    int64_t second_mark = t;
    int32_t frames = 0;
    fps_ = 0;
    runner_.Vars().fps = 0;
    ProcessMessages();
    if (running_ && limit_reached()) {
        runner_.SetRoomRequest(kRequestEnd);
        HandleRoomRequest();
    }
    while (running_ && !paused_) {
        // An exception inside one iteration is dropped and the loop goes on; the pieces are
        // guarded apart so that the step count and the limit still advance.
        try {
            DeliverReplay(steps_run_);
            GameStep();
        } catch (...) {
        }
        ++steps_run_;
        try {
            int64_t now = clock.Microseconds();
            if (now < t) t = now;
            if (room_->speed <= 0) room_->speed = 1;
            int64_t wait = kSecond / room_->speed - (now - t);
            wait = std::clamp<int64_t>(wait, 0, kSecond);
            TimerWait(wait);
            t = now + wait;
            if (t < second_mark) second_mark = t;
            if (t / kSecond > second_mark / kSecond) {
                fps_ = frames;
                runner_.Vars().fps = frames;
                frames = 0;
                second_mark = t;
            }
            ++frames;
            // The frame drawn during the step is already on show (the window presents what
            // DrawFrame gives it); a graphics device presents here.
        } catch (...) {
        }
        if (limit_reached()) runner_.SetRoomRequest(kRequestEnd);
        try {
            HandleRoomRequest();
            ProcessMessages();
        } catch (...) {
        }
    }
}

void GameLoop::TimerWait(int64_t microseconds) {
    Clock& clock = *runner_.GetPlatform().clock;
    int64_t target = clock.Microseconds() + microseconds;
    // Sleep for all but the last millisecond, then keep the input current until the time.
    if (microseconds > 1000) clock.Sleep(microseconds - 1000);
    for (;;) {
        ProcessMessages();
        int64_t left = target - clock.Microseconds();
        if (left <= 0) break;
        clock.Sleep(std::min<int64_t>(left, 1000));
    }
}

void GameLoop::GameStep() {
    const GameSettings& settings = runner_.Settings();
    GameWindow& window = *runner_.GetPlatform().window;
    if (settings.freeze_when_inactive && !window.Active()) return;
    CheckSpecialKeys();
    if (!window.Active()) input_.ClearAll();
    RememberPositions();
    // After each phase that runs events the step ends at once when a room request is pending.
    StepEvents(kStepBegin);
    if (RequestPending()) return;
    AdvanceTimeLines();
    if (RequestPending()) return;
    DispatchAlarms();
    if (RequestPending()) return;
    DispatchKeyboard();
    if (RequestPending()) return;
    DispatchJoysticks();
    if (RequestPending()) return;
    DispatchMouse();
    if (RequestPending()) return;
    StepEvents(kStepNormal);
    if (RequestPending()) return;
    MoveInstances();
    DispatchBoundaries();
    if (RequestPending()) return;
    DispatchCollisions();
    if (RequestPending()) return;
    StepEvents(kStepEnd);
    if (RequestPending()) return;
    AdvanceParticles();
    RemoveDeleted();
    if (automatic_draw) DrawFrame();
    MoveBackgrounds();
    AnimateInstances();
    ++step_count_;
    input_.ClearEdges();
}

// The phases that walk the room's instances, time lines, triggers and particles come with
// their subsystems; until then they have nothing to do.
void GameLoop::RememberPositions() {}
void GameLoop::StepEvents(int32_t) {}
void GameLoop::AdvanceTimeLines() {}
void GameLoop::DispatchAlarms() {}
void GameLoop::DispatchKeyboard() {}
void GameLoop::DispatchJoysticks() {}
void GameLoop::MoveInstances() {}
void GameLoop::DispatchBoundaries() {}
void GameLoop::DispatchCollisions() {}
void GameLoop::AdvanceParticles() {}
void GameLoop::RemoveDeleted() {}
void GameLoop::AnimateInstances() {}

// The mouse positions in the room: the previous and the current one.
void GameLoop::DispatchMouse() {
    mouse_previous_x_ = mouse_x_;
    mouse_previous_y_ = mouse_y_;
    mouse_x_ = MouseRoomX();
    mouse_y_ = MouseRoomY();
}

// The special keys, tested in this order; the first that matches takes the key.
bool GameLoop::CheckSpecialKeys() {
    const GameSettings& s = runner_.Settings();
    int32_t key = input_.CurrentKey();
    std::string save = "_save" + std::to_string(runner_.Game().game_id) + ".sav";
    bool taken = true;
    if (s.f1_shows_game_information && key == 112) {
        input_.SetCurrentKey(0);
        if (hooks.show_game_information) hooks.show_game_information();
        input_.ClearAll();
    } else if (s.esc_ends_game && key == 27) {
        input_.SetCurrentKey(0);
        runner_.SetRoomRequest(kRequestEnd);
    } else if (s.f4_switches_fullscreen && key == 115) {
        input_.SetCurrentKey(0);
        runner_.GetPlatform().window->ToggleFullscreen();
    } else if (s.f5_f6_save_load && key == 116) {
        input_.SetCurrentKey(0);
        if (hooks.save_game) hooks.save_game(save);
    } else if (s.f5_f6_save_load && key == 117) {
        input_.SetCurrentKey(0);
        if (hooks.load_game) hooks.load_game(save);
    } else if (s.f9_screenshot && key == 120) {
        input_.SetCurrentKey(0);
        if (hooks.save_screenshot) {
            int n = 100;
            while (FileExists("screenshot" + std::to_string(n) + ".png")) ++n;
            hooks.save_screenshot("screenshot" + std::to_string(n) + ".png");
        }
    } else {
        taken = false;
    }
    // A close of the window that counts as Esc ends the game even where Esc itself does not:
    // a window that refuses to close would leave the player no way out.
    if (close_requested_) {
        close_requested_ = false;
        runner_.SetRoomRequest(kRequestEnd);
    }
    return taken;
}

void GameLoop::DrawFrame() {
    if (!window_shown_) return;
    runner_.GetPlatform().window->ShowColor(room_->show_background_color ? room_->background_color
                                                                         : 0);
}

void GameLoop::MoveBackgrounds() {
    for (CBack& b : room_->backgrounds) {
        b.x += b.hspeed;
        b.y += b.vspeed;
    }
}

// ---- Rooms --------------------------------------------------------------------------------

bool GameLoop::RoomExists(int32_t index) const {
    return runner_.Game().rooms.Exists(index);
}

int32_t GameLoop::PreviousRoom(int32_t index) const {
    const std::vector<int32_t>& order = runner_.Game().room_order;
    auto it = std::find(order.begin(), order.end(), index);
    return it == order.end() || it == order.begin() ? -1 : *(it - 1);
}

int32_t GameLoop::NextRoom(int32_t index) const {
    const std::vector<int32_t>& order = runner_.Game().room_order;
    auto it = std::find(order.begin(), order.end(), index);
    return it == order.end() || it + 1 == order.end() ? -1 : *(it + 1);
}

int32_t GameLoop::FirstRoom() const {
    const std::vector<int32_t>& order = runner_.Game().room_order;
    return order.empty() ? -1 : order.front();
}

int32_t GameLoop::LastRoom() const {
    const std::vector<int32_t>& order = runner_.Game().room_order;
    return order.empty() ? -1 : order.back();
}

void GameLoop::RequestRoom(int32_t index, int32_t transition) {
    runner_.SetRoomRequest(index);
    runner_.Vars().transition_kind = transition;
    if (!RoomExists(index)) {
        runner_.GetRuntime().RuntimeError("Unexisting room number: " + std::to_string(index), true);
        runner_.SetRoomRequest(kRequestEndAfterError);
    }
}

void GameLoop::RegionSize(int32_t& width, int32_t& height) const {
    width = room_->width;
    height = room_->height;
    if (!room_->views_enabled) return;
    width = height = 8;
    for (const CView& v : room_->views) {
        if (!v.visible) continue;
        width = std::max(width, v.xport + v.wport);
        height = std::max(height, v.yport + v.hport);
    }
}

void GameLoop::StartRoom(int32_t index, bool first) {
    runner_.SetRoomRequest(kNoRequest);
    input_.ClearAll();
    GameData& game = runner_.Game();
    if (index < 0 || !game.rooms.Exists(index)) {
        // The room order names no playable room (a damaged game): nothing can be played.
        runner_.GetRuntime().RuntimeError("Unexisting room number: " + std::to_string(index), true);
        runner_.SetRoomRequest(kRequestEndAfterError);
        return;
    }
    if (size_t(index) >= rooms_.size()) rooms_.resize(size_t(index) + 1);
    room_index_ = index;
    std::unique_ptr<CRoom>& slot = rooms_[size_t(index)];
    bool fresh = !slot;
    if (fresh) slot = std::make_unique<CRoom>(*game.rooms.Get(index));
    room_ = slot.get();

    GameWindow& window = *runner_.GetPlatform().window;
    int32_t w, h;
    RegionSize(w, h);
    window.SetCaption(room_->caption);
    if (first || window_shown_) {
        window.Open(w, h);
        window_shown_ = true;
    }
    if (first) runner_.PerformOtherEventForAll(kOtherGameStart);
    if (fresh) RunRoomCreationCode();
    runner_.PerformOtherEventForAll(kOtherRoomStart);
    if (!RequestPending() && automatic_draw) {
        DrawFrame();
        runner_.Vars().transition_kind = 0;
    }
}

// The creation code runs for a temporary instance of object 0 at (0, 0) that is in no room.
void GameLoop::RunRoomCreationCode() {
    if (room_->creation_code.empty()) return;
    Runtime& rt = runner_.GetRuntime();
    std::string name(runner_.Game().rooms.Name(room_index_));
    CCode code(room_->creation_code, false);
    if (!code.Compile(rt)) {
        std::string text =
            "COMPILATION ERROR in creation code of room " + name + "\r" + rt.ErrorText();
        rt.ClearError();
        rt.ShowError(text, false);
        return;
    }
    ResourceWorld world(runner_.Game());
    CInstance self(world, 0, 0, 0, 0);
    RValue result;
    if (!rt.Execute(code, &self, &self, result)) {
        std::string text =
            "EXECUTION ERROR in creation code of room " + name + "\r" + rt.ErrorText();
        rt.ClearError();
        rt.ShowError(text, false);
    }
}

void GameLoop::EndRoom(bool game_ending) {
    if (room_ == &no_room_) return;
    int32_t saved = runner_.RoomRequest();
    runner_.SetRoomRequest(kNoRequest);
    runner_.PerformOtherEventForAll(kOtherRoomEnd);
    if (game_ending) runner_.PerformOtherEventForAll(kOtherGameEnd);
    // A request made by these events is dropped: the one being carried out stands.
    runner_.SetRoomRequest(saved);
    if (!room_->persistent && room_index_ >= 0 && size_t(room_index_) < rooms_.size()) {
        rooms_[size_t(room_index_)].reset();
        room_ = &no_room_;
    }
}

void GameLoop::GotoRoom(int32_t index) {
    EndRoom(false);
    StartRoom(index, false);
}

// ---- Input --------------------------------------------------------------------------------

void GameLoop::ProcessMessages() {
    window_events_.clear();
    runner_.GetPlatform().window->PollEvents(window_events_);
    // Simulated key presses arrive after what the window had already queued.
    window_events_.insert(window_events_.end(), posted_.begin(), posted_.end());
    posted_.clear();
    for (const InputEvent& e : window_events_) DeliverInput(e);
}

void GameLoop::DeliverInput(const InputEvent& e) {
    using Kind = InputEvent::Kind;
    switch (e.kind) {
        case Kind::kKeyDown:
            input_.KeyDown(e.code);
            break;
        case Kind::kKeyUp:
            input_.KeyUp(e.code);
            break;
        case Kind::kChar:
            input_.Character(uint8_t(e.code));
            break;
        case Kind::kMouseMove:
            input_.window_mouse_x = e.x;
            input_.window_mouse_y = e.y;
            break;
        case Kind::kMouseDown:
            input_.MouseDown(e.code);
            break;
        case Kind::kMouseUp:
            input_.MouseUp(e.code);
            break;
        case Kind::kWheelUp:
            input_.Wheel(true);
            break;
        case Kind::kWheelDown:
            input_.Wheel(false);
            break;
        case Kind::kClose:
            if (runner_.Settings().close_button_acts_as_esc) {
                close_requested_ = true;
                input_.SetCurrentKey(27);
                input_.SetLastKey(27);
            } else {
                runner_.PerformOtherEventForAll(kOtherCloseButton);
            }
            break;
    }
}

void GameLoop::DeliverReplay(int64_t up_to_step) {
    const std::vector<ReplayEvent>& replay = runner_.Replay();
    while (replay_next_ < replay.size() && replay[replay_next_].step <= up_to_step)
        DeliverInput(replay[replay_next_++].event);
}

bool GameLoop::WaitForInput() {
    ProcessMessages();
    const std::vector<ReplayEvent>& replay = runner_.Replay();
    if (replay_next_ < replay.size()) {
        DeliverReplay(replay[replay_next_].step);
    } else if (!runner_.Windowed()) {
        return false;
    }
    runner_.GetPlatform().clock->Sleep(50000);
    return true;
}

int32_t GameLoop::MouseRoomX() const {
    return input_.window_mouse_x;
}

int32_t GameLoop::MouseRoomY() const {
    return input_.window_mouse_y;
}

}  // namespace kr
