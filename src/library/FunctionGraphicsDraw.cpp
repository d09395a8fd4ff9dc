// Script functions of the graphics family that draw: colours and drawing state, shapes, user
// primitives, sprites, backgrounds and surfaces as textured quads, textures, surfaces, reading
// pixels and saving the screen.
#include <cctype>
#include <cmath>
#include <numbers>

#include "data/Color.h"
#include "data/ImageCodecs.h"
#include "data/Sprite.h"
#include "library/FunctionGraphics.h"
#include "objects/Instance.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

Graphics& Gfx(Runtime& rt) {
    return RunnerOf(rt).Drawer().Gfx();
}

void Put(RValue& out, double v) {
    out.SetReal(v);
}

int32_t Col(const RValue& v) {
    return ArgInt(v);
}

// The device colour of a script colour with the drawing alpha.
uint32_t WithAlpha(Runtime& rt, const RValue& v) {
    return ScriptColorToDevice(Col(v), Gfx(rt).Alpha());
}

int32_t Byte(double v) {
    return std::clamp(int32_t(v), 0, 255);
}

int32_t Rgb(int32_t r, int32_t g, int32_t b) {
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
}

struct Hsv {
    int32_t h, s, v;
};

Hsv ToHsv(int32_t col) {
    double r = (col & 0xFF) / 255.0, g = ((col >> 8) & 0xFF) / 255.0,
           b = ((col >> 16) & 0xFF) / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), delta = mx - mn;
    double s = mx == 0 ? 0 : delta / mx, h = 0;
    if (s != 0) {
        if (r == mx)
            h = 60 * (g - b) / delta;
        else if (g == mx)
            h = 60 * (b - r) / delta + 120;
        else
            h = 60 * (r - g) / delta + 240;
        if (h < 0) h += 360;
    }
    return {int32_t(h * 255 / 360), int32_t(s * 255), int32_t(mx * 255)};
}

int32_t FromHsv(int32_t h8, int32_t s8, int32_t v8) {
    return ScriptColorFromHsv(h8, s8, v8);
}

// ---- Resources as textures ----

// The texture of a sprite frame: subimg below 0 means the calling instance's frame; frame
// numbers wrap. -1 after reporting a missing sprite.
int32_t SpriteTex(Runtime& rt, ScriptInstance* self, const RValue& spr, const RValue& sub,
                  const CSprite** out = nullptr) {
    CSprite* sprite = RunnerOf(rt).Game().sprites.Get(ArgInt(spr));
    if (!sprite) {
        rt.RuntimeError("Trying to draw non-existing sprite.");
        return -1;
    }
    if (out) *out = sprite;
    int32_t n = sprite->FrameCount();
    if (n == 0) return -1;
    double s = ArgReal(sub);
    int64_t frame = s < 0 && self ? int64_t(std::floor(static_cast<CInstance*>(self)->image_index))
                                  : RoundToInt64(s);
    frame %= n;
    if (frame < 0) frame += n;
    return Gfx(rt).SpriteTexture(*sprite, int32_t(frame));
}

int32_t BackgroundTex(Runtime& rt, const RValue& back) {
    CBackground* b = RunnerOf(rt).Game().backgrounds.Get(ArgInt(back));
    if (!b) {
        rt.RuntimeError("Trying to draw non-existing background.");
        return -2;
    }
    return Gfx(rt).BackgroundTexture(*b);
}

int32_t SurfaceTex(Runtime& rt, const RValue& id) {
    const Surface* s = Gfx(rt).GetSurface(ArgInt(id));
    if (!s) {
        rt.RuntimeError("Trying to use non-existing surface.");
        return -2;
    }
    return s->texture;
}

// The drawing forms shared by sprites, backgrounds and surfaces, after the texture and origin
// are known. `a` points at the arguments after the resource (and subimg).
struct Source {
    int32_t tex;
    double xorig, yorig;
};

