// The web page's platform, for the runner built with Emscripten: the game window is the page's
// canvas with a WebGL 2 context, input comes from the page's key, mouse and wheel events,
// messages and the loading progress show on the page (index.html, written by `korvane build
// --web`), and the clock is the browser's. The runner's loop is an ordinary loop: wherever it
// waits (the clock's Sleep, a shown frame) the program hands control back to the browser until
// the next animation frame or the time it waits for, so the page stays alive and shows what was
// drawn. Files live in the browser's file system, whose writable folders the page keeps in
// IndexedDB; they are saved there while the game runs and when it ends.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "platform/Text.h"
#include "platform/WindowPlatform.h"

// The page's side (index.html); each hook is optional, so the runner also works on a bare page.
// clang-format off
EM_JS(void, kr_page_message, (const char* title, const char* text), {
    if (Module.korvaneMessage) Module.korvaneMessage(UTF8ToString(title), UTF8ToString(text));
});
EM_JS(void, kr_page_progress, (int percent, const char* caption), {
    if (Module.korvaneProgress) Module.korvaneProgress(percent, UTF8ToString(caption));
});
EM_JS(void, kr_page_loaded, (), {
    if (Module.korvaneLoaded) Module.korvaneLoaded();
});
EM_JS(void, kr_page_caption, (const char* caption), {
    document.title = UTF8ToString(caption);
});
EM_JS(void, kr_page_frame, (), {
    if (Module.korvaneFrame) Module.korvaneFrame();
});
EM_JS(void, kr_page_ended, (), {
    if (Module.korvaneEnded) Module.korvaneEnded();
});
// Sound: the mixed frames are played by Web Audio, each block a buffer started where the one
// before ends. A page may not start sound before the player has touched it: until then the
// context is suspended, blocks are dropped (not heard late), and the first key or click
// resumes it. Module.korvaneAudioFrames counts the frames handed to the page, and
// Module.korvaneAudioPeak is the loudest sample among them.
EM_JS(int, kr_audio_open, (), {
    var C = window.AudioContext || window.webkitAudioContext;
    if (!C) return 0;
    try {
        var a = Module.korvaneAudio = { context: new C({sampleRate: 44100}), next: 0 };
    } catch (e) {
        return 0;
    }
    Module.korvaneAudioFrames = 0;
    Module.korvaneAudioPeak = 0;
    var resume = function() { if (a.context.state !== 'running') a.context.resume(); };
    ['keydown', 'mousedown', 'touchstart'].forEach(function(e) {
        window.addEventListener(e, resume, true);
    });
    return 1;
});
EM_JS(void, kr_audio_queue, (const float* frames, int count), {
    var a = Module.korvaneAudio;
    if (!a || a.context.state !== 'running') return;
    var buffer = a.context.createBuffer(2, count, 44100);
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    var base = frames >> 2, peak = Module.korvaneAudioPeak;
    for (var i = 0; i < count; i++) {
        left[i] = HEAPF32[base + 2 * i];
        right[i] = HEAPF32[base + 2 * i + 1];
        peak = Math.max(peak, Math.abs(left[i]), Math.abs(right[i]));
    }
    Module.korvaneAudioPeak = peak;
    var node = a.context.createBufferSource();
    node.buffer = buffer;
    node.connect(a.context.destination);
    a.next = Math.max(a.next, a.context.currentTime);
    node.start(a.next);
    a.next += count / 44100;
    Module.korvaneAudioFrames += count;
});
EM_JS(int, kr_audio_queued, (), {
    var a = Module.korvaneAudio;
    if (!a || a.context.state !== 'running') return 0;
    return Math.max(0, Math.round((a.next - a.context.currentTime) * 44100));
});
// Whether the page runs the game flat out (index.html's ?fast=1).
EM_JS(int, kr_page_fast, (), {
    return Module.korvaneFast ? 1 : 0;
});
// Waits for the browser's next animation frame: what was drawn is shown then.
EM_ASYNC_JS(void, kr_page_next_frame, (), {
    await new Promise(resolve => requestAnimationFrame(() => resolve()));
});
// clang-format on

