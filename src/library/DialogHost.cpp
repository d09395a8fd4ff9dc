#include "library/DialogHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/UserStore.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// The game's picture while a window is open: the window is drawn at the resolution of the game
// window, over a copy of the last frame placed where the game showed it. Everything is put back
// when the window closes (region size, drawing state, the picture itself).
class Overlay {
public:
    explicit Overlay(Graphics& g) : g_(g) {
        g_.Flush();
        target_ = g_.CurrentTarget();
        if (target_ >= 0) g_.SurfaceResetTarget();
        rw_ = g_.RegionWidth(), rh_ = g_.RegionHeight();
        scale_ = g_.RegionScale();
        color_ = g_.Color(), alpha_ = g_.Alpha();
        src_ = g_.BlendSource(), dest_ = g_.BlendDestination();
        interpolate_ = g_.Interpolation();
        TBitmap32 picture = g_.Capture(-1, 0, 0, rw_, rh_);
        if (!picture.Empty()) {
            picture.MakeOpaque();
            backdrop_ = g_.TextureFromImage(picture);
        }
    }
    ~Overlay() {
        g_.SetRegionSize(rw_, rh_);
        g_.SetRegionScale(scale_);
        g_.ResetProjection();
        if (backdrop_ >= 0) {
            g_.SetBlendModeExt(2, 1);  // a copy: one, zero
            g_.DrawTextureStretched(backdrop_, 0xFFFFFFFF, 0, 0, rw_, rh_);
            g_.Flush();
            g_.TextureFree(backdrop_);
        }
        g_.SetBlendModeExt(src_, dest_);
        g_.SetInterpolation(interpolate_);
        g_.SetColor(color_);
        g_.SetAlpha(alpha_);
        if (target_ >= 0) g_.SurfaceSetTarget(target_);
    }
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    // The scale of the windows: that of the game's picture in the window, within reason.
    double Scale(int32_t cw, int32_t ch) const {
        PixelRect p = Placement(cw, ch);
        double s = rw_ > 0 ? double(p.width) / rw_ : 1;
        return std::clamp(s, 0.75, 3.0);
    }

    // Starts a frame of a client area cw x ch: the game's picture, shaded.
    void Begin(DialogPainter& painter, int32_t cw, int32_t ch, double shade) {
        PixelRect p = Placement(cw, ch);
        g_.SetRegionSize(cw, ch);
        g_.SetRegionScale(0);
        g_.ResetProjection();
        g_.SetBlendMode(0);
        g_.SetInterpolation(true);
        g_.Clear(g_.WindowColor(), 1);
        if (backdrop_ >= 0)
            g_.DrawTextureStretched(backdrop_, 0xFFFFFFFF, p.x, p.y, p.width, p.height);
        painter.Shade(cw, ch, shade);
    }

private:
    PixelRect Placement(int32_t cw, int32_t ch) const {
        // As the game placed its region: computed with the region's own size and scale.
        double s = scale_;
        if (s == 0) return {0, 0, cw, ch};
        if (s < 0) s = std::min(double(cw) / std::max(1, rw_), double(ch) / std::max(1, rh_));
        int32_t w = int32_t(std::nearbyint(rw_ * s)), h = int32_t(std::nearbyint(rh_ * s));
        return {(cw - w) / 2, (ch - h) / 2, w, h};
    }

    Graphics& g_;
    int32_t target_ = -1;
    int32_t rw_ = 0, rh_ = 0;
    double scale_ = 1;
    int32_t color_ = 0;
    double alpha_ = 1;
    int32_t src_ = 5, dest_ = 6;
    bool interpolate_ = true;
    int32_t backdrop_ = -1;
};

}  // namespace

DialogHost::DialogHost() = default;
DialogHost::~DialogHost() = default;

DialogHost& Dialogs(Runner& r) {
    return r.FamilyState<DialogHost>();
}

FontKey Scaled(FontKey f, double scale) {
    f.size = std::max(1, int32_t(std::lround(f.size * scale)));
    return f;
}

// The game window is shown when the first room starts: before that (initialization code) a
// window drawn into it could never be seen or answered.
bool DialogHost::CanShow(Runner& r) {
    return r.Windowed() && r.Drawer().Gfx().HasDevice() && r.Loop().RoomIndex() >= 0;
}

std::vector<DialogAnswer> DialogHost::TakeAnswers(Runner& r) {
    std::vector<DialogAnswer> out;
    const std::vector<ReplayEvent>& replay = r.Replay();
    const int64_t step = r.Loop().StepsRun();
    while (answer_next_ < replay.size()) {
        const ReplayEvent& e = replay[answer_next_];
        if (e.step > step) break;
        ++answer_next_;
        if (e.answer == ReplayEvent::Answer::kNone) continue;
        if (e.step < step) {
            std::fprintf(stderr, "korvane: the replayed %s of step %lld found no open window\n",
                         e.answer == ReplayEvent::Answer::kButton ? "button" : "text",
                         static_cast<long long>(e.step));
            continue;
        }
        bool button = e.answer == ReplayEvent::Answer::kButton;
        out.push_back({button, e.text, e.button});
        if (button) break;
    }
    return out;
}

