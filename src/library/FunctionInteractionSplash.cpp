// The game information and splash screens: text, images, videos and web pages shown in the game
// window until a key, a click or their time ends them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "data/Color.h"
#include "data/ImageCodecs.h"
#include "dialogs/Pickers.h"
#include "dialogs/RichText.h"
#include "library/DialogHost.h"
#include "library/FunctionInteraction.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"
#include "platform/GamePath.h"
#include "platform/Programs.h"
#include "platform/video/VideoDecoder.h"
#include "runner/Runner.h"

namespace kr {

// ---- Game information and splash screens ----------------------------------------------------

namespace {

std::string PlainText(const RichDocument& doc) {
    std::string out;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
        if (i > 0) out += '\n';
        for (const RichRun& run : doc.paragraphs[i].runs) out += run.text;
    }
    return out;
}

// While a splash shows, the mouse cursor shows or not as the splash settings say; the game's
// own choice comes back when it closes. (A splash is drawn inside the game window, over
// everything, so it always stays on top of the game: the setting that keeps a separate splash
// window on top needs nothing more.)
class SplashCursor {
public:
    SplashCursor(Runner& r, const SplashSettings* s)
        : window_(*r.GetPlatform().window), shown_(window_.CursorShown()), set_(s != nullptr) {
        if (set_) window_.ShowCursor(s->cursor);
    }
    ~SplashCursor() {
        if (set_) window_.ShowCursor(shown_);
    }
    SplashCursor(const SplashCursor&) = delete;
    SplashCursor& operator=(const SplashCursor&) = delete;

private:
    GameWindow& window_;
    bool shown_, set_;
};

// Shows a text viewer `w` x `h` game pixels large (-1: most of the window), closed after
// `timeout_ms` when that is positive. `splash`: the settings when it is a splash.
void ShowViewer(Runner& r, TextViewer& v, const RichDocument& doc, int32_t w, int32_t h,
                int64_t timeout_ms, const SplashSettings* splash) {
    DialogHost& host = Dialogs(r);
    for (const DialogAnswer& ans : host.TakeAnswers(r))
        if (ans.is_button) v.Close();
    if (!DialogHost::CanShow(r)) {
        PrintDialogText(PlainText(doc));
        return;
    }
    if (v.Closed()) return;
    FontKey caption_font;
    DialogStyle style;
    ModalWindow modal;
    modal.timeout_ms = timeout_ms;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        caption_font = Scaled(FontKey{"Arial", 10, true, false}, scale);
        style = host.Style(r);
        style.background_texture = -1;
        int32_t sw = w > 0 ? int32_t(std::lround(w * scale)) : -1;
        int32_t sh = h > 0 ? int32_t(std::lround(h * scale)) : -1;
        v.Layout(p, caption_font, -1, -1, sw, sh, cw, ch, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) { p.Draw(v, caption_font, style); };
    modal.handle = [&](const DialogInput& in) { return v.Handle(in); };
    modal.cancel = [&] { v.Close(); };
    SplashCursor cursor(r, splash);
    host.RunModal(r, modal);
}

bool ReadText(const std::string& name, std::string& out) {
    std::vector<uint8_t> bytes;
    std::string path = MapGamePath(name);
    if (name.empty() || !FileExists(path) || !ReadWholeFile(path, bytes)) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

// Splash windows close on a key or click as the settings allow; one that could be closed by
// neither and has no time limit is shown for no time at all, rather than for ever.
void SplashClosing(const SplashSettings& s, int64_t& delay_ms, bool& on_key, bool& on_click) {
    on_key = s.interrupt && s.stop_key;
    on_click = s.interrupt && s.stop_mouse;
    if (delay_ms <= 0 && !on_key && !on_click && !s.close_button) delay_ms = 1;
}

void SplashText(Runtime& rt, const std::string& name, int32_t background, bool full,
                int64_t delay_ms) {
    Runner& r = RunnerOf(rt);
    std::string text;
    if (!ReadText(name, text)) {
        rt.RuntimeError("Text file not found.");
        return;
    }
    const SplashSettings& s = Dialogs(r).splash;
    RichDocument doc = ParseRichText(text);
    TextViewer v(doc, s.caption.empty() ? r.ApplicationTitle() : s.caption, background);
    SplashClosing(s, delay_ms, v.close_on_key, v.close_on_click);
    v.caption_shown = s.border && !full;
    bool whole = full || s.fullscreen || s.main;
    ShowViewer(r, v, doc, whole ? 100000 : s.width, whole ? 100000 : s.height, delay_ms, &s);
}

// The area of a splash window in a client area cw x ch for content of w x h pixels.
DialogRect SplashArea(const SplashSettings& s, bool full, int32_t w, int32_t h, int32_t cw,
                      int32_t ch, double scale) {
    if (full || s.fullscreen || s.main) return {0, 0, cw, ch};
    if (!s.adapt) w = s.width, h = s.height;
    w = std::clamp(int32_t(std::lround(w * scale)), 1, cw);
    h = std::clamp(int32_t(std::lround(h * scale)), 1, ch);
    return {s.x < 0 ? (cw - w) / 2 : std::clamp(int32_t(s.x * scale), 0, cw - w),
            s.y < 0 ? (ch - h) / 2 : std::clamp(int32_t(s.y * scale), 0, ch - h), w, h};
}

// The caption bar of a splash window that is not the whole game window and has a border: it
// sits on top of the area, with a close box when the settings show one.
struct SplashChrome {
    DialogRect bar, close;
    FontKey font;
    DialogStyle style;

    void Layout(DialogPainter& p, Runner& r, const SplashSettings& s, bool whole, DialogRect& area,
                double scale) {
        bar = close = {};
        if (whole || !s.border) return;
        font = Scaled(FontKey{"Arial", 10, true, false}, scale);
        style = Dialogs(r).Style(r);
        int32_t h = p.Height(font) + int32_t(std::lround(8 * scale));
        bar = {area.x, std::max(0, area.y - h), area.w, h};
        area.y = bar.y + h;
    }
    void Draw(DialogPainter& p, Runner& r, const SplashSettings& s) {
        if (bar.h > 0)
            close = p.CaptionBar(bar, font, s.caption.empty() ? r.ApplicationTitle() : s.caption,
                                 style, s.close_button);
    }
    bool Closes(const DialogInput& in) const {
        return in.kind == DialogInput::Kind::kMouseUp && in.code == 1 && close.Contains(in.x, in.y);
    }
};

// The largest side an image is shown at; larger ones are scaled down before they are made a
// texture.
constexpr int32_t kMaxSplashSide = 4096;

void SplashImage(Runtime& rt, const std::string& name, bool full, int64_t delay_ms) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    std::string path = MapGamePath(name);
    if (name.empty() || !FileExists(path)) {
        rt.RuntimeError("Image file not found.");
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintDialogText(name);
        return;
    }
    std::vector<TBitmap32> frames;
    if (!LoadImageFile(path, frames) || frames.empty()) {
        rt.RuntimeError("Image file not found.");
        return;
    }
    TBitmap32& image = frames[0];
    if (image.Width() > kMaxSplashSide || image.Height() > kMaxSplashSide) {
        double f = double(kMaxSplashSide) / std::max(image.Width(), image.Height());
        image.Resize(std::max(1, int32_t(image.Width() * f)),
                     std::max(1, int32_t(image.Height() * f)));
    }
    Graphics& g = r.Drawer().Gfx();
    const int32_t tex = g.TextureFromImage(image);
    const int32_t iw = image.Width(), ih = image.Height();
    const SplashSettings& s = host.splash;
    bool on_key, on_click;
    SplashClosing(s, delay_ms, on_key, on_click);
    bool done = false;
    DialogRect area;
    double ui_scale = 1;
    SplashChrome chrome;
    ModalWindow modal;
    modal.shade = 0;
    modal.timeout_ms = delay_ms;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        area = SplashArea(s, full, iw, ih, cw, ch, scale);
        ui_scale = scale;
        chrome.Layout(p, r, s, full || s.fullscreen || s.main, area, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) {
        chrome.Draw(p, r, s);
        uint32_t c = ScriptColorToDevice(s.color, 1);
        g.DrawRectangle(area.x, area.y, area.x + area.w - 1, area.y + area.h - 1, c, c, c, c,
                        false);
        const PicturePlace at = PlacePicture(area, iw, ih, s.scale != 0, ui_scale);
        g.DrawTextureStretched(tex, 0xFFFFFFFF, at.x, at.y, at.w, at.h);
    };
    modal.handle = [&](const DialogInput& in) {
        using K = DialogInput::Kind;
        if ((in.kind == K::kKeyDown && (on_key || in.code == kVkEscape)) ||
            (in.kind == K::kMouseUp && on_click) || chrome.Closes(in))
            done = true;
        return done;
    };
    modal.cancel = [&] { done = true; };
    {
        SplashCursor cursor(r, &s);
        host.RunModal(r, modal);
    }
    if (tex >= 0) g.TextureFree(tex);
}

void SplashWeb(Runtime& rt, const std::string& url) {
    Runner& r = RunnerOf(rt);
    bool address = url.find("://") != std::string::npos || url.starts_with("www.");
    std::string target = address ? url : MapGamePath(url);
    if (url.empty() || (!address && !FileExists(target))) {
        rt.RuntimeError("Web page not found.");
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintDialogText(url);
        return;
    }
    // The page opens in the player's browser; the game goes on at once.
    std::vector<int> running;
    if (!OpenWithDesktop(target, running)) rt.RuntimeError("Web page not found.");
}

// A 16-bit stereo wave file of a sound track, for the sound system.
std::vector<uint8_t> WaveBytes(const VideoSound& sound) {
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.push_back(uint8_t(v & 0xFF));
        out.push_back(uint8_t(v >> 8));
    };
    const uint32_t data = uint32_t(sound.samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    u32(36 + data);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16), u16(1), u16(2), u32(uint32_t(sound.rate)), u32(uint32_t(sound.rate) * 4), u16(4),
        u16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(data);
    out.reserve(out.size() + data);
    for (float f : sound.samples)
        u16(uint16_t(int16_t(std::lround(std::clamp(f, -1.0f, 1.0f) * 32767.0f))));
    return out;
}

