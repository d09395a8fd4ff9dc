#include "runner/RoomDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "data/ImageCodecs.h"
#include "data/Sprite.h"
#include "graphics/DeferredDevice.h"
#include "objects/EventTypes.h"
#include "objects/Instance.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

int32_t Round(double v) {
    return int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

}  // namespace

RoomDraw::RoomDraw(Runner& runner) : runner_(runner) {}

RoomDraw::~RoomDraw() {
    Finish();
}

void RoomDraw::ResumeDrawing() {
    if (GraphicsDevice* device = graphics_.Device()) device->Resume();
}

void RoomDraw::Finish() {
    graphics_.SetDevice(nullptr);
}

bool RoomDraw::Init() {
    const GameSettings& s = runner_.Settings();
    GameWindow& window = *runner_.GetPlatform().window;
    std::unique_ptr<GraphicsDevice> device;
    if (runner_.Windowed()) {
        std::string error;
        device = CreateGraphicsDevice(window, error);
        if (!device) {
            std::fprintf(stderr, "Cannot draw: %s\n", error.c_str());
            runner_.ShowMessage(
                "Failed to initialize drawing surfaces. Please check that your graphics card "
                "meets the minimum requirements and that your drivers are up-to-date. If your "
                "graphics card has little memory, try switching your computer to a lower "
                "resolution.");
            return false;
        }
    } else {
        // Without a window the driver is loaded only once something is drawn.
        device = std::make_unique<DeferredDevice>([&window] {
            std::string error;
            std::unique_ptr<GraphicsDevice> made = CreateGraphicsDevice(window, error);
            if (!made && !error.empty())
                std::fprintf(stderr, "korvane: nothing is drawn in this run: %s\n", error.c_str());
            return made;
        });
    }
    graphics_.SetRegionSize(8, 8);
    graphics_.SetRegionScale(s.scaling / 100.0);
    graphics_.SetWindowColor(s.outside_color);
    sizeable = s.sizeable;
    stay_on_top = s.stay_on_top;
    show_border = !s.no_border;
    show_icons = !s.no_caption_buttons;
    graphics_.SetDevice(std::move(device));
    graphics_.SetSynchronization(s.vsync);
    graphics_.SetInterpolation(s.interpolate_colors);
    if (s.start_fullscreen != window.Fullscreen()) window.ToggleFullscreen();
    ApplyWindowStyle();
    runner_.Loop().hooks.save_screenshot = [this](const std::string& file) {
        TBitmap32 picture =
            graphics_.Capture(-1, 0, 0, graphics_.RegionWidth(), graphics_.RegionHeight());
        picture.MakeOpaque();
        SavePngFile(picture, file);
    };
    return true;
}

// ---- Layout ------------------------------------------------------------------------------

void RoomDraw::ClientSize(int32_t& w, int32_t& h) {
    int32_t x, y;
    runner_.GetPlatform().window->ClientRect(x, y, w, h);
}

void RoomDraw::ApplyWindowStyle() {
    runner_.GetPlatform().window->SetStyle(show_border, sizeable, stay_on_top);
}

void RoomDraw::AdaptWindow(bool adapt) {
    double s = graphics_.RegionScale();
    if (s <= 0) return;
    GameWindow& window = *runner_.GetPlatform().window;
    int32_t x, y, w, h;
    window.ClientRect(x, y, w, h);
    int32_t rw = Round(graphics_.RegionWidth() * s), rh = Round(graphics_.RegionHeight() * s);
    if (adapt || w < rw || h < rh) window.SetClientRect(x, y, rw, rh);
}

void RoomDraw::WindowDefault() {
    GameWindow& window = *runner_.GetPlatform().window;
    double s = graphics_.RegionScale();
    int32_t w = graphics_.RegionWidth(), h = graphics_.RegionHeight();
    if (s > 0) w = Round(w * s), h = Round(h * s);
    int32_t sw, sh, depth, freq;
    window.ScreenMode(sw, sh, depth, freq);
    window.SetClientRect((sw - w) / 2, (sh - h) / 2, w, h);
}

