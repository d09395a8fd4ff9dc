#include "dialogs/DialogDraw.h"

#include <algorithm>
#include <cmath>

#include "data/Color.h"
#include "graphics/Graphics.h"
#include "graphics/Text.h"

namespace kr {

namespace {

// The text drawer breaks lines at "#": a literal one is written "\#".
std::string Literal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '#') out += '\\';
        if (c == '\n' || c == '\r') continue;
        out += c;
    }
    return out;
}

int32_t Darker(int32_t color, double f) {
    int32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    auto k = [&](int32_t v) { return std::clamp(int32_t(v * f), 0, 255); };
    return k(r) | k(g) << 8 | k(b) << 16;
}

}  // namespace

DialogPainter::DialogPainter(Graphics& gfx) : gfx_(gfx) {}

DialogPainter::~DialogPainter() {
    Release();
}

void DialogPainter::Release() {
    for (Cached& c : fonts_)
        if (c.font->texture >= 0) gfx_.TextureFree(c.font->texture);
    fonts_.clear();
}

CFont& DialogPainter::Font(const FontKey& key) {
    for (Cached& c : fonts_)
        if (c.key == key) return *c.font;
    // A handful of fonts at a time: the oldest goes when a window asks for many sizes.
    if (fonts_.size() >= 24) {
        if (fonts_.front().font->texture >= 0) gfx_.TextureFree(fonts_.front().font->texture);
        fonts_.erase(fonts_.begin());
    }
    auto font = std::make_unique<CFont>();
    font->name = key.name.empty() ? "Arial" : key.name;
    font->size = std::clamp(key.size, 1, 200);
    font->bold = key.bold;
    font->italic = key.italic;
    font->first = 32;
    font->last = 255;
    FontRender(*font);
    FontTexture(gfx_, *font);
    fonts_.push_back({key, std::move(font)});
    return *fonts_.back().font;
}

int32_t DialogPainter::Width(const FontKey& font, std::string_view text) {
    return LineWidth(Font(font), text);
}

int32_t DialogPainter::Height(const FontKey& font) {
    CFont& f = Font(font);
    return std::max(1, FontHeight(f));
}

void DialogPainter::Text(const FontKey& font, int32_t x, int32_t y, std::string_view text,
                         int32_t color, double alpha) {
    if (text.empty()) return;
    TextStyle st;
    uint32_t c = ScriptColorToDevice(color, alpha);
    std::fill(std::begin(st.colors), std::end(st.colors), c);
    DrawText(gfx_, Font(font), nullptr, x, y, Literal(text), st);
}

void DialogPainter::Rect(const DialogRect& r, int32_t color, double alpha, bool outline) {
    if (r.w <= 0 || r.h <= 0) return;
    uint32_t c = ScriptColorToDevice(color, alpha);
    gfx_.DrawRectangle(r.x, r.y, r.x + r.w - 1, r.y + r.h - 1, c, c, c, c, outline);
}

void DialogPainter::Shade(int32_t w, int32_t h, double amount) {
    Rect({0, 0, w, h}, 0, amount, false);
}

void DialogPainter::Frame(const DialogRect& r, const DialogStyle& s, bool border) {
    Rect(r, s.window_color, s.alpha, false);
    if (s.background_texture >= 0)
        gfx_.DrawTextureStretched(s.background_texture, ScriptColorToDevice(0xFFFFFF, s.alpha), r.x,
                                  r.y, r.w, r.h);
    if (border) Rect(r, Darker(s.window_color, 0.45), s.alpha, true);
}

void DialogPainter::Caption(const DialogRect& bar, const FontKey& font, std::string_view text,
                            const DialogStyle& s) {
    if (bar.h <= 0) return;
    Rect(bar, s.caption_color, s.alpha, false);
    int32_t th = Height(font);
    Text(font, bar.x + std::max(4, th / 2), bar.y + (bar.h - th) / 2, text, s.caption_text_color,
         s.alpha);
}

