// The debugger's window as a face of the core: after every step (and while the game is held)
// it fills the platform's DebugWindow with the game's state (the instance view, the chosen
// instance's variables, the globals, watches, messages, the speed and the step's times) and
// carries out what the user asks there through the core.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "debugger/Debugger.h"
#include "platform/DebugWindow.h"

namespace kr {

class Runner;
class ScaledClock;

struct DebugWindowOptions {
    // The window's picture after step N (counted from 0) into a PNG file.
    std::vector<std::pair<int64_t, std::string>> screenshots;
    // Hold the game at run-time errors (off where nobody can let it go on: headless runs).
    bool stop_on_errors = false;
    // The per-user store's folder for the watches (empty: the user's own).
    std::string store_folder;
    // Draw after every step, not only as often as the eye can follow (tests).
    bool draw_every_step = false;
    // What the watches are remembered under: the game's full path.
    std::string game_key;
};

class DebugWindowFace final : public DebuggerFace {
public:
    DebugWindowFace(Debugger& debugger, Runner& runner, std::unique_ptr<DebugWindow> window,
                    DebugWindowOptions options);
    ~DebugWindowFace() override;

    void WhileStopped(const std::string& reason, const std::string& text) override;
    void Poll() override;
    void Output(const std::string& category, const std::string& text) override;

private:
    struct Watch {
        std::string expression, value;
        bool global = false;
    };
    bool EnsureOpen();
    // Draws a frame and carries out what was asked; true when the game was let go on.
    bool Frame(std::vector<uint8_t>* capture = nullptr);
    bool Apply(const DebugRequest& r);
    DebugView BuildView();
    void EvaluateWatches();
    void LoadWatches();
    void SaveWatches();
    std::string StoreKey();
    void ApplySpeed();
    void TakeScreenshots(int64_t step);

    Debugger& debugger_;
    Runner& runner_;
    std::unique_ptr<DebugWindow> window_;
    DebugWindowOptions options_;
    bool open_ = false, failed_ = false;
    bool stopped_ = false, released_ = false;
    bool step_game_ = false;  // hold the game again after the next step
    bool in_frame_ = false;
    std::string state_ = "running";
    int32_t chosen_ = 0;
    std::vector<Watch> watches_;
    bool watches_loaded_ = false;
    std::vector<std::string> messages_;
    std::string code_result_;
    int32_t speed_mode_ = 0;
    double speed_factor_ = 1;
    int64_t last_draw_us_ = -1;
    ScaledClock* clock_ = nullptr;  // the run's clock while the window has it
};

}  // namespace kr
