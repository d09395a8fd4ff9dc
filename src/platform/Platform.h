// The platform: the small interfaces through which the runner reaches the host system, and the
// bundle of back ends chosen once at start-up. The headless back ends live in this folder; the
// SDL back ends in sdl/ (MakeSdlPlatform in sdl/SdlPlatform.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

    // An image for the display: Bgra pixels, rows top first (null pixels: none given).
    struct Picture {
        int32_t width = 0, height = 0;
        const uint8_t* bgra = nullptr;
    };
    // The loading image and the progress bar's back and front images (the front one stretched
    // to the bar or not); `alpha` below 255 makes the display translucent; with
    // `transparent`, the image's parts of the colour of its bottom-left pixel are not shown.
    // Before Show.
    virtual void SetPictures(const Picture& image, const Picture& back, const Picture& front,
                             bool stretch_front, int32_t alpha, bool transparent) {}
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
    // The local date and time as a date-time value: days since 30 December 1899, the fraction
    // the time of day. The system clocks read the host's time and zone; a virtual clock starts
    // at a fixed date, so headless runs repeat.
    virtual double LocalDateTime();
};

// The clipboard's text. A headless run keeps a clipboard of its own.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool HasText() = 0;
    virtual std::string GetText() = 0;
    virtual void SetText(std::string_view text) = 0;
};

// Control over the runner's own process.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // -3 idle, -2 lowest, -1 below normal, 0 normal, 1 above normal, 2 high, 3 the highest the
    // system grants. Refusals by the system are ignored.
    virtual void SetPriority(int level) = 0;
};

// Input as the window reports it. Keys are virtual-key codes (the script's vk_* constants:
// letters 65..90, digits 48..57, F1..F12 112..123, keypad 96..111, left 37 .. down 40; shift,
// control and alt as 16, 17, 18 whichever side), characters are single bytes of game text,
// mouse buttons are 1 left, 2 right, 3 middle, positions are window-region pixels.
struct InputEvent {
    enum class Kind : uint8_t {
        kKeyDown,
        kKeyUp,
        kChar,
        kMouseMove,
        kMouseDown,
        kMouseUp,
        kWheelUp,
        kWheelDown,
        kClose,  // the player asked to close the window
    };
    Kind kind = Kind::kKeyDown;
    int32_t code = 0;  // key, character byte or button
    int32_t x = 0, y = 0;

    bool operator==(const InputEvent&) const = default;
};

// An OpenGL 3.3 core context made current on the calling thread, for the renderer; or, in a
// web page, an OpenGL ES 3.0 one (WebGL 2).
class GlContext {
public:
    virtual ~GlContext() = default;
    // OpenGL ES 3.0 rather than 3.3 core: its shading language and no BGRA pixels.
    virtual bool OpenGlEs() const { return false; }
    // The address of an OpenGL function, or null.
    virtual void* ProcAddress(const char* name) = 0;
    // Shows what was drawn into the window's default framebuffer.
    virtual void SwapBuffers() = 0;
    // Wait for the vertical blank on SwapBuffers, or not.
    virtual void SetSwapInterval(bool sync) = 0;
    // The size in pixels of the window's default framebuffer.
    virtual void DrawableSize(int32_t& width, int32_t& height) = 0;
    // Nothing the context draws into its window is ever seen (headless runs): presenting to the
    // window can be skipped.
    virtual bool Offscreen() const = 0;
    // Makes the context current again (closing another window may have taken it away).
    virtual void MakeCurrent() = 0;
};

// A mode of the display: size in pixels, bits per pixel, refresh rate in hertz.
struct DisplayMode {
    int32_t width = 0, height = 0, depth = 0, frequency = 0;
    bool operator==(const DisplayMode&) const = default;
};

// The mode of `modes` (sorted largest first: by width, height, depth, then refresh rate, each
// descending) closest to `want`, as the display system picks it: the smallest size at least as
// large as the wanted one, of the wanted depth when there is one (else a deeper one), of the
// wanted refresh rate when there is one (else a higher one). False when no mode is large enough.
bool ClosestDisplayMode(std::span<const DisplayMode> modes, const DisplayMode& want,
                        DisplayMode& found);

// The game's main window. Until the graphics device exists it only shows a plain colour.
class GameWindow {
public:
    virtual ~GameWindow() = default;
    // Makes the window, still hidden. False when there is no display to show it on (the back
    // end has said why on standard error).
    virtual bool Create() = 0;
    // Shows the window with a client area of this size, or resizes it.
    virtual void Open(int32_t width, int32_t height) = 0;
    virtual void SetCaption(std::string_view caption) = 0;
    // Fills the client area with a script colour (0xBBGGRR) and shows the result.
    virtual void ShowColor(int32_t color) = 0;
    // Appends the notifications that arrived since the last call.
    virtual void PollEvents(std::vector<InputEvent>& out) = 0;
    // Whether the window has the keyboard focus.
    virtual bool Active() = 0;
    // The keyboard's state at this moment (not through the notifications), for keys the
    // window can tell; false otherwise.
    virtual bool KeyDownNow(int32_t key) = 0;
    virtual bool NumLock() = 0;
    virtual void SetNumLock(bool on) = 0;
    virtual void ToggleFullscreen() = 0;
    virtual bool Fullscreen() = 0;
    virtual void ShowCursor(bool shown) = 0;
    // Whether the mouse cursor shows over the window (as ShowCursor last left it).
    virtual bool CursorShown() { return true; }
    // The window system's handle of the window (an X11 window id); 0 when there is none.
    virtual uint64_t NativeHandle() { return 0; }