namespace kr {

namespace {

constexpr char kCanvas[] = "#canvas";

// Whether control went back to the browser since the last frame was shown.
bool g_yielded = false;
// Flat out: the loop neither waits for the room speed nor for animation frames; it goes back to
// the browser only every kFlatOutSliceMs, so that the page stays alive and shows a frame now
// and then.
bool g_flat_out = false;
constexpr double kFlatOutSliceMs = 50;
double g_last_yield_ms = 0;

void Yield(int64_t us) {
    emscripten_sleep(unsigned(std::max<int64_t>(0, (us + 999) / 1000)));
    g_yielded = true;
    g_last_yield_ms = emscripten_get_now();
}

void YieldWhenDue() {
    if (emscripten_get_now() - g_last_yield_ms >= kFlatOutSliceMs) Yield(0);
}

class PageMessageBox final : public MessageBox {
public:
    // The page shows the message beside the game, which goes on: a browser has no modal box
    // that a running program could wait on without freezing the page.
    void Show(std::string_view title, std::string_view text) override {
        std::string t = GameTextToUtf8(title), m = GameTextToUtf8(text);
        std::fprintf(stderr, "%s: %s\n", t.c_str(), m.c_str());
        kr_page_message(t.c_str(), m.c_str());
    }
};

class PageLoadDisplay final : public LoadDisplay {
public:
    void Show(bool, bool) override {}
    void SetProgress(int percent, std::string_view caption) override {
        kr_page_progress(std::clamp(percent, 0, 100), GameTextToUtf8(caption).c_str());
    }
    void Close() override { kr_page_loaded(); }
};

class BrowserClock final : public Clock {
public:
    // Flat out, the time waits would have taken passes at once.
    int64_t Microseconds() override {
        return int64_t((emscripten_get_now() - start_) * 1000.0) + skipped_;
    }
    void Sleep(int64_t us) override {
        if (!g_flat_out) return Yield(us);
        skipped_ += std::max<int64_t>(us, 0);
        YieldWhenDue();
    }
    uint32_t Seed() override { return system_->Seed(); }
    double LocalDateTime() override { return system_->LocalDateTime(); }

private:
    double start_ = emscripten_get_now();
    int64_t skipped_ = 0;
    std::unique_ptr<Clock> system_ = MakeSystemClock();
};

class WebGlContext final : public GlContext {
public:
    explicit WebGlContext(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context) : context_(context) {}
    ~WebGlContext() override { emscripten_webgl_destroy_context(context_); }
    bool OpenGlEs() const override { return true; }
    void* ProcAddress(const char* name) override { return emscripten_webgl_get_proc_address(name); }
    // The browser shows the canvas when control goes back to it: at the latest here, once per
    // frame, whatever the loop's own waits did.
    void SwapBuffers() override {
        kr_page_frame();
        if (g_flat_out) {
            YieldWhenDue();
        } else if (!g_yielded) {
            kr_page_next_frame();
        }
        g_yielded = false;
    }
    void SetSwapInterval(bool) override {}
    void DrawableSize(int32_t& width, int32_t& height) override {
        int w = 0, h = 0;
        emscripten_get_canvas_element_size(kCanvas, &w, &h);
        width = w, height = h;
    }
    bool Offscreen() const override { return false; }
    void MakeCurrent() override { emscripten_webgl_make_context_current(context_); }

private:
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context_;
};

// The key's virtual-key code: the browser's keyCode is that code for the keys games use.
int32_t VirtualKey(const EmscriptenKeyboardEvent& e) {
    const int32_t code = int32_t(e.keyCode);
    return code > 0 && code < 256 ? code : 0;
}

// The single character a key event types, as UTF-8; empty for keys that type none.
std::string TypedCharacter(const EmscriptenKeyboardEvent& e) {
    const size_t n = std::strlen(e.key);
    if (n == 0 || e.ctrlKey || e.metaKey) return {};
    // One code point: one lead byte and its continuation bytes.
    size_t points = 0;
    for (size_t i = 0; i < n; ++i)
        if ((uint8_t(e.key[i]) & 0xC0) != 0x80) ++points;
    return points == 1 ? std::string(e.key, n) : std::string();
}

class CanvasWindow final : public GameWindow {
public:
    ~CanvasWindow() override {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
        emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
        emscripten_set_mousemove_callback(kCanvas, nullptr, true, nullptr);
        emscripten_set_mousedown_callback(kCanvas, nullptr, true, nullptr);
        emscripten_set_mouseup_callback(kCanvas, nullptr, true, nullptr);
        emscripten_set_wheel_callback(kCanvas, nullptr, true, nullptr);
        kr_page_ended();
    }

