// The back ends that need no window system: message boxes on standard error, a progress bar on
// the terminal, the system and the virtual clock, process priority through the scheduler, and
// the window and joysticks of a run without a display.
#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>
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

// 1 January 2000, 00:00, as a date-time value.
constexpr double kVirtualStartDate = 36526.0;
constexpr double kMicrosecondsPerDay = 86400.0e6;

class VirtualClock final : public Clock {
public:
    int64_t Microseconds() override { return now_; }
    double LocalDateTime() override {
        return kVirtualStartDate + double(now_) / kMicrosecondsPerDay;
    }
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
        static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};  // levels -3..3
        int nice = level >= -3 && level <= 3 ? kNice[level + 3] : 0;
        (void)::setpriority(PRIO_PROCESS, 0, nice);
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

class PrivateClipboard final : public Clipboard {
public:
    bool HasText() override { return has_text_; }
    std::string GetText() override { return text_; }
    void SetText(std::string_view text) override {
        text_ = text;
        has_text_ = true;
    }

private:
    std::string text_;
    bool has_text_ = false;
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
std::unique_ptr<Clipboard> MakePrivateClipboard() {
    return std::make_unique<PrivateClipboard>();
}

double HostLocalDateTime(int64_t unix_seconds, int64_t microseconds) {
    time_t t = time_t(unix_seconds);
    struct tm local {};
    if (!::localtime_r(&t, &local)) return 25569.0 + double(unix_seconds) / 86400.0;
    // Days from 30 December 1899 to the local calendar date, through the civil-from-days rule.
    int64_t y = int64_t(local.tm_year) + 1900, m = local.tm_mon + 1, d = local.tm_mday;
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days_since_1970 = era * 146097 + doe - 719468;
    double seconds =
        local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + double(microseconds) / 1e6;
    return double(days_since_1970 + 25569) + seconds / 86400.0;
}

double Clock::LocalDateTime() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    return HostLocalDateTime(tv.tv_sec, tv.tv_usec);
}

Platform MakeHeadlessPlatform() {
    Platform p;
    p.messages = MakeStderrMessageBox();
    p.load_display = MakeTerminalLoadDisplay();
    p.clock = MakeVirtualClock();
    p.process = MakeNullProcessControl();
    p.window = MakeNullWindow();
    p.joysticks = MakeNullJoysticks();
    p.clipboard = MakePrivateClipboard();
    return p;
}

}  // namespace kr
