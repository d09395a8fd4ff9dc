// TMask, one collision mask of a sprite, and the parameters masks are built from. Sprites keep
// both: masks come ready-made from the game data, while side files and images loaded at run
// time carry only the parameters, from which the collision code builds the masks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kr {

class CStream;

struct TMask {
    int32_t width = 0;
    int32_t height = 0;
    // width x height cells, row by row from the top (cell (x, y) at y * width + x); 1 = solid.
    std::vector<uint8_t> grid;
    // The area in which the grid may hold solid cells, inclusive pixel coordinates.
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    bool Solid(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height && grid[size_t(y) * width + x] != 0;
    }

    // The stored mask record: version 800, width, height, left, right, bottom, top (in that
    // order), then height x width booleans row by row. Reading returns false, and fails the
    // stream, on a wrong version or negative size or when the grid does not fit in the stream.
    bool ReadStored(CStream& s);
    void WriteStored(CStream& s) const;

    friend bool operator==(const TMask&, const TMask&) = default;
};

enum class MaskShape : int32_t { kPrecise = 0, kRectangle = 1, kEllipse = 2, kDiamond = 3 };
enum class BoxMode : int32_t { kAutomatic = 0, kFullImage = 1, kManual = 2 };

// How each mask of a sprite is built from a frame (whether a sprite has one mask per frame or
// one shared mask is the sprite's own flag). The defaults are those of sprites made at run time.
struct MaskParams {
    MaskShape shape = MaskShape::kPrecise;
    int32_t tolerance = 0;  // alpha values above it are solid
    BoxMode box_mode = BoxMode::kAutomatic;
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // the manual box

    friend bool operator==(const MaskParams&, const MaskParams&) = default;
};

class TBitmap32;

// A mask of `frame` built with `params`: the box by the box mode (automatic: around the pixels
// whose alpha is above the tolerance, the inverted box when there are none; full image; manual,
// clipped to the frame), then inside the box the shape: precise by alpha, the whole rectangle,
// or the ellipse or diamond inscribed in the box (single-precision arithmetic).
TMask BuildMask(const TBitmap32& frame, const MaskParams& params);
// Makes `mask` also cover `frame` (shared masks): the boxes are united; precise masks take the
// union of the grids over the common size, the other shapes are drawn again over the united
// box.
void AddFrameToMask(TMask& mask, const TBitmap32& frame, const MaskParams& params);

}  // namespace kr
