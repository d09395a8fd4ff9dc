// CFont: a font resource as the game data stores it: the character range, one glyph cell per
// character code and the 8-bit coverage image that the cells point into.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kr {

class CStream;

inline constexpr int32_t kFontVersion = 800;

struct FontGlyph {
    int32_t x = 0, y = 0, width = 0, height = 0;  // the cell in the glyph image
    int32_t advance = 0;                          // horizontal distance to the next character
    int32_t offset = 0;  // horizontal shift of the cell from the pen position

    bool operator==(const FontGlyph&) const = default;
};

// The part of a glyph's cell that holds ink, relative to the cell; empty for a blank cell.
struct GlyphInk {
    int32_t x = 0, y = 0, width = 0, height = 0;

    bool operator==(const GlyphInk&) const = default;
};

class CFont {
public:
    std::string name;   // the typeface it was made from; informational
    int32_t size = 12;  // point size; informational
    bool bold = false, italic = false;
    int32_t first = 32, last = 127;  // character range
    std::array<FontGlyph, 256> glyphs{};
    int32_t image_width = 0, image_height = 0;
    std::vector<uint8_t> image;  // image_width * image_height coverage bytes, rows from the top
    // Not stored: the sprite whose frames a sprite font draws (-1 for other fonts), and the
    // texture made from the image (-1 until made).
    int32_t sprite = -1;
    int32_t texture = -1;
    // Not stored: the ink of each cell, found when the texture is made (ink_ready); text draws
    // only that part of a cell where it makes no difference.
    std::array<GlyphInk, 256> ink{};
    bool ink_ready = false;

    // The record that follows the name in a fonts-section entry. False on a wrong version, a
    // failed stream, or a glyph image smaller than its stated size (it could not be drawn).
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CFont&) const = default;
};

}  // namespace kr