    bool Create() override {
        if (created_) return true;
        created_ = true;
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, &OnKey);
        emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, &OnKey);
        emscripten_set_mousemove_callback(kCanvas, this, true, &OnMouse);
        emscripten_set_mousedown_callback(kCanvas, this, true, &OnMouse);
        emscripten_set_mouseup_callback(kCanvas, this, true, &OnMouse);
        emscripten_set_wheel_callback(kCanvas, this, true, &OnWheel);
        emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, &OnFocus);
        emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, &OnFocus);
        return true;
    }

    void Open(int32_t width, int32_t height) override {
        client_w_ = std::max(width, 1), client_h_ = std::max(height, 1);
        emscripten_set_canvas_element_size(kCanvas, client_w_, client_h_);
    }
    void SetCaption(std::string_view caption) override {
        kr_page_caption(GameTextToUtf8(caption).c_str());
    }
    void ShowColor(int32_t) override {}
    void PollEvents(std::vector<InputEvent>& out) override {
        out.insert(out.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }
    bool Active() override { return active_; }
    bool KeyDownNow(int32_t key) override { return down_.count(key) != 0; }
    bool NumLock() override { return num_lock_; }
    void SetNumLock(bool on) override { num_lock_ = on; }
    void ToggleFullscreen() override {
        fullscreen_ = !fullscreen_;
        if (fullscreen_) {
            EmscriptenFullscreenStrategy strategy{};
            strategy.scaleMode = EMSCRIPTEN_FULLSCREEN_SCALE_ASPECT;
            strategy.filteringMode = EMSCRIPTEN_FULLSCREEN_FILTERING_NEAREST;
            emscripten_request_fullscreen_strategy(kCanvas, false, &strategy);
        } else {
            emscripten_exit_fullscreen();
        }
    }
    bool Fullscreen() override { return fullscreen_; }
    void ShowCursor(bool shown) override {
        cursor_shown_ = shown;
        EM_ASM({ Module.canvas && (Module.canvas.style.cursor = $0 ? 'default' : 'none'); },
               shown ? 1 : 0);
    }
    bool CursorShown() override { return cursor_shown_; }

    std::unique_ptr<GlContext> CreateGlContext(std::string& error) override {
        EmscriptenWebGLContextAttributes attrs;
        emscripten_webgl_init_context_attributes(&attrs);
        attrs.majorVersion = 2;
        attrs.minorVersion = 0;
        attrs.alpha = false;
        attrs.depth = true;
        attrs.antialias = false;
        // The last frame stays on the canvas when the game ends (and for screenshots).
        attrs.preserveDrawingBuffer = true;
        EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(kCanvas, &attrs);
        if (context <= 0) {
            error = "this browser has no WebGL 2";
            return nullptr;
        }
        emscripten_webgl_make_context_current(context);
        return std::make_unique<WebGlContext>(context);
    }

    void ClientRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) override {
        x = 0, y = 0, width = client_w_, height = client_h_;
    }
    void SetClientRect(int32_t, int32_t, int32_t width, int32_t height) override {
        Open(width, height);
    }
    void MouseScreen(int32_t& x, int32_t& y) override { x = mouse_x_, y = mouse_y_; }

