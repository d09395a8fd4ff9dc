// Pixel work of the collision tests. Every loop runs over an area that the caller has already
// cut to the instance's bounding box.
#include "motion/Collision.h"

#include <algorithm>
#include <cmath>

namespace kr {

namespace {

int32_t ClampCoord(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(kCoordLimit)) return kCoordLimit;
    if (v <= -double(kCoordLimit)) return -kCoordLimit;
    return int32_t(v);
}

// The grid cell coordinate of a mapped value: -1 when it is outside 0..size - 1 or not a number.
inline int32_t CellOf(double v, int32_t size) {
    if (!(v >= 0.0 && v < double(size))) return -1;
    return int32_t(v);  // v >= 0, so truncation is floor
}

}  // namespace

int32_t FloorCoord(double v) {
    return ClampCoord(std::floor(v));
}
int32_t CeilCoord(double v) {
    return ClampCoord(std::ceil(v));
}

CollisionBox CollisionBox::Intersect(const CollisionBox& b) const {
    return CollisionBox{std::max(left, b.left), std::max(top, b.top), std::min(right, b.right),
                        std::min(bottom, b.bottom)};
}

bool MaskPlacement::SolidAt(double px, double py) const {
    const double dx = px - x, dy = py - y;
    const int32_t mx = CellOf(ox + (c * dx - s * dy) / xscale, mask->width);
    if (mx < 0) return false;
    const int32_t my = CellOf(oy + (s * dx + c * dy) / yscale, mask->height);
    if (my < 0) return false;
    return mask->grid[size_t(my) * size_t(mask->width) + size_t(mx)] != 0;
}

bool MasksMeetIn(const MaskPlacement& a, const MaskPlacement& b, const CollisionBox& area) {
    // The answer does not depend on the order of the points; columns go outside as the
    // original loop does.
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (a.SolidAt(i, j) && b.SolidAt(i, j)) return true;
    return false;
}

bool MaskSolidIn(const MaskPlacement& m, const CollisionBox& area) {
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (m.SolidAt(i, j)) return true;
    return false;
}

bool MaskSolidInEllipse(const MaskPlacement& m, const CollisionBox& area, float cx, float cy,
                        float rx, float ry) {
    for (int32_t i = area.left; i <= area.right; ++i) {
        const float dx = (float(i) - cx) / rx;
        for (int32_t j = area.top; j <= area.bottom; ++j) {
            const float dy = (float(j) - cy) / ry;
            if (dx * dx + dy * dy <= 1.0f && m.SolidAt(i, j)) return true;
        }
    }
    return false;
}

}  // namespace kr
