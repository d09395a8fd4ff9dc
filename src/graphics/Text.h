// Text: fonts made at run time (rendered system faces and sprite fonts), the layout of text
// into lines, measuring, and drawing one textured quad per visible character through the
// renderer's batching.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Font.h"

namespace kr {

class CSprite;
class Graphics;

// Renders a system face into the font's glyph table and coverage image (name, size, bold,
// italic, first and last are read from the font). The face is substituted when the system has
// none of that name; without any face at all the glyphs are empty and false is returned.
bool FontRender(CFont& font);
// A sprite font from `sprite` (its index `sprite_index`): characters first .. first + frames - 1
// (at most 255); proportional fonts take the box of a frame's visible pixels, others the
// whole frame width; `sep` is added to every advance.
void FontFromSprite(CFont& font, const CSprite& sprite, int32_t sprite_index, int32_t first,
                    bool proportional, int32_t sep);
// The font's texture from its coverage image (the old one freed first); nothing for sprite
// fonts or without a device.
void FontTexture(Graphics& gfx, CFont& font);

// How far the pen moves for character c.
int32_t CharAdvance(const CFont& font, uint8_t c);
int32_t LineWidth(const CFont& font, std::string_view line);
// The glyph height of the font's first character.
int32_t FontHeight(const CFont& font);
// The text cut into lines at "#" (but "\#" is a literal "#") and line breaks, wrapped at
// spaces and hyphens to width w when w >= 0.
std::vector<std::string> TextLines(const CFont& font, std::string_view text, int32_t w);
// The widest line, at least 1.
int32_t StringWidth(const CFont& font, std::string_view text, int32_t sep, int32_t w);
// 1 without lines, else font height + (lines - 1) * sep (sep < 0: the font height).
int32_t StringHeight(const CFont& font, std::string_view text, int32_t sep, int32_t w);

struct TextStyle {
    int32_t halign = 0, valign = 0;  // 0 left/top, 1 centre/middle, 2 right/bottom
    int32_t sep = -1, width = -1;
    bool transformed = false;
    double xscale = 1, yscale = 1, angle = 0;
    // Device colours: all four the same for plain text; top left, top right, bottom right,
    // bottom left of each line for gradients.
    uint32_t colors[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    bool gradient = false;
};

// Draws text with `font` at (x, y). `sprite` is the sprite of a sprite font (nullptr when it
// is gone: the characters then draw nothing).
void DrawText(Graphics& gfx, CFont& font, CSprite* sprite, double x, double y,
              std::string_view text, const TextStyle& style);

// The text state of a game: current font (-1: the default font), alignments, and the default
// font, made on first use.
struct TextState {
    int32_t font = -1;
    int32_t halign = 0, valign = 0;
    std::unique_ptr<CFont> default_font;
    // The default font, rendered the first time it is asked for.
    CFont& DefaultFont();
};

}  // namespace kr