private:
    static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void* user) {
        auto* w = static_cast<CanvasWindow*>(user);
        const int32_t vk = VirtualKey(*e);
        // Shortcuts of the browser (with Ctrl or the command key) stay the browser's.
        const bool browser = e->ctrlKey || e->metaKey;
        if (vk == 0) return false;
        using Kind = InputEvent::Kind;
        if (type == EMSCRIPTEN_EVENT_KEYDOWN) {
            w->down_.insert(vk);
            w->pending_.push_back({Kind::kKeyDown, vk});
            if (vk == 8 || vk == 9 || vk == 13 || vk == 27) {
                w->pending_.push_back({Kind::kChar, vk});
            } else if (std::string typed = TypedCharacter(*e); !typed.empty()) {
                for (char c : Utf8ToGameText(typed))
                    w->pending_.push_back({Kind::kChar, int32_t(uint8_t(c))});
            }
        } else {
            w->down_.erase(vk);
            w->pending_.push_back({Kind::kKeyUp, vk});
        }
        return !browser;
    }

    static EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* e, void* user) {
        auto* w = static_cast<CanvasWindow*>(user);
        using Kind = InputEvent::Kind;
        // Canvas pixels: the page may show the canvas scaled.
        double css_w = 0, css_h = 0;
        emscripten_get_element_css_size(kCanvas, &css_w, &css_h);
        const int32_t x = css_w > 0 ? int32_t(e->targetX * w->client_w_ / css_w) : e->targetX;
        const int32_t y = css_h > 0 ? int32_t(e->targetY * w->client_h_ / css_h) : e->targetY;
        w->mouse_x_ = x, w->mouse_y_ = y;
        if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
            w->pending_.push_back({Kind::kMouseMove, 0, x, y});
            return false;
        }
        const int32_t b = e->button == 0 ? 1 : e->button == 2 ? 2 : e->button == 1 ? 3 : 0;
        if (b == 0) return false;
        w->pending_.push_back(
            {type == EMSCRIPTEN_EVENT_MOUSEDOWN ? Kind::kMouseDown : Kind::kMouseUp, b, x, y});
        return true;
    }

    static EM_BOOL OnWheel(int, const EmscriptenWheelEvent* e, void* user) {
        auto* w = static_cast<CanvasWindow*>(user);
        if (e->deltaY < 0) w->pending_.push_back({InputEvent::Kind::kWheelUp});
        if (e->deltaY > 0) w->pending_.push_back({InputEvent::Kind::kWheelDown});
        return true;
    }

    static EM_BOOL OnFocus(int type, const EmscriptenFocusEvent*, void* user) {
        auto* w = static_cast<CanvasWindow*>(user);
        w->active_ = type == EMSCRIPTEN_EVENT_FOCUS;
        // Keys held while the page lost the focus never report their release.
        if (!w->active_) {
            for (int32_t vk : w->down_) w->pending_.push_back({InputEvent::Kind::kKeyUp, vk});
            w->down_.clear();
        }
        return false;
    }

    bool created_ = false, active_ = true, num_lock_ = true, fullscreen_ = false;
    bool cursor_shown_ = true;
    int32_t mouse_x_ = 0, mouse_y_ = 0;
    std::set<int32_t> down_;
    std::vector<InputEvent> pending_;
};

// The page draws only one canvas: the debugger's window is not available there.
class NoDebugWindow final : public DebugWindow {
public:
    bool Open(std::string& error) override {
        error = "a web page has no debugger window";
        return false;
    }
    void Frame(const DebugView&, std::vector<DebugRequest>&, std::vector<uint8_t>*) override {}
    int32_t Width() const override { return 0; }
    int32_t Height() const override { return 0; }
};

class PageAudioOutput final : public AudioOutput {
public:
    bool Open() override {
        if (kr_audio_open()) return true;
        std::fprintf(stderr, "korvane: the browser has no Web Audio; the game runs silently\n");
        return false;
    }
    void Queue(std::span<const float> frames) override {
        kr_audio_queue(frames.data(), int(frames.size() / 2));
    }
    int64_t QueuedFrames() override { return kr_audio_queued(); }
};

}  // namespace

Platform MakeWindowPlatform() {
    g_flat_out = kr_page_fast() != 0;
    Platform p;
    p.messages = std::make_unique<PageMessageBox>();
    p.load_display = std::make_unique<PageLoadDisplay>();
    p.clock = std::make_unique<BrowserClock>();
    p.process = MakeNullProcessControl();
    p.window = std::make_unique<CanvasWindow>();
    p.joysticks = MakeNullJoysticks();
    p.clipboard = MakePrivateClipboard();
    p.audio = std::make_unique<PageAudioOutput>();
    return p;
}

// Headless runs in a page draw into the canvas all the same (its pictures can be read back).
std::unique_ptr<GameWindow> MakeOffscreenWindow() {
    return std::make_unique<CanvasWindow>();
}

std::unique_ptr<DebugWindow> MakeDebugWindow(bool) {
    return std::make_unique<NoDebugWindow>();
}

}  // namespace kr
