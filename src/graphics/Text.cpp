#include "graphics/Text.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "data/Sprite.h"
#include "graphics/Graphics.h"
#include "platform/FontRaster.h"

namespace kr {

namespace {

int32_t First(const CFont& f) {
    return std::clamp(f.first, 0, 255);
}
int32_t Last(const CFont& f) {
    return std::clamp(f.last, 0, 255);
}
bool InRange(const CFont& f, int32_t c) {
    return c >= First(f) && c <= Last(f);
}

int32_t Round(double v) {
    return int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

// Channel-wise mix of two device colours (t = 0: a, t = 1: b) with the alpha of a.
uint32_t Merge(uint32_t a, uint32_t b, double t) {
    uint32_t out = a & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        double v = (1 - t) * ((a >> shift) & 0xFF) + t * ((b >> shift) & 0xFF);
        out |= uint32_t(std::clamp(std::nearbyint(v), 0.0, 255.0)) << shift;
    }
    return out;
}

}  // namespace

// ---- Fonts -------------------------------------------------------------------------------------

bool FontRender(CFont& font) {
    font.first = First(font);
    font.last = Last(font);
    font.sprite = -1;
    std::unique_ptr<FontRasterizer> face =
        OpenSystemFont(font.name, font.size, font.bold, font.italic);
    std::vector<RasterGlyph> raster(256);
    if (face)
        for (int32_t c = font.first; c <= font.last; ++c)
            face->Glyph(uint8_t(c), raster[size_t(c)]);
    const int32_t h = face ? face->LineHeight() : std::max(1, font.size * 4 / 3);

    font.glyphs = {};
    int32_t width = 128, height = 0;
    for (;;) {
        int32_t x = 0, y = 0;
        for (int32_t c = font.first; c <= font.last; ++c) {
            const RasterGlyph& g = raster[size_t(c)];
            FontGlyph& cell = font.glyphs[size_t(c)];
            cell.width = g.width + 1;
            cell.advance = g.advance;
            cell.offset = g.left;
            cell.height = h;
            if (x > 0 && x + cell.width >= width) x = 0, y += h + 1;
            cell.x = x;
            cell.y = y;
            x += cell.width + 1;
        }
        height = y + h + 1;
        if (width >= height || width > (1 << 14)) break;
        width *= 2;
    }
    font.image_width = width;
    font.image_height = height;

    // Two passes: white glyphs over black, then black glyphs over white; the coverage is the
    // mean of what each pass shows, which keeps overlapping glyphs soft on both grounds.
    std::vector<uint8_t> light(size_t(width) * size_t(height), 0);
    std::vector<uint8_t> dark(light.size(), 255);
    for (int32_t c = font.first; c <= font.last; ++c) {
        const RasterGlyph& g = raster[size_t(c)];
        const FontGlyph& cell = font.glyphs[size_t(c)];
        // The pen stands at (cell x - offset, cell y): the image lands at the cell's left edge.
        const int32_t ox = cell.x - cell.offset + g.left, oy = cell.y + g.top;
        for (int32_t gy = 0; gy < g.height; ++gy) {
            const int32_t my = oy + gy;
            if (my < cell.y || my >= cell.y + h || my >= height) continue;
            for (int32_t gx = 0; gx < g.width; ++gx) {
                const int32_t mx = ox + gx;
                if (mx < 0 || mx >= width) continue;
                const uint32_t cov = g.coverage[size_t(gy) * size_t(g.width) + size_t(gx)];
                const size_t i = size_t(my) * size_t(width) + size_t(mx);
                light[i] = uint8_t(light[i] + cov * (255u - light[i]) / 255u);
                dark[i] = uint8_t(dark[i] - cov * dark[i] / 255u);
            }
        }
    }
    font.image.resize(light.size());
    for (size_t i = 0; i < light.size(); ++i)
        font.image[i] = uint8_t((light[i] + 255u - dark[i]) / 2u);
    return face != nullptr;
}

void FontFromSprite(CFont& font, const CSprite& sprite, int32_t sprite_index, int32_t first,
                    bool proportional, int32_t sep) {
    font.name.clear();
    font.sprite = sprite_index;
    font.first = std::clamp(first, 0, 255);
    font.last = std::min(font.first + sprite.FrameCount() - 1, 255);
    font.glyphs = {};
    font.image_width = font.image_height = 0;
    font.image.clear();
    for (int32_t c = font.first; c <= font.last; ++c) {
        const TBitmap32& frame = sprite.frames[size_t(c - font.first)];
        int32_t left = 0, right = sprite.Width();
        if (proportional) {
            left = frame.Width(), right = 0;
            for (int32_t y = 0; y < frame.Height(); ++y) {
                const Bgra* row = frame.Row(y);
                for (int32_t x = 0; x < frame.Width(); ++x)
                    if (row[x].a != 0) left = std::min(left, x), right = std::max(right, x + 1);
            }
            if (right < left) left = right = 0;  // a frame without visible pixels
        }
        FontGlyph& g = font.glyphs[size_t(c)];
        g.x = left;
        g.width = right - left;
        g.height = sprite.Height();
        g.advance = right - left + sep;
        g.offset = -left;
    }
}

// The ink box of every cell that lies wholly inside the image; a cell reaching outside it keeps
// its whole area (the texture's edge repeats there).
static void FindInk(CFont& font) {
    font.ink = {};
    const int32_t iw = font.image_width, ih = font.image_height;
    for (int32_t c = First(font); c <= Last(font); ++c) {
        const FontGlyph& g = font.glyphs[size_t(c)];
        GlyphInk& ink = font.ink[size_t(c)];
        if (g.width <= 0 || g.height <= 0) continue;
        if (g.x < 0 || g.y < 0 || g.x + g.width > iw || g.y + g.height > ih) {
            ink = {0, 0, g.width, g.height};
            continue;
        }
        int32_t x0 = g.width, y0 = g.height, x1 = -1, y1 = -1;
        for (int32_t y = 0; y < g.height; ++y) {
            const uint8_t* row = font.image.data() + size_t(g.y + y) * size_t(iw) + size_t(g.x);
            for (int32_t x = 0; x < g.width; ++x) {
                if (row[x] == 0) continue;
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        }
        if (x1 >= 0) ink = {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    }
    font.ink_ready = true;
}

void FontTexture(Graphics& gfx, CFont& font) {
    if (font.texture >= 0) gfx.TextureFree(font.texture);
    font.texture = -1;
    font.ink_ready = false;
    if (font.sprite >= 0 || font.name.empty() || font.image_width <= 0 || font.image_height <= 0)
        return;
    if (font.image.size() < size_t(font.image_width) * size_t(font.image_height)) return;
    font.texture = gfx.TextureFromAlpha(font.image_width, font.image_height, font.image);
    FindInk(font);
}

// ---- Layout ------------------------------------------------------------------------------------

int32_t CharAdvance(const CFont& font, uint8_t c) {
    if (InRange(font, c)) return font.glyphs[c].advance;
    if (InRange(font, 32)) return font.glyphs[32].advance;
    return font.glyphs[size_t(First(font))].advance;
}

int32_t LineWidth(const CFont& font, std::string_view line) {
    int32_t w = 0;
    for (char ch : line) w += CharAdvance(font, uint8_t(ch));
    return w;
}

int32_t FontHeight(const CFont& font) {
    return font.glyphs[size_t(First(font))].height;
}

std::vector<std::string> TextLines(const CFont& font, std::string_view text, int32_t w) {
    // "#" and line breaks become carriage returns.
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '#') {
            if (i > 0 && text[i - 1] == '\\' && !s.empty() && s.back() == '\\')
                s.back() = '#';
            else
                s.push_back('\r');
        } else if (ch == '\n') {
            if (i == 0 || text[i - 1] != '\r') s.push_back('\r');
        } else {
            s.push_back(ch);
        }
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\r', start);
        if (end == std::string::npos) end = s.size();
        std::string_view piece(s.data() + start, end - start);
        start = end + 1;
        if (w < 0 || piece.empty()) {
            lines.emplace_back(piece);
            continue;
        }
        // Words run up to and including a space or a hyphen.
        size_t pos = 0;
        auto next_word = [&](size_t from) {
            size_t e = piece.find_first_of(" -", from);
            return e == std::string_view::npos ? piece.size() : e + 1;
        };
        while (pos < piece.size()) {
            size_t end_word = next_word(pos);
            int32_t width = LineWidth(font, piece.substr(pos, end_word - pos));
            while (end_word < piece.size() && width < w) {
                size_t after = next_word(end_word);
                int32_t more = LineWidth(font, piece.substr(end_word, after - end_word));
                if (width + more > w) break;
                width += more;
                end_word = after;
            }
            lines.emplace_back(piece.substr(pos, end_word - pos));
            pos = end_word;
        }
    }
    return lines;
}

int32_t StringWidth(const CFont& font, std::string_view text, int32_t sep, int32_t w) {
    (void)sep;
    int32_t widest = 1;
    for (const std::string& line : TextLines(font, text, w))
        widest = std::max(widest, LineWidth(font, line));
    return widest;
}

int32_t StringHeight(const CFont& font, std::string_view text, int32_t sep, int32_t w) {
    const size_t n = TextLines(font, text, w).size();
    if (n == 0) return 1;
    const int32_t h = FontHeight(font);
    if (sep < 0) sep = h;
    return h + int32_t(n - 1) * sep;
}

// ---- Drawing -----------------------------------------------------------------------------------

void DrawText(Graphics& gfx, CFont& font, CSprite* sprite, double x, double y,
              std::string_view text, const TextStyle& st) {
    std::vector<std::string> lines = TextLines(font, text, st.width);
    if (lines.empty()) return;
    const bool sprite_font = font.sprite >= 0;
    if (!sprite_font && !gfx.TextureExists(font.texture)) {
        font.texture = -1;
        FontTexture(gfx, font);
    }
    if (!sprite_font && font.texture < 0) return;
    if (sprite_font && !sprite) return;

    const int32_t sep = st.sep < 0 ? FontHeight(font) : st.sep;
    const int32_t n = int32_t(lines.size());
    const double xs = st.transformed ? st.xscale : 1, ys = st.transformed ? st.yscale : 1;
    // The renderer turns by radians.
    const double angle = st.transformed ? st.angle * std::numbers::pi / 180 : 0;
    const double sn = st.transformed ? std::sin(angle) : 0,
                 cs = st.transformed ? std::cos(angle) : 1;

    // The start of the first line after vertical alignment.
    if (st.transformed) {
        if (st.valign == 1) {
            x -= Round(n * sep * ys * sn / 2);
            y -= Round(n * sep * ys * cs / 2);
        } else if (st.valign == 2) {
            x -= Round(n * sep * ys * sn);
            y -= Round(n * sep * ys * cs);
        }
    } else if (st.valign == 1) {
        y -= (n * sep) / 2;
    } else if (st.valign == 2) {
        y -= n * sep;
    }

    // Drawing only the ink of each cell (nothing for a blank one) shows the same wherever a
    // transparent pixel leaves the target as it is: blending that weighs the text by its alpha
    // and keeps the target (normal and additive), and no gradient across the whole cell.
    const int32_t bs = gfx.BlendSource(), bd = gfx.BlendDestination();
    const bool trim = !sprite_font && font.ink_ready && !st.gradient &&
                      (bs == 1 || bs == 5 || bs == 11) && (bd == 2 || bd == 6);
    // Filtering carries ink one texel beyond its box, and a turned quad's edge may fall either
    // side of a texel boundary that the whole cell samples: both keep a margin of one texel.
    const bool margin = gfx.Interpolation() || angle != 0;
    const int32_t first = First(font);
    for (const std::string& line : lines) {
        const int32_t lw = LineWidth(font, line);
        double d = 0;
        if (st.transformed)
            d = st.halign == 1 ? -Round(lw * xs / 2) : st.halign == 2 ? -Round(lw * xs) : 0;
        else
            d = st.halign == 1 ? -(lw / 2) : st.halign == 2 ? -lw : 0;
        const double lx = x + cs * d, ly = y - sn * d;
        int32_t pen = 0;
        for (char ch : line) {
            const uint8_t c = uint8_t(ch);
            const int32_t adv = CharAdvance(font, c);
            if (InRange(font, c)) {
                const FontGlyph& g = font.glyphs[c];
                const double along = (pen + g.offset) * xs;
                const double gx = lx + cs * along, gy = ly - sn * along;
                uint32_t c1 = st.colors[0], c2 = c1, c3 = c1, c4 = c1;
                if (st.gradient) {
                    const double t0 = lw != 0 ? double(pen) / lw : 0;
                    const double t1 = lw != 0 ? double(pen + adv) / lw : 0;
                    c1 = Merge(st.colors[0], st.colors[1], t0);
                    c2 = Merge(st.colors[0], st.colors[1], t1);
                    c3 = Merge(st.colors[3], st.colors[2], t1);
                    c4 = Merge(st.colors[3], st.colors[2], t0);
                }
                if (!sprite_font && trim) {
                    // Only the inked part of the cell, moved along the turned axes.
                    GlyphInk k = font.ink[c];
                    if (k.width > 0 && margin) {
                        const int32_t x1 = std::min(k.x + k.width + 1, g.width);
                        const int32_t y1 = std::min(k.y + k.height + 1, g.height);
                        k.x = std::max(k.x - 1, 0), k.y = std::max(k.y - 1, 0);
                        k.width = x1 - k.x, k.height = y1 - k.y;
                    }
                    if (k.width > 0) {
                        const double dx = k.x * xs, dy = k.y * ys;
                        gfx.DrawTextureGeneral(font.texture, g.x + k.x, g.y + k.y, k.width,
                                               k.height, gx + cs * dx + sn * dy,
                                               gy - sn * dx + cs * dy, xs, ys, angle, c1, c2, c3,
                                               c4);
                    }
                } else if (!sprite_font) {
                    gfx.DrawTextureGeneral(font.texture, g.x, g.y, g.width, g.height, gx, gy, xs,
                                           ys, angle, c1, c2, c3, c4);
                } else if (c - first < sprite->FrameCount()) {
                    const int32_t tex = gfx.SpriteTexture(*sprite, c - first);
                    if (!st.gradient) {
                        gfx.DrawTextureExt(tex, c1, sprite->x_origin, sprite->y_origin, gx, gy, xs,
                                           ys, angle);
                    } else {
                        // The origin moved along the turned axes.
                        const double ox = sprite->x_origin * xs, oy = sprite->y_origin * ys;
                        gfx.DrawTextureGeneral(tex, 0, 0, sprite->Width(), sprite->Height(),
                                               gx - cs * ox - sn * oy, gy + sn * ox - cs * oy, xs,
                                               ys, angle, c1, c2, c3, c4);
                    }
                }
            }
            pen += adv;
        }
        x += sn * sep * ys;
        y += cs * sep * ys;
    }
}

CFont& TextState::DefaultFont() {
    if (!default_font) {
        default_font = std::make_unique<CFont>();
        default_font->name = "Arial";
        default_font->size = 12;
        default_font->first = 32;
        default_font->last = 127;
        FontRender(*default_font);
    }
    return *default_font;
}

}  // namespace kr
