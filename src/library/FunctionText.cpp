// Text drawing and measuring, and the font resources.
#include "library/FunctionText.h"

#include "data/Color.h"
#include "data/Sprite.h"
#include "graphics/Text.h"
#include "library/FunctionMath.h"
#include "runner/Runner.h"

namespace kr {

#define KR_TEXT_FN(name)                                                              \
    void fn_##name(Runtime& rt, [[maybe_unused]] ScriptInstance* self,                \
                   [[maybe_unused]] ScriptInstance* other, [[maybe_unused]] int argc, \
                   [[maybe_unused]] const RValue* args, [[maybe_unused]] RValue& result)

namespace {

TextState& Text(Runtime& rt) {
    return RunnerOf(rt).Drawer().text;
}

ResourceTable<CFont>& Fonts(Runtime& rt) {
    return RunnerOf(rt).Game().fonts;
}

// The current font, or the default one when none valid is set.
CFont& Current(Runtime& rt) {
    if (CFont* f = Fonts(rt).Get(Text(rt).font)) return *f;
    return Text(rt).DefaultFont();
}

// A text argument: a real shows as an integer when integral, else with two decimals.
std::string TextArg(const RValue& v) {
    return v.IsReal() ? RealToString(v.real) : std::string(ArgStr(v));
}

int32_t Align(const RValue& v) {
    int32_t a = ArgInt(v);
    return a == 1 || a == 2 ? a : 0;
}

void Draw(Runtime& rt, const RValue& x, const RValue& y, const RValue& text, TextStyle& style) {
    TextState& ts = Text(rt);
    style.halign = ts.halign;
    style.valign = ts.valign;
    CFont& font = Current(rt);
    CSprite* sprite = font.sprite >= 0 ? RunnerOf(rt).Game().sprites.Get(font.sprite) : nullptr;
    DrawText(RunnerOf(rt).Drawer().Gfx(), font, sprite, ArgReal(x), ArgReal(y), TextArg(text),
             style);
}

TextStyle Plain(Runtime& rt) {
    TextStyle s;
    const Graphics& g = RunnerOf(rt).Drawer().Gfx();
    const uint32_t c = ScriptColorToDevice(g.Color(), g.Alpha());
    for (uint32_t& x : s.colors) x = c;
    return s;
}

TextStyle Gradient(const RValue* colors, const RValue& alpha) {
    TextStyle s;
    s.gradient = true;
    for (int i = 0; i < 4; ++i)
        s.colors[i] = ScriptColorToDevice(ArgInt(colors[i]), ArgReal(alpha));
    return s;
}

void Transform(TextStyle& s, const RValue* args) {
    s.transformed = true;
    s.xscale = ArgReal(args[0]);
    s.yscale = ArgReal(args[1]);
    s.angle = ArgReal(args[2]);
}

void Ext(TextStyle& s, const RValue* args) {
    s.sep = ArgInt(args[0]);
    s.width = ArgInt(args[1]);
}

const CFont* FontArg(Runtime& rt, const RValue& v) {
    return Fonts(rt).Get(ArgInt(v));
}

// A number of the font a handle names; -1 when there is none.
template <auto Field>
void FontField(Runtime& rt, const RValue& handle, RValue& result) {
    const CFont* f = FontArg(rt, handle);
    result.SetReal(f ? double(f->*Field) : -1);
}

// A system font from script arguments (name, size, bold, italic, first, last).
std::unique_ptr<CFont> SystemFont(Graphics& gfx, const RValue* a) {
    auto font = std::make_unique<CFont>();
    font->name = std::string(ArgStr(a[0]));
    font->size = ArgInt(a[1]);
    font->bold = ArgBool(a[2]);
    font->italic = ArgBool(a[3]);
    font->first = ArgInt(a[4]);
    font->last = ArgInt(a[5]);
    FontRender(*font);
    FontTexture(gfx, *font);
    return font;
}

void Free(Graphics& gfx, CFont* font) {
    if (font && font->texture >= 0) gfx.TextureFree(font->texture);
}

}  // namespace

KR_TEXT_FN(draw_set_font) {
    Text(rt).font = ArgInt(args[0]);
}
KR_TEXT_FN(draw_set_halign) {
    Text(rt).halign = Align(args[0]);
}
KR_TEXT_FN(draw_set_valign) {
    Text(rt).valign = Align(args[0]);
}

KR_TEXT_FN(string_width) {
    result.SetReal(StringWidth(Current(rt), TextArg(args[0]), -1, -1));
}
KR_TEXT_FN(string_height) {
    result.SetReal(StringHeight(Current(rt), TextArg(args[0]), -1, -1));
}
KR_TEXT_FN(string_width_ext) {
    result.SetReal(StringWidth(Current(rt), TextArg(args[0]), ArgInt(args[1]), ArgInt(args[2])));
}
KR_TEXT_FN(string_height_ext) {
    result.SetReal(StringHeight(Current(rt), TextArg(args[0]), ArgInt(args[1]), ArgInt(args[2])));
}

