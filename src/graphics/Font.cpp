// Reading and writing the font record.
#include "graphics/Font.h"

#include "data/Stream.h"

namespace kr {

bool CFont::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kFontVersion || s.Failed()) return false;
    name = s.ReadString();
    size = s.ReadInteger();
    bold = s.ReadBoolean();
    italic = s.ReadBoolean();
    first = s.ReadInteger();
    last = s.ReadInteger();
    for (FontGlyph& g : glyphs) {
        g.x = s.ReadInteger();
        g.y = s.ReadInteger();
        g.width = s.ReadInteger();
        g.height = s.ReadInteger();
        g.advance = s.ReadInteger();
        g.offset = s.ReadInteger();
    }
    image_width = s.ReadInteger();
    image_height = s.ReadInteger();
    auto block = s.ReadBlock();
    image = std::move(block->Bytes());
    if (s.Failed() || image_width < 0 || image_height < 0) return false;
    // Drawing reads width * height bytes; a shorter image is damaged data.
    return uint64_t(image.size()) >= uint64_t(image_width) * uint64_t(image_height);
}

void CFont::SaveToStream(CStream& s) const {
    s.WriteInteger(kFontVersion);
    s.WriteString(name);
    s.WriteInteger(size);
    s.WriteBoolean(bold);
    s.WriteBoolean(italic);
    s.WriteInteger(first);
    s.WriteInteger(last);
    for (const FontGlyph& g : glyphs) {
        s.WriteInteger(g.x);
        s.WriteInteger(g.y);
        s.WriteInteger(g.width);
        s.WriteInteger(g.height);
        s.WriteInteger(g.advance);
        s.WriteInteger(g.offset);
    }
    s.WriteInteger(image_width);
    s.WriteInteger(image_height);
    s.WriteBlock(image);
}

}  // namespace kr