void RoomDraw::RoomRegionSize(int32_t& width, int32_t& height) {
    int32_t w, h;
    runner_.Loop().RegionSize(w, h);
    GameWindow& window = *runner_.GetPlatform().window;
    int32_t sw, sh, depth, freq;
    window.ScreenMode(sw, sh, depth, freq);
    w = std::min(w, sw), h = std::min(h, sh);
    if (w != graphics_.RegionWidth() || h != graphics_.RegionHeight()) {
        graphics_.SetRegionSize(w, h);
        AdaptWindow(true);
        WindowDefault();
    }
    int32_t x, y;
    window.ClientRect(x, y, width, height);
    if (graphics_.RegionScale() > 0) {
        width = Round(w * graphics_.RegionScale());
        height = Round(h * graphics_.RegionScale());
    } else if (width < 1 || height < 1) {
        width = w, height = h;
    }
}

// ---- Mouse -------------------------------------------------------------------------------

void RoomDraw::MouseRegion(int32_t& x, int32_t& y) {
    int32_t w, h;
    ClientSize(w, h);
    const InputState& in = runner_.Loop().Input();
    graphics_.ClientToRegion(in.window_mouse_x, in.window_mouse_y, w, h, x, y);
}

bool RoomDraw::RegionToRoom(int32_t slot, int32_t x, int32_t y, int32_t& rx, int32_t& ry) const {
    rx = x, ry = y;
    if (slot < 0 || slot >= int32_t(slots_.size())) return false;
    const Slot& s = slots_[size_t(slot)];
    if (!s.in_use || s.wport == 0 || s.hport == 0) return false;
    double dx = (x - s.xport) * s.wview / s.wport, dy = (y - s.yport) * s.hview / s.hport;
    if (std::fabs(s.angle) < 0.01) {
        rx = Round(s.xview + dx), ry = Round(s.yview + dy);
        return true;
    }
    double a = -s.angle * kPi / 180;
    double ex = dx - s.wview / 2, ey = dy - s.hview / 2;
    rx = Round(s.xview + s.wview / 2 + std::cos(a) * ex + std::sin(a) * ey);
    ry = Round(s.yview + s.hview / 2 - std::sin(a) * ex + std::cos(a) * ey);
    return true;
}

void RoomDraw::MouseRoom(int32_t& x, int32_t& y) {
    int32_t mx, my;
    MouseRegion(mx, my);
    x = mx, y = my;
    for (int32_t i = int32_t(slots_.size()) - 1; i >= 0; --i) {
        const Slot& s = slots_[size_t(i)];
        if (!s.in_use) continue;
        RegionToRoom(i, mx, my, x, y);
        if (x >= s.xview && x < s.xview + s.wview && y >= s.yview && y < s.yview + s.hview) return;
    }
}

void RoomDraw::MouseView(int32_t slot, int32_t& x, int32_t& y) {
    int32_t mx, my;
    MouseRegion(mx, my);
    RegionToRoom(slot, mx, my, x, y);
}

void RoomDraw::RoomToRegion(int32_t slot, double x, double y, int32_t& rx, int32_t& ry) const {
    if (slot < 0 || slot >= int32_t(slots_.size()) || !slots_[size_t(slot)].in_use ||
        slots_[size_t(slot)].wview == 0 || slots_[size_t(slot)].hview == 0) {
        rx = Round(x), ry = Round(y);
        return;
    }
    const Slot& s = slots_[size_t(slot)];
    double dx = (x - s.xview) * s.wport / s.wview, dy = (y - s.yview) * s.hport / s.hview;
    if (std::fabs(s.angle) < 0.01) {
        rx = Round(s.xport + dx), ry = Round(s.yport + dy);
        return;
    }
    double a = s.angle * kPi / 180;
    double ex = dx - s.wport / 2, ey = dy - s.hport / 2;
    rx = Round(s.xport + s.wport / 2 + std::cos(a) * ex + std::sin(a) * ey);
    ry = Round(s.yport + s.hport / 2 - std::sin(a) * ex + std::cos(a) * ey);
}

void RoomDraw::SetMouseRegion(int32_t x, int32_t y) {
    GameWindow& window = *runner_.GetPlatform().window;
    int32_t cx, cy, w, h, mx, my;
    window.ClientRect(cx, cy, w, h);
    graphics_.RegionToClient(x, y, w, h, mx, my);
    window.SetMouseScreen(cx + mx, cy + my);
}

int32_t RoomDraw::FirstSlot() const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].in_use) return int32_t(i);
    return -1;
}

// ---- Drawing -----------------------------------------------------------------------------

