// FontRaster: system typefaces found by name and rendered glyph by glyph into 8-bit coverage.
// Common Windows face names are mapped to metric-compatible free faces; any other name gets
// the closest face the system has (never nothing, as long as the system has any face).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kr {

struct RasterGlyph {
    int32_t advance = 0;  // pen movement in pixels
    int32_t left = 0;     // left bearing: the image starts this far right of the pen
    int32_t top = 0;      // the image starts this far below the top of the line
    int32_t width = 0, height = 0;
    std::vector<uint8_t> coverage;  // width * height bytes, rows top first
};

class FontRasterizer {
public:
    virtual ~FontRasterizer() = default;
    // The height of a line of text (ascent plus descent) in pixels.
    virtual int32_t LineHeight() const = 0;
    // Character code c (0..255, Windows Latin) rendered; false when the face cannot render it
    // (the glyph is then empty with zero advance).
    virtual bool Glyph(uint8_t c, RasterGlyph& out) = 0;
    // The file of the face that was chosen.
    virtual const std::string& FaceFile() const = 0;
};

// The face for `name` at `size` points (96 pixels per inch); nullptr only when no face can be
// opened at all.
std::unique_ptr<FontRasterizer> OpenSystemFont(const std::string& name, int32_t size, bool bold,
                                               bool italic);

// The family actually asked of the system for a face name (the mapping of Windows names).
std::string SubstituteFamily(const std::string& name);

}  // namespace kr