DialogRect DialogPainter::CaptionBar(const DialogRect& bar, const FontKey& font,
                                     std::string_view text, const DialogStyle& s, bool close) {
    Caption(bar, font, text, s);
    if (!close || bar.h <= 0) return {};
    DialogRect b{bar.x + bar.w - bar.h, bar.y, bar.h, bar.h};
    int32_t m = b.h / 4;
    uint32_t c = ScriptColorToDevice(s.caption_text_color, s.alpha);
    gfx_.DrawLineWidth(b.x + m, b.y + m, b.x + b.w - m, b.y + b.h - m, 2, c, c);
    gfx_.DrawLineWidth(b.x + b.w - m, b.y + m, b.x + m, b.y + b.h - m, 2, c, c);
    return b;
}

void DialogPainter::Button(const DialogRect& r, std::string_view text, const FontKey& font,
                           const DialogStyle& s, bool hover, bool down, bool focus) {
    if (r.w <= 0) return;
    if (!s.button_textures.empty()) {
        size_t frame = down && s.button_textures.size() > 2    ? 2
                       : hover && s.button_textures.size() > 1 ? 1
                                                               : 0;
        gfx_.DrawTextureStretched(s.button_textures[frame], ScriptColorToDevice(0xFFFFFF, s.alpha),
                                  r.x, r.y, r.w, r.h);
        if (hover && s.button_textures.size() == 1) Rect(r, s.mouse_color, s.alpha * 0.4, false);
    } else {
        Rect(r, hover ? s.mouse_color : s.button_color, s.alpha, false);
        Rect(r, focus ? s.caption_color : Darker(s.button_color, 0.6), s.alpha, true);
    }
    int32_t tw = Width(font, text), th = Height(font);
    int32_t shift = down ? 1 : 0;
    Text(font, r.x + (r.w - tw) / 2 + shift, r.y + (r.h - th) / 2 + shift, text,
         s.button_text_color, s.alpha);
}

void DialogPainter::Field(const DialogRect& r, const TextField& f, const FontKey& font,
                          const DialogStyle& s, bool caret) {
    Rect(r, s.input_color, s.alpha, false);
    Rect(r, Darker(s.window_color, 0.5), s.alpha, true);
    int32_t th = Height(font);
    int32_t x = r.x + 4, y = r.y + (r.h - th) / 2;
    const std::string& t = f.Text();
    // Long texts scroll so that the cursor stays in view.
    int32_t before = Width(font, std::string_view(t).substr(0, f.Cursor()));
    int32_t shift = std::max(0, before - (r.w - 10));
    if (f.AllSelected() && !t.empty()) {
        DialogRect sel{x - shift, y, Width(font, t), th};
        sel.x = std::max(sel.x, r.x + 2);
        sel.w = std::min(sel.w, r.x + r.w - 2 - sel.x);
        Rect(sel, s.mouse_color, s.alpha, false);
    }
    // Characters scrolled out on the left are dropped, so nothing draws outside the field.
    size_t first = 0;
    while (first < t.size() && Width(font, std::string_view(t).substr(0, first)) < shift) ++first;
    int32_t cut = Width(font, std::string_view(t).substr(0, first));
    std::string_view shown = std::string_view(t).substr(first);
    while (!shown.empty() && x + Width(font, shown) > r.x + r.w - 3) shown.remove_suffix(1);
    Text(font, x, y, shown, s.input_text_color, s.alpha);
    if (caret) {
        int32_t cx = x + before - cut;
        uint32_t c = ScriptColorToDevice(s.input_text_color, s.alpha);
        gfx_.DrawRectangle(cx, y, cx, y + th - 1, c, c, c, c, false);
    }
}

void DialogPainter::Draw(const MessageWindow& w, const MessageLook& look, const DialogStyle& s,
                         bool caret) {
    Frame(w.frame, s, true);
    FontKey cap = look.text_font;
    cap.bold = true;
    if (look.caption_shown) Caption(w.caption_bar, cap, look.caption, s);
    int32_t y = w.text_area.y;
    for (const std::string& line : w.lines) {
        if (y + w.line_height > w.text_area.y + w.text_area.h + w.line_height / 2) break;
        Text(look.text_font, w.text_area.x, y, line, s.text_color, s.alpha);
        y += w.line_height;
    }
    if (w.HasInput()) Field(w.input_box, w.Field(), look.input_font, s, caret);
    for (int32_t n = 1; n <= 3; ++n)
        if (w.ButtonShown(n))
            Button(w.button_rects[size_t(n - 1)], w.Buttons()[size_t(n - 1)], look.button_font, s,
                   w.hover == n, w.pressed == n && w.hover == n, w.focus == n);
}