// Plays the pictures of a video at their times, and its sound through the sound system; a key
// or click ends it as the splash settings allow, and so does its end unless it loops.
void SplashVideo(Runtime& rt, const std::string& name, bool full, bool loop) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const char* const kMessage = "Video file not found (or name too long).";
    std::string path = MapGamePath(name);
    if (name.empty() || name.size() > 4096 || !FileExists(path)) {
        rt.RuntimeError(kMessage);
        return;
    }
    std::string why;
    std::unique_ptr<VideoDecoder> video = VideoDecoder::Open(path, why);
    std::vector<uint8_t> bgra;
    double next_t = 0;
    bool have_next = video && video->NextFrame(bgra, next_t);
    if (!have_next) {
        // A file that is there but cannot be played is reported as the player would see it.
        rt.RuntimeError(kMessage);
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintDialogText(name);
        return;
    }
    Graphics& g = r.Drawer().Gfx();
    Clock& clock = *r.GetPlatform().clock;
    const int32_t vw = video->Width(), vh = video->Height();
    const SplashSettings& s = host.splash;
    int64_t no_delay = 0;
    bool on_key, on_click;
    SplashClosing(s, no_delay, on_key, on_click);
    TBitmap32 picture;
    int32_t tex = -1;
    double offset = next_t;  // the first picture's time is the start
    int64_t start = clock.Microseconds();
    bool done = false;
    DialogRect area;
    double ui_scale = 1;
    SplashChrome chrome;
    ModalWindow modal;
    modal.shade = 0;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        area = SplashArea(s, full, vw, vh, cw, ch, scale);
        ui_scale = scale;
        chrome.Layout(p, r, s, full || s.fullscreen || s.main, area, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) {
        chrome.Draw(p, r, s);
        const double now = (clock.Microseconds() - start) / 1e6;
        // Every picture that is due is decoded; only the latest is shown.
        bool fresh = false;
        while (have_next && next_t - offset <= now) {
            fresh = picture.CopyFromMemory(vw, vh, bgra.data(), size_t(vw) * 4) || fresh;
            have_next = video->NextFrame(bgra, next_t);
        }
        if (fresh) {
            if (tex < 0)
                tex = g.TextureFromImage(picture);
            else
                g.TextureLoad(tex, picture);
        }
        if (!have_next) {
            if (loop && video->Rewind() && video->NextFrame(bgra, next_t)) {
                have_next = true;
                offset = next_t;
                start = clock.Microseconds();
            } else if (!fresh) {
                done = true;
            }
        }
        uint32_t c = ScriptColorToDevice(s.color, 1);
        g.DrawRectangle(area.x, area.y, area.x + area.w - 1, area.y + area.h - 1, c, c, c, c,
                        false);
        const PicturePlace at = PlacePicture(area, vw, vh, s.scale != 0, ui_scale);
        if (tex >= 0) g.DrawTextureStretched(tex, 0xFFFFFFFF, at.x, at.y, at.w, at.h);
    };
    modal.finished = [&] { return done; };
    modal.handle = [&](const DialogInput& in) {
        using K = DialogInput::Kind;
        if ((in.kind == K::kKeyDown && (on_key || in.code == kVkEscape)) ||
            (in.kind == K::kMouseUp && on_click) || chrome.Closes(in))
            done = true;
        return done;
    };
    modal.cancel = [&] { done = true; };
    // The sound starts with the first picture and stops with the window.
    SoundSystem& sound = r.Sound();
    int32_t slot = -1;
    VideoSound track;
    if (DecodeVideoSound(path, track)) {
        std::vector<uint8_t> wave = WaveBytes(track);
        slot = sound.LoadSlotFromMemory(wave, 0);
        if (slot >= 0) sound.PlaySlot(slot, loop);
    }
    start = clock.Microseconds();
    {
        SplashCursor cursor(r, &s);
        host.RunModal(r, modal);
    }
    if (slot >= 0) {
        sound.StopSlot(slot);
        sound.FreeSlot(slot);
    }
    if (tex >= 0) g.TextureFree(tex);
}

}  // namespace

