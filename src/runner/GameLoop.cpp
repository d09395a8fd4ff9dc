// The main loop: starting and ending the game, the timed loop, the order of one step, room
// requests, entering and leaving rooms, input delivery and the special keys.
#include "runner/GameLoop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>

#include "code/Code.h"
#include "data/Sprite.h"
#include "objects/EventTypes.h"
#include "objects/Instance.h"
#include "objects/InstanceCollision.h"
#include "objects/InstancePath.h"
#include "platform/Files.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr int64_t kSecond = 1000000;

// A joystick axis (0 to 65535) counts as pushed past these, either side of its centre.
constexpr int32_t kJoystickLow = 20000;
constexpr int32_t kJoystickHigh = 44000;

// The virtual key codes of the special keys.
constexpr int32_t kVkEscape = 27;
constexpr int32_t kVkF1 = 112;
constexpr int32_t kVkF4 = 115;
constexpr int32_t kVkF5 = 116;
constexpr int32_t kVkF6 = 117;
constexpr int32_t kVkF9 = 120;

}  // namespace

GameLoop::GameLoop(Runner& runner) : runner_(runner), current_(&runner.IdleRoom()) {}

GameLoop::~GameLoop() = default;

bool GameLoop::RequestPending() const {
    return runner_.RoomRequest() != kNoRoomRequest;
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
    if (!running_) {
        EndGame();
        runner_.Drawer().Transitions().Discard();
    }
}

void GameLoop::RunOneStep() {
    try {
        DeliverReplay(steps_run_);
        GameStep();
    } catch (...) {
        ReportInternalError("the step");
    }
    runner_.Drawer().StepDone(steps_run_);
    ++steps_run_;
    if (hooks.debugger_step) hooks.debugger_step();
}

void GameLoop::SingleStep() {
    if (!running_ || !paused_) return;
    try {
        ProcessMessages();
    } catch (...) {
        ReportInternalError("the step");
    }
    RunOneStep();
    const int64_t max_steps = runner_.MaxSteps();
    if ((max_steps >= 0 && steps_run_ >= max_steps) || runner_.StopRequested())
        runner_.SetRoomRequest(kRequestEnd);
    try {
        HandleRoomRequest();
        ProcessMessages();
    } catch (...) {
        ReportInternalError("a room change");
    }
    // The step may have ended the game: it then ends here, as the loop would have ended it.
    if (!running_) {
        paused_ = false;
        EndGame();
        runner_.Drawer().Transitions().Discard();
    }
}

void GameLoop::StopGame() {
    if (paused_ && running_) {
        EndGame();
        runner_.Drawer().Transitions().Discard();
    }
    running_ = false;
    paused_ = false;
}

void GameLoop::StartGame() {
    Runtime& rt = runner_.GetRuntime();
    runner_.BuildEventLists();
    // Solid collisions move instances on along their paths too (without the end event).
    runner_.Events().advance_path = [this](CInstance& inst) {
        if (inst.path_index >= 0) FollowPathStep(inst, runner_.Game().paths.Get(inst.path_index));
    };
    rt.Globals().Init();
    GameVariables& vars = runner_.Vars();
    vars.score = 0;
    vars.lives = -1;
    vars.cursor_sprite = -1;
    vars.transition_kind = 0;
    step_count_ = 0;
    rt.Rng().SetSeed(int32_t(runner_.ClockSeed()));
    // A fatal error in the initialization code ends the game before its first room.
    if (!runner_.RunLibraryInitCode() || RequestPending()) return;
    GameWindow& window = *runner_.GetPlatform().window;
    window.ShowCursor(runner_.Settings().show_cursor);
    rooms_.clear();
    rooms_.resize(size_t(runner_.Game().rooms.Count()));
    carried_.clear();
    StartRoom(FirstRoom(), true);
}

void GameLoop::EndGame() {
    EndRoom(true);
    carried_.clear();
    current_ = &runner_.IdleRoom();
    rooms_.clear();
    runner_.GetPlatform().window->ShowCursor(true);
}

