#include "platform/sdl/SdlPlatform.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "platform/Text.h"
#include "platform/sdl/SdlApi.h"
#include "platform/sdl/SdlEvents.h"
#include "platform/sdl/SdlKeys.h"

namespace kr {

namespace {

class SdlMessageBox final : public MessageBox {
public:
    SdlMessageBox() : fallback_(MakeStderrMessageBox()) {}
    void Show(std::string_view title, std::string_view text) override {
        std::string t = GameTextToUtf8(title), m = GameTextToUtf8(text);
        // Without SDL, without a display or with a video driver that has no message boxes, the
        // text still reaches the player, on standard error.
        if (!LoadSdl() || Sdl().SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, t.c_str(),
                                                         m.c_str(), nullptr) != 0)
            fallback_->Show(title, text);
    }

private:
    std::unique_ptr<MessageBox> fallback_;
};

class SdlClock final : public Clock {
public:
    SdlClock()
        : frequency_(Sdl().SDL_GetPerformanceFrequency()),
          start_(Sdl().SDL_GetPerformanceCounter()) {}
    int64_t Microseconds() override {
        uint64_t ticks = Sdl().SDL_GetPerformanceCounter() - start_;
        return int64_t(ticks / frequency_ * 1000000 + ticks % frequency_ * 1000000 / frequency_);
    }
    void Sleep(int64_t us) override {
        if (us > 0) Sdl().SDL_Delay(uint32_t((us + 999) / 1000));
    }
    uint32_t Seed() override { return system_->Seed(); }

private:
    uint64_t frequency_, start_;
    std::unique_ptr<Clock> system_ = MakeSystemClock();
};

// SDL's video and joystick subsystems, started by the first part that needs them and stopped
// with the last.
// The shared libraries loaded now, by path.
std::set<std::string> LoadedModules() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<std::set<std::string>*>(out)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// The graphics driver's libraries, loaded while a context is made, stay loaded until the
// process ends: making another context then finds them ready, and the driver's memory that it
// never gives back stays reachable rather than being left behind by an unloaded library.
void KeepModulesLoadedSince(const std::set<std::string>& before) {
    for (const std::string& name : LoadedModules())
        if (!before.count(name)) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// Whether a shared library belongs to the graphics driver or the window system it talks to, by
// its file name.
bool IsGraphicsDriverModule(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (std::string_view prefix :
         {"libGL", "libEGL", "libOpenGL", "libgbm", "libdrm", "libglapi", "libgallium", "libLLVM",
          "libvulkan", "libX", "libxcb", "libxkbcommon", "libwayland", "libdecor"})
        if (name.starts_with(prefix)) return true;
    return name.find("_dri") != std::string_view::npos ||
           name.find("mesa") != std::string_view::npos;
}

}  // namespace

void KeepGraphicsDriverLoaded() {
    for (const std::string& name : LoadedModules())
        if (IsGraphicsDriverModule(name))
            dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

namespace {

class SdlSubsystem {
public:
    explicit SdlSubsystem(uint32_t flags)
        : flags_(flags), ok_(Sdl().SDL_InitSubSystem(flags) == 0) {}
    ~SdlSubsystem() {
        if (!ok_) return;
        if (flags_ & SDL_INIT_VIDEO) KeepGraphicsDriverLoaded();
        Sdl().SDL_QuitSubSystem(flags_);
        // The last one out lets SDL free what it keeps for the whole library.
        if (Sdl().SDL_WasInit(SDL_INIT_EVERYTHING) == 0) Sdl().SDL_Quit();
    }
    SdlSubsystem(const SdlSubsystem&) = delete;
    SdlSubsystem& operator=(const SdlSubsystem&) = delete;
    bool Ok() const { return ok_; }

private:
    uint32_t flags_;
    bool ok_;
};

// An OpenGL 3.3 core context on an SDL window.
class SdlGlContext final : public GlContext {
public:
    SdlGlContext(SDL_Window* window, SDL_GLContext context, bool offscreen)
        : window_(window), context_(context), offscreen_(offscreen) {}
    ~SdlGlContext() override { Sdl().SDL_GL_DeleteContext(context_); }
    void* ProcAddress(const char* name) override { return Sdl().SDL_GL_GetProcAddress(name); }
    void SwapBuffers() override { Sdl().SDL_GL_SwapWindow(window_); }
    void SetSwapInterval(bool sync) override { Sdl().SDL_GL_SetSwapInterval(sync ? 1 : 0); }
    void DrawableSize(int32_t& width, int32_t& height) override {
        int w = 0, h = 0;
        Sdl().SDL_GL_GetDrawableSize(window_, &w, &h);
        width = w, height = h;
    }
    bool Offscreen() const override { return offscreen_; }
    void MakeCurrent() override { Sdl().SDL_GL_MakeCurrent(window_, context_); }

private:
    SDL_Window* window_;
    SDL_GLContext context_;
    bool offscreen_;
};

void RequestGlAttributes() {
    Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    Sdl().SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    Sdl().SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
}

std::unique_ptr<GlContext> MakeGlContext(SDL_Window* window, bool offscreen, std::string& error) {
    SDL_GLContext context = window ? Sdl().SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        if (window) error = Sdl().SDL_GetError();
        return nullptr;
    }
    Sdl().SDL_GL_MakeCurrent(window, context);
    return std::make_unique<SdlGlContext>(window, context, offscreen);
}

// The main window. Until the graphics device exists it shows a plain colour through the
// window's own surface.
class SdlWindow final : public GameWindow {
public:
    ~SdlWindow() override {
        if (window_) Sdl().SDL_DestroyWindow(window_);
    }

    bool Create() override {
        if (window_) return true;
        std::string error;
        if (!LoadSdl(&error)) {
            std::fprintf(stderr, "Cannot open the game window: %s\n", error.c_str());
            return false;
        }
        modules_before_ = LoadedModules();
        video_ = std::make_unique<SdlSubsystem>(SDL_INIT_VIDEO);
        if (video_->Ok()) {
            RequestGlAttributes();
            window_ = Sdl().SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED,
                                             SDL_WINDOWPOS_CENTERED, 640, 480,
                                             SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
            // Without OpenGL the window can still show its colour.
            if (!window_)
                window_ =
                    Sdl().SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED,
                                           SDL_WINDOWPOS_CENTERED, 640, 480, SDL_WINDOW_HIDDEN);
        }
        if (!window_) {
            std::fprintf(stderr, "Cannot open the game window: %s\n", Sdl().SDL_GetError());
            video_.reset();
            return false;
        }
        // With no display SDL falls back to a driver that shows nothing, and a game waiting for
        // its player would run unseen for ever. Such a driver is used only when asked for.
        const char* driver = Sdl().SDL_GetCurrentVideoDriver();
        const char* asked = std::getenv("SDL_VIDEODRIVER");
        if (driver &&
            (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
            !(asked && std::strstr(asked, driver))) {
            std::fprintf(stderr,
                         "Cannot open the game window: no display was found (only SDL's '%s' "
                         "driver started, which shows nothing); run it with --headless "
                         "(KORVANE_OPTIONS=--headless for a built game)\n",
                         driver);
            Sdl().SDL_DestroyWindow(window_);
            window_ = nullptr;
            video_.reset();
            return false;
        }
        Sdl().SDL_StartTextInput();
        return true;
    }

    void Open(int32_t width, int32_t height) override {
        if (!window_) return;
        if (!fullscreen_) Sdl().SDL_SetWindowSize(window_, std::max(width, 1), std::max(height, 1));
        Sdl().SDL_ShowWindow(window_);
        Sdl().SDL_RaiseWindow(window_);
    }

    void SetCaption(std::string_view caption) override {
        caption_ = GameTextToUtf8(caption);
        if (window_) Sdl().SDL_SetWindowTitle(window_, caption_.c_str());
    }

    void ShowColor(int32_t color) override {
        if (!window_ || has_gl_) return;
        SDL_Surface* surface = Sdl().SDL_GetWindowSurface(window_);
        if (!surface) return;
        uint8_t r = uint8_t(color), g = uint8_t(color >> 8), b = uint8_t(color >> 16);
        Sdl().SDL_FillRect(surface, nullptr, Sdl().SDL_MapRGB(surface->format, r, g, b));
        Sdl().SDL_UpdateWindowSurface(window_);
    }

    void PollEvents(std::vector<InputEvent>& out) override {
        if (!window_) return;
        using Kind = InputEvent::Kind;
        SDL_Event e;
        while (PollSdlEvent(e)) {
            switch (e.type) {
                case SDL_QUIT:
                    out.push_back({Kind::kClose});
                    break;
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) active_ = true;
                    if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) active_ = false;
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) out.push_back({Kind::kClose});
                    break;
                case SDL_KEYDOWN:
                case SDL_KEYUP: {
                    bool lock = (e.key.keysym.mod & KMOD_NUM) != 0;
                    int32_t vk = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode, lock);
                    if (vk == 0) break;
                    bool down = e.type == SDL_KEYDOWN;
                    out.push_back({down ? Kind::kKeyDown : Kind::kKeyUp, vk});
                    // The control characters come with their keys; text input gives the rest.
                    if (down && (vk == 8 || vk == 9 || vk == 13 || vk == 27))
                        out.push_back({Kind::kChar, vk});
                    break;
                }
                case SDL_TEXTINPUT:
                    for (char c : Utf8ToGameText(e.text.text))
                        out.push_back({Kind::kChar, int32_t(uint8_t(c))});
                    break;
                case SDL_MOUSEMOTION:
                    out.push_back({Kind::kMouseMove, 0, e.motion.x, e.motion.y});
                    break;
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP: {
                    int32_t b = e.button.button == SDL_BUTTON_LEFT     ? 1
                                : e.button.button == SDL_BUTTON_RIGHT  ? 2
                                : e.button.button == SDL_BUTTON_MIDDLE ? 3
                                                                       : 0;
                    if (b == 0) break;
                    out.push_back(
                        {e.type == SDL_MOUSEBUTTONDOWN ? Kind::kMouseDown : Kind::kMouseUp, b,
                         e.button.x, e.button.y});
                    break;
                }
                case SDL_MOUSEWHEEL: {
                    int32_t y =
                        e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                    if (y > 0) out.push_back({Kind::kWheelUp});
                    if (y < 0) out.push_back({Kind::kWheelDown});
                    break;
                }
                default:
                    break;
            }
        }
    }

    bool Active() override { return !window_ || active_; }

    bool KeyDownNow(int32_t key) override {
        if (!window_) return false;
        Sdl().SDL_PumpEvents();
        int count = 0;
        const uint8_t* state = Sdl().SDL_GetKeyboardState(&count);
        bool lock = (Sdl().SDL_GetModState() & KMOD_NUM) != 0;
        for (int sc = 0; sc < count; ++sc) {
            if (!state[sc]) continue;
            SDL_Keycode code = Sdl().SDL_GetKeyFromScancode(SDL_Scancode(sc));
            if (VirtualKeyFromSdl(code, sc, lock) == key ||
                SidedVirtualKeyFromSdl(code, sc, lock) == key)
                return true;
        }
        return false;
    }

    bool NumLock() override { return (Sdl().SDL_GetModState() & KMOD_NUM) != 0; }
    void SetNumLock(bool on) override {
        SDL_Keymod mod = Sdl().SDL_GetModState();
        Sdl().SDL_SetModState(SDL_Keymod(on ? (mod | KMOD_NUM) : (mod & ~KMOD_NUM)));
    }

    void ToggleFullscreen() override {
        fullscreen_ = !fullscreen_;
        ApplyFullscreen();
    }
    bool Fullscreen() override { return fullscreen_; }
    void ShowCursor(bool shown) override {
        if (window_) Sdl().SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
    }
    bool CursorShown() override {
        return !window_ || Sdl().SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
    }

    std::unique_ptr<GlContext> CreateGlContext(std::string& error) override {
        // The driver was loaded with the window already.
        auto context = MakeGlContext(window_, false, error);
        KeepModulesLoadedSince(modules_before_);
        has_gl_ = context != nullptr;
        return context;
    }
    std::vector<DisplayMode> DisplayModes() override {
        if (!window_) return GameWindow::DisplayModes();
        std::vector<DisplayMode> modes;
        const int display = Display();
        const int count = Sdl().SDL_GetNumDisplayModes(display);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m{};
            if (Sdl().SDL_GetDisplayMode(display, i, &m) == 0) modes.push_back(ModeOf(m));
        }
        return modes;
    }
    // The display's own list holds the mode, so SDL finds it again by its size, format and rate.
    bool SetFullscreenMode(const DisplayMode& mode) override {
        if (!window_) return GameWindow::SetFullscreenMode(mode);
        const int display = Display();
        const int count = Sdl().SDL_GetNumDisplayModes(display);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m{};
            if (Sdl().SDL_GetDisplayMode(display, i, &m) != 0 || !(ModeOf(m) == mode)) continue;
            if (Sdl().SDL_SetWindowDisplayMode(window_, &m) != 0) return false;
            GameWindow::SetFullscreenMode(mode);
            ApplyFullscreen();
            return true;
        }
        return false;
    }
    void ResetFullscreenMode() override {
        GameWindow::ResetFullscreenMode();
        if (window_) Sdl().SDL_SetWindowDisplayMode(window_, nullptr);
        ApplyFullscreen();
    }
    // Without a swap to wait on, the next frame starts at the next whole frame period of the
    // display's refresh rate.
    void WaitVsync() override {
        int32_t w, h, depth, frequency;
        ScreenMode(w, h, depth, frequency);
        const int64_t period = 1'000'000 / std::max(frequency, 1);
        const int64_t now = int64_t(double(Sdl().SDL_GetPerformanceCounter()) * 1e6 /
                                    double(Sdl().SDL_GetPerformanceFrequency()));
        std::this_thread::sleep_for(std::chrono::microseconds(period - now % period));
    }
    void ClientRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) override {
        if (!window_) return GameWindow::ClientRect(x, y, width, height);
        int a = 0, b = 0;
        Sdl().SDL_GetWindowPosition(window_, &a, &b);
        x = a, y = b;
        Sdl().SDL_GetWindowSize(window_, &a, &b);
        width = a, height = b;
    }
    void SetClientRect(int32_t x, int32_t y, int32_t width, int32_t height) override {
        if (!window_ || fullscreen_) return;
        Sdl().SDL_SetWindowSize(window_, std::max(width, 1), std::max(height, 1));
        Sdl().SDL_SetWindowPosition(window_, x, y);
    }
    void MouseScreen(int32_t& x, int32_t& y) override {
        int a = 0, b = 0;
        if (window_) Sdl().SDL_GetGlobalMouseState(&a, &b);
        x = a, y = b;
    }
    void SetMouseScreen(int32_t x, int32_t y) override {
        if (window_) Sdl().SDL_WarpMouseGlobal(x, y);
    }
    void SetVisible(bool visible) override {
        if (!window_) return;
        if (visible)
            Sdl().SDL_ShowWindow(window_);
        else
            Sdl().SDL_HideWindow(window_);
    }
    void SetStyle(bool border, bool sizeable, bool stay_on_top) override {
        if (!window_) return;
        Sdl().SDL_SetWindowBordered(window_, border ? SDL_TRUE : SDL_FALSE);
        Sdl().SDL_SetWindowResizable(window_, sizeable ? SDL_TRUE : SDL_FALSE);
        Sdl().SDL_SetWindowAlwaysOnTop(window_, stay_on_top ? SDL_TRUE : SDL_FALSE);
    }

