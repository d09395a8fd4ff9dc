// Script functions of the graphics family for the display, the window, the screen, the views'
// mouse mapping and the room's tiles. A display-mode change picks the closest mode the display
// offers and makes it the mode of the window's full screen: the display changes while the
// window is full screen, and full screen stays a window over the whole screen. As with 3D mode,
// a mode change does not rebuild the graphics device, so textures and surfaces keep their
// contents.
#include <cmath>

#include "library/FunctionGraphics.h"
#include "runner/Runner.h"

namespace kr {

namespace {

RoomDraw& Draw(Runtime& rt) {
    return RunnerOf(rt).Drawer();
}
GameWindow& Window(Runtime& rt) {
    return *RunnerOf(rt).GetPlatform().window;
}
void Put(RValue& out, double v) {
    out.SetReal(v);
}

struct Mode {
    int32_t w, h, depth, freq;
};
Mode ScreenMode(Runtime& rt) {
    Mode m{};
    Window(rt).ScreenMode(m.w, m.h, m.depth, m.freq);
    return m;
}
// The display's mode closest to a request whose parts below 1 keep those of the full-screen
// mode; false when the display has none.
bool FindMode(Runtime& rt, int32_t w, int32_t h, int32_t freq, int32_t depth, DisplayMode& found) {
    DisplayMode want = Window(rt).FullscreenMode();
    if (w >= 1) want.width = w;
    if (h >= 1) want.height = h;
    if (freq >= 1) want.frequency = freq;
    if (depth >= 1) want.depth = depth;
    return ClosestDisplayMode(Window(rt).DisplayModes(), want, found);
}
void SetMode(Runtime& rt, RValue& result, int32_t w, int32_t h, int32_t freq, int32_t depth) {
    DisplayMode mode;
    bool ok = FindMode(rt, w, h, freq, depth, mode) && Window(rt).SetFullscreenMode(mode);
    Put(result, ok ? 1 : 0);
}

struct Client {
    int32_t x, y, w, h;
};
Client ClientOf(Runtime& rt) {
    Client c{};
    Window(rt).ClientRect(c.x, c.y, c.w, c.h);
    return c;
}

// With a positive region scale the client area is never smaller than the scaled region.
void SetClient(Runtime& rt, int32_t x, int32_t y, int32_t w, int32_t h) {
    Graphics& g = Draw(rt).Gfx();
    if (g.RegionScale() > 0) {
        w = std::max(w, int32_t(std::nearbyint(g.RegionWidth() * g.RegionScale())));
        h = std::max(h, int32_t(std::nearbyint(g.RegionHeight() * g.RegionScale())));
    }
    Window(rt).SetClientRect(x, y, std::max(w, 1), std::max(h, 1));
}

// ---- Tiles ----

std::vector<RoomTile>& Tiles(Runtime& rt) {
    return RunnerOf(rt).Loop().Room().tiles;
}

RoomTile* FindTile(Runtime& rt, int32_t id) {
    for (RoomTile& t : Tiles(rt))
        if (t.id == id) return &t;
    return nullptr;
}

RoomTile* TileArg(Runtime& rt, const RValue& v) {
    RoomTile* t = FindTile(rt, ArgInt(v));
    if (!t) rt.RuntimeError("Tile does not exist.");
    return t;
}

bool BackgroundExists(Runtime& rt, int32_t index) {
    return RunnerOf(rt).Game().backgrounds.Exists(index);
}

bool Contains(const RoomTile& t, double px, double py, bool inclusive_end) {
    if (inclusive_end) return px >= t.x && px <= t.x + t.width && py >= t.y && py <= t.y + t.height;
    return px >= t.x && px < t.x + t.width && py >= t.y && py < t.y + t.height;
}

template <class Pred>
void DeleteTiles(Runtime& rt, Pred pred) {
    std::vector<RoomTile>& tiles = Tiles(rt);
    std::erase_if(tiles, pred);
}

}  // namespace

// ---- Display ----

KR_GRAPHICS_FN(display_get_width) {
    Put(result, ScreenMode(rt).w);
}
KR_GRAPHICS_FN(display_get_height) {
    Put(result, ScreenMode(rt).h);
}
KR_GRAPHICS_FN(display_get_colordepth) {
    Put(result, ScreenMode(rt).depth);
}
KR_GRAPHICS_FN(display_get_frequency) {
    Put(result, ScreenMode(rt).freq);
}
KR_GRAPHICS_FN(display_set_size) {
    SetMode(rt, result, ArgInt(args[0]), ArgInt(args[1]), 0, 0);
}
KR_GRAPHICS_FN(display_set_colordepth) {
    SetMode(rt, result, 0, 0, 0, ArgInt(args[0]));
}
KR_GRAPHICS_FN(display_set_frequency) {
    SetMode(rt, result, 0, 0, ArgInt(args[0]), 0);
}
KR_GRAPHICS_FN(display_set_all) {
    SetMode(rt, result, ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]));
}
KR_GRAPHICS_FN(display_test_all) {
    DisplayMode mode;
    Put(result,
        FindMode(rt, ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]), mode) ? 1
                                                                                               : 0);
}
KR_GRAPHICS_FN(display_reset) {
    Window(rt).ResetFullscreenMode();
}
KR_GRAPHICS_FN(display_mouse_get_x) {
    int32_t x, y;
    Window(rt).MouseScreen(x, y);
    Put(result, x);
}
KR_GRAPHICS_FN(display_mouse_get_y) {
    int32_t x, y;
    Window(rt).MouseScreen(x, y);
    Put(result, y);
}
KR_GRAPHICS_FN(display_mouse_set) {
    Window(rt).SetMouseScreen(ArgInt(args[0]), ArgInt(args[1]));
}

