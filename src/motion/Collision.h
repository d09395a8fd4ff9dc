// The geometry of collision tests: bounding boxes in room pixels, a mask placed in the room by
// a position, scale and rotation, and the precise tests of a placed mask against another mask,
// a rectangle, an ellipse and a segment. The instance-level tests (objects/InstanceCollision.h)
// do the box checks and call these for the pixel work, which is confined to the boxes.
#pragma once

#include <cstdint>

#include "data/Mask.h"

namespace kr {

// Room coordinates are kept within +-kCoordLimit when they become integers, so that box
// arithmetic (right + 1, spans) never overflows whatever a script stores in x or image_xscale.
inline constexpr int32_t kCoordLimit = 1000000000;

// Rounds to the nearest integer (ties to even) and clamps to +-kCoordLimit; NaN gives 0.
inline int32_t RoundCoord(double v) {
    if (v >= double(kCoordLimit)) return kCoordLimit;
    if (v <= -double(kCoordLimit)) return -kCoordLimit;
    if (v != v) return 0;
    // Adding and taking away 1.5 * 2^52 leaves v rounded to an integer, ties to even (the
    // default rounding mode), for every |v| below 2^51; it saves a library call per box side.
    constexpr double kRounder = 6755399441055744.0;
    return int32_t((v + kRounder) - kRounder);
}
// floor(v) and ceil(v) clamped likewise.
int32_t FloorCoord(double v);
int32_t CeilCoord(double v);

// An inclusive box of room pixels. A box with right < left or bottom < top is empty.
struct CollisionBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    // The overlap rule of instance boxes.
    bool Overlaps(const CollisionBox& b) const {
        return b.left < right + 1 && left < b.right + 1 && b.top < bottom + 1 && top < b.bottom + 1;
    }
    CollisionBox Intersect(const CollisionBox& b) const;
    bool operator==(const CollisionBox&) const = default;
};

// A mask as an instance holds it in the room. Room point (px, py) falls on mask cell
// (floor(ox + (c*dx - s*dy) / xscale), floor(oy + (s*dx + c*dy) / yscale)) with dx = px - x,
// dy = py - y; without rotation c = 1 and s = 0 exactly, so the unrotated case is exact too.
struct MaskPlacement {
    const TMask* mask = nullptr;
    int32_t x = 0, y = 0;    // the instance's rounded position
    int32_t ox = 0, oy = 0;  // the mask sprite's origin
    double xscale = 1, yscale = 1;
    double c = 1, s = 0;  // cosine and sine of the rotation

    // Whether the room point lies on a solid cell. Points that map outside the grid (also
    // through a zero scale or a non-finite value) are not solid.
    bool SolidAt(double px, double py) const;
};

// Whether some integer point of `area` is solid in both masks (both must have a mask).
bool MasksMeetIn(const MaskPlacement& a, const MaskPlacement& b, const CollisionBox& area);
// Whether some integer point of `area` is solid.
bool MaskSolidIn(const MaskPlacement& m, const CollisionBox& area);
// Whether some integer point of `area` inside the ellipse with centre (cx, cy) and radii
// (rx, ry) is solid. The ellipse test is single precision.
bool MaskSolidInEllipse(const MaskPlacement& m, const CollisionBox& area, float cx, float cy,
                        float rx, float ry);

}  // namespace kr