protected:
    DisplayMode DesktopMode() override {
        SDL_DisplayMode mode{};
        if (!window_ || Sdl().SDL_GetDesktopDisplayMode(Display(), &mode) != 0)
            return GameWindow::DesktopMode();
        return ModeOf(mode);
    }

private:
    static DisplayMode ModeOf(const SDL_DisplayMode& m) {
        int32_t bits = int32_t(SDL_BITSPERPIXEL(m.format));
        return {m.w, m.h, bits == 24 ? 32 : bits, m.refresh_rate > 0 ? m.refresh_rate : 60};
    }
    int Display() {
        int index = window_ ? Sdl().SDL_GetWindowDisplayIndex(window_) : 0;
        return index < 0 ? 0 : index;
    }
    // Full screen in the mode that was set changes the display's mode; otherwise it is a
    // borderless window over the desktop.
    void ApplyFullscreen() {
        if (!window_) return;
        Uint32 flags = !fullscreen_           ? 0
                       : has_fullscreen_mode_ ? Uint32(SDL_WINDOW_FULLSCREEN)
                                              : Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP);
        Sdl().SDL_SetWindowFullscreen(window_, flags);
    }

    bool has_gl_ = false;
    std::set<std::string> modules_before_;  // loaded before the window, for KeepModulesLoadedSince
    std::unique_ptr<SdlSubsystem> video_;
    SDL_Window* window_ = nullptr;
    std::string caption_;
    bool active_ = true;
    bool fullscreen_ = false;
};