void RoomDraw::FollowViews() {
    CRoom& room = runner_.Loop().Room();
    for (Slot& s : slots_) s.in_use = false;
    if (!room.views_enabled) return;
    InstanceList& list = runner_.Instances();
    for (CView& v : room.views) {
        if (!v.visible || v.object < 0) continue;
        CInstance* inst = nullptr;
        if (v.object < 100000) {
            for (int32_t i = 0, n = list.DirectCount(v.object); i < n && !inst; ++i)
                if (CInstance* c = list.DirectAt(v.object, i); c && !c->deleted) inst = c;
        } else {
            for (int32_t i = 0, n = list.Count(); i < n && !inst; ++i)
                if (CInstance* c = list.At(i); c && !c->deleted && c->id == v.object) inst = c;
        }
        if (!inst) continue;
        auto follow = [](int32_t pos, int32_t border, int32_t size, int32_t view) {
            if (2 * border < size) {
                if (pos - border < view) return pos - border;
                if (view + size < pos + border) return pos + border - size;
                return view;
            }
            return pos - size / 2;
        };
        int32_t x = Round(inst->X()), y = Round(inst->Y());
        int32_t nx = follow(x, v.hborder, v.wview, v.xview);
        int32_t ny = follow(y, v.vborder, v.hview, v.yview);
        nx = std::min(std::max(nx, 0), room.width - v.wview);
        ny = std::min(std::max(ny, 0), room.height - v.hview);
        if (v.hspeed >= 0) nx = std::clamp(nx, v.xview - v.hspeed, v.xview + v.hspeed);
        if (v.vspeed >= 0) ny = std::clamp(ny, v.yview - v.vspeed, v.yview + v.vspeed);
        v.xview = nx, v.yview = ny;
    }
    for (size_t i = 0; i < room.views.size(); ++i) {
        const CView& v = room.views[i];
        if (!v.visible) continue;
        slots_[i] = Slot{true,
                         double(v.xport),
                         double(v.yport),
                         double(v.wport),
                         double(v.hport),
                         double(v.xview),
                         double(v.yview),
                         double(v.wview),
                         double(v.hview),
                         v.angle};
    }
}

void RoomDraw::DrawFrame() {
    if (runner_.Loop().RoomIndex() < 0) return;
    CRoom& room = runner_.Loop().Room();
    FollowViews();
    // Deepest first; equal depths keep their order (a stable sort, only when the order broke).
    std::vector<RoomTile>& tiles = room.tiles;
    auto deeper = [](const RoomTile& a, const RoomTile& b) { return a.depth > b.depth; };
    if (!std::is_sorted(tiles.begin(), tiles.end(), deeper))
        std::stable_sort(tiles.begin(), tiles.end(), deeper);
    InstanceList& list = runner_.Instances();
    order_.clear();
    for (int32_t i = 0, n = list.Count(); i < n; ++i)
        if (CInstance* inst = list.At(i)) order_.push_back(inst);
    auto deeper_instance = [](const CInstance* a, const CInstance* b) {
        return a->depth > b->depth;
    };
    if (!std::is_sorted(order_.begin(), order_.end(), deeper_instance))
        std::stable_sort(order_.begin(), order_.end(), deeper_instance);

    if (!room.views_enabled) {
        view_current = 0;
        graphics_.SetViewport(0, 0, room.width, room.height);
        graphics_.SetProjection(0, 0, room.width, room.height, 0);
        DrawView(0, 0, room.width, room.height);
    } else {
        graphics_.SetViewport(0, 0, graphics_.RegionWidth(), graphics_.RegionHeight());
        graphics_.Clear(graphics_.WindowColor(), 1);
        for (size_t i = 0; i < room.views.size(); ++i) {
            const CView& v = room.views[i];
            view_current = int32_t(i);
            if (!v.visible) continue;
            graphics_.SetViewport(v.xport, v.yport, v.wport, v.hport);
            graphics_.SetProjection(v.xview, v.yview, v.wview, v.hview, v.angle);
            if (std::fabs(v.angle) < 0.01)
                DrawView(v.xview, v.yview, v.xview + v.wview, v.yview + v.hview);
            else
                DrawView(v.xview - v.hview / 2, v.yview - v.wview / 2,
                         v.xview + v.wview + v.hview / 2, v.yview + v.hview + v.wview / 2);
        }
        graphics_.ResetProjection();
    }
    view_current = 0;
    UpdateCaption();
}