KR_DIALOG_FN(show_info) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const CGameInformation& gi = r.Game().game_information;
    RichDocument doc = ParseRichText(host.loaded_info ? *host.loaded_info : gi.text);
    TextViewer v(doc, gi.caption, gi.background_color);
    v.caption_shown = gi.show_border;
    ShowViewer(r, v, doc, gi.width, gi.height, 0, nullptr);
    r.Loop().Input().ClearAll();
}

KR_DIALOG_FN(load_info) {
    std::string text;
    if (!ReadText(std::string(ArgStr(a[0])), text)) return;
    Dialogs(RunnerOf(rt)).loaded_info = std::move(text);
    result.SetReal(1);
}

#define KR_SPLASH_SET(name, field, conv)                 \
    KR_DIALOG_FN(splash_set_##name) {                    \
        Dialogs(RunnerOf(rt)).splash.field = conv(a[0]); \
    }

KR_SPLASH_SET(caption, caption, DialogTextOf)
KR_SPLASH_SET(fullscreen, fullscreen, ArgBool)
KR_SPLASH_SET(border, border, ArgBool)
KR_SPLASH_SET(adapt, adapt, ArgBool)
KR_SPLASH_SET(top, top, ArgBool)
KR_SPLASH_SET(main, main, ArgBool)
KR_SPLASH_SET(scale, scale, ArgInt)
KR_SPLASH_SET(cursor, cursor, ArgBool)
KR_SPLASH_SET(interrupt, interrupt, ArgBool)
KR_SPLASH_SET(stop_key, stop_key, ArgBool)
KR_SPLASH_SET(close_button, close_button, ArgBool)
KR_SPLASH_SET(stop_mouse, stop_mouse, ArgBool)
#undef KR_SPLASH_SET