void GameLoop::HandleRoomRequest() {
    int32_t request = runner_.RoomRequest();
    switch (request) {
        case kNoRoomRequest:
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
            runner_.SetRoomRequest(kNoRoomRequest);
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
    auto limit_reached = [&] {
        return (max_steps >= 0 && steps_run_ >= max_steps) || runner_.StopRequested();
    };

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
        // An exception inside one iteration is reported and the loop goes on; the pieces are
        // guarded apart so that the step count and the limit still advance.
        RunOneStep();
        try {
            int64_t now = clock.Microseconds();
            if (now < t) t = now;
            CRoom& room = Room();
            if (room.speed <= 0) room.speed = 1;
            int64_t wait = kSecond / room.speed - (now - t);
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
            ReportInternalError("the timing of the step");
        }
        if (limit_reached()) runner_.SetRoomRequest(kRequestEnd);
        try {
            HandleRoomRequest();
            // A transition's frames count as steps: the limit may have been reached in one.
            if (running_ && limit_reached()) {
                runner_.SetRoomRequest(kRequestEnd);
                HandleRoomRequest();
            }
            ProcessMessages();
        } catch (...) {
            ReportInternalError("a room change");
        }
    }
}

// An exception that escapes the game's code is a fault of the runner, not of the game: it goes
// to standard error and through the error path as an internal error, which the game's error
// settings then show, log or turn into the end of the game.
void GameLoop::ReportInternalError(const char* where) noexcept {
    std::string what = "an unknown exception";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    try {
        std::string text = std::string("INTERNAL ERROR in ") + where + ": " + what;
        std::fprintf(stderr, "korvane: %s\n", text.c_str());
        runner_.GetRuntime().ShowError(text, false);
    } catch (...) {
        std::fputs("korvane: INTERNAL ERROR while reporting an internal error\n", stderr);
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

namespace {
int64_t MonotonicMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

void GameLoop::GameStep() {
    if (!measure_step_times) return StepPhases();
    step_times = StepTimes{};
    const int64_t start = MonotonicMicroseconds();
    StepPhases();
    step_times.events = std::max<int64_t>(
        MonotonicMicroseconds() - start - step_times.collisions - step_times.drawing, 0);
}

void GameLoop::StepPhases() {
    const GameSettings& settings = runner_.Settings();
    GameWindow& window = *runner_.GetPlatform().window;
    if (hooks.network_pump) hooks.network_pump();
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
    if (measure_step_times) {
        const int64_t t = MonotonicMicroseconds();
        DispatchCollisions();
        step_times.collisions = MonotonicMicroseconds() - t;
    } else {
        DispatchCollisions();
    }
    if (RequestPending()) return;
    StepEvents(kStepEnd);
    if (RequestPending()) return;
    AdvanceParticles();
    RemoveDeleted();
    if (automatic_draw) {
        const int64_t t = measure_step_times ? MonotonicMicroseconds() : 0;
        DrawFrame();
        if (measure_step_times) step_times.drawing = MonotonicMicroseconds() - t;
    }
    MoveBackgrounds();
    AnimateInstances();
    ++step_count_;
    input_.ClearEdges();
}

// Walks the room's active instances by position, the count taken first: instances created
// during the walk are not visited, and positions past a shortened end are skipped.
template <class Fn>
static void ForEachByPosition(InstanceList& room, Fn fn) {
    for (int32_t i = 0, n = room.Count(); i < n; ++i) {
        if (CInstance* ahead = room.At(i + kPrefetchAhead)) ahead->Prefetch();
        if (CInstance* inst = room.At(i)) fn(*inst);
    }
}

void GameLoop::RememberPositions() {
    ForEachByPosition(current_->instances, [](CInstance& inst) {
        inst.xprevious = inst.X();
        inst.yprevious = inst.Y();
        inst.SetPathPositionPrevious(inst.PathPosition());
    });
}

// The triggers of the moment, then the step events. A trigger's condition is tested only for
// the instances whose object responds to it; all tests of one call share one result value, so
// a condition that sets no value repeats the previous test's outcome.
void GameLoop::StepEvents(int32_t moment) {
    EventDispatch& events = runner_.Events();
    const ResourceTable<CTrigger>& triggers = runner_.Game().triggers;
    if (triggers.Count() > 0) {
        Runtime& rt = runner_.GetRuntime();
        RValue result;
        for (int32_t t = 0; t < triggers.Count(); ++t) {
            const CTrigger* trigger = triggers.Get(t);
            if (!trigger || trigger->moment != moment || !trigger->code) continue;
            std::shared_ptr<CCode> code = trigger->code;
            events.ForEachResponder(kEventTrigger, t, [&](CInstance& inst) {
                if (!rt.ExecuteForValue(*code, &inst, &inst, result)) {
                    std::string text =
                        "ERROR in trigger " + trigger->name + "\r\n" + rt.ErrorText();
                    rt.ClearError();
                    rt.ShowError(text, false);
                    return;
                }
                if (result.IsReal() && result.real >= 0.5)
                    events.PerformInstanceEvent(&inst, &inst, kEventTrigger, t);
            });
        }
    }
    events.PerformForResponders(kEventStep, moment);
}

// Each running instance advances its time line; a moment's actions run from a copy, so that a
// moment may change or delete its own time line.
void GameLoop::AdvanceTimeLines() {
    EventDispatch& events = runner_.Events();
    ResourceTable<CTimeLine>& lines = runner_.Game().time_lines;
    ForEachByPosition(current_->instances, [&](CInstance& inst) {
        if (inst.deleted || !inst.timeline_running || inst.timeline_speed == 0) return;
        const int32_t n = inst.timeline_index;
        const CTimeLine* t = lines.Get(n);
        if (!t || t->moments.empty()) return;
        AdvanceTimeLine(inst, *t, [&](int32_t k) {
            const CTimeLine* now = lines.Get(n);
            if (RequestPending() || !now || k >= now->Count()) return;
            const TimeLineMoment moment = now->moments[size_t(k)];
            events.PerformActions(&inst, &inst, moment.event, n, kTimeLineEvent, moment.step);
        });
    });
}

void GameLoop::AdvanceParticles() {
    runner_.Particles().UpdateAll();
}

// An alarm counts down only for instances whose object responds to it; one that reaches 0
// fires, one set to 0 is simply switched off.
void GameLoop::DispatchAlarms() {
    EventDispatch& events = runner_.Events();
    for (int32_t a = 0; a < kAlarmCount; ++a) {
        events.ForEachResponder(kEventAlarm, a, [&](CInstance& inst) {
            int32_t& alarm = inst.alarm[size_t(a)];
            if (alarm < 0) return;
            if (--alarm == 0) events.PerformEvent(&inst, &inst, inst.object_index, kEventAlarm, a);
        });
    }
}

// Three passes over the keys: held (a key pressed and released within the step counts),
// pressed and released; each ends with its no-key or any-key event.
void GameLoop::DispatchKeyboard() {
    EventDispatch& events = runner_.Events();
    struct Pass {
        int32_t type;
        bool (*counts)(const InputState&, int32_t);
    };
    static constexpr Pass kPasses[] = {
        {kEventKeyboard,
         [](const InputState& in, int32_t k) { return in.Held(k) || in.Pressed(k); }},
        {kEventKeyPress, [](const InputState& in, int32_t k) { return in.Pressed(k); }},
        {kEventKeyRelease, [](const InputState& in, int32_t k) { return in.Released(k); }},
    };
    for (const Pass& pass : kPasses) {
        bool any = false;
        for (int32_t k = kFirstKeyEvent; k < kKeyCount; ++k) {
            if (!pass.counts(input_, k)) continue;
            any = true;
            events.PerformForResponders(pass.type, k);
        }
        events.PerformForResponders(pass.type, any ? kKeyAny : kKeyNone);
    }
}

// The first two joysticks: directions past 20000 from the centre and buttons 1 to 8.
void GameLoop::DispatchJoysticks() {
    EventDispatch& events = runner_.Events();
    for (int32_t j = 0; j < 2; ++j) {
        JoystickState s;
        if (!runner_.GetPlatform().joysticks->Read(j, s)) continue;
        int32_t base = j == 0 ? kMouseJoystick1 : kMouseJoystick2;
        int32_t x = s.axes[0], y = s.axes[1];
        if (x < kJoystickLow) events.PerformForResponders(kEventMouse, base + kJoystickLeft);
        if (x > kJoystickHigh) events.PerformForResponders(kEventMouse, base + kJoystickRight);
        if (y < kJoystickLow) events.PerformForResponders(kEventMouse, base + kJoystickUp);
        if (y > kJoystickHigh) events.PerformForResponders(kEventMouse, base + kJoystickDown);
        for (int32_t b = 0; b < 8; ++b)
            if (s.buttons >> b & 1u)
                events.PerformForResponders(kEventMouse, base + kJoystickButton1 + b);
    }
}

void GameLoop::MouseLocal(int32_t number) {
    EventDispatch& events = runner_.Events();
    events.ForEachResponder(kEventMouse, number, [&](CInstance& inst) {
        if (InstanceAtPoint(inst, mouse_x_, mouse_y_, true))
            events.PerformEvent(&inst, &inst, inst.object_index, kEventMouse, number);
    });
}

void GameLoop::MouseGlobal(int32_t number) {
    runner_.Events().PerformForResponders(kEventMouse, number);
}

void GameLoop::DispatchMouse() {
    mouse_previous_x_ = mouse_x_;
    mouse_previous_y_ = mouse_y_;
    mouse_x_ = MouseRoomX();
    mouse_y_ = MouseRoomY();
    bool any = false;
    for (int32_t b = 1; b <= kMouseButtonCount; ++b) {
        if (!input_.ButtonHeld(b) && !input_.ButtonPressed(b)) continue;
        any = true;
        MouseLocal(kMouseButtonHeld + b - 1);
        MouseGlobal(kMouseGlobalButtonHeld + b - 1);
    }
    if (!any) MouseLocal(kMouseNoButton);
    for (int32_t b = 1; b <= kMouseButtonCount; ++b) {
        if (!input_.ButtonPressed(b)) continue;
        MouseLocal(kMouseButtonPressed + b - 1);
        MouseGlobal(kMouseGlobalPressed);
        MouseGlobal(kMouseGlobalButtonPressed + b - 1);
    }
    for (int32_t b = 1; b <= kMouseButtonCount; ++b) {
        if (!input_.ButtonReleased(b)) continue;
        MouseLocal(kMouseButtonReleased + b - 1);
        MouseGlobal(kMouseGlobalReleased);
        MouseGlobal(kMouseGlobalButtonReleased + b - 1);
    }
    EventDispatch& events = runner_.Events();
    for (int32_t number : {kMouseEnter, kMouseLeave}) {
        events.ForEachResponder(kEventMouse, number, [&](CInstance& inst) {
            bool now = InstanceAtPoint(inst, mouse_x_, mouse_y_, true);
            bool before = InstanceAtPoint(inst, mouse_previous_x_, mouse_previous_y_, true);
            if (number == kMouseEnter ? now && !before : before && !now)
                events.PerformEvent(&inst, &inst, inst.object_index, kEventMouse, number);
        });
    }
    if (input_.WheelUp()) MouseGlobal(kMouseWheelUp);
    if (input_.WheelDown()) MouseGlobal(kMouseWheelDown);
}

// Friction and gravity, the path (with its end event), then the speeds move every instance,
// destroyed ones included.
void GameLoop::MoveInstances() {
    EventDispatch& events = runner_.Events();
    const ResourceTable<CPath>& paths = runner_.Game().paths;
    ForEachByPosition(current_->instances, [&](CInstance& inst) {
        inst.ApplyFrictionAndGravity();
        if (inst.path_index >= 0 && FollowPathStep(inst, paths.Get(inst.path_index)))
            events.PerformInstanceEvent(&inst, &inst, kEventOther, kOtherEndOfPath);
        inst.SetPosition(inst.X() + inst.HSpeed(), inst.Y() + inst.VSpeed());
    });
}

// Outside the room, crossing its edge, outside a view and crossing a view's edge, tested in
// every step in which they hold. An instance with a sprite or mask uses its bounding box,
// otherwise its position.
void GameLoop::DispatchBoundaries() {
    EventDispatch& events = runner_.Events();
    const GameWorld& world = runner_.World();
    const CRoom& room = Room();
    struct Box {
        double left, top, right, bottom;
    };
    auto box_of = [&](const CInstance& inst) {
        if (world.FindSprite(inst.SpriteIndex()) || world.FindSprite(inst.MaskIndex()))
            return Box{double(inst.BBoxLeft()), double(inst.BBoxTop()), double(inst.BBoxRight()),
                       double(inst.BBoxBottom())};
        return Box{inst.X(), inst.Y(), inst.X(), inst.Y()};
    };
    auto raise_if = [&](int32_t number, auto test) {
        events.ForEachResponder(kEventOther, number, [&](CInstance& inst) {
            if (test(box_of(inst)))
                events.PerformEvent(&inst, &inst, inst.object_index, kEventOther, number);
        });
    };
    const double w = room.width, h = room.height;
    raise_if(kOtherOutsideRoom,
             [&](const Box& b) { return b.right < 0 || b.left > w || b.bottom < 0 || b.top > h; });
    raise_if(kOtherIntersectBoundary,
             [&](const Box& b) { return b.left < 0 || b.right > w || b.top < 0 || b.bottom > h; });
    if (!room.views_enabled) return;
    for (int32_t v = 0; v < kRoomViewCount; ++v) {
        const CView& view = room.views[size_t(v)];
        if (!view.visible) continue;
        const double x0 = view.xview, y0 = view.yview;
        const double x1 = x0 + view.wview, y1 = y0 + view.hview;
        raise_if(kOtherOutsideView0 + v, [&](const Box& b) {
            return x0 > b.right || x1 < b.left || y0 > b.bottom || y1 < b.top;
        });
        raise_if(kOtherBoundaryView0 + v, [&](const Box& b) {
            return x0 > b.left || x1 < b.right || y0 > b.top || y1 < b.bottom;
        });
    }
}

void GameLoop::DispatchCollisions() {
    runner_.HandleCollisions();
}

void GameLoop::RemoveDeleted() {
    current_->instances.RemoveDeleted();
}

void GameLoop::AnimateInstances() {
    EventDispatch& events = runner_.Events();
    ForEachByPosition(current_->instances, [&](CInstance& inst) {
        if (inst.AdvanceAnimation() && !inst.deleted)
            events.PerformInstanceEvent(&inst, &inst, kEventOther, kOtherAnimationEnd);
    });
}

// The special keys, tested in this order; the first that matches takes the key.
bool GameLoop::CheckSpecialKeys() {
    const GameSettings& s = runner_.Settings();
    int32_t key = input_.CurrentKey();
    std::string save = "_save" + std::to_string(runner_.Game().game_id) + ".sav";
    bool taken = true;
    if (s.f1_shows_game_information && key == kVkF1) {
        input_.SetCurrentKey(0);
        if (hooks.show_game_information) hooks.show_game_information();
        input_.ClearAll();
    } else if (s.esc_ends_game && key == kVkEscape) {
        input_.SetCurrentKey(0);
        runner_.SetRoomRequest(kRequestEnd);
    } else if (s.f4_switches_fullscreen && key == kVkF4) {
        input_.SetCurrentKey(0);
        runner_.GetPlatform().window->ToggleFullscreen();
    } else if (s.f5_f6_save_load && key == kVkF5) {
        input_.SetCurrentKey(0);
        if (hooks.save_game) hooks.save_game(save);
    } else if (s.f5_f6_save_load && key == kVkF6) {
        input_.SetCurrentKey(0);
        if (hooks.load_game) hooks.load_game(save);
    } else if (s.f9_screenshot && key == kVkF9) {
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
    if (runner_.Drawer().Gfx().HasDevice()) {
        runner_.Drawer().DrawFrame();
        runner_.Drawer().PresentFrame();
        return;
    }
    const CRoom& room = Room();
    runner_.GetPlatform().window->ShowColor(room.show_background_color ? room.background_color : 0);
}

void GameLoop::MoveBackgrounds() {
    for (CBack& b : Room().backgrounds) {
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
    const CRoom& room = current_->room;
    width = room.width;
    height = room.height;
    if (!room.views_enabled) return;
    width = height = 8;
    for (const CView& v : room.views) {
        if (!v.visible) continue;
        width = std::max(width, v.xport + v.wport);
        height = std::max(height, v.yport + v.hport);
    }
}

void GameLoop::AssignRoom(RoomState& state, int32_t index) {
    const CRoom& resource = *runner_.Game().rooms.Get(index);
    state.room = resource;
    for (const RoomInstance& stored : resource.instances) {
        CInstance& inst =
            state.instances.AddInstanceWithId(stored.object, stored.x, stored.y, stored.id);
        inst.creation_code = stored.creation_code;
    }
}

void GameLoop::StartRoom(int32_t index, bool first) {
    runner_.SetRoomRequest(kNoRoomRequest);
    input_.ClearAll();
    runner_.Particles().EffectClear();
    GameData& game = runner_.Game();
    if (index < 0 || !game.rooms.Exists(index)) {
        // The room order names no playable room (a damaged game): nothing can be played.
        runner_.GetRuntime().RuntimeError("Unexisting room number: " + std::to_string(index), true);
        runner_.SetRoomRequest(kRequestEndAfterError);
        return;
    }
    if (size_t(index) >= rooms_.size()) rooms_.resize(size_t(index) + 1);
    room_index_ = index;
    std::unique_ptr<RoomState>& slot = rooms_[size_t(index)];
    bool fresh = !slot;
    if (fresh) {
        slot = std::make_unique<RoomState>(runner_.World());
        AssignRoom(*slot, index);
    }
    current_ = slot.get();
    InstanceList& room = current_->instances;

    GameWindow& window = *runner_.GetPlatform().window;
    int32_t w, h;
    RegionSize(w, h);
    runner_.Drawer().RoomRegionSize(w, h);
    window.SetCaption(Room().caption);
    if (first || window_shown_) {
        window.Open(w, h);
        window_shown_ = true;
    }

    // Persistent instances come along with their ids; an instance of this room with the same
    // id gives way to the one carried in.
    int32_t carried = int32_t(carried_.size());
    for (std::unique_ptr<CInstance>& c : carried_) {
        for (int32_t i = 0, n = room.Count(); i < n; ++i)
            if (CInstance* inst = room.At(i); inst && inst->id == c->id) inst->deleted = true;
        CInstance& inst = room.AddInstanceWithId(c->object_index, c->X(), c->Y(), c->id);
        inst.Assign(*c);
    }
    carried_.clear();

    if (fresh) {
        EventDispatch& events = runner_.Events();
        for (int32_t i = 0, n = room.Count() - carried; i < n; ++i) {
            CInstance* inst = room.At(i);
            if (!inst || inst->deleted) continue;
            RunInstanceCreationCode(*inst);
            events.PerformInstanceEvent(inst, inst, kEventCreate, 0);
        }
    }
    if (first) runner_.PerformOtherEventForAll(kOtherGameStart);
    if (fresh) RunRoomCreationCode();
    runner_.PerformOtherEventForAll(kOtherRoomStart);
    RoomTransitions& transitions = runner_.Drawer().Transitions();
    if (!RequestPending() && automatic_draw) {
        if (transitions.Captured()) {
            runner_.Drawer().DrawFrame();
            PlayTransition();
        } else {
            DrawFrame();
        }
        runner_.Vars().transition_kind = 0;
    } else {
        // A capture that is not played now never will be: the next room change makes its own.
        transitions.Discard();
    }
}

// The frames of a transition count as steps of the run (screenshots, replayed input and the
// step limit see them so); each is shown for one vertical blank of a 60 Hz display.
void GameLoop::PlayTransition() {
    constexpr int64_t kFrame = kSecond / 60;
    Clock& clock = *runner_.GetPlatform().clock;
    int64_t next = clock.Microseconds();
    runner_.Drawer().Transitions().Run(runner_.Vars().transition_steps, [&] {
        runner_.Drawer().TakeScreenshots(steps_run_);
        ++steps_run_;
        next += kFrame;
        int64_t now = clock.Microseconds();
        if (next > now)
            clock.Sleep(next - now);
        else
            next = now;
        return !runner_.StopRequested();
    });
}

void GameLoop::ReportCodeError(const std::string& what) {
    Runtime& rt = runner_.GetRuntime();
    std::string text = what + "\r" + rt.ErrorText();
    rt.ClearError();
    rt.ShowError(text, false);
}

void GameLoop::RunInstanceCreationCode(CInstance& inst) {
    if (inst.creation_code.empty()) return;
    Runtime& rt = runner_.GetRuntime();
    std::string where = "creation code for instance " + std::to_string(inst.id) + " in room " +
                        std::string(runner_.Game().rooms.Name(room_index_));
    CCode code(inst.creation_code, false);
    if (!code.Compile(rt)) return ReportCodeError("COMPILATION ERROR in " + where);
    RValue result;
    if (!rt.Execute(code, &inst, &inst, result)) ReportCodeError("EXECUTION ERROR in " + where);
}

// The room's creation code runs for a temporary instance in no room.
void GameLoop::RunRoomCreationCode() {
    const std::string& text = Room().creation_code;
    if (text.empty()) return;
    Runtime& rt = runner_.GetRuntime();
    std::string where =
        "creation code of room " + std::string(runner_.Game().rooms.Name(room_index_));
    CCode code(text, false);
    if (!code.Compile(rt)) return ReportCodeError("COMPILATION ERROR in " + where);
    std::unique_ptr<CInstance> self = runner_.NewTemporaryInstance();
    RValue result;
    if (!rt.Execute(code, self.get(), self.get(), result))
        ReportCodeError("EXECUTION ERROR in " + where);
}

void GameLoop::EndRoom(bool game_ending) {
    if (current_ == &runner_.IdleRoom()) return;
    if (window_shown_) runner_.Drawer().Transitions().Capture(runner_.Vars().transition_kind);
    InstanceList& room = current_->instances;
    room.RemoveDeleted();
    int32_t saved = runner_.RoomRequest();
    runner_.SetRoomRequest(kNoRoomRequest);
    runner_.PerformOtherEventForAll(kOtherRoomEnd);
    if (game_ending) runner_.PerformOtherEventForAll(kOtherGameEnd);
    // A request made by these events is dropped: the one being carried out stands.
    runner_.SetRoomRequest(saved);

    carried_.clear();
    for (int32_t i = 0, n = room.Count(); i < n; ++i) {
        CInstance* inst = room.At(i);
        if (!inst || inst->deleted || !inst->persistent) continue;
        auto c = std::make_unique<CInstance>(runner_.World(), inst->X(), inst->Y(), inst->id,
                                             inst->object_index);
        c->Assign(*inst);
        carried_.push_back(std::move(c));
        inst->deleted = true;
    }
    if (!Room().persistent && room_index_ >= 0 && size_t(room_index_) < rooms_.size()) {
        current_ = &runner_.IdleRoom();
        rooms_[size_t(room_index_)].reset();
    }
}

void GameLoop::GotoRoom(int32_t index) {
    EndRoom(false);
    StartRoom(index, false);
}

// ---- Input --------------------------------------------------------------------------------

void GameLoop::ProcessMessages() {
    runner_.UpdateSound();
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
                input_.SetCurrentKey(kVkEscape);
                input_.SetLastKey(kVkEscape);
            } else {
                runner_.PerformOtherEventForAll(kOtherCloseButton);
            }
            break;
    }
}

void GameLoop::DeliverReplay(int64_t up_to_step) {
    const std::vector<ReplayEvent>& replay = runner_.Replay();
    // Answers to the game's own windows are taken by the windows themselves. The position
    // moves on before an event is delivered, so one that fails is not delivered again.
    while (replay_next_ < replay.size() && replay[replay_next_].step <= up_to_step) {
        const ReplayEvent& e = replay[replay_next_++];
        if (e.answer == ReplayEvent::Answer::kNone) DeliverInput(e.event);
    }
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
    int32_t x, y;
    runner_.Drawer().MouseRoom(x, y);
    return x;
}

int32_t GameLoop::MouseRoomY() const {
    int32_t x, y;
    runner_.Drawer().MouseRoom(x, y);
    return y;
}

}  // namespace kr
