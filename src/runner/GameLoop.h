// GameLoop: the game once it is prepared. It starts and ends the game, holds the room speed with
// the platform's clock, runs the phases of one step in their fixed order, carries out room
// requests (entering and leaving rooms, keeping persistent ones), owns the input state and feeds
// it from the window and from replayed input, and handles the runner's special keys.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "runner/InputReplay.h"
#include "runner/InputState.h"
#include "runner/Room.h"
#include "runner/RoomRequest.h"
#include "runner/RoomState.h"

namespace kr {

class Runner;
class Runtime;

// What the special keys and the debugger reach in subsystems that plug into the loop. An
// empty hook does nothing.
struct LoopHooks {
    std::function<void()> show_game_information;                   // F1
    std::function<void(const std::string& file)> save_game;        // F5
    std::function<void(const std::string& file)> load_game;        // F6, and room request -300
    std::function<void(const std::string& file)> save_screenshot;  // F9
    std::function<void()> network_pump;  // once at the start of every step, without waiting
    // Debug mode: after every step of the loop (the debugger refreshes its views and takes its
    // requests); and while the loop is paused, until the debugger resumes or stops the game.
    std::function<void()> debugger_step;
    std::function<void()> debugger_paused;
    // Once the game is loaded and runs in debug mode (by its header or the run option), before
    // any of its code runs: where the debugger is attached.
    std::function<void()> debug_mode_started;
};

class GameLoop {
public:
    explicit GameLoop(Runner& runner);
    ~GameLoop();
    GameLoop(const GameLoop&) = delete;
    GameLoop& operator=(const GameLoop&) = delete;

    // ---- The game ----
    // Starts the game unless it runs, runs MainLoop, and ends the game when it stopped running.
    void RunMainLoop();
    // Resets the game state and enters the first room of the room order.
    void StartGame();
    // Leaves the room with the game-end events and discards every kept room.
    void EndGame();
    // Carries out a pending room request.
    void HandleRoomRequest();
    // Steps at the room speed until the game ends.
    void MainLoop();
    // One step, in the fixed order of its phases.
    void GameStep();
    // Debug mode: the last step's time in its parts, in microseconds, taken while
    // `measure_step_times` is set. Events are everything but the collisions and the drawing.
    struct StepTimes {
        int64_t events = 0, collisions = 0, drawing = 0;
    };
    bool measure_step_times = false;
    StepTimes step_times;

    // ---- The debugger's controls ----
    // The loop returns after the step it is in; the game keeps running, paused.
    void PauseGame() { paused_ = true; }
    // Runs the loop again without restarting the game (the driver then calls RunMainLoop).
    void ResumeGame() { paused_ = false; }
    // While running and paused: exactly one step, its frame presented, its room request
    // carried out.
    void SingleStep();
    // Ends the game: through EndGame at once when it is paused, else when the loop returns.
    void StopGame();
    bool Paused() const { return paused_; }

    bool Running() const { return running_; }
    // Whether the game ended because of a fatal error (room request -400).
    bool EndedByError() const { return ended_by_error_; }
    // Steps performed since the game (re)started; the loop's own count is StepsRun.
    int64_t StepCount() const { return step_count_; }
    int64_t StepsRun() const { return steps_run_; }
    bool automatic_draw = true;
    // The view being drawn while the room is drawn (so draw events can test it); 0 at every
    // other time.
    int32_t view_current = 0;
    // The file of a pending load (room request -300).
    std::string save_file_name;
    LoopHooks hooks;

    // ---- Rooms ----
    bool RoomExists(int32_t index) const;
    // The neighbours of a room in the room order; -1 when it has none or is not in it.
    int32_t PreviousRoom(int32_t index) const;
    int32_t NextRoom(int32_t index) const;
    int32_t FirstRoom() const;
    int32_t LastRoom() const;
    // Sets the room request and the transition; a room that does not exist is the fatal error
    // "Unexisting room number: N" and ends the game.
    void RequestRoom(int32_t index, int32_t transition);
    // The current room (the runner's idle room before the first one) with its instances, its
    // fields, and its number (-1 before the first room).
    RoomState& Current() { return *current_; }
    CRoom& Room() { return current_->room; }
    int32_t RoomIndex() const { return room_index_; }
    // Enters room `index` (`first`: the game's first room). Leaves the current room.
    void StartRoom(int32_t index, bool first);
    void EndRoom(bool game_ending);
    void GotoRoom(int32_t index);
    // The size of the window region the room is shown in.
    void RegionSize(int32_t& width, int32_t& height) const;
    // Saved games: the kept room copies by number (the current one's included; null where
    // none is kept), and replacing them all by a loaded game's, slot `current` (which holds a
    // copy) becoming the current room. No event is performed (runner/SaveGame.cpp).
    const std::vector<std::unique_ptr<RoomState>>& KeptRooms() const { return rooms_; }
    void InstallRooms(std::vector<std::unique_ptr<RoomState>> rooms, int32_t current);
    void SetStepCount(int64_t n) { step_count_ = n; }