class SdlJoysticks final : public Joysticks {
public:
    ~SdlJoysticks() override {
        for (SDL_Joystick* j : open_)
            if (j) Sdl().SDL_JoystickClose(j);
    }

    bool Read(int32_t index, JoystickState& out) override {
        SDL_Joystick* j = Get(index);
        if (!j) return false;
        Sdl().SDL_JoystickUpdate();
        int axes = std::min(Sdl().SDL_JoystickNumAxes(j), int(out.axes.size()));
        for (int a = 0; a < axes; ++a)
            out.axes[size_t(a)] = Sdl().SDL_JoystickGetAxis(j, a) + 32768;
        out.buttons = 0;
        int buttons = std::min(Sdl().SDL_JoystickNumButtons(j), 32);
        for (int b = 0; b < buttons; ++b)
            if (Sdl().SDL_JoystickGetButton(j, b)) out.buttons |= 1u << b;
        out.pov = 65535;
        if (Sdl().SDL_JoystickNumHats(j) > 0) {
            static constexpr struct {
                uint8_t hat;
                int32_t pov;
            } kHats[] = {{SDL_HAT_UP, 0},       {SDL_HAT_RIGHTUP, 4500},
                         {SDL_HAT_RIGHT, 9000}, {SDL_HAT_RIGHTDOWN, 13500},
                         {SDL_HAT_DOWN, 18000}, {SDL_HAT_LEFTDOWN, 22500},
                         {SDL_HAT_LEFT, 27000}, {SDL_HAT_LEFTUP, 31500}};
            uint8_t hat = Sdl().SDL_JoystickGetHat(j, 0);
            for (const auto& h : kHats)
                if (h.hat == hat) out.pov = h.pov;
        }
        return true;
    }