void RoomDraw::DrawLayers(bool foreground, double left, double top, double right, double bottom) {
    CRoom& room = runner_.Loop().Room();
    for (const CBack& b : room.backgrounds) {
        if (!b.visible || b.foreground != foreground) continue;
        CBackground* back = runner_.Game().backgrounds.Get(b.index);
        if (!back) continue;
        int32_t tex = graphics_.BackgroundTexture(*back);
        graphics_.DrawTextureTiled(tex, b.tile_h, b.tile_v, 0, 0, b.x, b.y, b.xscale, b.yscale,
                                   left, top, right - left, bottom - top,
                                   ScriptColorToDevice(b.blend, b.alpha));
    }
}

void RoomDraw::DrawInstance(CInstance& inst) {
    graphics_.SetDepth(std::min(inst.depth, 11000.0));
    EventDispatch& events = runner_.Events();
    if (events.FindEvent(inst.object_index, kEventDraw, 0)) {
        events.PerformInstanceEvent(&inst, &inst, kEventDraw, 0);
        return;
    }
    CSprite* sprite = runner_.Game().sprites.Get(inst.SpriteIndex());
    if (!sprite || sprite->FrameCount() == 0) return;
    int32_t n = sprite->FrameCount();
    int32_t frame = int32_t(std::fmod(std::floor(inst.image_index), n));
    if (frame < 0) frame += n;
    int32_t tex = graphics_.SpriteTexture(*sprite, frame);
    if (inst.XScale() == 1 && inst.YScale() == 1 && inst.Angle() == 0 &&
        inst.image_blend == 0xFFFFFF && inst.image_alpha == 1)
        graphics_.DrawTexture(tex, inst.X() - sprite->x_origin, inst.Y() - sprite->y_origin);
    else
        graphics_.DrawTextureExt(tex, ScriptColorToDevice(inst.image_blend, inst.image_alpha),
                                 sprite->x_origin, sprite->y_origin, inst.X(), inst.Y(),
                                 inst.XScale(), inst.YScale(), inst.Angle() * kPi / 180);
}

void RoomDraw::DrawView(double left, double top, double right, double bottom) {
    CRoom& room = runner_.Loop().Room();
    graphics_.SetDepth(0);
    graphics_.ClearDepth();
    if (room.show_background_color) graphics_.Clear(room.background_color, 1);
    graphics_.SetDepth(12000);
    DrawLayers(false, left, top, right, bottom);
    // Tiles and instances merged by depth; at equal depth the instance comes first.
    // Particle systems join the merge; at equal depth they come before instances and tiles.
    std::vector<RoomTile>& tiles = room.tiles;
    ParticleWorld& particles = runner_.Particles();
    double p = particles.DeepestSystemDepth();
    size_t i = 0, j = 0;
    while (i < tiles.size() || j < order_.size() || p > -100000000) {
        if (j < order_.size() && (order_[j]->deleted || !order_[j]->visible)) {
            ++j;
            continue;
        }
        if (i < tiles.size() && !tiles[i].visible) {
            ++i;
            continue;
        }
        if (p > -100000000 && !(j < order_.size() && p < order_[j]->depth) &&
            !(i < tiles.size() && p < tiles[i].depth)) {
            graphics_.SetDepth(std::min(p, 11000.0));
            particles.DrawSystemsAtDepth(
                p, graphics_, [this](int32_t s) { return runner_.Game().sprites.Get(s); });
            p = particles.NextSystemDepth(p);
            continue;
        }
        bool tile = j >= order_.size() || (i < tiles.size() && tiles[i].depth > order_[j]->depth);
        if (!tile) {
            DrawInstance(*order_[j++]);
            // A draw event may have ended the room or changed its tiles.
            if (runner_.Loop().RoomIndex() < 0 || &room != &runner_.Loop().Room()) return;
            continue;
        }
        const RoomTile& t = tiles[i++];
        graphics_.SetDepth(std::min(t.depth, 11000.0));
        double x1 = t.x, x2 = t.x + t.width * t.xscale, y1 = t.y, y2 = t.y + t.height * t.yscale;
        if (x1 > x2) std::swap(x1, x2);
        if (y1 > y2) std::swap(y1, y2);
        if (right < x1 || bottom < y1 || left > x2 || top > y2) continue;
        CBackground* back = runner_.Game().backgrounds.Get(t.background);
        if (!back) continue;
        graphics_.DrawTexturePart(graphics_.BackgroundTexture(*back),
                                  ScriptColorToDevice(t.blend, t.alpha), t.left, t.top, t.width,
                                  t.height, t.x, t.y, t.xscale, t.yscale, 0);
    }
    graphics_.SetDepth(-12000);
    DrawLayers(true, left, top, right, bottom);
    graphics_.SetDepth(-13000);
    if (CSprite* cursor = runner_.Game().sprites.Get(runner_.Vars().cursor_sprite);
        cursor && cursor->FrameCount() > 0) {
        int32_t n = cursor->FrameCount();
        int32_t frame = ((cursor_frame % n) + n) % n;
        int32_t mx, my;
        MouseRoom(mx, my);
        graphics_.DrawTextureExt(graphics_.SpriteTexture(*cursor, frame), 0xFFFFFFFF,
                                 cursor->x_origin, cursor->y_origin, mx, my, 1, 1, 0);
    }
    graphics_.SetDepth(0);
}

