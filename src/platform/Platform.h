// The platform: the small interfaces through which the runner reaches the host system, and the
// bundle of back ends chosen once at start-up. The headless back ends live in this folder; the
// SDL back ends in sdl/ (MakeSdlPlatform in sdl/SdlPlatform.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace kr {

// Modal messages with an OK button: load and preparation failures, script messages.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows `text` under the caption `title` and returns when the player has closed it.
    virtual void Show(std::string_view title, std::string_view text) = 0;
};

// What the player sees while the game loads and is prepared.
class LoadDisplay {
public:
    virtual ~LoadDisplay() = default;
    // Makes the display visible; `bar` says whether the progress bar is shown, `label` whether
    // the caption line under it is.
    virtual void Show(bool bar, bool label) = 0;
    // The progress in percent (0..100) with its caption. Also called before Show.
    virtual void SetProgress(int percent, std::string_view caption) = 0;
    // Hides the display for good.
    virtual void Close() = 0;
};

// Time as the runner sees it. A virtual clock makes headless runs deterministic.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds since an arbitrary start.
    virtual int64_t Microseconds() = 0;
    // Waits `us` microseconds (a virtual clock just advances).
    virtual void Sleep(int64_t us) = 0;
    // A number that differs between runs, to seed the random generator ("from the clock").
    virtual uint32_t Seed() = 0;
};

// Control over the runner's own process.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // 0 normal, 1 above normal, 2 high. Refusals by the system are ignored.
    virtual void SetPriority(int level) = 0;
};

struct Platform {
    std::unique_ptr<MessageBox> messages;
    std::unique_ptr<LoadDisplay> load_display;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<ProcessControl> process;
};

// Message boxes on standard error, progress on the terminal, a virtual clock that starts at 0,
// and no changes to the process priority.
Platform MakeHeadlessPlatform();

// The pieces, for back ends and tests that combine them.
std::unique_ptr<MessageBox> MakeStderrMessageBox();
// Draws a progress bar with its caption on standard error, and only when that is a terminal.
std::unique_ptr<LoadDisplay> MakeTerminalLoadDisplay();
std::unique_ptr<Clock> MakeSystemClock();
std::unique_ptr<Clock> MakeVirtualClock();
std::unique_ptr<ProcessControl> MakeHostProcessControl();
std::unique_ptr<ProcessControl> MakeNullProcessControl();

}  // namespace kr
