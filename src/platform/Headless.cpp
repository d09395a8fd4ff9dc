// The back ends that need no window system: message boxes on standard error, a progress bar on
// the terminal, the system and the virtual clock, process priority through the scheduler, and
// the window and joysticks of a run without a display.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace kr {

namespace {

class StderrMessageBox final : public MessageBox {
public:
    void Show(std::string_view title, std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
        std::fflush(stderr);
    }
};

class TerminalLoadDisplay final : public LoadDisplay {
public:
    TerminalLoadDisplay() : tty_(::isatty(STDERR_FILENO) == 1) {}
    ~TerminalLoadDisplay() override { Close(); }

    void Show(bool bar, bool /*label*/) override {
        // The caption is shown with the bar whatever the label setting: on a terminal it is
        // the only way to tell the steps apart.
        visible_ = tty_ && bar;
        Draw();
    }
    void SetProgress(int percent, std::string_view caption) override {
        percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
        caption_ = caption;
        Draw();
    }
    void Close() override {
        if (!visible_) return;
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        visible_ = false;
    }

private:
    void Draw() {
        if (!visible_) return;
        constexpr int kWidth = 30;
        int full = (percent_ * kWidth + 50) / 100;
        std::string bar(size_t(full), '#');
        bar.append(size_t(kWidth - full), '-');
        std::fprintf(stderr, "\r\x1b[K[%s] %3d%% %s", bar.c_str(), percent_, caption_.c_str());
        std::fflush(stderr);
    }

    bool tty_;
    bool visible_ = false;
    int percent_ = 0;
    std::string caption_;
};

class SystemClock final : public Clock {
public:
    int64_t Microseconds() override {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void Sleep(int64_t us) override {
        if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
    uint32_t Seed() override {
        using namespace std::chrono;
        auto t = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        return uint32_t(t) ^ uint32_t(::getpid()) << 16;
    }
};

class VirtualClock final : public Clock {
public:
    int64_t Microseconds() override { return now_; }
    void Sleep(int64_t us) override {
        if (us > 0) now_ += us;
    }
    uint32_t Seed() override { return 0; }

private:
    int64_t now_ = 0;
};

class HostProcessControl final : public ProcessControl {
public:
    void SetPriority(int level) override {
        // Raising the priority needs privileges that a player's account rarely has; a refusal
        // leaves the game at normal priority, as the level is only a wish.
        int nice = level == 1 ? -5 : level == 2 ? -10 : 0;
        if (nice != 0) (void)::setpriority(PRIO_PROCESS, 0, nice);
    }
};

class NullProcessControl final : public ProcessControl {
public:
    void SetPriority(int) override {}
};

class NullWindow final : public GameWindow {
public:
    bool Create() override { return true; }
    void Open(int32_t, int32_t) override {}
    void SetCaption(std::string_view) override {}
    void ShowColor(int32_t) override {}
    void PollEvents(std::vector<InputEvent>&) override {}
    bool Active() override { return true; }
    bool KeyDownNow(int32_t) override { return false; }
    bool NumLock() override { return num_lock_; }
    void SetNumLock(bool on) override { num_lock_ = on; }
    void ToggleFullscreen() override { fullscreen_ = !fullscreen_; }
    bool Fullscreen() override { return fullscreen_; }
    void ShowCursor(bool) override {}

private:
    bool num_lock_ = false;
    bool fullscreen_ = false;
};

class NullJoysticks final : public Joysticks {
public:
    bool Read(int32_t, JoystickState&) override { return false; }
    bool Info(int32_t, JoystickInfo&) override { return false; }
};

}  // namespace

std::unique_ptr<MessageBox> MakeStderrMessageBox() {
    return std::make_unique<StderrMessageBox>();
}
std::unique_ptr<LoadDisplay> MakeTerminalLoadDisplay() {
    return std::make_unique<TerminalLoadDisplay>();
}
std::unique_ptr<Clock> MakeSystemClock() {
    return std::make_unique<SystemClock>();
}
std::unique_ptr<Clock> MakeVirtualClock() {
    return std::make_unique<VirtualClock>();
}
std::unique_ptr<ProcessControl> MakeHostProcessControl() {
    return std::make_unique<HostProcessControl>();
}
std::unique_ptr<ProcessControl> MakeNullProcessControl() {
    return std::make_unique<NullProcessControl>();
}

std::unique_ptr<GameWindow> MakeNullWindow() {
    return std::make_unique<NullWindow>();
}
std::unique_ptr<Joysticks> MakeNullJoysticks() {
    return std::make_unique<NullJoysticks>();
}

Platform MakeHeadlessPlatform() {
    Platform p;
    p.messages = MakeStderrMessageBox();
    p.load_display = MakeTerminalLoadDisplay();
    p.clock = MakeVirtualClock();
    p.process = MakeNullProcessControl();
    p.window = MakeNullWindow();
    p.joysticks = MakeNullJoysticks();
    return p;
}

}  // namespace kr