    bool Info(int32_t index, JoystickInfo& out) override {
        SDL_Joystick* j = Get(index);
        if (!j) return false;
        const char* name = Sdl().SDL_JoystickName(j);
        out.name = name ? std::string(name).substr(0, 32) : std::string();
        out.axes = Sdl().SDL_JoystickNumAxes(j);
        out.buttons = Sdl().SDL_JoystickNumButtons(j);
        out.has_pov = Sdl().SDL_JoystickNumHats(j) > 0;
        return true;
    }

private:
    SDL_Joystick* Get(int32_t index) {
        if (index < 0 || index > 1 || !LoadSdl()) return nullptr;
        if (!subsystem_) subsystem_ = std::make_unique<SdlSubsystem>(SDL_INIT_JOYSTICK);
        if (!subsystem_->Ok() || index >= Sdl().SDL_NumJoysticks()) return nullptr;
        SDL_Joystick*& j = open_[size_t(index)];
        if (j && !Sdl().SDL_JoystickGetAttached(j)) {
            Sdl().SDL_JoystickClose(j);
            j = nullptr;
        }
        if (!j) j = Sdl().SDL_JoystickOpen(index);
        return j;
    }

    std::unique_ptr<SdlSubsystem> subsystem_;
    std::array<SDL_Joystick*, 2> open_{};
};