void DrawPlain(Runtime& rt, const Source& s, const RValue* a) {
    Gfx(rt).DrawTexture(s.tex, ArgReal(a[0]) - s.xorig, ArgReal(a[1]) - s.yorig);
}
// x, y, xscale, yscale, rot, color, alpha
void DrawExt(Runtime& rt, const Source& s, const RValue* a) {
    Gfx(rt).DrawTextureExt(s.tex, ScriptColorToDevice(Col(a[5]), ArgReal(a[6])), s.xorig, s.yorig,
                           ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]),
                           ArgReal(a[4]) * kPi / 180);
}
// x, y, w, h [, color, alpha]
void DrawStretched(Runtime& rt, const Source& s, const RValue* a, bool ext) {
    uint32_t c = ext ? ScriptColorToDevice(Col(a[4]), ArgReal(a[5])) : 0xFFFFFFFF;
    Gfx(rt).DrawTextureStretched(s.tex, c, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]),
                                 ArgReal(a[3]));
}
// left, top, width, height, x, y [, xscale, yscale, color, alpha]
void DrawPart(Runtime& rt, const Source& s, const RValue* a, bool ext) {
    double xs = ext ? ArgReal(a[6]) : 1, ys = ext ? ArgReal(a[7]) : 1;
    uint32_t c = ext ? ScriptColorToDevice(Col(a[8]), ArgReal(a[9])) : 0xFFFFFFFF;
    Gfx(rt).DrawTexturePart(s.tex, c, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]),
                            ArgReal(a[4]), ArgReal(a[5]), xs, ys, 0);
}
// left, top, width, height, x, y, xscale, yscale, rot, c1, c2, c3, c4, alpha
void DrawGeneral(Runtime& rt, const Source& s, const RValue* a) {
    double alpha = ArgReal(a[13]);
    Gfx(rt).DrawTextureGeneral(
        s.tex, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]),
        ArgReal(a[5]), ArgReal(a[6]), ArgReal(a[7]), ArgReal(a[8]) * kPi / 180,
        ScriptColorToDevice(Col(a[9]), alpha), ScriptColorToDevice(Col(a[10]), alpha),
        ScriptColorToDevice(Col(a[11]), alpha), ScriptColorToDevice(Col(a[12]), alpha));
}
// x, y [, xscale, yscale, color, alpha]; tiles fill the room.
void DrawTiled(Runtime& rt, const Source& s, const RValue* a, bool ext) {
    const CRoom& room = RunnerOf(rt).Loop().Room();
    double xs = ext ? ArgReal(a[2]) : 1, ys = ext ? ArgReal(a[3]) : 1;
    uint32_t c = ext ? ScriptColorToDevice(Col(a[4]), ArgReal(a[5])) : 0xFFFFFFFF;
    Gfx(rt).DrawTextureTiled(s.tex, true, true, s.xorig, s.yorig, ArgReal(a[0]), ArgReal(a[1]), xs,
                             ys, 0, 0, room.width, room.height, c);
}

Source SpriteSource(Runtime& rt, ScriptInstance* self, const RValue* args, bool& ok) {
    const CSprite* sprite = nullptr;
    int32_t tex = SpriteTex(rt, self, args[0], args[1], &sprite);
    ok = sprite != nullptr;
    return Source{tex, sprite ? double(sprite->x_origin) : 0,
                  sprite ? double(sprite->y_origin) : 0};
}

// Saving a capture: opaque PNG for ".png" names, a bitmap otherwise; errors are ignored.
void SaveCapture(TBitmap32 image, std::string_view name) {
    if (image.Empty()) return;
    std::string file(name), ext = file.size() >= 4 ? file.substr(file.size() - 4) : "";
    for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png") image.MakeOpaque();
    SaveImageFile(image, file);
}

}  // namespace

// ---- Colour and state ----