void DialogPainter::Draw(const MenuWindow& w, const FontKey& font, const DialogStyle& s) {
    Frame(w.frame, s, true);
    int32_t th = Height(font);
    for (size_t i = 0; i < w.items.size(); ++i) {
        const MenuWindow::Item& it = w.items[i];
        if (it.number < 0) {
            int32_t y = it.rect.y + it.rect.h / 2;
            Rect({it.rect.x + 4, y, it.rect.w - 8, 1}, Darker(s.window_color, 0.6), s.alpha, false);
            continue;
        }
        if (int32_t(i) == w.hover) Rect(it.rect, s.mouse_color, s.alpha, false);
        Text(font, it.rect.x + th / 2 + 2, it.rect.y + (it.rect.h - th) / 2, it.text, s.text_color,
             s.alpha);
    }
}

void DialogPainter::Draw(const HighscoreWindow& w, const FontKey& font, const DialogStyle& s,
                         int32_t new_color, int32_t other_color, bool border, bool caret) {
    Frame(w.frame, s, border);
    if (border) {
        FontKey cap = font;
        cap.bold = true;
        Caption(w.caption_bar, cap, w.Caption(), s);
    }
    const auto& rows = w.Rows();
    int32_t th = Height(font);
    int32_t rank_w = Width(font, "10. ");
    for (size_t i = 0; i < rows.size() && i < w.row_rects.size(); ++i) {
        const DialogRect& r = w.row_rects[i];
        bool editing = int32_t(i) == w.Editing();
        int32_t color = editing ? new_color : other_color;
        int32_t y = r.y + (r.h - th) / 2;
        std::string rank = std::to_string(i + 1) + ".";
        Text(font, r.x + rank_w - Width(font, rank + " "), y, rank, color, s.alpha);
        std::string score = std::to_string(rows[i].score);
        Text(font, r.x + r.w - Width(font, score), y, score, color, s.alpha);
        if (editing) {
            const std::string& name = w.Field().Text();
            Text(font, r.x + rank_w, y, name, color, s.alpha);
            if (caret) {
                int32_t cx = r.x + rank_w + Width(font, name) + 1;
                uint32_t c = ScriptColorToDevice(color, s.alpha);
                gfx_.DrawRectangle(cx, y, cx, y + th - 1, c, c, c, c, false);
            }
        } else {
            Text(font, r.x + rank_w, y, rows[i].name, color, s.alpha);
        }
    }
    int32_t hw_w = Width(font, w.EscapeHint());
    Text(font, w.hint_area.x + (w.hint_area.w - hw_w) / 2, w.hint_area.y, w.EscapeHint(),
         other_color, s.alpha);
}

void DialogPainter::Draw(const TextViewer& v, const FontKey& caption_font, const DialogStyle& s) {
    DialogStyle page = s;
    page.window_color = v.Background();
    Frame(v.frame, page, true);
    if (v.caption_shown) {
        Caption(v.caption_bar, caption_font, v.Caption(), s);
        const DialogRect& b = v.close_box;
        int32_t m = b.h / 4;
        uint32_t c = ScriptColorToDevice(s.caption_text_color, s.alpha);
        gfx_.DrawLineWidth(b.x + m, b.y + m, b.x + b.w - m, b.y + b.h - m, 2, c, c);
        gfx_.DrawLineWidth(b.x + b.w - m, b.y + m, b.x + m, b.y + b.h - m, 2, c, c);
    }
    const DialogRect& p = v.page;
    for (const RichPiece& pc : v.layout.pieces) {
        int32_t y = p.y + pc.y - v.scroll;
        // Only lines wholly on the page are drawn, so nothing spills over the frame.
        if (y < p.y || y + pc.height > p.y + p.h) continue;
        Text(pc.font, p.x + pc.x, y, pc.text, pc.color, s.alpha);
        if (pc.underline)
            Rect({p.x + pc.x, y + pc.height - 2, pc.width, 1}, pc.color, s.alpha, false);
    }
    // A scroll bar when the text is longer than the page.
    if (v.layout.height > p.h) {
        int32_t track = p.h;
        int32_t thumb = std::max(8, int32_t(int64_t(track) * p.h / v.layout.height));
        int32_t top =
            int32_t(int64_t(track - thumb) * v.scroll / std::max(1, v.layout.height - p.h));
        Rect({v.frame.x + v.frame.w - 6, p.y + top, 4, thumb}, Darker(v.Background(), 0.6), s.alpha,
             false);
    }
}