void RoomDraw::UpdateCaption() {
    const GameVariables& v = runner_.Vars();
    std::string text = runner_.Loop().Room().caption;
    if (v.show_score && (v.show_score_assigned || v.score > 0))
        text += " " + v.caption_score + std::to_string(v.score);
    if (v.show_lives) text += " " + v.caption_lives + std::to_string(v.lives);
    if (v.show_health) text += " " + v.caption_health + std::to_string(Round(v.health));
    // Only a change reaches the window; a caption set by the game differs and is overwritten.
    if (caption_shown_ && text == caption) return;
    caption = text;
    caption_shown_ = true;
    runner_.GetPlatform().window->SetCaption(text);
}

void RoomDraw::PresentFrame() {
    int32_t w, h;
    GraphicsDevice* device = graphics_.Device();
    if (!device || !device->DrawableSize(w, h)) return;
    graphics_.Present(w, h);
}

void RoomDraw::DrawableSize(int32_t& w, int32_t& h) {
    GraphicsDevice* device = graphics_.Device();
    if (!device || !device->DrawableSize(w, h)) ClientSize(w, h);
}

void RoomDraw::StepDone(int64_t step) {
    ++cursor_frame;
    TakeScreenshots(step);
}

void RoomDraw::TakeScreenshots(int64_t step) {
    last_step_done = std::max(last_step_done, step);
    for (const auto& [when, file] : screenshots) {
        if (when != step) continue;
        TBitmap32 picture =
            graphics_.Capture(-1, 0, 0, graphics_.RegionWidth(), graphics_.RegionHeight());
        if (picture.Empty()) {
            std::fprintf(stderr, "korvane: no picture for the screenshot of step %lld\n",
                         static_cast<long long>(step));
            continue;
        }
        picture.MakeOpaque();
        if (!SavePngFile(picture, file))
            std::fprintf(stderr, "korvane: cannot write the screenshot %s\n", file.c_str());
    }
}

std::vector<std::pair<int64_t, std::string>> RoomDraw::UnreachedScreenshots() const {
    std::vector<std::pair<int64_t, std::string>> out;
    for (const auto& shot : screenshots)
        if (shot.first > last_step_done) out.push_back(shot);
    return out;
}

int32_t RoomDraw::NewTileId() {
    if (last_tile_id_ < 0) {
        last_tile_id_ = 10000000;
        const auto& rooms = runner_.Game().rooms;
        for (int32_t r = 0; r < rooms.Count(); ++r)
            if (const CRoom* room = rooms.Get(r))
                for (const RoomTile& t : room->tiles) last_tile_id_ = std::max(last_tile_id_, t.id);
    }
    return last_tile_id_ < INT32_MAX ? ++last_tile_id_ : last_tile_id_;
}

// ---- Variables ---------------------------------------------------------------------------

namespace {

bool get_view_current(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out.SetReal(RunnerOf(rt).Drawer().view_current);
    return true;
}

}  // namespace

void AttachDrawVariables(Runtime& rt) {
    rt.SetBuiltinVariableAccessors("view_current", &get_view_current, nullptr);
}

}  // namespace kr