KR_GRAPHICS_FN(draw_set_color) {
    Gfx(rt).SetColor(Col(args[0]));
}
KR_GRAPHICS_FN(draw_set_alpha) {
    Gfx(rt).SetAlpha(ArgReal(args[0]));
}
KR_GRAPHICS_FN(draw_get_color) {
    Put(result, Gfx(rt).Color());
}
KR_GRAPHICS_FN(draw_get_alpha) {
    Put(result, Gfx(rt).Alpha());
}
KR_GRAPHICS_FN(make_color_rgb) {
    Put(result, double(ArgInt(args[0])) + 256.0 * ArgInt(args[1]) + 65536.0 * ArgInt(args[2]));
}
KR_GRAPHICS_FN(make_color) {
    fn_make_color_rgb(rt, self, other, argc, args, result);
}
KR_GRAPHICS_FN(make_color_hsv) {
    Put(result, FromHsv(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2])));
}
KR_GRAPHICS_FN(color_get_red) {
    Put(result, Col(args[0]) & 0xFF);
}
KR_GRAPHICS_FN(color_get_green) {
    Put(result, (Col(args[0]) >> 8) & 0xFF);
}
KR_GRAPHICS_FN(color_get_blue) {
    Put(result, (Col(args[0]) >> 16) & 0xFF);
}
KR_GRAPHICS_FN(color_get_hue) {
    Put(result, ToHsv(Col(args[0])).h);
}
KR_GRAPHICS_FN(color_get_saturation) {
    Put(result, ToHsv(Col(args[0])).s);
}
KR_GRAPHICS_FN(color_get_value) {
    Put(result, ToHsv(Col(args[0])).v);
}
KR_GRAPHICS_FN(merge_color) {
    int32_t c1 = Col(args[0]), c2 = Col(args[1]);
    double t = ArgReal(args[2]);
    auto ch = [&](int shift) {
        return Byte(std::nearbyint((1 - t) * ((c1 >> shift) & 0xFF) + t * ((c2 >> shift) & 0xFF)));
    };
    Put(result, Rgb(ch(0), ch(8), ch(16)));
}
KR_GRAPHICS_FN(draw_set_blend_mode) {
    Gfx(rt).SetBlendMode(ArgInt(args[0]));
}
KR_GRAPHICS_FN(draw_set_blend_mode_ext) {
    Gfx(rt).SetBlendModeExt(ArgInt(args[0]), ArgInt(args[1]));
}
KR_GRAPHICS_FN(draw_set_circle_precision) {
    Gfx(rt).SetCirclePrecision(ArgInt(args[0]));
}
KR_GRAPHICS_FN(draw_clear) {
    Gfx(rt).Clear(Col(args[0]), 1);
}
KR_GRAPHICS_FN(draw_clear_alpha) {
    Gfx(rt).Clear(Col(args[0]), ArgReal(args[1]));
}

// ---- Shapes ----