// ---- Window ----

KR_GRAPHICS_FN(window_set_visible) {
    Draw(rt).visible = ArgBool(args[0]);
    Window(rt).SetVisible(Draw(rt).visible);
}
KR_GRAPHICS_FN(window_get_visible) {
    Put(result, Draw(rt).visible ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_fullscreen) {
    if (ArgBool(args[0]) != Window(rt).Fullscreen()) Window(rt).ToggleFullscreen();
}
KR_GRAPHICS_FN(window_get_fullscreen) {
    Put(result, Window(rt).Fullscreen() ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_showborder) {
    Draw(rt).show_border = ArgBool(args[0]);
    Draw(rt).ApplyWindowStyle();
}
KR_GRAPHICS_FN(window_get_showborder) {
    Put(result, Draw(rt).show_border ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_showicons) {
    Draw(rt).show_icons = ArgBool(args[0]);
    Draw(rt).ApplyWindowStyle();
}
KR_GRAPHICS_FN(window_get_showicons) {
    Put(result, Draw(rt).show_icons ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_stayontop) {
    Draw(rt).stay_on_top = ArgBool(args[0]);
    Draw(rt).ApplyWindowStyle();
}
KR_GRAPHICS_FN(window_get_stayontop) {
    Put(result, Draw(rt).stay_on_top ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_sizeable) {
    Draw(rt).sizeable = ArgBool(args[0]);
    Draw(rt).ApplyWindowStyle();
}
KR_GRAPHICS_FN(window_get_sizeable) {
    Put(result, Draw(rt).sizeable ? 1 : 0);
}
KR_GRAPHICS_FN(window_set_caption) {
    std::string text(ArgStr(args[0]));
    Draw(rt).caption = text;
    Window(rt).SetCaption(text);
}
KR_GRAPHICS_FN(window_get_caption) {
    result = RValue(std::string_view(Draw(rt).caption));
}
KR_GRAPHICS_FN(window_set_cursor) {
    Draw(rt).cursor = ArgInt(args[0]);
    Window(rt).ShowCursor(Draw(rt).cursor != -1);
}
KR_GRAPHICS_FN(window_get_cursor) {
    Put(result, Draw(rt).cursor);
}
KR_GRAPHICS_FN(window_set_color) {
    Draw(rt).Gfx().SetWindowColor(ArgInt(args[0]));
}
KR_GRAPHICS_FN(window_get_color) {
    Put(result, Draw(rt).Gfx().WindowColor());
}
KR_GRAPHICS_FN(window_set_position) {
    Client c = ClientOf(rt);
    SetClient(rt, ArgInt(args[0]), ArgInt(args[1]), c.w, c.h);
}
KR_GRAPHICS_FN(window_set_size) {
    Client c = ClientOf(rt);
    SetClient(rt, c.x, c.y, ArgInt(args[0]), ArgInt(args[1]));
}
KR_GRAPHICS_FN(window_set_rectangle) {
    SetClient(rt, ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]));
}
KR_GRAPHICS_FN(window_center) {
    Client c = ClientOf(rt);
    Mode m = ScreenMode(rt);
    Window(rt).SetClientRect((m.w - c.w) / 2, (m.h - c.h) / 2, c.w, c.h);
}
KR_GRAPHICS_FN(window_default) {
    Draw(rt).WindowDefault();
}
KR_GRAPHICS_FN(window_get_x) {
    Put(result, ClientOf(rt).x);
}
KR_GRAPHICS_FN(window_get_y) {
    Put(result, ClientOf(rt).y);
}
KR_GRAPHICS_FN(window_get_width) {
    Put(result, ClientOf(rt).w);
}
KR_GRAPHICS_FN(window_get_height) {
    Put(result, ClientOf(rt).h);
}
KR_GRAPHICS_FN(window_set_region_size) {
    // Sizes past any texture are refused: the picture could not hold them.
    int32_t w = std::min(ArgInt(args[0]), 16384), h = std::min(ArgInt(args[1]), 16384);
    Draw(rt).Gfx().SetRegionSize(w, h);
    Draw(rt).AdaptWindow(ArgBool(args[2]));
}
KR_GRAPHICS_FN(window_get_region_width) {
    Put(result, Draw(rt).Gfx().RegionWidth());
}
KR_GRAPHICS_FN(window_get_region_height) {
    Put(result, Draw(rt).Gfx().RegionHeight());
}
KR_GRAPHICS_FN(window_set_region_scale) {
    double s = ArgReal(args[0]);
    Draw(rt).Gfx().SetRegionScale(std::isfinite(s) ? std::clamp(s, -1e6, 1e6) : 1);
    Draw(rt).AdaptWindow(ArgBool(args[1]));
}
KR_GRAPHICS_FN(window_get_region_scale) {
    Put(result, Draw(rt).Gfx().RegionScale());
}
KR_GRAPHICS_FN(window_mouse_get_x) {
    int32_t x, y;
    Draw(rt).MouseRegion(x, y);
    Put(result, x);
}
KR_GRAPHICS_FN(window_mouse_get_y) {
    int32_t x, y;
    Draw(rt).MouseRegion(x, y);
    Put(result, y);
}
KR_GRAPHICS_FN(window_mouse_set) {
    Client c = ClientOf(rt);
    Window(rt).SetMouseScreen(c.x + ArgInt(args[0]), c.y + ArgInt(args[1]));
}
KR_GRAPHICS_FN(window_view_mouse_get_x) {
    int32_t x, y;
    Draw(rt).MouseView(ArgInt(args[0]), x, y);
    Put(result, x);
}
KR_GRAPHICS_FN(window_view_mouse_get_y) {
    int32_t x, y;
    Draw(rt).MouseView(ArgInt(args[0]), x, y);
    Put(result, y);
}
KR_GRAPHICS_FN(window_view_mouse_set) {
    int32_t x, y;
    Draw(rt).RoomToRegion(ArgInt(args[0]), ArgReal(args[1]), ArgReal(args[2]), x, y);
    Draw(rt).SetMouseRegion(x, y);
}
KR_GRAPHICS_FN(window_views_mouse_get_x) {
    int32_t x, y;
    Draw(rt).MouseRoom(x, y);
    Put(result, x);
}
KR_GRAPHICS_FN(window_views_mouse_get_y) {
    int32_t x, y;
    Draw(rt).MouseRoom(x, y);
    Put(result, y);
}
KR_GRAPHICS_FN(window_views_mouse_set) {
    int32_t x, y;
    Draw(rt).RoomToRegion(Draw(rt).FirstSlot(), ArgReal(args[0]), ArgReal(args[1]), x, y);
    Draw(rt).SetMouseRegion(x, y);
}
KR_GRAPHICS_FN(set_synchronization) {
    Draw(rt).Gfx().SetSynchronization(ArgBool(args[0]));
}
KR_GRAPHICS_FN(set_automatic_draw) {
    RunnerOf(rt).Loop().automatic_draw = ArgBool(args[0]);
}
KR_GRAPHICS_FN(screen_redraw) {
    Draw(rt).DrawFrame();
    Draw(rt).PresentFrame();
}
KR_GRAPHICS_FN(screen_refresh) {
    Draw(rt).PresentFrame();
}
// Waits for the display's next frame; the stand-in display of a headless run has no frames to
// wait for, so the virtual clock does not move.
KR_GRAPHICS_FN(screen_wait_vsync) {
    Window(rt).WaitVsync();
}

// ---- Tiles ----

#define KR_TILE_GET(name, expr)                                            \
    KR_GRAPHICS_FN(name) {                                                 \
        if (RoomTile* t = TileArg(rt, args[0])) Put(result, double(expr)); \
    }
KR_TILE_GET(tile_get_x, t->x)
KR_TILE_GET(tile_get_y, t->y)
KR_TILE_GET(tile_get_left, t->left)
KR_TILE_GET(tile_get_top, t->top)
KR_TILE_GET(tile_get_width, t->width)
KR_TILE_GET(tile_get_height, t->height)
KR_TILE_GET(tile_get_depth, t->depth)
KR_TILE_GET(tile_get_visible, t->visible ? 1 : 0)
KR_TILE_GET(tile_get_xscale, t->xscale)
KR_TILE_GET(tile_get_yscale, t->yscale)
KR_TILE_GET(tile_get_blend, t->blend)
KR_TILE_GET(tile_get_alpha, t->alpha)
#undef KR_TILE_GET

KR_GRAPHICS_FN(tile_get_background) {
    Put(result, -1);
    if (RoomTile* t = TileArg(rt, args[0])) Put(result, t->background);
}
KR_GRAPHICS_FN(tile_set_visible) {
    if (RoomTile* t = TileArg(rt, args[0])) t->visible = ArgBool(args[1]);
}
KR_GRAPHICS_FN(tile_set_background) {
    RoomTile* t = TileArg(rt, args[0]);
    if (!t) return;
    int32_t b = ArgInt(args[1]);
    if (!BackgroundExists(rt, b)) return rt.RuntimeError("Background does not exist.");
    t->background = b;
}
KR_GRAPHICS_FN(tile_set_region) {
    if (RoomTile* t = TileArg(rt, args[0])) {
        t->left = ArgInt(args[1]), t->top = ArgInt(args[2]);
        t->width = ArgInt(args[3]), t->height = ArgInt(args[4]);
    }
}
KR_GRAPHICS_FN(tile_set_position) {
    if (RoomTile* t = TileArg(rt, args[0])) t->x = ArgReal(args[1]), t->y = ArgReal(args[2]);
}
KR_GRAPHICS_FN(tile_set_depth) {
    if (RoomTile* t = TileArg(rt, args[0])) t->depth = ArgReal(args[1]);
}
KR_GRAPHICS_FN(tile_set_scale) {
    if (RoomTile* t = TileArg(rt, args[0]))
        t->xscale = ArgReal(args[1]), t->yscale = ArgReal(args[2]);
}
KR_GRAPHICS_FN(tile_set_blend) {
    if (RoomTile* t = TileArg(rt, args[0])) t->blend = ArgInt(args[1]);
}
KR_GRAPHICS_FN(tile_set_alpha) {
    if (RoomTile* t = TileArg(rt, args[0])) t->alpha = ArgReal(args[1]);
}
KR_GRAPHICS_FN(tile_add) {
    int32_t b = ArgInt(args[0]);
    if (!BackgroundExists(rt, b)) return rt.RuntimeError("Background does not exist.");
    RoomTile t;
    t.background = b;
    t.left = ArgInt(args[1]), t.top = ArgInt(args[2]);
    t.width = ArgInt(args[3]), t.height = ArgInt(args[4]);
    t.x = ArgReal(args[5]), t.y = ArgReal(args[6]);
    t.depth = ArgReal(args[7]);
    t.id = Draw(rt).NewTileId();
    Tiles(rt).push_back(t);
    Put(result, t.id);
}
KR_GRAPHICS_FN(tile_exists) {
    Put(result, FindTile(rt, ArgInt(args[0])) ? 1 : 0);
}
KR_GRAPHICS_FN(tile_delete) {
    if (!TileArg(rt, args[0])) return;
    int32_t id = ArgInt(args[0]);
    DeleteTiles(rt, [&](const RoomTile& t) { return t.id == id; });
}
KR_GRAPHICS_FN(tile_find) {
    double x = ArgReal(args[0]), y = ArgReal(args[1]);
    bool fg = ArgBool(args[2]);
    Put(result, -1);
    for (const RoomTile& t : Tiles(rt)) {
        if ((t.depth < 0) == fg && Contains(t, x, y, false)) {
            Put(result, t.id);
            return;
        }
    }
}
KR_GRAPHICS_FN(tile_delete_at) {
    double x = ArgReal(args[0]), y = ArgReal(args[1]);
    bool fg = ArgBool(args[2]);
    DeleteTiles(rt, [&](const RoomTile& t) {
        return (fg ? t.depth <= 0 : t.depth >= 0) && Contains(t, x, y, true);
    });
}
KR_GRAPHICS_FN(tile_layer_hide) {
    double d = ArgReal(args[0]);
    for (RoomTile& t : Tiles(rt))
        if (t.depth == d) t.visible = false;
}
KR_GRAPHICS_FN(tile_layer_show) {
    double d = ArgReal(args[0]);
    for (RoomTile& t : Tiles(rt))
        if (t.depth == d) t.visible = true;
}
KR_GRAPHICS_FN(tile_layer_delete) {
    double d = ArgReal(args[0]);
    DeleteTiles(rt, [&](const RoomTile& t) { return t.depth == d; });
}
KR_GRAPHICS_FN(tile_layer_shift) {
    double d = ArgReal(args[0]), dx = ArgReal(args[1]), dy = ArgReal(args[2]);
    for (RoomTile& t : Tiles(rt))
        if (t.depth == d) t.x += dx, t.y += dy;
}
KR_GRAPHICS_FN(tile_layer_find) {
    double d = ArgReal(args[0]), x = ArgReal(args[1]), y = ArgReal(args[2]);
    Put(result, -1);
    for (const RoomTile& t : Tiles(rt)) {
        if (t.depth == d && Contains(t, x, y, false)) {
            Put(result, t.id);
            return;
        }
    }
}
KR_GRAPHICS_FN(tile_layer_delete_at) {
    double d = ArgReal(args[0]), x = ArgReal(args[1]), y = ArgReal(args[2]);
    DeleteTiles(rt, [&](const RoomTile& t) { return t.depth == d && Contains(t, x, y, false); });
}
KR_GRAPHICS_FN(tile_layer_depth) {
    double d = ArgReal(args[0]), nd = ArgReal(args[1]);
    for (RoomTile& t : Tiles(rt))
        if (t.depth == d) t.depth = nd;
}

}  // namespace kr