KR_TEXT_FN(draw_text) {
    TextStyle s = Plain(rt);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_ext) {
    TextStyle s = Plain(rt);
    Ext(s, args + 3);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_transformed) {
    TextStyle s = Plain(rt);
    Transform(s, args + 3);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_ext_transformed) {
    TextStyle s = Plain(rt);
    Ext(s, args + 3);
    Transform(s, args + 5);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_color) {
    TextStyle s = Gradient(args + 3, args[7]);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_transformed_color) {
    TextStyle s = Gradient(args + 6, args[10]);
    Transform(s, args + 3);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_ext_color) {
    TextStyle s = Gradient(args + 5, args[9]);
    Ext(s, args + 3);
    Draw(rt, args[0], args[1], args[2], s);
}
KR_TEXT_FN(draw_text_ext_transformed_color) {
    TextStyle s = Gradient(args + 8, args[12]);
    Ext(s, args + 3);
    Transform(s, args + 5);
    Draw(rt, args[0], args[1], args[2], s);
}

// ---- Font resources ----------------------------------------------------------------------------

KR_TEXT_FN(font_exists) {
    result.SetReal(FontArg(rt, args[0]) ? 1 : 0);
}
KR_TEXT_FN(font_get_name) {
    result = RValue(Fonts(rt).Name(ArgInt(args[0])));
}
KR_TEXT_FN(font_get_fontname) {
    const CFont* f = FontArg(rt, args[0]);
    result = RValue(std::string_view(f ? f->name : std::string()));
}
KR_TEXT_FN(font_get_size) {
    FontField<&CFont::size>(rt, args[0], result);
}
KR_TEXT_FN(font_get_bold) {
    FontField<&CFont::bold>(rt, args[0], result);
}
KR_TEXT_FN(font_get_italic) {
    FontField<&CFont::italic>(rt, args[0], result);
}
KR_TEXT_FN(font_get_first) {
    FontField<&CFont::first>(rt, args[0], result);
}
KR_TEXT_FN(font_get_last) {
    FontField<&CFont::last>(rt, args[0], result);
}

KR_TEXT_FN(font_add) {
    ResourceTable<CFont>& fonts = Fonts(rt);
    const int32_t index = fonts.Count();
    fonts.Add("__newfont" + std::to_string(index), SystemFont(RunnerOf(rt).Drawer().Gfx(), args));
    result.SetReal(index);
}
KR_TEXT_FN(font_replace) {
    ResourceTable<CFont>& fonts = Fonts(rt);
    const int32_t index = ArgInt(args[0]);
    if (!fonts.Exists(index)) {
        rt.RuntimeError("Trying to replace non-existing font.");
        return;
    }
    Graphics& gfx = RunnerOf(rt).Drawer().Gfx();
    Free(gfx, fonts.Get(index));
    std::string name = fonts.StoredName(index);
    fonts.Set(index, std::move(name), SystemFont(gfx, args + 1));
}
KR_TEXT_FN(font_add_sprite) {
    const int32_t spr = ArgInt(args[0]);
    const CSprite* sprite = RunnerOf(rt).Game().sprites.Get(spr);
    if (!sprite) {
        rt.RuntimeError("Trying to create font from non-existing sprite.");
        return;
    }
    auto font = std::make_unique<CFont>();
    FontFromSprite(*font, *sprite, spr, ArgInt(args[1]), ArgBool(args[2]), ArgInt(args[3]));
    ResourceTable<CFont>& fonts = Fonts(rt);
    const int32_t index = fonts.Count();
    fonts.Add("__newfont" + std::to_string(index), std::move(font));
    result.SetReal(index);
}
KR_TEXT_FN(font_replace_sprite) {
    ResourceTable<CFont>& fonts = Fonts(rt);
    const int32_t index = ArgInt(args[0]);
    if (!fonts.Exists(index)) {
        rt.RuntimeError("Trying to replace non-existing font.");
        return;
    }
    const int32_t spr = ArgInt(args[1]);
    const CSprite* sprite = RunnerOf(rt).Game().sprites.Get(spr);
    if (!sprite) {
        rt.RuntimeError("Trying to replace font from non-existing sprite.");
        return;
    }
    auto font = std::make_unique<CFont>();
    FontFromSprite(*font, *sprite, spr, ArgInt(args[2]), ArgBool(args[3]), ArgInt(args[4]));
    Free(RunnerOf(rt).Drawer().Gfx(), fonts.Get(index));
    std::string name = fonts.StoredName(index);
    fonts.Set(index, std::move(name), std::move(font));
}
KR_TEXT_FN(font_delete) {
    ResourceTable<CFont>& fonts = Fonts(rt);
    const int32_t index = ArgInt(args[0]);
    if (!fonts.Exists(index)) {
        rt.RuntimeError("Trying to delete non-existing font.");
        return;
    }
    Free(RunnerOf(rt).Drawer().Gfx(), fonts.Get(index));
    fonts.Remove(index);
}

}  // namespace kr