KR_GRAPHICS_FN(draw_point) {
    Gfx(rt).DrawPoint(ArgReal(args[0]), ArgReal(args[1]), Gfx(rt).VertexColor());
}
KR_GRAPHICS_FN(draw_point_color) {
    Gfx(rt).DrawPoint(ArgReal(args[0]), ArgReal(args[1]), WithAlpha(rt, args[2]));
}
KR_GRAPHICS_FN(draw_line) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawLine(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), c, c);
}
KR_GRAPHICS_FN(draw_line_color) {
    Gfx(rt).DrawLine(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                     WithAlpha(rt, args[4]), WithAlpha(rt, args[5]));
}
KR_GRAPHICS_FN(draw_line_width) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawLineWidth(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                          ArgReal(args[4]), c, c);
}
KR_GRAPHICS_FN(draw_line_width_color) {
    Gfx(rt).DrawLineWidth(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                          ArgReal(args[4]), WithAlpha(rt, args[5]), WithAlpha(rt, args[6]));
}
KR_GRAPHICS_FN(draw_rectangle) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawRectangle(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), c,
                          c, c, c, ArgBool(args[4]));
}
KR_GRAPHICS_FN(draw_rectangle_color) {
    Gfx(rt).DrawRectangle(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                          WithAlpha(rt, args[4]), WithAlpha(rt, args[5]), WithAlpha(rt, args[6]),
                          WithAlpha(rt, args[7]), ArgBool(args[8]));
}
KR_GRAPHICS_FN(draw_roundrect) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawRoundRect(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), c,
                          c, ArgBool(args[4]));
}
KR_GRAPHICS_FN(draw_roundrect_color) {
    Gfx(rt).DrawRoundRect(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                          WithAlpha(rt, args[4]), WithAlpha(rt, args[5]), ArgBool(args[6]));
}
KR_GRAPHICS_FN(draw_triangle) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawTriangle(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                         ArgReal(args[4]), ArgReal(args[5]), c, c, c, ArgBool(args[6]));
}
KR_GRAPHICS_FN(draw_triangle_color) {
    Gfx(rt).DrawTriangle(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                         ArgReal(args[4]), ArgReal(args[5]), WithAlpha(rt, args[6]),
                         WithAlpha(rt, args[7]), WithAlpha(rt, args[8]), ArgBool(args[9]));
}
KR_GRAPHICS_FN(draw_circle) {
    double x = ArgReal(args[0]), y = ArgReal(args[1]), r = ArgReal(args[2]);
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawEllipse(x - r, y - r, x + r, y + r, c, c, ArgBool(args[3]));
}
KR_GRAPHICS_FN(draw_circle_color) {
    double x = ArgReal(args[0]), y = ArgReal(args[1]), r = ArgReal(args[2]);
    Gfx(rt).DrawEllipse(x - r, y - r, x + r, y + r, WithAlpha(rt, args[3]), WithAlpha(rt, args[4]),
                        ArgBool(args[5]));
}
KR_GRAPHICS_FN(draw_ellipse) {
    uint32_t c = Gfx(rt).VertexColor();
    Gfx(rt).DrawEllipse(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), c,
                        c, ArgBool(args[4]));
}
KR_GRAPHICS_FN(draw_ellipse_color) {
    Gfx(rt).DrawEllipse(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                        WithAlpha(rt, args[4]), WithAlpha(rt, args[5]), ArgBool(args[6]));
}
KR_GRAPHICS_FN(draw_arrow) {
    Gfx(rt).DrawArrow(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                      ArgReal(args[4]));
}
KR_GRAPHICS_FN(draw_button) {
    Gfx(rt).DrawButton(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                       ArgBool(args[4]));
}
KR_GRAPHICS_FN(draw_healthbar) {
    Gfx(rt).DrawHealthbar(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                          ArgReal(args[4]), Col(args[5]), Col(args[6]), Col(args[7]),
                          ArgInt(args[8]), ArgBool(args[9]), ArgBool(args[10]));
}
KR_GRAPHICS_FN(draw_path) {
    const CPath* path = RunnerOf(rt).Game().paths.Get(ArgInt(args[0]));
    if (!path) {
        rt.RuntimeError("Trying to drawn non-existing path.");
        return;
    }
    Graphics& g = Gfx(rt);
    PathPiece p0 = path->PointAt(0);
    double dx = 0, dy = 0;
    if (!ArgBool(args[3])) dx = ArgReal(args[1]) - p0.x, dy = ArgReal(args[2]) - p0.y;
    int64_t n = RoundToInt64(path->Length() / 4);
    if (n <= 0) return;
    uint32_t c = g.VertexColor();
    g.PrimitiveBegin(int32_t(Primitive::kLineStrip), -1);
    for (int64_t i = 0; i <= n; ++i) {
        PathPiece p = path->PointAt(double(i) / double(n));
        g.PrimitiveVertex(p.x + dx, p.y + dy, c, 0, 0);
        if (i > 0 && i % 500 == 0) {
            g.PrimitiveEnd();
            g.PrimitiveBegin(int32_t(Primitive::kLineStrip), -1);
            g.PrimitiveVertex(p.x + dx, p.y + dy, c, 0, 0);
        }
    }
    g.PrimitiveEnd();
}

// ---- Primitives ----