// The desktop's clipboard through SDL's video subsystem, started on first use; without a
// display the game keeps a clipboard of its own.
class SdlClipboard final : public Clipboard {
public:
    bool HasText() override {
        return Ready() ? Sdl().SDL_HasClipboardText() == SDL_TRUE : private_->HasText();
    }
    std::string GetText() override {
        if (!Ready()) return private_->GetText();
        char* text = Sdl().SDL_GetClipboardText();
        std::string out = text ? Utf8ToGameText(text) : std::string();
        if (text) Sdl().SDL_free(text);
        return out;
    }
    void SetText(std::string_view text) override {
        if (!Ready()) return private_->SetText(text);
        Sdl().SDL_SetClipboardText(GameTextToUtf8(text).c_str());
    }

private:
    bool Ready() {
        if (!tried_) {
            tried_ = true;
            if (LoadSdl()) video_ = std::make_unique<SdlSubsystem>(SDL_INIT_VIDEO);
        }
        return video_ && video_->Ok();
    }
    bool tried_ = false;
    std::unique_ptr<SdlSubsystem> video_;
    std::unique_ptr<Clipboard> private_ = MakePrivateClipboard();
};

// The window of a headless run: it never shows, reports no input and is always active, but it
// can draw off screen through SDL's offscreen video driver.
class OffscreenWindow final : public GameWindow {
public:
    ~OffscreenWindow() override {
        if (window_) Sdl().SDL_DestroyWindow(window_);
    }
    bool Create() override { return true; }
    void Open(int32_t width, int32_t height) override {
        client_w_ = std::max(width, 1), client_h_ = std::max(height, 1);
    }
    void SetCaption(std::string_view) override {}
    void ShowColor(int32_t) override {}
    void PollEvents(std::vector<InputEvent>&) override {}
    bool Active() override { return true; }
    bool KeyDownNow(int32_t) override { return false; }
    bool NumLock() override { return false; }
    void SetNumLock(bool) override {}
    void ToggleFullscreen() override { fullscreen_ = !fullscreen_; }
    bool Fullscreen() override { return fullscreen_; }
    void ShowCursor(bool) override {}
    void ClientRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) override {
        x = 0, y = 0, width = client_w_, height = client_h_;
    }

    std::unique_ptr<GlContext> CreateGlContext(std::string& error) override {
        if (!LoadSdl(&error)) return nullptr;
        const std::set<std::string> before = LoadedModules();
        // A headless run never opens a real window, whatever display there is.
        Sdl().SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        video_ = std::make_unique<SdlSubsystem>(SDL_INIT_VIDEO);
        if (!video_->Ok()) {
            error = Sdl().SDL_GetError();
            video_.reset();
            return nullptr;
        }
        RequestGlAttributes();
        window_ = Sdl().SDL_CreateWindow("", 0, 0, 64, 64, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
        if (!window_) error = Sdl().SDL_GetError();
        auto context = MakeGlContext(window_, true, error);
        if (!context) {
            if (window_) Sdl().SDL_DestroyWindow(window_);
            window_ = nullptr;
            video_.reset();
        }
        KeepModulesLoadedSince(before);
        return context;
    }

private:
    std::unique_ptr<SdlSubsystem> video_;
    SDL_Window* window_ = nullptr;
    bool fullscreen_ = false;
};

