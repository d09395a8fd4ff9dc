// Collision questions about instances: the five tests (instance against instance, point,
// rectangle, ellipse and segment) and the searches of the collision functions built on them.
//
// Every test checks bounding boxes first; `precise` then asks the mask of the instance's
// current image, placed by its position, scale and rotation. Deleted instances never collide.
// Searches visit the selected instances in list order and return the first hit (null: none,
// which scripts see as noone); they find their candidates through the room's grid.
#pragma once

#include <cstdint>

#include "objects/Instance.h"
#include "objects/InstanceList.h"

namespace kr {

// ---- The tests ----
// Whether a and b (different, not deleted) overlap: boxes, then with `precise` both masks at
// some common pixel. The collision events and the place functions always ask precisely, so a
// sprite's mask shape alone decides how exact a collision is.
bool InstanceMeets(const CInstance& a, const CInstance& b, bool precise);
// Whether the point lies in the instance's box (left <= px < right + 1, likewise for y), and
// with `precise` on a solid mask cell.
bool InstanceAtPoint(const CInstance& inst, double px, double py, bool precise);
// Whether the rectangle with corners (x1, y1) and (x2, y2) touches the instance.
bool InstanceInRectangle(const CInstance& inst, double x1, double y1, double x2, double y2,
                         bool precise);
// Whether the ellipse inscribed in the rectangle touches the instance.
bool InstanceInEllipse(const CInstance& inst, double x1, double y1, double x2, double y2,
                       bool precise);
// Whether the segment from (x1, y1) to (x2, y2) touches the instance.
bool InstanceOnLine(const CInstance& inst, double x1, double y1, double x2, double y2,
                    bool precise);

// ---- Searches ----
// Whether `self`, moved to (x, y), meets no solid instance (place_free) or no instance at all
// (place_empty). Self is not moved: the tests use the box and mask it would have there.
bool PlaceFree(const InstanceList& room, const CInstance& self, double x, double y);
bool PlaceEmpty(const InstanceList& room, const CInstance& self, double x, double y);
// The first instance selected by obj that `self`, moved to (x, y), meets.
CInstance* InstancePlace(const InstanceList& room, const CInstance& self, double x, double y,
                         int32_t obj);
inline bool PlaceMeeting(const InstanceList& room, const CInstance& self, double x, double y,
                         int32_t obj) {
    return InstancePlace(room, self, x, y, obj) != nullptr;
}
// The first instance selected by obj whose mask covers the point.
CInstance* InstancePosition(const InstanceList& room, double x, double y, int32_t obj);

// The collision functions: the first selected instance touching the shape. With `notme` the
// calling instance `self` (may be null) is left out.
CInstance* CollisionPoint(const InstanceList& room, const CInstance* self, double x, double y,
                          int32_t obj, bool precise, bool notme);
CInstance* CollisionRectangle(const InstanceList& room, const CInstance* self, double x1, double y1,
                              double x2, double y2, int32_t obj, bool precise, bool notme);
CInstance* CollisionEllipse(const InstanceList& room, const CInstance* self, double x1, double y1,
                            double x2, double y2, int32_t obj, bool precise, bool notme);
// The ellipse in (xc - radius, yc - radius, xc + radius, yc + radius).
CInstance* CollisionCircle(const InstanceList& room, const CInstance* self, double xc, double yc,
                           double radius, int32_t obj, bool precise, bool notme);
CInstance* CollisionLine(const InstanceList& room, const CInstance* self, double x1, double y1,
                         double x2, double y2, int32_t obj, bool precise, bool notme);

}  // namespace kr