void DialogPainter::Draw(const FilePicker& w, const FontKey& font, const DialogStyle& s,
                         bool caret) {
    Frame(w.frame, s, true);
    FontKey bold = font;
    bold.bold = true;
    Caption(w.caption_bar, bold, w.Caption(), s);
    const int32_t th = Height(font);
    // The folder, cut at the left when it is too long.
    std::string folder = w.Folder();
    while (folder.size() > 1 && Width(font, folder) > w.folder_line.w)
        folder = "..." + folder.substr(std::min<size_t>(folder.size(), 4));
    Text(font, w.folder_line.x, w.folder_line.y + (w.folder_line.h - th) / 2, folder, s.text_color,
         s.alpha);
    Button(w.up_button, "Up", font, s, w.hover == 3, false, false);
    Rect(w.list, s.input_color, s.alpha, false);
    Rect(w.list, Darker(s.window_color, 0.5), s.alpha, true);
    const auto& entries = w.Entries();
    for (int32_t i = w.first_row, row = 0; i < int32_t(entries.size()); ++i, ++row) {
        DialogRect r{w.list.x + 1, w.list.y + 1 + row * w.row_height, w.list.w - 2, w.row_height};
        if (r.y + r.h > w.list.y + w.list.h) break;
        if (i == w.selected) Rect(r, s.mouse_color, s.alpha, false);
        const FolderEntry& e = entries[size_t(i)];
        std::string label = e.folder ? "[" + e.name + "]" : e.name;
        Text(font, r.x + 4, r.y + (r.h - th) / 2, label, s.input_text_color, s.alpha);
    }
    Field(w.name_box, w.Field(), font, s, caret);
    if (w.GetMode() != FilePicker::Mode::kFolder)
        Button(w.filter_button, w.FilterText(), font, s, w.hover == 2, false, false);
    Button(w.buttons[0], "OK", font, s, w.hover == 0, false, true);
    Button(w.buttons[1], "Cancel", font, s, w.hover == 1, false, false);
}

void DialogPainter::Draw(const ColorPicker& w, const FontKey& font, const DialogStyle& s) {
    Frame(w.frame, s, true);
    FontKey bold = font;
    bold.bold = true;
    Caption(w.caption_bar, bold, "Colour", s);
    for (size_t i = 0; i < w.swatches.size() && i < w.palette.size(); ++i) {
        Rect(w.swatches[i], w.palette[i], s.alpha, false);
        bool current = w.palette[i] == w.Current();
        Rect(w.swatches[i], current ? s.caption_color : Darker(s.window_color, 0.5), s.alpha, true);
        if (current) {
            DialogRect in{w.swatches[i].x + 1, w.swatches[i].y + 1, w.swatches[i].w - 2,
                          w.swatches[i].h - 2};
            Rect(in, 0xFFFFFF, s.alpha, true);
        }
    }
    Rect(w.preview, w.Current(), s.alpha, false);
    Rect(w.preview, Darker(s.window_color, 0.5), s.alpha, true);
    Button(w.buttons[0], "OK", font, s, w.hover == 0, false, true);
    Button(w.buttons[1], "Cancel", font, s, w.hover == 1, false, false);
}

}  // namespace kr