// The load window: the loading image with the progress bar along its bottom (back image, and
// the front image over the part done). Where no window can be made the terminal shows the
// progress instead.
class SdlLoadDisplay final : public LoadDisplay {
public:
    SdlLoadDisplay() : fallback_(MakeTerminalLoadDisplay()) {}
    ~SdlLoadDisplay() override { Close(); }

    void SetPictures(const Picture& image, const Picture& back, const Picture& front,
                     bool stretch_front, int32_t alpha, bool transparent) override {
        Keep(image, image_), Keep(back, back_), Keep(front, front_);
        stretch_front_ = stretch_front;
        alpha_ = alpha;
        transparent_ = transparent;
    }

    void Show(bool bar, bool label) override {
        bar_ = bar;
        fallback_->Show(bar, label);
        if (closed_ || window_ || !LoadSdl()) return;
        video_ = std::make_unique<SdlSubsystem>(SDL_INIT_VIDEO);
        int w = image_.w > 0 ? image_.w : 320, h = image_.h > 0 ? image_.h : 80;
        if (video_->Ok() && transparent_ && image_.w > 0) window_ = ShapedWindow();
        if (video_->Ok() && !window_)
            window_ = Sdl().SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w,
                                             h, SDL_WINDOW_BORDERLESS);
        if (!window_) {
            video_.reset();
            return;
        }
        if (alpha_ < 255) Sdl().SDL_SetWindowOpacity(window_, float(alpha_) / 255.f);
        Paint();
    }

    void SetProgress(int percent, std::string_view caption) override {
        percent_ = std::clamp(percent, 0, 100);
        fallback_->SetProgress(percent, caption);
        if (window_) Paint();
    }

    void Close() override {
        closed_ = true;
        fallback_->Close();
        if (window_) Sdl().SDL_DestroyWindow(window_);
        window_ = nullptr;
        video_.reset();
    }