bool DialogHost::RunModal(Runner& r, ModalWindow& w) {
    if (!CanShow(r)) return false;
    RoomDraw& draw = r.Drawer();
    Graphics& g = draw.Gfx();
    GameWindow& window = *r.GetPlatform().window;
    Clock& clock = *r.GetPlatform().clock;
    if (!painter_) painter_ = std::make_unique<DialogPainter>(g);
    {
        Overlay overlay(g);
        std::vector<InputEvent> events;
        int32_t mx = r.Loop().Input().window_mouse_x, my = r.Loop().Input().window_mouse_y;
        const int64_t start = clock.Microseconds();
        bool closed = false;
        int64_t frame = 0;
        int32_t last_w = -1, last_h = -1;
        double scale = 1;
        while (!closed) {
            int32_t cw = 1, ch = 1, client_w = 1, client_h = 1;
            draw.DrawableSize(cw, ch);
            draw.ClientSize(client_w, client_h);
            cw = std::max(cw, 1), ch = std::max(ch, 1);
            if (cw != last_w || ch != last_h) {
                scale = overlay.Scale(cw, ch);
                w.layout(*painter_, cw, ch, scale);
                last_w = cw, last_h = ch;
            }
            // The window's input goes to the window, in drawable pixels.
            events.clear();
            window.PollEvents(events);
            auto to_px = [&](int32_t v, int32_t client, int32_t drawable) {
                return client > 0 ? int32_t(int64_t(v) * drawable / client) : v;
            };
            for (const InputEvent& e : events) {
                using K = InputEvent::Kind;
                using D = DialogInput::Kind;
                DialogInput in;
                switch (e.kind) {
                    case K::kKeyDown:
                        in.kind = D::kKeyDown;
                        break;
                    case K::kChar:
                        in.kind = D::kChar;
                        break;
                    case K::kMouseMove:
                        mx = e.x, my = e.y;
                        in.kind = D::kMouseMove;
                        break;
                    case K::kMouseDown:
                        in.kind = D::kMouseDown;
                        break;
                    case K::kMouseUp:
                        in.kind = D::kMouseUp;
                        break;
                    case K::kWheelUp:
                        in.kind = D::kWheelUp;
                        break;
                    case K::kWheelDown:
                        in.kind = D::kWheelDown;
                        break;
                    case K::kClose:
                        // The window closes; the game then hears of the close as usual.
                        w.cancel();
                        r.Loop().PostInput(e);
                        closed = true;
                        continue;
                    case K::kKeyUp:
                        continue;
                }
                if (closed) break;
                in.code = e.code;
                in.x = to_px(mx, client_w, cw), in.y = to_px(my, client_h, ch);
                if (w.handle(in)) closed = true;
            }
            if (!closed &&
                (r.StopRequested() ||
                 (w.timeout_ms > 0 && clock.Microseconds() - start >= w.timeout_ms * 1000))) {
                w.cancel();
                closed = true;
            }
            r.UpdateSound();
            if (closed) break;
            overlay.Begin(*painter_, cw, ch, w.shade);
            // The caret blinks about twice a second.
            w.draw(*painter_, (frame / 16) % 2 == 0);
            g.Present(cw, ch);
            if (w.finished && w.finished()) break;
            ++frame;
            clock.Sleep(16000);
        }
    }
    // The game's picture, put back, replaces the window at once (not only at the next frame).
    draw.PresentFrame();
    r.Loop().Input().ClearAll();
    return true;
}

MessageLook DialogHost::Look(Runner& r, double scale) const {
    MessageLook look;
    look.text_font = Scaled(message.text_font, scale);
    look.button_font = Scaled(message.button_font, scale);
    look.input_font = Scaled(message.input_font, scale);
    look.caption_shown = message.caption_shown;
    look.caption = message.caption.empty() ? r.ApplicationTitle() : message.caption;
    look.x = message.x, look.y = message.y;
    look.width = message.width, look.height = message.height;
    if (const CSprite* s = r.Game().sprites.Get(message.button)) {
        look.button_width = s->Width();
        look.button_height = s->Height();
    }
    return look;
}

DialogStyle DialogHost::Style(Runner& r) const {
    DialogStyle s;
    s.text_color = message.text_color;
    s.button_text_color = message.button_color;
    s.input_text_color = message.input_text_color;
    s.alpha = std::clamp(message.alpha, 0.0, 1.0);
    s.mouse_color = message.mouse_color;
    s.input_color = message.input_color;
    Graphics& g = r.Drawer().Gfx();
    if (CBackground* b = r.Game().backgrounds.Get(message.background))
        s.background_texture = g.BackgroundTexture(*b);
    if (CSprite* sp = r.Game().sprites.Get(message.button))
        for (int32_t f = 0; f < std::min(3, sp->FrameCount()); ++f)
            if (int32_t t = g.SpriteTexture(*sp, f); t >= 0) s.button_textures.push_back(t);
    return s;
}

HighscoreTable DialogHost::ReadTable(Runner& r) {
    HighscoreTable table;
    const int32_t id = r.Game().game_id;
    if (!store_) store_ = std::make_unique<UserStore>();
    const std::string key = HighscoreKey(id);
    for (int32_t rank = 1; rank <= 10; ++rank) {
        HighscoreEntry& e = table[size_t(rank - 1)];
        e = HighscoreEntry{highscore.nobody, 0};
        std::optional<StoreValue> v =
            store_->Read(UserStore::kCurrentUser, key, HighscoreValueName(rank));
        HighscoreEntry read;
        if (v && v->is_string && HighscoreDecode(v->str, id, read)) e = std::move(read);
    }
    return table;
}

void DialogHost::WriteTable(Runner& r, const HighscoreTable& table) {
    const int32_t id = r.Game().game_id;
    if (!store_) store_ = std::make_unique<UserStore>();
    // The ten ranks are written together, so a table is never left half moved.
    std::vector<std::pair<std::string, StoreValue>> values;
    for (int32_t rank = 1; rank <= 10; ++rank) {
        StoreValue v;
        v.is_string = true;
        v.str = HighscoreEncode(table[size_t(rank - 1)], id);
        values.emplace_back(HighscoreValueName(rank), std::move(v));
    }
    store_->WriteMany(UserStore::kCurrentUser, HighscoreKey(id), values);
}

}  // namespace kr