    // ---- For the renderer and the window functions; the defaults suit a window never shown.
    // An OpenGL context for this window, for the graphics back end that draws with OpenGL
    // (CreateGraphicsDevice); null with the reason in `error` when none can be made
    // (an empty reason: the window never draws, and nobody needs to be told).
    virtual std::unique_ptr<GlContext> CreateGlContext(std::string& error) {
        // A window that never shows has nothing to say about it.
        error.clear();
        return nullptr;
    }
    // The screen's mode now: the full-screen mode while the window is full screen in one, else
    // the desktop's. A window never shown has a stand-in display (DisplayModes).
    virtual void ScreenMode(int32_t& width, int32_t& height, int32_t& depth, int32_t& frequency);
    // The modes the display offers, sorted as ClosestDisplayMode wants them. The stand-in
    // display's fixed list: 1920x1080, 1280x1024, 1280x720, 1024x768 (its desktop, 32 bits at
    // 60 Hz), 800x600, 640x480 and 320x240, each in 32 and 16 bits at 60 Hz, the four middle
    // sizes also at 75 Hz in 32 bits.
    virtual std::vector<DisplayMode> DisplayModes();
    // The mode the window takes when it is full screen: one of DisplayModes, changed at once
    // when the window is full screen now. False when the display refuses it.
    virtual bool SetFullscreenMode(const DisplayMode& mode);
    // Full screen over the desktop's own mode again.
    virtual void ResetFullscreenMode();
    // The mode a full screen gets: the one set, else the desktop's.
    DisplayMode FullscreenMode();
    // Waits for the display's next frame; a window never shown returns at once.
    virtual void WaitVsync() {}
    // The client area: position on the screen and size.
    virtual void ClientRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
        x = 0, y = 0, width = client_w_, height = client_h_;
    }
    virtual void SetClientRect(int32_t x, int32_t y, int32_t width, int32_t height) {
        client_w_ = width, client_h_ = height;
    }
    // The mouse in screen coordinates.
    virtual void MouseScreen(int32_t& x, int32_t& y) { x = 0, y = 0; }
    virtual void SetMouseScreen(int32_t x, int32_t y) {}
    virtual void SetVisible(bool visible) {}
    virtual void SetStyle(bool border, bool sizeable, bool stay_on_top) {}

protected:
    // The desktop's mode (the stand-in display's for a window never shown).
    virtual DisplayMode DesktopMode();

    int32_t client_w_ = 640, client_h_ = 480;
    bool has_fullscreen_mode_ = false;
    DisplayMode fullscreen_mode_;
};

// One joystick's state: axes x, y, z, r, u, v from 0 to 65535 (32767 or 32768 centred),
// buttons as bits (bit 0 is button 1), the point-of-view hat in hundredths of a degree
// (above 36000 when centred).
struct JoystickState {
    std::array<int32_t, 6> axes{32768, 32768, 32768, 32768, 32768, 32768};
    uint32_t buttons = 0;
    int32_t pov = 65535;
};

struct JoystickInfo {
    std::string name;
    int32_t axes = 0, buttons = 0;
    bool has_pov = false;
};

// The joysticks: index 0 is the first, 1 the second.
class Joysticks {
public:
    virtual ~Joysticks() = default;
    // False when that joystick cannot be read.
    virtual bool Read(int32_t index, JoystickState& out) = 0;
    virtual bool Info(int32_t index, JoystickInfo& out) = 0;
};

// The sound card: mixed 44.1 kHz stereo float frames are queued and played as they come.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Opens the device. False when there is none (the reason has gone to standard error).
    virtual bool Open() = 0;
    // Queues interleaved stereo frames behind those still waiting.
    virtual void Queue(std::span<const float> frames) = 0;
    // Frames queued and not yet played.
    virtual int64_t QueuedFrames() = 0;
};

struct Platform {
    std::unique_ptr<MessageBox> messages;
    std::unique_ptr<LoadDisplay> load_display;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<ProcessControl> process;
    // Null in a platform made only for loading: the runner then takes the headless ones.
    std::unique_ptr<GameWindow> window;
    std::unique_ptr<Joysticks> joysticks;
    // Null: the runner keeps a private clipboard.
    std::unique_ptr<Clipboard> clipboard;
    // Null when sound is not played (headless).
    std::unique_ptr<AudioOutput> audio;
};

// Message boxes on standard error, progress on the terminal, a virtual clock that starts at 0,
// no changes to the process priority, a window that shows nothing and no joysticks.
Platform MakeHeadlessPlatform();

// The pieces, for back ends and tests that combine them.
std::unique_ptr<MessageBox> MakeStderrMessageBox();
// Draws a progress bar with its caption on standard error, and only when that is a terminal.
std::unique_ptr<LoadDisplay> MakeTerminalLoadDisplay();
std::unique_ptr<Clock> MakeSystemClock();
std::unique_ptr<Clock> MakeVirtualClock();
std::unique_ptr<ProcessControl> MakeHostProcessControl();
std::unique_ptr<ProcessControl> MakeNullProcessControl();
// A window that is never shown: always active, no notifications of its own.
std::unique_ptr<GameWindow> MakeNullWindow();
std::unique_ptr<Joysticks> MakeNullJoysticks();
// A clipboard that only this process sees.
std::unique_ptr<Clipboard> MakePrivateClipboard();
// The date-time value of a host time (seconds since 1970) in the host's time zone.
double HostLocalDateTime(int64_t unix_seconds, int64_t microseconds);

}  // namespace kr