private:
    struct Image {
        int w = 0, h = 0;
        std::vector<uint8_t> bgra;
    };
    static void Keep(const Picture& p, Image& out) {
        out = Image{};
        if (!p.bgra || p.width < 1 || p.height < 1) return;
        out.w = p.width, out.h = p.height;
        out.bgra.assign(p.bgra, p.bgra + size_t(p.width) * size_t(p.height) * 4);
    }

    // A window in the loading image's shape: its pixels of the bottom-left pixel's colour are
    // left out. Null where the window system has no shaped windows (a plain one is made then).
    SDL_Window* ShapedWindow() {
        SDL_Window* w = Sdl().SDL_CreateShapedWindow("", SDL_WINDOWPOS_CENTERED,
                                                     SDL_WINDOWPOS_CENTERED, unsigned(image_.w),
                                                     unsigned(image_.h), SDL_WINDOW_BORDERLESS);
        if (!w) return nullptr;
        SDL_Surface* shape = Sdl().SDL_CreateRGBSurfaceWithFormatFrom(
            image_.bgra.data(), image_.w, image_.h, 32, image_.w * 4, SDL_PIXELFORMAT_BGRA32);
        const uint8_t* key = &image_.bgra[size_t(image_.h - 1) * size_t(image_.w) * 4];
        SDL_WindowShapeMode mode{};
        mode.mode = ShapeModeColorKey;
        mode.parameters.colorKey = SDL_Color{key[2], key[1], key[0], 255};
        const bool shaped = shape && Sdl().SDL_SetWindowShape(w, shape, &mode) == 0;
        if (shape) Sdl().SDL_FreeSurface(shape);
        if (!shaped) {
            Sdl().SDL_DestroyWindow(w);
            return nullptr;
        }
        return w;
    }

    // Copies an image (or fills with a colour when there is none) into a rectangle.
    void Put(SDL_Surface* target, Image& img, SDL_Rect src, SDL_Rect dst, uint32_t fill) {
        if (dst.w <= 0 || dst.h <= 0) return;
        if (img.w == 0) {
            Sdl().SDL_FillRect(target, &dst, fill);
            return;
        }
        SDL_Surface* s = Sdl().SDL_CreateRGBSurfaceWithFormatFrom(
            img.bgra.data(), img.w, img.h, 32, img.w * 4, SDL_PIXELFORMAT_BGRA32);
        if (!s) return;
        Sdl().SDL_UpperBlitScaled(s, &src, target, &dst);
        Sdl().SDL_FreeSurface(s);
    }

    void Paint() {
        SDL_Surface* surface = Sdl().SDL_GetWindowSurface(window_);
        if (!surface) return;
        int w = surface->w, h = surface->h;
        Put(surface, image_, SDL_Rect{0, 0, image_.w, image_.h}, SDL_Rect{0, 0, w, h},
            Sdl().SDL_MapRGB(surface->format, 32, 32, 48));
        if (bar_) {
            SDL_Rect bar{8, h - 32, w - 16, 16};
            Put(surface, back_, SDL_Rect{0, 0, back_.w, back_.h}, bar,
                Sdl().SDL_MapRGB(surface->format, 96, 96, 96));
            int done = int(std::lround(bar.w * percent_ / 100.0));
            SDL_Rect part{bar.x, bar.y, done, bar.h};
            SDL_Rect src{0, 0, stretch_front_ ? front_.w : std::min(done, front_.w), front_.h};
            Put(surface, front_, src, part, Sdl().SDL_MapRGB(surface->format, 64, 160, 255));
        }
        Sdl().SDL_UpdateWindowSurface(window_);
        Sdl().SDL_PumpEvents();
    }

    std::unique_ptr<LoadDisplay> fallback_;
    std::unique_ptr<SdlSubsystem> video_;
    SDL_Window* window_ = nullptr;
    Image image_, back_, front_;
    bool stretch_front_ = true, bar_ = false, closed_ = false, transparent_ = false;
    int32_t alpha_ = 255;
    int percent_ = 0;
};

}  // namespace