    // ---- Input ----
    InputState& Input() { return input_; }
    // Delivers what the window and the synthetic key events have sent since the last call.
    void ProcessMessages();
    // One notification, as the window's handlers take it.
    void DeliverInput(const InputEvent& e);
    // A notification that arrives with the next ProcessMessages (simulated key presses).
    void PostInput(const InputEvent& e) { posted_.push_back(e); }
    // For functions that wait for input: processes messages and waits 50 ms. Replayed input of
    // later steps is delivered early, since the step cannot end while the game waits. False
    // when no further input can come (no window and nothing left to replay).
    bool WaitForInput();
    // The mouse in room coordinates (mouse_x, mouse_y), through the window region.
    int32_t MouseRoomX() const;
    int32_t MouseRoomY() const;

    // ---- Timing ----
    int32_t Fps() const { return fps_; }

private:
    // The phases of one step (GameStep times them when asked).
    void StepPhases();
    // One step as the loop runs it: the step's replayed input, the step (an exception in it is
    // reported and the count still advances), its frame done, then the debugger's look.
    void RunOneStep();
    // The phases of the step, in their order.
    void RememberPositions();
    void StepEvents(int32_t moment);  // triggers of the moment, then the step events
    void AdvanceTimeLines();
    void DispatchAlarms();
    void DispatchKeyboard();
    void DispatchJoysticks();
    void DispatchMouse();
    void MoveInstances();  // friction, gravity, paths and speeds
    void DispatchBoundaries();
    void DispatchCollisions();
    void AdvanceParticles();
    void RemoveDeleted();
    void AnimateInstances();

    bool RequestPending() const;
    // Reports the exception being handled (called inside a catch block) at `where`.
    void ReportInternalError(const char* where) noexcept;
    bool CheckSpecialKeys();
    void DeliverReplay(int64_t up_to_step);
    void TimerWait(int64_t microseconds);
    void DrawFrame();
    void PlayTransition();
    void MoveBackgrounds();
    // Makes the working copy of room resource `index` in `state`.
    void AssignRoom(RoomState& state, int32_t index);
    void RunRoomCreationCode();
    void RunInstanceCreationCode(CInstance& inst);
    // Shows a creation-code error: `what` ("COMPILATION ERROR in creation code of room x"),
    // a line break and the message pending in the runtime.
    void ReportCodeError(const std::string& what);
    // The mouse events of instances whose masks cover the mouse (local) or of all (global).
    void MouseLocal(int32_t number);
    void MouseGlobal(int32_t number);

    Runner& runner_;
    InputState input_;
    std::vector<InputEvent> window_events_;
    std::vector<InputEvent> posted_;
    size_t replay_next_ = 0;

    bool running_ = false;
    bool paused_ = false;
    bool ended_by_error_ = false;
    bool close_requested_ = false;
    int64_t step_count_ = 0;
    int64_t steps_run_ = 0;
    int32_t fps_ = 0;

    // Working copies of rooms by number: the current room's, and those of persistent rooms
    // that were left.
    std::vector<std::unique_ptr<RoomState>> rooms_;
    RoomState* current_;
    int32_t room_index_ = -1;
    // Persistent instances on their way to the next room.
    std::vector<std::unique_ptr<CInstance>> carried_;
    bool window_shown_ = false;
    // The mouse in the room at the last two mouse phases (not reset between rooms).
    int32_t mouse_x_ = 0, mouse_y_ = 0, mouse_previous_x_ = 0, mouse_previous_y_ = 0;
};

// Gives the built-in variables of the input state and of the current room (mouse_x,
// keyboard_key, room, room_speed, background_*, view_* ...) their accessors.
void AttachLoopVariables(Runtime& rt);

}  // namespace kr