KR_GRAPHICS_FN(draw_primitive_begin) {
    Gfx(rt).PrimitiveBegin(ArgInt(args[0]), -1);
}
KR_GRAPHICS_FN(draw_primitive_begin_texture) {
    Gfx(rt).PrimitiveBegin(ArgInt(args[0]), ArgInt(args[1]));
}
KR_GRAPHICS_FN(draw_primitive_end) {
    Gfx(rt).PrimitiveEnd();
}
KR_GRAPHICS_FN(draw_vertex) {
    Gfx(rt).PrimitiveVertex(ArgReal(args[0]), ArgReal(args[1]), Gfx(rt).VertexColor(), 0, 0);
}
KR_GRAPHICS_FN(draw_vertex_color) {
    Gfx(rt).PrimitiveVertex(ArgReal(args[0]), ArgReal(args[1]),
                            ScriptColorToDevice(Col(args[2]), ArgReal(args[3])), 0, 0);
}
KR_GRAPHICS_FN(draw_vertex_texture) {
    Gfx(rt).PrimitiveVertex(ArgReal(args[0]), ArgReal(args[1]), Gfx(rt).VertexColor(),
                            ArgReal(args[2]), ArgReal(args[3]));
}
KR_GRAPHICS_FN(draw_vertex_texture_color) {
    Gfx(rt).PrimitiveVertex(ArgReal(args[0]), ArgReal(args[1]),
                            ScriptColorToDevice(Col(args[4]), ArgReal(args[5])), ArgReal(args[2]),
                            ArgReal(args[3]));
}

// ---- Textures ----

KR_GRAPHICS_FN(sprite_get_texture) {
    Put(result, -1);
    if (!RunnerOf(rt).Game().sprites.Get(ArgInt(args[0]))) {
        rt.RuntimeError("Trying to get texture from non-existing sprite.");
        return;
    }
    Put(result, SpriteTex(rt, self, args[0], args[1]));
}
KR_GRAPHICS_FN(background_get_texture) {
    Put(result, -1);
    CBackground* b = RunnerOf(rt).Game().backgrounds.Get(ArgInt(args[0]));
    if (!b) {
        rt.RuntimeError("Trying to get texture from non-existing background.");
        return;
    }
    Put(result, Gfx(rt).BackgroundTexture(*b));
}
KR_GRAPHICS_FN(texture_exists) {
    Put(result, Gfx(rt).TextureExists(ArgInt(args[0])) ? 1 : 0);
}
KR_GRAPHICS_FN(texture_set_interpolation) {
    Gfx(rt).SetInterpolation(ArgBool(args[0]));
}
KR_GRAPHICS_FN(texture_set_blending) {
    Gfx(rt).SetTextureBlending(ArgBool(args[0]));
}
KR_GRAPHICS_FN(texture_set_repeat) {
    Gfx(rt).SetTextureRepeat(ArgBool(args[0]));
}
KR_GRAPHICS_FN(texture_get_width) {
    Put(result, Gfx(rt).TextureWidth(ArgInt(args[0])));
}
KR_GRAPHICS_FN(texture_get_height) {
    Put(result, Gfx(rt).TextureHeight(ArgInt(args[0])));
}

// ---- Sprites ----

#define KR_SPRITE_FORM(name, call)                   \
    KR_GRAPHICS_FN(name) {                           \
        bool ok;                                     \
        Source s = SpriteSource(rt, self, args, ok); \
        if (ok) call;                                \
    }
KR_SPRITE_FORM(draw_sprite, DrawPlain(rt, s, args + 2))
KR_SPRITE_FORM(draw_sprite_ext, DrawExt(rt, s, args + 2))
KR_SPRITE_FORM(draw_sprite_stretched, DrawStretched(rt, s, args + 2, false))
KR_SPRITE_FORM(draw_sprite_stretched_ext, DrawStretched(rt, s, args + 2, true))
KR_SPRITE_FORM(draw_sprite_part, DrawPart(rt, s, args + 2, false))
KR_SPRITE_FORM(draw_sprite_part_ext, DrawPart(rt, s, args + 2, true))
KR_SPRITE_FORM(draw_sprite_general, DrawGeneral(rt, s, args + 2))
KR_SPRITE_FORM(draw_sprite_tiled, DrawTiled(rt, s, args + 2, false))
KR_SPRITE_FORM(draw_sprite_tiled_ext, DrawTiled(rt, s, args + 2, true))
#undef KR_SPRITE_FORM