// The sound card through SDL's queue: the runner queues what it mixes, a little ahead of its
// clock, and the device plays it in blocks of 256 frames (5.8 ms).
class SdlAudioOutput final : public AudioOutput {
public:
    ~SdlAudioOutput() override {
        if (device_) Sdl().SDL_CloseAudioDevice(device_);
    }
    bool Open() override {
        std::string error;
        if (!LoadSdl(&error)) {
            std::fprintf(stderr, "korvane: no sound device (%s); the game runs silently\n",
                         error.c_str());
            return false;
        }
        subsystem_ = std::make_unique<SdlSubsystem>(SDL_INIT_AUDIO);
        if (!subsystem_->Ok()) {
            std::fprintf(stderr, "korvane: no sound device (%s); the game runs silently\n",
                         Sdl().SDL_GetError());
            return false;
        }
        SDL_AudioSpec want{}, have{};
        want.freq = 44100;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 256;
        device_ = Sdl().SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) {
            std::fprintf(stderr, "korvane: no sound device (%s); the game runs silently\n",
                         Sdl().SDL_GetError());
            return false;
        }
        Sdl().SDL_PauseAudioDevice(device_, 0);
        return true;
    }
    void Queue(std::span<const float> frames) override {
        if (device_)
            Sdl().SDL_QueueAudio(device_, frames.data(), uint32_t(frames.size() * sizeof(float)));
    }
    int64_t QueuedFrames() override {
        return device_ ? int64_t(Sdl().SDL_GetQueuedAudioSize(device_)) / int64_t(2 * sizeof(float))
                       : 0;
    }

private:
    std::unique_ptr<SdlSubsystem> subsystem_;
    SDL_AudioDeviceID device_ = 0;
};

std::unique_ptr<GameWindow> MakeSdlOffscreenWindow() {
    return std::make_unique<OffscreenWindow>();
}

Platform MakeSdlPlatform() {
    Platform p;
    p.messages = std::make_unique<SdlMessageBox>();
    p.load_display = std::make_unique<SdlLoadDisplay>();
    if (LoadSdl())
        p.clock = std::make_unique<SdlClock>();
    else
        p.clock = MakeSystemClock();
    p.process = MakeHostProcessControl();
    p.window = std::make_unique<SdlWindow>();
    p.joysticks = std::make_unique<SdlJoysticks>();
    p.clipboard = std::make_unique<SdlClipboard>();
    p.audio = std::make_unique<SdlAudioOutput>();
    return p;
}

}  // namespace kr