KR_DIALOG_FN(splash_set_color) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.color = ArgInt(a[0]);
    s.color_set = true;
}

KR_DIALOG_FN(splash_set_size) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.width = std::clamp(ArgInt(a[0]), 1, 16384);
    s.height = std::clamp(ArgInt(a[1]), 1, 16384);
}

KR_DIALOG_FN(splash_set_position) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.x = ArgInt(a[0]);
    s.y = ArgInt(a[1]);
}

KR_DIALOG_FN(splash_show_video) {
    SplashVideo(rt, std::string(ArgStr(a[0])), false, ArgBool(a[1]));
}

KR_DIALOG_FN(splash_show_image) {
    SplashImage(rt, std::string(ArgStr(a[0])), false, int64_t(ArgInt(a[1])));
}

// Text shows on white unless the game chose a splash colour.
KR_DIALOG_FN(splash_show_text) {
    const SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    SplashText(rt, std::string(ArgStr(a[0])), s.color_set ? s.color : 0xFFFFFF, false,
               int64_t(ArgInt(a[1])));
}

KR_DIALOG_FN(splash_show_web) {
    SplashWeb(rt, std::string(ArgStr(a[0])));
}

KR_DIALOG_FN(show_image) {
    SplashImage(rt, std::string(ArgStr(a[0])), ArgBool(a[1]), int64_t(ArgInt(a[2])));
}

KR_DIALOG_FN(show_video) {
    SplashVideo(rt, std::string(ArgStr(a[0])), ArgBool(a[1]), ArgBool(a[2]));
}

KR_DIALOG_FN(show_text) {
    SplashText(rt, std::string(ArgStr(a[0])), ArgInt(a[2]), ArgBool(a[1]), int64_t(ArgInt(a[3])));
}

}  // namespace kr