// ---- Backgrounds and surfaces: no origin ----

#define KR_IMAGE_FORM(name, tex_of, call)  \
    KR_GRAPHICS_FN(name) {                 \
        int32_t tex = tex_of(rt, args[0]); \
        if (tex == -2) return;             \
        Source s{tex, 0, 0};               \
        call;                              \
    }
KR_IMAGE_FORM(draw_background, BackgroundTex, DrawPlain(rt, s, args + 1))
KR_IMAGE_FORM(draw_background_ext, BackgroundTex, DrawExt(rt, s, args + 1))
KR_IMAGE_FORM(draw_background_stretched, BackgroundTex, DrawStretched(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_background_stretched_ext, BackgroundTex, DrawStretched(rt, s, args + 1, true))
KR_IMAGE_FORM(draw_background_part, BackgroundTex, DrawPart(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_background_part_ext, BackgroundTex, DrawPart(rt, s, args + 1, true))
KR_IMAGE_FORM(draw_background_general, BackgroundTex, DrawGeneral(rt, s, args + 1))
KR_IMAGE_FORM(draw_background_tiled, BackgroundTex, DrawTiled(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_background_tiled_ext, BackgroundTex, DrawTiled(rt, s, args + 1, true))
KR_IMAGE_FORM(draw_surface, SurfaceTex, DrawPlain(rt, s, args + 1))
KR_IMAGE_FORM(draw_surface_ext, SurfaceTex, DrawExt(rt, s, args + 1))
KR_IMAGE_FORM(draw_surface_stretched, SurfaceTex, DrawStretched(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_surface_stretched_ext, SurfaceTex, DrawStretched(rt, s, args + 1, true))
KR_IMAGE_FORM(draw_surface_part, SurfaceTex, DrawPart(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_surface_part_ext, SurfaceTex, DrawPart(rt, s, args + 1, true))
KR_IMAGE_FORM(draw_surface_general, SurfaceTex, DrawGeneral(rt, s, args + 1))
KR_IMAGE_FORM(draw_surface_tiled, SurfaceTex, DrawTiled(rt, s, args + 1, false))
KR_IMAGE_FORM(draw_surface_tiled_ext, SurfaceTex, DrawTiled(rt, s, args + 1, true))
#undef KR_IMAGE_FORM

// ---- Surfaces ----

KR_GRAPHICS_FN(surface_create) {
    double w = ArgReal(args[0]), h = ArgReal(args[1]);
    // Sizes past any texture the device takes are refused before they reach it.
    if (!(w >= 1 && h >= 1 && w <= 1 << 16 && h <= 1 << 16)) {
        Put(result, -1);
        return;
    }
    Put(result, Gfx(rt).SurfaceCreate(ArgInt(args[0]), ArgInt(args[1])));
}
KR_GRAPHICS_FN(surface_free) {
    Gfx(rt).SurfaceFree(ArgInt(args[0]));
}
KR_GRAPHICS_FN(surface_exists) {
    Put(result, Gfx(rt).SurfaceExists(ArgInt(args[0])) ? 1 : 0);
}
KR_GRAPHICS_FN(surface_get_width) {
    const Surface* s = Gfx(rt).GetSurface(ArgInt(args[0]));
    Put(result, s ? s->width : -1);
}
KR_GRAPHICS_FN(surface_get_height) {
    const Surface* s = Gfx(rt).GetSurface(ArgInt(args[0]));
    Put(result, s ? s->height : -1);
}
KR_GRAPHICS_FN(surface_get_texture) {
    const Surface* s = Gfx(rt).GetSurface(ArgInt(args[0]));
    Put(result, s ? s->texture : -1);
}
KR_GRAPHICS_FN(surface_set_target) {
    Put(result, Gfx(rt).SurfaceSetTarget(ArgInt(args[0])) ? 1 : 0);
}
KR_GRAPHICS_FN(surface_reset_target) {
    Put(result, Gfx(rt).SurfaceResetTarget() ? 1 : 0);
}
KR_GRAPHICS_FN(surface_getpixel) {
    Put(result, 0);
    int32_t id = ArgInt(args[0]);
    if (!Gfx(rt).SurfaceExists(id)) return rt.RuntimeError("Trying to use non-existing surface.");
    Put(result, Gfx(rt).GetPixel(id, ArgInt(args[1]), ArgInt(args[2])));
}
KR_GRAPHICS_FN(surface_save) {
    int32_t id = ArgInt(args[0]);
    if (!Gfx(rt).SurfaceExists(id)) return rt.RuntimeError("Trying to use non-existing surface.");
    if (ArgStr(args[1]).empty())
        return rt.RuntimeError("Trying to save surface to empty image file name.");
    const Surface* s = Gfx(rt).GetSurface(id);
    SaveCapture(Gfx(rt).Capture(id, 0, 0, s->width, s->height), ArgStr(args[1]));
}
KR_GRAPHICS_FN(surface_save_part) {
    int32_t id = ArgInt(args[0]);
    if (!Gfx(rt).SurfaceExists(id)) return rt.RuntimeError("Trying to use non-existing surface.");
    if (ArgStr(args[1]).empty())
        return rt.RuntimeError("Trying to save surface to empty image file name.");
    SaveCapture(
        Gfx(rt).Capture(id, ArgInt(args[2]), ArgInt(args[3]), ArgInt(args[4]), ArgInt(args[5])),
        ArgStr(args[1]));
}
KR_GRAPHICS_FN(surface_copy_part) {
    int32_t d = ArgInt(args[0]), s = ArgInt(args[3]);
    if (!Gfx(rt).SurfaceExists(d) || !Gfx(rt).SurfaceExists(s))
        return rt.RuntimeError("Trying to use non-existing surface.");
    Gfx(rt).SurfaceCopyPart(d, ArgInt(args[1]), ArgInt(args[2]), s, ArgInt(args[4]),
                            ArgInt(args[5]), ArgInt(args[6]), ArgInt(args[7]));
}
KR_GRAPHICS_FN(surface_copy) {
    int32_t d = ArgInt(args[0]), s = ArgInt(args[3]);
    if (!Gfx(rt).SurfaceExists(d) || !Gfx(rt).SurfaceExists(s))
        return rt.RuntimeError("Trying to use non-existing surface.");
    const Surface* src = Gfx(rt).GetSurface(s);
    Gfx(rt).SurfaceCopyPart(d, ArgInt(args[1]), ArgInt(args[2]), s, 0, 0, src->width, src->height);
}

// ---- The screen ----

KR_GRAPHICS_FN(draw_getpixel) {
    RoomDraw& d = RunnerOf(rt).Drawer();
    int32_t x, y;
    d.RoomToRegion(d.view_current, ArgReal(args[0]), ArgReal(args[1]), x, y);
    Put(result, d.Gfx().GetPixel(-1, x, y));
}
KR_GRAPHICS_FN(screen_save) {
    if (ArgStr(args[0]).empty())
        return rt.RuntimeError("Trying to save screen to empty image file name.");
    Graphics& g = Gfx(rt);
    SaveCapture(g.Capture(-1, 0, 0, g.RegionWidth(), g.RegionHeight()), ArgStr(args[0]));
}
KR_GRAPHICS_FN(screen_save_part) {
    if (ArgStr(args[0]).empty())
        return rt.RuntimeError("Trying to save screen to empty image file name.");
    SaveCapture(
        Gfx(rt).Capture(-1, ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]), ArgInt(args[4])),
        ArgStr(args[0]));
}

}  // namespace kr
